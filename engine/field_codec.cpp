#include "engine/field_codec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/date_util.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/text_parse.h"

namespace orbelan {
namespace {

std::string_view Bytes(const uint8_t* record, const FieldLayout& f) {
    return {reinterpret_cast<const char*>(record + f.def.offset), static_cast<size_t>(f.def.size)};
}

// dBase 7 stores doubles big-endian with the sign bit inverted, so they sort as bytes.
void StoreSortableDouble(uint8_t* p, double d) {
    uint64_t bits = DoubleToBits(d);
    bits = (bits & 0x8000000000000000ULL) ? ~bits : bits ^ 0x8000000000000000ULL;
    StoreBE(p, bits, 8);
}

std::string WithSeparator(std::string s, char separator) {
    for (char& c : s)
        if (c == '.') c = separator;
    return s;
}

std::string Two(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string TimeText(int64_t ms) {
    const int64_t s = ms / 1000;
    return Two(static_cast<int>(s / 3600)) + ":" + Two(static_cast<int>(s / 60 % 60)) + ":" +
           Two(static_cast<int>(s % 60));
}

std::string DateTimeText(int64_t day, int64_t ms, const FormatSettings& fmt) {
    ms = (ms + 500) / 1000 * 1000;  // writers store 23:59:59 as 86398999 ms and the like
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++day;
    }
    return FormatDate(static_cast<int>(day), fmt.shortDateFormat) + " " + TimeText(ms);
}

std::string Ymd(int day) {
    return FormatDate(day, "yyyyMMdd");
}

[[noreturn]] void Reject(const FieldLayout& f, std::string_view text, const std::string& what) {
    throw DbfError(ErrorKind::Conversion, "Valoarea '" + std::string(text) + "' " + what +
                                              " pentru campul " + f.def.name + " (" +
                                              FieldTypeText(f.def) + ").");
}

std::string FixedDecimalText(int64_t scaled, int scale) {
    const bool negative = scaled < 0;
    // Through unsigned so INT64_MIN does not overflow.
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() <= static_cast<size_t>(scale))
        digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
    return CanonicalNumber((negative ? "-" : "") + digits).value_or(std::string());
}

}  // namespace

// ---------------------------------------------------------------- number helpers

std::string RoundDecimal(const std::string& canonical, int decimals) {
    const bool negative = !canonical.empty() && canonical[0] == '-';
    std::string_view s(canonical);
    if (negative) s.remove_prefix(1);
    const size_t point = s.find('.');
    std::string intPart(s.substr(0, point));
    std::string frac =
        point == std::string_view::npos ? std::string() : std::string(s.substr(point + 1));
    const bool roundUp =
        frac.size() > static_cast<size_t>(decimals) && frac[static_cast<size_t>(decimals)] >= '5';
    frac.resize(static_cast<size_t>(decimals), '0');
    std::string digits = intPart + frac;
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[static_cast<size_t>(i)] == '9')
            digits[static_cast<size_t>(i--)] = '0';
        if (i < 0)
            digits.insert(0, 1, '1');
        else
            ++digits[static_cast<size_t>(i)];
    }
    const size_t intLen = digits.size() - static_cast<size_t>(decimals);
    std::string out;
    if (negative && digits.find_first_not_of('0') != std::string::npos) out += '-';
    std::string_view ip = std::string_view(digits).substr(0, intLen);
    while (ip.size() > 1 && ip.front() == '0') ip.remove_prefix(1);
    out += ip.empty() ? std::string_view("0") : ip;
    if (decimals > 0) {
        out += '.';
        out += digits.substr(intLen);
    }
    return out;
}

std::string DoubleText(double value) {
    if (value == 0) return "0";
    char buf[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, value);
        if (std::strtod(buf, nullptr) == value) break;
    }
    std::string s = buf;
    if (s.find('e') != std::string::npos && std::fabs(value) < 1e18) {
        std::snprintf(buf, sizeof buf, "%.0f", value);  // whole numbers up to 18 digits, plainly
        if (std::strtod(buf, nullptr) == value) s = buf;
    }
    return s;
}

