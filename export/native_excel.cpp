#include "export/native_excel.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

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
