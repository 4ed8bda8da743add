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
#include <cstdint>
#include <string_view>

#include "engine/dbf_header.h"

namespace orbelan {

enum class ValueKind : uint8_t { Empty, Null, Invalid, Number, Date, DateTime, Bool, Text, Bytes };

constexpr int64_t kMsPerDay = 86400000;

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

// Reads one field of records of one table; cheap to make, so per call is fine too.
class FieldReader {
  public:
    FieldReader() = default;
    FieldReader(const DbfLayout& layout, const FieldLayout& field);

    FieldValue Read(const uint8_t* record) const;  // record points at the deletion flag
    char Type() const { return type_; }
    int Offset() const { return offset_; }
    int Size() const { return size_; }

  private:
    bool Bit(const uint8_t* record, int bit) const {
        return bit >= 0 && bit / 8 < nullFlagsSize_ &&
               ((record[nullFlags_ + bit / 8] >> (bit % 8)) & 1);
    }
    FieldValue ReadNumberText(std::string_view raw) const;

    char type_ = 'C';
    int offset_ = 0;
    int size_ = 0;
    int nullFlags_ = 0;
    int nullFlagsSize_ = 0;  // 0 when the table has no _NullFlags
    int nullBit_ = -1;
    int varLengthBit_ = -1;
    bool bigEndian_ = false;
};

// Day number of stored yyyymmdd characters; false when they are not a valid date.
bool ReadYmd(const uint8_t* p, int& day);

}  // namespace orbelan
