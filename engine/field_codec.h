#pragma once
// Values of one record: text forms of the stored bytes, and stored bytes from text or numbers.
//
// Text forms (through FormatSettings):
//   C  without trailing blanks                 N F  "12,5" (stored digits, no padding, no double)
//   D  short date format; blanks/00000000 = ""  L    "True" / "False"; '?' or blank = ""
//   I +  integer    B O  double (shortest)      Y    currency, trailing zeros trimmed
//   T @  short date + " hh:mm:ss"               V    text up to its stored length
// A value its type can't hold ("24/01/20" in a D field, letters in N) reads as its stored
// characters, trimmed. The values come from FieldReader (field_value.h), which decides byte
// order, nulls and damaged values for the whole engine. Memo fields are not handled here: only
// their block pointers.
//
// Writing: numbers accept '.' or the settings' separator and are rounded to the field's
// decimals; dates take the short date format or yyyymmdd; logicals T/F/Y/N/DA/NU/True/False.
// A character field silently cuts text longer than the field, as dBase programs do. Every other
// value the field can't take throws DbfError(Conversion) and leaves the record unchanged.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/format_settings.h"
#include "engine/text_parse.h"  // CanonicalNumber

namespace orbelan {

// A canonical number rounded (half away from zero) to exactly `decimals` fraction digits.
std::string RoundDecimal(const std::string& canonical, int decimals);
// Shortest text that reads back as the same double, with '.'.
std::string DoubleText(double value);
// "N 10,2", "C 20": how a field is named in messages.
std::string FieldTypeText(const FieldDef& def);

class FieldCodec {
  public:
    FieldCodec(const DbfLayout& layout, const CodePage& codePage)
        : layout_(&layout), codePage_(&codePage) {}

    const CodePage& Page() const { return *codePage_; }

    // Non-memo fields only.
    std::string Text(const uint8_t* record, const FieldLayout& field,
                     const FormatSettings& format) const;
    // The same text form appended to out: writers of many rows reuse one buffer.
    void AppendText(std::string& out, const uint8_t* record, const FieldLayout& field,
                    const FormatSettings& format) const;
    // Blank (or null) value, as IsNull of the dataset reports it.
    bool IsEmpty(const uint8_t* record, const FieldLayout& field) const;

    void SetText(uint8_t* record, const FieldLayout& field, std::string_view text,
                 const FormatSettings& format) const;
    // A character field's text already in the table's code page, at most the field's width
    // (the caller has measured it): padded with spaces.
    void SetCharacterBytes(uint8_t* record, const FieldLayout& field, std::string_view bytes) const;
    void SetDouble(uint8_t* record, const FieldLayout& field, double value,
                   const FormatSettings& format) const;
    void SetInteger(uint8_t* record, const FieldLayout& field, int64_t value,
                    const FormatSettings& format) const;
    void SetDate(uint8_t* record, const FieldLayout& field, int dayNumber,
                 const FormatSettings& format) const;
    void SetEmpty(uint8_t* record, const FieldLayout& field) const;
    // A new record: not deleted, every field empty.
    void BlankRecord(uint8_t* record) const;

    // Memo block of a memo field: 0 for none, nullopt when the pointer isn't a number.
    std::optional<uint32_t> MemoBlock(const uint8_t* record, const FieldLayout& field) const;
    void SetMemoBlock(uint8_t* record, const FieldLayout& field, uint32_t block) const;

  private:
    bool NullBit(const uint8_t* record, int bit) const;
    void SetNullBit(uint8_t* record, int bit, bool on) const;
    void PutBytes(uint8_t* record, const FieldLayout& field, const std::string& bytes) const;
    void SetDateTime(uint8_t* record, const FieldLayout& field, int day, int64_t ms) const;

    const DbfLayout* layout_;
    const CodePage* codePage_;
};

}  // namespace orbelan