std::string FieldTypeText(const FieldDef& def) {
    std::string s(1, def.type);
    s += ' ' + std::to_string(def.size);
    if (def.type == 'N' || def.type == 'F') s += ',' + std::to_string(def.decimals);
    return s;
}

// ---------------------------------------------------------------- FieldCodec

bool FieldCodec::NullBit(const uint8_t* record, int bit) const {
    if (bit < 0 || layout_->nullFlagsField < 0) return false;
    const FieldDef& nf = layout_->fields[static_cast<size_t>(layout_->nullFlagsField)].def;
    if (bit / 8 >= nf.size) return false;
    return (record[nf.offset + bit / 8] >> (bit % 8)) & 1;
}

void FieldCodec::SetNullBit(uint8_t* record, int bit, bool on) const {
    if (bit < 0 || layout_->nullFlagsField < 0) return;
    const FieldDef& nf = layout_->fields[static_cast<size_t>(layout_->nullFlagsField)].def;
    if (bit / 8 >= nf.size) return;
    uint8_t& b = record[nf.offset + bit / 8];
    b = on ? static_cast<uint8_t>(b | (1 << (bit % 8)))
           : static_cast<uint8_t>(b & ~(1 << (bit % 8)));
}

std::string FieldCodec::Text(const uint8_t* record, const FieldLayout& f,
                             const FormatSettings& fmt) const {
    std::string out;
    AppendText(out, record, f, fmt);
    return out;
}

void FieldCodec::AppendText(std::string& out, const uint8_t* record, const FieldLayout& f,
                            const FormatSettings& fmt) const {
    const FieldReader reader(*layout_, f);
    if (f.def.type == 'C') {
        codePage_->AppendDecoded(reader.Text(record), out);
        return;
    }
    const FieldValue v = reader.Read(record);
    switch (v.kind) {
        case ValueKind::Empty:
        case ValueKind::Null:
            return;
        case ValueKind::Invalid:
            if (!v.IsOverflow()) codePage_->AppendDecoded(v.text, out);
            return;
        case ValueKind::Text:
        case ValueKind::Bytes:
            codePage_->AppendDecoded(v.text, out);
            return;
        case ValueKind::Bool:
            out += v.flag ? "True" : "False";
            return;
        case ValueKind::Date:
            out += FormatDate(v.day, fmt.shortDateFormat);
            return;
        case ValueKind::DateTime:
            out += DateTimeText(v.day, v.ms, fmt);
            return;
        case ValueKind::Number:
            break;
    }
    switch (f.def.type) {
        case 'N':
        case 'F': {  // the stored digits, not a double: no digit is lost
            std::string digits = CanonicalNumber(v.text).value_or(std::string(v.text));
            if (fmt.declaredDecimals && f.def.type == 'N' && f.def.decimals > 0 &&
                CanonicalNumber(digits)) {
                const size_t point = digits.find('.');
                const size_t have = point == std::string::npos ? 0 : digits.size() - point - 1;
                if (point == std::string::npos) digits += '.';
                if (have < static_cast<size_t>(f.def.decimals))
                    digits.append(static_cast<size_t>(f.def.decimals) - have, '0');
            }
            out += WithSeparator(digits, fmt.decimalSeparator);
            return;
        }
        case 'I':
        case '+':
            out += std::to_string(v.integer);
            return;
        case 'Y':
            out += WithSeparator(FixedDecimalText(v.integer, 4), fmt.decimalSeparator);
            return;
        default:
            out += WithSeparator(DoubleText(v.number), fmt.decimalSeparator);
            return;
    }
}

