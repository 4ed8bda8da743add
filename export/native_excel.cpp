#include "export/native_excel.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/byte_order.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

// The format a date cell names in its second attribute byte; BIFF5 numbers them from here.
constexpr uint8_t FormatOf(bool withTime) {
    return withTime ? 2 : 1;
}
constexpr uint16_t kDateFormatIndex = 164;

// A text ends at its first zero byte and at 255 bytes.
std::string_view Bounded(std::string_view bytes) {
    return bytes.substr(0, std::min<size_t>(bytes.find('\0'), 255));
}

}  // namespace

TovNativeExcel::TovNativeExcel() {
    BeginSheet();
}

void TovNativeExcel::SetActiveFont(uint8_t font) {
    if (font < fonts_) activeFont_ = font;
}

void TovNativeExcel::SetBIFF(TovBIFFVersion version) {
    if (version == biff_) return;
    biff_ = version;
    BeginSheet();
}

void TovNativeExcel::SetFileName(const std::string& name) {
    if (name == fileName_) return;
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string ext = hasExt ? name.substr(dot) : std::string();
    std::string upper = ext;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    fileName_ = upper == ".XLS" ? name : (hasExt ? name.substr(0, dot) : name) + ".XLS";
}

void TovNativeExcel::SetRow(uint16_t row) {
    if (row != 0) row_ = row;
}

void TovNativeExcel::SetColumn(uint16_t column) {
    if (column != 0 && column <= kLastColumn) column_ = column;
}

std::string TovNativeExcel::Version() const {
    return std::to_string(kVersion >> 8) + "." + std::to_string(kVersion & 0xFF);
}

void TovNativeExcel::Put16(uint16_t v) {
    buffer_.push_back(static_cast<char>(v & 0xFF));
    buffer_.push_back(static_cast<char>(v >> 8));
}

void TovNativeExcel::PutDouble(double v) {
    uint8_t bytes[8];
    StoreLE(bytes, DoubleToBits(v), 8);
    buffer_.append(reinterpret_cast<const char*>(bytes), 8);
}

void TovNativeExcel::PutText(std::string_view bytes) {
    buffer_.push_back(static_cast<char>(bytes.size()));
    buffer_ += bytes;
}

void TovNativeExcel::WriteRecordHeader(uint16_t id, uint16_t length) {
    if (state_ == 2) BeginSheet();
    Put16(id);
    Put16(length);
}

void TovNativeExcel::BeginSheet() {
    state_ = 1;
    fonts_ = 0;
    fontList_.clear();
    dates_ = false;
    buffer_.clear();
    const bool v2 = biff_ == bvBIFF2;
    static constexpr uint16_t kBofIds[] = {0x0009, 0x0209, 0x0409, 0x0809};
    Put16(kBofIds[biff_]);
    Put16(v2 ? 4 : 6);
    Put16(0x0200);
    Put16(0x0010);
    if (!v2) Put16(0);
    Put16(v2 ? 0x0000 : 0x0200);
    Put16(v2 ? 8 : 10);
    Put16(0);
    Put16(kLastRow);
    Put16(0);
    Put16(kLastColumn);
    if (!v2) Put16(0);
}

void TovNativeExcel::EndSheet() {
    WriteRecordHeader(0x000A, 0);
    if (dates_) AddFormats();
    state_ = 2;
}

void TovNativeExcel::SaveToFile() const {
    TempFile out(fileName_);
    out.Write(buffer_.data(), buffer_.size());
    out.Finish();
    out.RenameOverTarget();
}

void TovNativeExcel::AddFont(const TovFont* font) {
    if (font == nullptr || fonts_ >= 4) return;
    const std::string_view name = Bounded(font->name);
    WriteRecordHeader(0x0031, static_cast<uint16_t>(5 + name.size()));
    ++fonts_;
    fontList_.push_back(*font);
    Put16(static_cast<uint16_t>(font->size * 20));
    Put16(static_cast<uint16_t>((font->bold ? 1 : 0) | (font->italic ? 2 : 0) |
                                (font->underline ? 4 : 0) | (font->strikeOut ? 8 : 0)));
    PutText(name);
}

