#pragma once
// The filter expression of the grid's filter box, also the WHERE condition of the local SQL.
//
//   NUME='IONEL*' AND (SUMA>=12,5 OR NOT ACTIV) .OR. DATAN<'01.01.2000'
//
// Comparisons = <> # != < > <= >= between a field and a constant or two fields, either side
// first; AND OR NOT (also .AND. .OR. .NOT.), parentheses; NOT binds tighter than AND, AND than
// OR. A logical field alone is a condition too. Keywords and field names are case-insensitive;
// a field name may be written in square brackets, and in double quotes when doubleQuotedStrings
// is false.
//
// Values:
// - Character fields compare case-sensitively, ignoring trailing blanks, in the byte order of the
//   table's code page. With = and <>, a constant ending in * (filter box only, not in SQL) stands
//   for any ending: 'IONEL*' keeps rows beginning with IONEL, '*' keeps every row.
// - Numeric fields (N F I B Y O +) compare by value; a constant uses '.' or the format's decimal
//   separator and may be quoted ('12,5').
// - Date fields (D, and T with an optional time 'dd.MM.yyyy hh:mm[:ss]') take the format's short
//   date form in quotes or braces ('01.01.2000', {01.01.2000}), also 'yyyymmdd' or 'yyyy-mm-dd'.
// - Logical fields take what writing one takes (engine/text_parse.h): T F .T. .F. TRUE FALSE,
//   Y N YES NO DA NU, also quoted; 1 and 0 only quoted.
// - An empty numeric, date or logical field is smaller than every value, so SUMA=0 does not keep
//   it and SUMA<0 does; '' (or {}) is the empty value itself: SUMA='' keeps just the empty ones.
// - A field holding text its type can't hold (a N field with "***") compares by its stored text
//   against the constant as written.
//
// - Fields are read by FieldReader (field_value.h): byte order, null bits (a null is empty) and
//   damaged values as everywhere else in the engine.
//
// Matches() reads the raw record bytes through the offsets and sizes of the fields; it does not
// allocate, so filtering a large table costs one pass over the rows.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/errors.h"
#include "engine/field_def.h"
#include "engine/format_settings.h"

namespace orbelan {

// The stored bytes of a memo value (in the table's code page) of a record: with it memo texts take
// part in a filter as text fields do.
using MemoBytesReader = std::function<std::string(const uint8_t* record, const FieldLayout& field)>;

class FilterExpression {
  public:
    // Throws DbfError(ErrorKind::Filter) whose message gives the 1-based position of the fault:
    // "Filtru incorect la pozitia 6: camp necunoscut 'SUMMA'."
    // With doubleQuotedStrings, "POP" is a text constant (as in WHERE NUME="POP") and a trailing
    // * is an ordinary character.
    static std::unique_ptr<FilterExpression> Compile(std::string_view text, const DbfLayout& layout,
                                                     const CodePage& codePage,
                                                     const FormatSettings& format,
                                                     bool doubleQuotedStrings = false,
                                                     const MemoBytesReader& memo = nullptr);
    // Fields of a dBase III record (no null bits, little-endian binary numbers).
    static std::unique_ptr<FilterExpression> Compile(std::string_view text,
                                                     const std::vector<FieldDef>& fields,
                                                     const CodePage& codePage,
                                                     const FormatSettings& format,
                                                     bool doubleQuotedStrings = false);

    // The WHERE condition of a statement: conditionOffset/conditionLength (bytes) select it within
    // statement, so positions are counted in the whole statement. SQL rules (doubleQuotedStrings).
    // Throws DbfError(ErrorKind::Sql): "Instructiune SQL incorecta: camp necunoscut 'X' la
    // pozitia 27."
    static std::unique_ptr<FilterExpression> CompileCondition(
        std::string_view statement, size_t conditionOffset, size_t conditionLength,
        const DbfLayout& layout, const CodePage& codePage, const FormatSettings& format);
    static std::unique_ptr<FilterExpression> CompileCondition(std::string_view statement,
                                                              size_t conditionOffset,
                                                              size_t conditionLength,
                                                              const std::vector<FieldDef>& fields,
                                                              const CodePage& codePage,
                                                              const FormatSettings& format);

    bool Matches(const uint8_t* record) const;  // record points at the deletion flag byte

    struct Node;  // one compiled condition (filter.cpp)

    ~FilterExpression();
    FilterExpression(const FilterExpression&) = delete;
    FilterExpression& operator=(const FilterExpression&) = delete;

  private:
    explicit FilterExpression(std::unique_ptr<Node> root);
    std::unique_ptr<Node> root_;
};

}  // namespace orbelan