bool FieldCodec::IsEmpty(const uint8_t* record, const FieldLayout& f) const {
    if (f.def.IsMemo() && !(f.def.type == 'B' && f.def.size == 8)) {
        if (NullBit(record, f.nullBit)) return true;
        if (f.def.size == 4) return LoadLE32(record + f.def.offset) == 0;
        const std::string_view raw = Bytes(record, f);
        return TrimStored(raw).empty() || raw.find_first_not_of("* ") == std::string_view::npos;
    }
    const FieldValue v = FieldReader(*layout_, f).Read(record);
    return v.IsEmpty() || v.IsOverflow() ||
           ((v.kind == ValueKind::Text || v.kind == ValueKind::Bytes) &&
            TrimStored(v.text).empty());
}

void FieldCodec::PutBytes(uint8_t* record, const FieldLayout& f, const std::string& bytes) const {
    std::memcpy(record + f.def.offset, bytes.data(),
                std::min(bytes.size(), static_cast<size_t>(f.def.size)));
    SetNullBit(record, f.nullBit, false);
}

void FieldCodec::SetDateTime(uint8_t* record, const FieldLayout& f, int day, int64_t ms) const {
    uint8_t* p = record + f.def.offset;
    if (f.def.type == 'T') {
        StoreLE(p, static_cast<uint32_t>(day + kJulianDayZero), 4);
        StoreLE(p + 4, static_cast<uint32_t>(ms), 4);
    } else {
        const double total =
            static_cast<double>(static_cast<int64_t>(day + kOrdinalDayZero) * kMsPerDay + ms);
        StoreBE(p, DoubleToBits(total), 8);
    }
    SetNullBit(record, f.nullBit, false);
}

