#pragma once
// A value going into a field of another type or width: a text a user wrote (an imported cell) or
// the value of a field of another table, converted to what the target field stores, or refused
// with the reason. Nothing is cut or rounded away silently: a text longer than a character field,
// a number with more digits than its field, a text that is not a date is a failure, and the
// caller decides (list it, leave the cell empty).
//
//   text -> N F    a number, '.' or the settings' separator; rounded to the field's decimals
//   text -> D      the short date format, yyyymmdd or yyyy-mm-dd (a date-time at midnight too)
//   text -> T      a date, optionally with " hh:mm[:ss]"
//   text -> L      T F Y N DA NU TRUE FALSE 1 0 (any case)
//   text -> I Y B  an integer (in 32 bits) / a currency / any number
//   text -> C V    as it is, if its bytes in the table's code page fit the width
//   text -> M      any text the code page can hold
// A field's value goes as its text form (FieldCodec: "12,5", "24.01.2020", memo texts whole); a
// logical into a character field too narrow for "True" becomes T / F.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/codepage.h"
#include "engine/field_def.h"
#include "engine/format_settings.h"

namespace orbelan {

class DbfFile;
class DbfWriter;

enum class ConvertFailure {
    None,
    TooLong,           // longer than the character field
    NotANumber,        // letters in a number
    NotAnInteger,      // a fraction into an integer field
    Overflow,          // more digits than the field holds
    NotADate,          // not a date in the short date format
    NotALogical,       // not one of the logical words
    MissingCharacter,  // a character the table's code page lacks
    Unreadable,        // the source value can't be read (a damaged memo)
};

struct Converted {
    ConvertFailure failure = ConvertFailure::None;
    // The value for DbfWriter::SetText (SetMemo for memo fields); "" leaves the field empty.
    std::string text;
    // Why it failed, in Romanian ("nu este un numar"); empty when it didn't.
    std::string reason;
    bool Ok() const { return failure == ConvertFailure::None; }
};

// A text as a user writes it for a field of a table in code page `page`.
Converted ConvertText(std::string_view text, const FieldDef& target, const CodePage& page,
                      const FormatSettings& format);

// The value of source's field `field` in `record` for target (of a table in page `page`).
Converted ConvertField(const DbfFile& source, const uint8_t* record, int field,
                       const FieldDef& target, const CodePage& page, const FormatSettings& format);

// A successful conversion into field `field` of the writer's current row.
void StoreConverted(DbfWriter& writer, int field, const Converted& value,
                    const FormatSettings& format);

}  // namespace orbelan