void TovNativeExcel::SetHeaderText(const std::string& bytes) {
    const std::string_view text = Bounded(bytes);
    WriteRecordHeader(0x0014, static_cast<uint16_t>(1 + text.size()));
    PutText(text);
}

void TovNativeExcel::SetFooterText(const std::string& bytes) {
    const std::string_view text = Bounded(bytes);
    WriteRecordHeader(0x0015, static_cast<uint16_t>(1 + text.size()));
    PutText(text);
}

void TovNativeExcel::SetMargin(TovMarginSide side, double inches) {
    static constexpr uint16_t kIds[] = {0x0026, 0x0027, 0x0028, 0x0029};
    WriteRecordHeader(kIds[side], 8);
    PutDouble(inches);
}

void TovNativeExcel::SetColumnWidth(int first, int last, int width) {
    WriteRecordHeader(0x0024, 4);
    buffer_.push_back(static_cast<char>(first - 1));
    buffer_.push_back(static_cast<char>(last - 1));
    Put16(static_cast<uint16_t>(width * 256));
}

void TovNativeExcel::SetProtected(bool on) {
    WriteRecordHeader(0x0012, 2);
    Put16(on ? 1 : 0);
}

void TovNativeExcel::SetCodePage(uint16_t windowsCodePage) {
    WriteRecordHeader(0x0042, 2);
    Put16(windowsCodePage);
}

void TovNativeExcel::WriteCellPosition() {
    Put16(static_cast<uint16_t>(row_ - 1));
    Put16(static_cast<uint16_t>(column_ - 1));
    switch (MoveAfterEnter) {
        case maNone:
            break;
        case maUp:
            if (row_ > 1) {
                --row_;
            } else if (column_ > 1) {
                row_ = kLastRow;
                --column_;
            }
            break;
        case maDown:
            if (row_ < kLastRow) {
                ++row_;
            } else if (column_ < kLastColumn) {
                row_ = 1;
                ++column_;
            }
            break;
        case maLeft:
            if (column_ > 1) {
                --column_;
            } else if (row_ > 1) {
                column_ = kLastColumn;
                --row_;
            }
            break;
        case maRight:
            if (column_ < kLastColumn) {
                ++column_;
            } else if (row_ < kLastRow) {
                column_ = 1;
                ++row_;
            }
            break;
    }
}

void TovNativeExcel::WriteCellAttributes() {
    static constexpr uint8_t kAlignCodes[] = {0, 1, 3, 2, 4, 7};
    const uint8_t b1 = static_cast<uint8_t>((Locked ? 0x40 : 0) | (Hidden ? 0x80 : 0));
    const uint8_t b2 = static_cast<uint8_t>((activeFont_ & 3) << 6);
    const uint8_t b3 =
        static_cast<uint8_t>(kAlignCodes[Alignment] | (Borders.Has(ebLeft) ? 0x08 : 0) |
                             (Borders.Has(ebRight) ? 0x10 : 0) | (Borders.Has(ebTop) ? 0x20 : 0) |
                             (Borders.Has(ebBottom) ? 0x40 : 0) | (Shading ? 0x80 : 0));
    buffer_.push_back(static_cast<char>(b1));
    buffer_.push_back(static_cast<char>(b2));
    buffer_.push_back(static_cast<char>(b3));
}

void TovNativeExcel::CellStart(uint16_t id, uint16_t length) {
    WriteRecordHeader(id, length);
    WriteCellPosition();
    WriteCellAttributes();
}

void TovNativeExcel::WriteBlank() {
    CellStart(0x0001, 7);
}

void TovNativeExcel::WriteInteger(int64_t value) {
    if (value < 0 || value > 65535) {
        WriteNumber(static_cast<double>(value));
        return;
    }
    CellStart(0x0002, 9);
    Put16(static_cast<uint16_t>(value));
}

void TovNativeExcel::WriteNumber(double value) {
    CellStart(0x0003, 15);
    PutDouble(value);
}

void TovNativeExcel::WriteLabel(const std::string& bytes) {
    const std::string_view text = Bounded(bytes);
    CellStart(0x0004, static_cast<uint16_t>(8 + text.size()));
    PutText(text);
}

