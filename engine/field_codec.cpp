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

std::string CanonicalFromParts(bool negative, std::string_view intDigits, std::string_view frac) {
    while (!intDigits.empty() && intDigits.front() == '0') intDigits.remove_prefix(1);
    while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
    std::string out;
    if (negative && (!intDigits.empty() || !frac.empty())) out += '-';
    out += intDigits.empty() ? std::string_view("0") : intDigits;
    if (!frac.empty()) {
        out += '.';
        out += frac;
    }
    return out;
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

// Date and optional time of day: "dd.MM.yyyy hh:mm[:ss]", also yyyymmdd and yyyy-mm-dd.
std::optional<int> ParseDay(std::string_view text, const FormatSettings& fmt) {
    if (auto d = ParseDate(text, fmt.shortDateFormat)) return d;
    if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos)
        if (auto d = ParseDate(text, "yyyyMMdd")) return d;
    if (auto d = ParseDate(text, "yyyy-MM-dd")) return d;
    return std::nullopt;
}

std::optional<std::pair<int, int64_t>> ParseDateTime(std::string_view text,
                                                     const FormatSettings& fmt) {
    const size_t space = text.find(' ');
    const std::string_view datePart = text.substr(0, space);
    auto day = ParseDay(datePart, fmt);
    if (!day) return std::nullopt;
    int64_t ms = 0;
    if (space != std::string_view::npos) {
        std::string_view t = TrimStored(text.substr(space + 1));
        int parts[3] = {0, 0, 0};
        int n = 0;
        while (!t.empty() && n < 3) {
            size_t k = 0;
            int v = 0;
            while (k < t.size() && k < 2 && t[k] >= '0' && t[k] <= '9') v = v * 10 + (t[k++] - '0');
            if (k == 0) return std::nullopt;
            parts[n++] = v;
            t.remove_prefix(k);
            if (!t.empty()) {
                if (t.front() != ':') return std::nullopt;
                t.remove_prefix(1);
            }
        }
        if (!t.empty() || n < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
            return std::nullopt;
        ms = (parts[0] * 3600LL + parts[1] * 60LL + parts[2]) * 1000;
    }
    return std::make_pair(*day, ms);
}

std::optional<char> ParseLogical(std::string_view text) {
    std::string t(text);
    for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (t == "T" || t == "TRUE" || t == "Y" || t == "YES" || t == "DA" || t == ".T." || t == "1")
        return 'T';
    if (t == "F" || t == "FALSE" || t == "N" || t == "NO" || t == "NU" || t == ".F." || t == "0")
        return 'F';
    return std::nullopt;
}

std::string FixedDecimalText(int64_t scaled, int scale) {
    const bool negative = scaled < 0;
    // Through unsigned so INT64_MIN does not overflow.
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() <= static_cast<size_t>(scale))
        digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    const size_t point = digits.size() - static_cast<size_t>(scale);
    return CanonicalFromParts(negative, std::string_view(digits).substr(0, point),
                              std::string_view(digits).substr(point));
}

// "1.5E+3" -> "1500", "-2.5e-2" -> "-0.025": textually, so no digit is lost.
std::optional<std::string> ExpandExponent(std::string_view s, char separator) {
    const size_t e = s.find_first_of("eE");
    std::string_view mantissa = s.substr(0, e);
    std::string_view exponent = s.substr(e + 1);
    std::string sign;
    if (!mantissa.empty() && (mantissa.front() == '-' || mantissa.front() == '+')) {
        if (mantissa.front() == '-') sign = "-";
        mantissa.remove_prefix(1);
    }
    std::string digits;
    long point = -1;
    for (char c : mantissa) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if ((c == '.' || c == separator) && point < 0) {
            point = static_cast<long>(digits.size());
        } else {
            return std::nullopt;
        }
    }
    if (digits.empty() || exponent.empty() || exponent.size() > 4) return std::nullopt;
    bool negativeExp = false;
    if (exponent.front() == '-' || exponent.front() == '+') {
        negativeExp = exponent.front() == '-';
        exponent.remove_prefix(1);
    }
    if (exponent.empty() || exponent.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    long shift = std::stol(std::string(exponent));
    if (negativeExp) shift = -shift;
    if (point < 0) point = static_cast<long>(digits.size());
    point += shift;
    if (point <= 0) {
        digits.insert(0, static_cast<size_t>(-point) + 1, '0');
        point = 1;
    }
    if (point > static_cast<long>(digits.size()))
        digits.append(static_cast<size_t>(point) - digits.size(), '0');
    return sign + digits.substr(0, static_cast<size_t>(point)) + "." +
           digits.substr(static_cast<size_t>(point));
}

}  // namespace

// ---------------------------------------------------------------- number helpers

std::optional<std::string> CanonicalNumber(std::string_view text, char separator) {
    std::string_view s = TrimStored(text);
    if (s.empty() || s.find_first_not_of('*') == std::string_view::npos) return std::string();
    std::string expanded;
    if (s.find_first_of("eE") != std::string_view::npos) {
        // Scientific notation from some writers of F fields: move the point on the digits.
        auto e = ExpandExponent(s, separator);
        if (!e) return std::nullopt;
        expanded = std::move(*e);
        s = expanded;
    }
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
        s = TrimStored(s);
    }
    size_t point = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') continue;
        if ((c == '.' || c == separator) && point == std::string_view::npos) {
            point = i;
            continue;
        }
        return std::nullopt;
    }
    const std::string_view intPart = s.substr(0, point);
    const std::string_view frac =
        point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    if (intPart.empty() && frac.empty()) return std::nullopt;
    return CanonicalFromParts(negative, intPart, frac);
}

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
        case 'F':  // the stored digits, not a double: no digit is lost
            out += WithSeparator(CanonicalNumber(v.text).value_or(std::string(v.text)),
                                 fmt.decimalSeparator);
            return;
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
            auto day = ParseDay(text, fmt);
            if (!day) Reject(f, text, "nu este o data in formatul " + fmt.shortDateFormat);
            PutBytes(record, f, Ymd(*day));
            return;
        }
        case 'L': {
            auto c = ParseLogical(text);
            if (!c) Reject(f, text, "nu este o valoare logica (DA/NU)");
            PutBytes(record, f, std::string(1, *c));
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
            auto dt = ParseDateTime(text, fmt);
            if (!dt) Reject(f, text, "nu este o data in formatul " + fmt.shortDateFormat);
            SetDateTime(record, f, dt->first, dt->second);
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
    SetNullBit(record, f.varLengthBit, false);
    // A nullable VFP field becomes null; others just blank.
    SetNullBit(record, f.nullBit, f.nullBit >= 0 && f.def.type != 'M');
}

void FieldCodec::BlankRecord(uint8_t* record) const {
    record[0] = ' ';
    for (const FieldLayout& f : layout_->fields) {
        if (f.system) {
            std::memset(record + f.def.offset, 0, static_cast<size_t>(f.def.size));
            continue;
        }
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