void FieldCodec::SetText(uint8_t* record, const FieldLayout& f, std::string_view input,
                         const FormatSettings& fmt) const {
    const std::string_view text =
        f.def.type == 'C' || f.def.type == 'V' ? input : TrimStored(input);
    const size_t size = static_cast<size_t>(f.def.size);
    uint8_t* p = record + f.def.offset;
    const bool be = layout_->BigEndianIntegers();
    if (text.empty() && f.def.type != 'C' && f.def.type != 'V') {
        SetEmpty(record, f);
        return;
    }
    switch (f.def.type) {
        case 'C': {
            std::string bytes = codePage_->Encode(text);
            bytes.resize(size, ' ');  // longer text is cut, as dBase programs do
            PutBytes(record, f, bytes);
            return;
        }
        case 'V':
        case 'Q': {
            std::string bytes = codePage_->Encode(text);
            if (bytes.size() > size) bytes.resize(size);
            const bool shorter = bytes.size() < size;
            const uint8_t length = static_cast<uint8_t>(bytes.size());
            bytes.resize(size, f.def.type == 'V' ? ' ' : '\0');
            if (shorter && layout_->nullFlagsField >= 0 && f.varLengthBit >= 0)
                bytes[size - 1] = static_cast<char>(length);
            PutBytes(record, f, bytes);
            SetNullBit(record, f.varLengthBit, shorter);
            return;
        }
        case 'N':
        case 'F': {
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon || canon->empty()) Reject(f, text, "nu este un numar");
            const std::string digits = RoundDecimal(*canon, f.def.decimals);
            if (digits.size() > size)
                throw DbfError(ErrorKind::Conversion, "Valoarea " + std::string(text) +
                                                          " nu incape in campul " + f.def.name +
                                                          " (" + FieldTypeText(f.def) + ").");
            PutBytes(record, f, std::string(size - digits.size(), ' ') + digits);
            return;
        }
        case 'D': {
            auto day = ParseDateText(text, fmt);
            if (!day) Reject(f, text, "nu este o data in formatul " + fmt.shortDateFormat);
            PutBytes(record, f, Ymd(*day));
            return;
        }
        case 'L': {
            auto b = ParseLogicalText(text);
            if (!b) Reject(f, text, "nu este o valoare logica (DA/NU)");
            PutBytes(record, f, *b ? "T" : "F");
            return;
        }
        case 'I':
        case '+': {
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon || canon->find('.') != std::string::npos)
                Reject(f, text, "nu este un numar intreg");
            errno = 0;
            const long long v = std::strtoll(canon->c_str(), nullptr, 10);
            if (errno != 0 || v < std::numeric_limits<int32_t>::min() ||
                v > std::numeric_limits<int32_t>::max())
                throw DbfError(ErrorKind::Conversion, "Valoarea " + std::string(text) +
                                                          " nu incape in campul " + f.def.name +
                                                          " (" + FieldTypeText(f.def) + ").");
            if (be)
                StoreBE(p, static_cast<uint32_t>(v) ^ 0x80000000u, 4);
            else
                StoreLE(p, static_cast<uint32_t>(v), 4);
            SetNullBit(record, f.nullBit, false);
            return;
        }
        case 'B':
        case 'O': {
            if (f.def.size != 8) break;
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon) Reject(f, text, "nu este un numar");
            const double v = std::strtod(canon->c_str(), nullptr);
            if (f.def.type == 'O')
                StoreSortableDouble(p, v);
            else
                StoreLE(p, DoubleToBits(v), 8);
            SetNullBit(record, f.nullBit, false);
            return;
        }
        case 'Y': {
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon) Reject(f, text, "nu este un numar");
            std::string scaled = RoundDecimal(*canon, 4);
            scaled.erase(scaled.find('.'), 1);
            errno = 0;
            const long long v = std::strtoll(scaled.c_str(), nullptr, 10);
            if (errno != 0)
                throw DbfError(ErrorKind::Conversion, "Valoarea " + std::string(text) +
                                                          " nu incape in campul " + f.def.name +
                                                          " (" + FieldTypeText(f.def) + ").");
            StoreLE(p, static_cast<uint64_t>(v), 8);
            SetNullBit(record, f.nullBit, false);
            return;
        }
        case 'T':
        case '@': {
            auto dt = ParseDateTimeText(text, fmt);
            if (!dt) Reject(f, text, "nu este o data in formatul " + fmt.shortDateFormat);
            SetDateTime(record, f, dt->day, dt->ms);
            return;
        }
        default:
            break;
    }
    throw DbfError(ErrorKind::Conversion, "Campul " + f.def.name + " (tip " +
                                              std::string(1, f.def.type) +
                                              ") nu poate fi scris de acest program.");
}

void FieldCodec::SetDouble(uint8_t* record, const FieldLayout& f, double value,
                           const FormatSettings& fmt) const {
    if (!std::isfinite(value))
        throw DbfError(ErrorKind::Conversion,
                       "Valoarea nu este un numar pentru campul " + f.def.name + ".");
    switch (f.def.type) {
        case 'N':
        case 'F':
            // The shortest text of the double, rounded on its digits: 2.005 gives 2.01 at two
            // decimals, as the user typed it, not 2.00 from 2.00499999...
            SetText(record, f, DoubleText(value), FormatSettings{'.', fmt.shortDateFormat});
            return;
        case 'D':
            SetDate(record, f, static_cast<int>(std::floor(value)), fmt);
            return;
        case 'C':
        case 'V':
            SetText(record, f, WithSeparator(DoubleText(value), fmt.decimalSeparator), fmt);
            return;
        case 'L':
            PutBytes(record, f, value != 0 ? "T" : "F");
            return;
        default:
            SetText(record, f, DoubleText(value), FormatSettings{'.', fmt.shortDateFormat});
            return;
    }
}

void FieldCodec::SetInteger(uint8_t* record, const FieldLayout& f, int64_t value,
                            const FormatSettings& fmt) const {
    switch (f.def.type) {
        case 'D':
            SetDate(record, f, static_cast<int>(value), fmt);
            return;
        case 'L':
            PutBytes(record, f, value != 0 ? "T" : "F");
            return;
        default:
            SetText(record, f, std::to_string(value), FormatSettings{'.', fmt.shortDateFormat});
            return;
    }
}