void TovNativeExcel::WriteBoolErr(int code) {
    static constexpr uint8_t kValues[] = {1, 0, 0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};
    if (code < 0 || code > 8) code = 8;
    CellStart(0x0005, 9);
    buffer_.push_back(static_cast<char>(kValues[code]));
    buffer_.push_back(code >= 2 ? 1 : 0);
}

void TovNativeExcel::SetDateFormats(std::string date, std::string dateTime) {
    dateFormat_ = std::move(date);
    dateTimeFormat_ = std::move(dateTime);
}

void TovNativeExcel::WriteDate(double serial, bool withTime, const std::string& text) {
    if (biff_ == bvBIFF3 || biff_ == bvBIFF4) {
        WriteLabel(text);
        return;
    }
    CellStart(0x0003, 15);
    dates_ = true;
    // The second attribute byte holds the number format: 1 the date, 2 the date and time.
    buffer_[buffer_.size() - 2] =
        static_cast<char>(static_cast<uint8_t>(buffer_[buffer_.size() - 2]) | FormatOf(withTime));
    PutDouble(serial);
}

void TovNativeExcel::AddFormats() {
    // Cells name their XF in the low bits of their first attribute byte; 0 is the default XF,
    // at most 62 others (63 would mean an XF record of its own follows).
    std::map<uint32_t, uint8_t> xfOf;
    std::vector<uint32_t> xfs;  // attribute bytes: first (protection bits), second, third
    size_t firstCell = std::string::npos;
    for (size_t at = 0; at + 4 <= buffer_.size();) {
        const auto byte = [&](size_t i) { return static_cast<uint8_t>(buffer_[i]); };
        const uint16_t id = static_cast<uint16_t>(byte(at) | byte(at + 1) << 8);
        const uint16_t length = static_cast<uint16_t>(byte(at + 2) | byte(at + 3) << 8);
        if (at + 4 + length > buffer_.size()) break;
        if (id >= 0x0001 && id <= 0x0005 && length >= 7) {
            if (firstCell == std::string::npos) firstCell = at;
            const size_t attr = at + 8;
            const uint32_t key = static_cast<uint32_t>(byte(attr) & 0xC0) |
                                 static_cast<uint32_t>(byte(attr + 1)) << 8 |
                                 static_cast<uint32_t>(byte(attr + 2)) << 16;
            auto [it, fresh] = xfOf.try_emplace(key, uint8_t{0});
            if (fresh && xfs.size() < 62) {
                xfs.push_back(key);
                it->second = static_cast<uint8_t>(xfs.size());
            }
            buffer_[attr] = static_cast<char>((byte(attr) & 0xC0) | it->second);
        }
        at += 4 + length;
    }
    if (firstCell == std::string::npos) return;

    std::string records;
    const auto record = [&records](uint16_t id, const std::string& data) {
        for (const uint16_t v : {id, static_cast<uint16_t>(data.size())}) {
            records.push_back(static_cast<char>(v & 0xFF));
            records.push_back(static_cast<char>(v >> 8));
        }
        records += data;
    };
    const auto u16 = [](uint16_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    };
    const auto u32 = [&](uint32_t v) {
        return u16(static_cast<uint16_t>(v & 0xFFFF)) + u16(static_cast<uint16_t>(v >> 16));
    };
    const auto text = [](std::string_view bytes) {
        bytes = Bounded(bytes);
        return std::string(1, static_cast<char>(bytes.size())) + std::string(bytes);
    };
    const uint8_t fonts = static_cast<uint8_t>(std::max<size_t>(1, fontList_.size()));

    if (biff_ == bvBIFF2) {
        // In the sheet before its first cell: the formats (0 general), then the XFs.
        for (const std::string& f : {std::string("General"), dateFormat_, dateTimeFormat_})
            record(0x001E, text(f));
        record(0x0043, std::string{0, 0, 0x40, 0});
        for (const uint32_t key : xfs) {
            const uint8_t first = key & 0xC0, second = (key >> 8) & 0xFF, third = key >> 16;
            const uint8_t font = (second >> 6) < fonts ? second >> 6 : 0;
            record(0x0043, std::string{static_cast<char>(font), 0,
                                       static_cast<char>((second & 0x3F) | first),
                                       static_cast<char>(third)});
        }
        buffer_.insert(firstCell, records);
        return;
    }

    // BIFF5: a workbook part before the sheet, with its fonts, formats, XFs and the sheet's place.
    record(0x0809, u16(0x0500) + u16(0x0005) + u16(0));
    std::vector<TovFont> fontList = fontList_;
    if (fontList.empty()) fontList.emplace_back();
    for (const TovFont& f : fontList) {
        record(0x0031,
               u16(static_cast<uint16_t>(f.size * 20)) +
                   u16(static_cast<uint16_t>((f.italic ? 0x02 : 0) | (f.strikeOut ? 0x08 : 0))) +
                   u16(0x7FFF) + u16(f.bold ? 700 : 400) + u16(0) +
                   std::string{static_cast<char>(f.underline ? 1 : 0), 0, 0, 0} + text(f.name));
    }
    record(0x041E, u16(kDateFormatIndex) + text(dateFormat_));
    record(0x041E, u16(kDateFormatIndex + 1) + text(dateTimeFormat_));
    // The default style, then one cell XF for each set of attributes.
    record(0x00E0,
           u16(0) + u16(0) + u16(0xFFF5) + std::string{0x20, 0} + u32(0x20C0) + u32(0) + u32(0));
    for (const uint32_t key : xfs) {
        const uint8_t first = key & 0xC0, second = (key >> 8) & 0xFF, third = key >> 16;
        const uint8_t font = (second >> 6) < fonts ? second >> 6 : 0;
        const uint8_t format = second & 0x3F;
        const uint16_t numberFormat =
            format == 0 ? 0 : static_cast<uint16_t>(kDateFormatIndex + format - 1);
        const uint16_t protection =
            static_cast<uint16_t>((first & 0x40 ? 1 : 0) | (first & 0x80 ? 2 : 0));
        // The cell's own alignment codes are the XF's (general, left, centre, right, fill); the
        // older "multiplan" one reads as general. Vertically at the bottom.
        const uint8_t horizontal = (third & 7) == 7 ? 0 : third & 7;
        const uint8_t align = static_cast<uint8_t>(horizontal | 0x20);
        constexpr uint32_t kThin = 1, kBlack = 8;
        uint32_t area = (third & 0x80) ? (1u << 16) | 22u | (65u << 7) : 0x40u | (65u << 7);
        if (third & 0x40) area |= kThin << 22 | kBlack << 25;  // bottom
        uint32_t lines = 0;
        if (third & 0x20) lines |= kThin | kBlack << 9;        // top
        if (third & 0x08) lines |= kThin << 3 | kBlack << 16;  // left
        if (third & 0x10) lines |= kThin << 6 | kBlack << 23;  // right
        record(0x00E0, u16(font) + u16(numberFormat) + u16(protection) +
                           std::string{static_cast<char>(align), static_cast<char>(0xFC)} +
                           u32(area) + u32(lines));
    }
    const std::string name = "Foaie 1";
    // The sheet starts after this record and the part's end.
    const size_t sheetAt = records.size() + 4 + 4 + 2 + 1 + name.size() + 4;
    record(0x0085, u32(static_cast<uint32_t>(sheetAt)) + std::string{0, 0} + text(name));
    record(0x000A, {});
    buffer_.insert(0, records);
}

void TovNativeExcel::WriteValue(const TovCellValue& value) {
    switch (value.kind) {
        case TovCellValue::Empty:
            WriteBlank();
            break;
        case TovCellValue::Null:
            WriteBoolErr(2);
            break;
        case TovCellValue::Integer:
            WriteInteger(value.integer);
            break;
        case TovCellValue::Float:
            WriteNumber(value.number);
            break;
        case TovCellValue::DateTime:
        case TovCellValue::Text:
            WriteLabel(value.text);
            break;
        case TovCellValue::Boolean:
            WriteBoolean(value.boolean);
            break;
        case TovCellValue::Other:
            WriteBoolErr(8);
            break;
    }
}

}  // namespace orbelan
