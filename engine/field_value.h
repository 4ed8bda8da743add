#pragma once
// The one reader of stored field values. Every place that needs a field's value — its text
// form, the filter, the ORDER BY and GROUP BY keys, locate, the writer's copies — reads it here,
// so byte order, null bits and damaged values are decided once:
//
//   null     the field's bit in _NullFlags is set (Visual FoxPro nullable fields)
//   empty    blanks; 00000000 in D; a logical other than T F Y N; all-zero binary dates; a
//            binary number or date that is not one (NaN, a day before year 1)
//   invalid  stored characters that are not a value of their type: "12a" or "***" in N, "2024XX01"
//            in D, an I field whose size is not 4. Shown as stored (trimmed), compared by that
//            text in the filter, sorted among the empty values. An overflow ("***": the value
//            did not fit when written) has no digits to show: its text form is empty.
//   number   N F (from the stored digits) I + (4 bytes; dBase 7: big-endian, sign bit flipped)
//            B (little-endian double) O (dBase 7: big-endian double, sortable bits) Y (int64 /
//            10^4)
//   date     D (yyyymmdd)         datetime  T (julian day + ms, little-endian) @ (dBase 7: ms
//                                           since 0001-01-01 as a big-endian double)
//   bool     L
//   text     C, V (up to its stored length), types this program does not know (trimmed)
//   bytes    Q (up to its stored length)
// Memo fields hold block pointers, not values: FieldCodec::MemoBlock reads those.
//
// Reading allocates nothing; the views point into the record.
//
//   FieldReader reader(file.Layout(), file.FieldAt(2));
//   FieldValue v = reader.Read(record);
//   if (v.kind == ValueKind::Number && v.number > 10) ...
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

#include "engine/date_util.h"
#include "engine/dbf_header.h"
#include "engine/trim.h"

namespace orbelan {

enum class ValueKind : uint8_t { Empty, Null, Invalid, Number, Date, DateTime, Bool, Text, Bytes };

constexpr int64_t kMsPerDay = 86400000;
constexpr int kJulianDayZero = 2415019;  // julian day of 1899-12-30, our day 0
constexpr int kOrdinalDayZero = 693594;  // days from 0001-01-01 (day 1) to 1899-12-30

struct FieldValue {
    ValueKind kind = ValueKind::Empty;
    // Number: false when the stored digits hold more than a double keeps (N F beyond 15
    // significant digits); ties of such values are settled on `text`.
    bool exact = true;
    bool flag = false;      // Bool
    double number = 0;      // Number
    int64_t integer = 0;    // Number of I + (the value) and Y (ten-thousandths)
    int day = 0;            // Date, DateTime: day number, 0 = 30 December 1899
    int64_t ms = 0;         // DateTime: milliseconds into the day (0 .. 86400000)
    std::string_view text;  // Text, Bytes; Invalid: stored characters; N F numbers: stored digits

    bool IsEmpty() const { return kind == ValueKind::Empty || kind == ValueKind::Null; }
    bool IsValue() const { return kind >= ValueKind::Number; }
    // Stars where a number should be: the writer's mark of a value that did not fit.
    bool IsOverflow() const {
        return kind == ValueKind::Invalid && !text.empty() &&
               text.find_first_not_of('*') == std::string_view::npos;
    }
    // Date and DateTime on one scale: milliseconds from day 0, so D and T fields compare.
    int64_t Instant() const { return int64_t(day) * kMsPerDay + ms; }
};

// Day number of stored yyyymmdd characters; false when they are not a valid date.
inline bool ReadYmd(const uint8_t* p, int& day) {
    for (int i = 0; i < 8; ++i)
        if (p[i] < '0' || p[i] > '9') return false;
    const int y = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    const int m = (p[4] - '0') * 10 + (p[5] - '0');
    const int d = (p[6] - '0') * 10 + (p[7] - '0');
    if (!IsValidDate(y, m, d)) return false;
    day = DayNumber(y, m, d);
    return true;
}

// Reads one field of records of one table; cheap to make, so per call is fine too.
class FieldReader {
  public:
    FieldReader() = default;
    FieldReader(const DbfLayout& layout, const FieldLayout& field)
        : type_(field.def.type),
          offset_(field.def.offset),
          size_(field.def.size),
          bigEndian_(layout.BigEndianIntegers()) {
        if (layout.nullFlagsField >= 0) {
            const FieldDef& flags = layout.fields[static_cast<size_t>(layout.nullFlagsField)].def;
            nullFlags_ = flags.offset;
            nullFlagsSize_ = flags.size;
            nullBit_ = field.nullBit;
            varLengthBit_ = field.varLengthBit;
        }
    }