void FieldCodec::SetDate(uint8_t* record, const FieldLayout& f, int day,
                         const FormatSettings& fmt) const {
    const CivilDate c = CivilFromDayNumber(day);
    if (!IsValidDate(c.year, c.month, c.day))
        throw DbfError(ErrorKind::Conversion, "Ziua " + std::to_string(day) +
                                                  " nu este o data valida pentru campul " +
                                                  f.def.name + ".");
    switch (f.def.type) {
        case 'D':
            PutBytes(record, f, Ymd(day));
            return;
        case 'T':
        case '@':
            SetDateTime(record, f, day, 0);
            return;
        case 'C':
        case 'V':
            SetText(record, f, FormatDate(day, fmt.shortDateFormat), fmt);
            return;
        default:
            SetInteger(record, f, day, fmt);
            return;
    }
}

void FieldCodec::SetCharacterBytes(uint8_t* record, const FieldLayout& f,
                                   std::string_view bytes) const {
    const size_t size = static_cast<size_t>(f.def.size);
    if (bytes.size() > size)
        throw DbfError(ErrorKind::Conversion, "Valoarea nu incape in campul " + f.def.name + ".");
    uint8_t* p = record + f.def.offset;
    std::memcpy(p, bytes.data(), bytes.size());
    std::memset(p + bytes.size(), ' ', size - bytes.size());
}

void FieldCodec::SetEmpty(uint8_t* record, const FieldLayout& f) const {
    uint8_t* p = record + f.def.offset;
    const size_t size = static_cast<size_t>(f.def.size);
    switch (f.def.type) {
        case 'I':
        case '+':
        case 'B':
        case 'O':
        case 'Y':
        case 'T':
        case '@':
        case 'Q':
            std::memset(p, 0, size);
            if (f.def.type == 'B' && size == 10) std::memset(p, ' ', size);
            break;
        case 'M':
        case 'G':
        case 'P':
            std::memset(p, size == 4 ? 0 : ' ', size);
            break;
        default:
            std::memset(p, ' ', size);
            break;
    }
    // An empty varbinary is one of length 0 (its last byte, 0, the length): without the bit its
    // zeros would read as a full-width value.
    SetNullBit(record, f.varLengthBit, f.def.type == 'Q');
    // A nullable VFP field becomes null; others just blank.
    SetNullBit(record, f.nullBit, f.nullBit >= 0 && f.def.type != 'M');
}

void FieldCodec::BlankRecord(uint8_t* record) const {
    record[0] = ' ';
    // The flags first: the fields' own bits go into them.
    for (const FieldLayout& f : layout_->fields)
        if (f.system) std::memset(record + f.def.offset, 0, static_cast<size_t>(f.def.size));
    for (const FieldLayout& f : layout_->fields) {
        if (f.system) continue;
        SetEmpty(record, f);
        SetNullBit(record, f.nullBit, false);
    }
}

std::optional<uint32_t> FieldCodec::MemoBlock(const uint8_t* record, const FieldLayout& f) const {
    const uint8_t* p = record + f.def.offset;
    if (f.def.size == 4) return LoadLE32(p);
    const std::string_view t = TrimStored(Bytes(record, f));
    if (t.empty()) return 0;
    uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(v);
}

void FieldCodec::SetMemoBlock(uint8_t* record, const FieldLayout& f, uint32_t block) const {
    uint8_t* p = record + f.def.offset;
    const size_t size = static_cast<size_t>(f.def.size);
    if (size == 4) {
        StoreLE(p, block, 4);
        return;
    }
    std::memset(p, ' ', size);
    if (block == 0) return;
    const std::string digits = std::to_string(block);
    std::memcpy(p + size - std::min(size, digits.size()), digits.data(),
                std::min(size, digits.size()));
}

}  // namespace orbelan
