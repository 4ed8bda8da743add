#include "engine/field_value.h"

#include <charconv>
#include <cmath>

#include "engine/byte_order.h"
#include "engine/date_util.h"
#include "engine/field_codec.h"

namespace orbelan {
namespace {

constexpr int kFirstJulianDay = 1721426;  // 0001-01-01: anything before is garbage

FieldValue Invalid(std::string_view text) {
    FieldValue v;
    v.kind = ValueKind::Invalid;
    v.text = text;
    return v;
}

FieldValue Number(double d) {
    FieldValue v;
    v.kind = ValueKind::Number;
    v.number = d;
    return v;
}

// ms since 0001-01-01 (dBase 7 timestamps) split into day number and time of day.
FieldValue FromOrdinalMs(double total) {
    FieldValue v;
    if (total == 0) return v;
    if (!(total > 0) || !std::isfinite(total) || total > 3.2e14) return v;
    const auto ms = static_cast<int64_t>(std::llround(total));
    v.kind = ValueKind::DateTime;
    v.day = static_cast<int>(ms / kMsPerDay - kOrdinalDayZero);
    v.ms = ms % kMsPerDay;
    return v;
}

}  // namespace

int FieldReader::SignificantDigits(std::string_view t) {
    int significant = 0, pendingZeros = 0;
    bool point = false, seenNonZero = false;
    for (const char c : t) {
        if (c == '.') {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') {
            if (c == 'e' || c == 'E') break;
            continue;
        }
        if (c == '0') {
            if (seenNonZero) ++pendingZeros;
        } else {
            significant += pendingZeros + 1;
            pendingZeros = 0;
            seenNonZero = true;
        }
    }
    if (!point) significant += pendingZeros;  // 1200 has four significant digits, 1.200 two
    return significant;
}

// Anything unusual (a blank after the sign, "1.5E+3" cut short ...) goes through the full
// reading of numbers.
FieldValue FieldReader::NumberFallback(std::string_view t0) {
    FieldValue v;
    const auto canonical = CanonicalNumber(t0);
    if (!canonical || canonical->empty()) return Invalid(t0);
    const std::string& c = *canonical;
    if (std::from_chars(c.data(), c.data() + c.size(), v.number).ec != std::errc() ||
        !std::isfinite(v.number))
        return Invalid(t0);
    if (v.number == 0) v.number = 0;
    v.kind = ValueKind::Number;
    v.exact = c.size() <= 16;  // digits, sign and point: conservative
    v.text = t0;
    return v;
}

FieldValue FieldReader::ReadOther(const uint8_t* record) const {
    FieldValue v;
    if (Bit(record, nullBit_)) {
        v.kind = ValueKind::Null;
        return v;
    }
    const uint8_t* p = record + offset_;
    const std::string_view raw(reinterpret_cast<const char*>(p), static_cast<size_t>(size_));
    switch (type_) {
        case 'C': {
            size_t n = raw.size();
            while (n > 0 && IsBlankByte(raw[n - 1])) --n;
            v.kind = ValueKind::Text;
            v.text = raw.substr(0, n);
            return v;
        }
        case 'V':
        case 'Q': {
            size_t n = raw.size();
            if (n > 0 && Bit(record, varLengthBit_))
                n = std::min<size_t>(n - 1, static_cast<uint8_t>(raw.back()));
            std::string_view t = raw.substr(0, n);
            if (type_ == 'V')
                while (!t.empty() && IsBlankByte(t.back())) t.remove_suffix(1);
            v.kind = type_ == 'V' ? ValueKind::Text : ValueKind::Bytes;
            v.text = t;
            return v;
        }
        case 'N':
        case 'F':
            return ReadNumberText(raw);
        case 'D': {
            const std::string_view t = TrimStored(raw);
            if (t.empty() || t == "00000000") return v;
            if (size_ == 8 && ReadYmd(p, v.day)) {
                v.kind = ValueKind::Date;
                return v;
            }
            return Invalid(t);
        }
        case 'L':
            if (size_ >= 1) {
                const char c = raw[0];
                if (c == 'T' || c == 't' || c == 'Y' || c == 'y' || c == 'F' || c == 'f' ||
                    c == 'N' || c == 'n') {
                    v.kind = ValueKind::Bool;
                    v.flag = c == 'T' || c == 't' || c == 'Y' || c == 'y';
                }
            }
            return v;
        case 'I':
        case '+': {
            if (size_ != 4) break;
            const int32_t i = bigEndian_ ? static_cast<int32_t>(LoadBE32(p) ^ 0x80000000u)
                                         : static_cast<int32_t>(LoadLE32(p));
            v = Number(i);
            v.integer = i;
            return v;
        }
        case 'B':
        case 'O': {
            if (size_ != 8) break;
            uint64_t bits;
            if (type_ == 'O') {
                // Sign bit set for positives, every bit inverted for negatives: bytes sort as
                // the numbers.
                bits = LoadBE64(p);
                bits = (bits & 0x8000000000000000ULL) ? bits ^ 0x8000000000000000ULL : ~bits;
            } else {
                bits = LoadLE64(p);
            }
            const double d = BitsToDouble(bits);
            return std::isfinite(d) ? Number(d == 0 ? 0.0 : d) : v;
        }
        case 'Y': {
            if (size_ != 8) break;
            const auto scaled = static_cast<int64_t>(LoadLE64(p));
            v = Number(static_cast<double>(scaled) / 10000.0);
            v.integer = scaled;
            v.exact = scaled > -1000000000000000LL && scaled < 1000000000000000LL;
            return v;
        }
        case 'T': {
            if (size_ != 8) break;
            const int32_t jd = static_cast<int32_t>(LoadLE32(p));
            const int32_t ms = static_cast<int32_t>(LoadLE32(p + 4));
            if (jd < kFirstJulianDay || ms < 0 || ms > kMsPerDay) return v;  // zeros, blanks
            v.kind = ValueKind::DateTime;
            v.day = jd - kJulianDayZero;
            v.ms = ms;
            return v;
        }
        case '@':
            if (size_ != 8) break;
            return FromOrdinalMs(BitsToDouble(LoadBE64(p)));
        default:
            break;
    }
    // Types this program can't interpret, or a binary field of the wrong size: the stored
    // characters.
    const std::string_view t = TrimStored(raw);
    if (type_ == 'I' || type_ == '+' || type_ == 'B' || type_ == 'O' || type_ == 'Y' ||
        type_ == 'T' || type_ == '@')
        return t.empty() ? v : Invalid(t);
    v.kind = ValueKind::Text;
    v.text = t;
    return v;
}

}  // namespace orbelan