    // record points at the deletion flag. Character, numeric and date fields are read here, in
    // line, since filters and sorts read them a million times; the rest in ReadOther.
    FieldValue Read(const uint8_t* record) const {
        if (nullBit_ >= 0 && Bit(record, nullBit_)) {
            FieldValue v;
            v.kind = ValueKind::Null;
            return v;
        }
        const char* p = reinterpret_cast<const char*>(record + offset_);
        switch (type_) {
            case 'C': {
                size_t n = static_cast<size_t>(size_);
                while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
                FieldValue v;
                v.kind = ValueKind::Text;
                v.text = std::string_view(p, n);
                return v;
            }
            case 'N':
            case 'F':
                return ReadNumberText(std::string_view(p, static_cast<size_t>(size_)));
            case 'D':
                if (size_ == 8) {
                    FieldValue v;
                    if (ReadYmd(reinterpret_cast<const uint8_t*>(p), v.day)) {
                        v.kind = ValueKind::Date;
                        return v;
                    }
                }
                break;
            default:
                break;
        }
        return ReadOther(record);
    }
    // The stored text of a C V or Q field (empty for a null): Read(record).text, without
    // building the whole value, for the loops over every row.
    std::string_view Text(const uint8_t* record) const {
        if (type_ == 'C' && nullBit_ < 0) {
            const char* p = reinterpret_cast<const char*>(record + offset_);
            size_t n = static_cast<size_t>(size_);
            // Wide fields are mostly padding: drop it eight blanks at a time first.
            while (n >= 8 && std::memcmp(p + n - 8, "        ", 8) == 0) n -= 8;
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
            return std::string_view(p, n);
        }
        const FieldValue v = Read(record);
        return v.IsEmpty() ? std::string_view() : v.text;
    }
    char Type() const { return type_; }
    int Offset() const { return offset_; }
    int Size() const { return size_; }

  private:
    bool Bit(const uint8_t* record, int bit) const {
        return bit >= 0 && bit / 8 < nullFlagsSize_ &&
               ((record[nullFlags_ + bit / 8] >> (bit % 8)) & 1);
    }
    FieldValue ReadOther(const uint8_t* record) const;
    // Stored digits: blanks, sign, digits, point, digits, blanks. The double is exact when the
    // digits hold at most 15 significant ones.
    static FieldValue ReadNumberText(std::string_view raw) {
        raw = TrimStored(raw);
        FieldValue v;
        if (raw.empty()) return v;
        std::string_view s = raw;
        if (s.front() == '+') s.remove_prefix(1);
        const size_t first = !s.empty() && s.front() == '-' ? 1 : 0;
        // Up to 15 digits: the digits as an integer divided by a power of ten is the correctly
        // rounded double, exactly what from_chars gives, for a fraction of its cost.
        uint64_t mantissa = 0;
        int digits = 0, fraction = 0;
        bool point = false;
        size_t i = first;
        for (; i < s.size(); ++i) {
            const char c = s[i];
            if (c >= '0' && c <= '9') {
                mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
                ++digits;
                fraction += point;
            } else if (c == '.' && !point) {
                point = true;
            } else {
                break;
            }
        }
        if (i == s.size() && digits > 0 && digits <= 15) {
            static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
            double d = static_cast<double>(mantissa) / kPowers[fraction];
            if (first && d != 0) d = -d;
            v.kind = ValueKind::Number;
            v.number = d;
            v.text = raw;
            return v;
        }
        // from_chars would also take "inf" and "nan": a digit or the point must come first.
        if (s.size() > first && ((s[first] >= '0' && s[first] <= '9') || s[first] == '.')) {
            const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v.number);
            if (ec == std::errc() && end == s.data() + s.size()) {
                v.kind = ValueKind::Number;
                v.exact = s.size() <= 15 || SignificantDigits(s) <= 15;
                v.text = raw;
                if (v.number == 0) v.number = 0;  // -0 is 0
                return v;
            }
        }
        return NumberFallback(raw);
    }
    static int SignificantDigits(std::string_view s);
    static FieldValue NumberFallback(std::string_view trimmed);

    char type_ = 'C';
    int offset_ = 0;
    int size_ = 0;
    int nullFlags_ = 0;
    int nullFlagsSize_ = 0;  // 0 when the table has no _NullFlags
    int nullBit_ = -1;
    int varLengthBit_ = -1;
    bool bigEndian_ = false;
};

}  // namespace orbelan
