#pragma once
// What an imported column becomes: the fields proposed from a whole pass over the source, the
// DBF-safe names, and each cell read as the value its field stores.
//
// Proposals, per column (over its non-empty cells):
//   DA/NU, true/false (any case) and logical cells      L
//   dd.mm.yyyy, yyyy-mm-dd and date cells (no time)     D
//   numbers ('.' or ',' decimals, grouping by the other) N(w,d) wide enough for every value
//     but digits with a leading zero, more than 15 digits, or codes of one length of 10
//     digits and more (a CNP, an IBAN, a postal code)   C
//   anything else                                        C(longest), M past 254 characters
//   no value at all                                      C(1)
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf_header.h"
#include "engine/field_def.h"
#include "importing/import_source.h"

namespace orbelan {

// How a column writes its numbers.
struct NumberStyle {
    char decimal = '.';
    char grouping = ',';  // 0: none
};

// What an imported column becomes: its field and how its text numbers read.
struct ColumnField {
    FieldDef field;
    int column = 0;  // in the source's rows
    NumberStyle numbers;
};

// The header texts as unique names a DBF takes: upper case, Romanian letters without their
// marks, `_` for any other character, at most 10 characters, starting with a letter.
std::vector<std::string> DbfSafeNames(const std::vector<std::string>& header);
// A name compared without letter case and diacritics ("Număr" and "NUMAR" are the same).
std::string FoldedName(std::string_view name);

// Watches every row of a column set and proposes the fields.
class FieldGuesser {
  public:
    explicit FieldGuesser(const std::vector<Cell>& header);
    void Add(const std::vector<Cell>& row);
    std::vector<ColumnField> Result() const;
    const std::vector<std::string>& Header() const { return header_; }

    struct Hypothesis {
        NumberStyle style;
        bool valid = true;
        long parsed = 0;
        int intDigits = 0, fracDigits = 0;
        bool negative = false;
    };
    struct Column {
        long values = 0;
        bool logical = true, date = true, number = true;
        bool leadingZero = false, plainDigits = true;
        int digitLength = -1;  // every plain digit value's length, -2 when they differ
        int longest = 0;       // characters
        bool lonePoint = false, loneComma = false;
        Hypothesis pointDecimal{{'.', ','}}, commaDecimal{{',', '.'}};
    };

  private:
    std::vector<std::string> header_;
    std::vector<Column> columns_;
};

// The header row's texts.
std::vector<std::string> HeaderTexts(const std::vector<Cell>& row);
// A cell as text (numbers with '.', dates dd.mm.yyyy with hh:mm when they have a time,
// logicals DA/NU).
std::string CellText(const Cell& cell);

// A cell as the value its field stores: text for the engine's writer (numbers canonical with
// '.', logicals "T"/"F"), or a day number for D fields. False with the reason when it can't be.
struct FieldValueText {
    bool empty = false;
    bool isDay = false;
    int day = 0;
    std::string text;
};
bool ReadCellFor(const Cell& cell, const ColumnField& column, FieldValueText& out,
                 std::string& why);

// The widths a type always has in the family (a memo pointer takes 4 bytes in Visual FoxPro, 10
// elsewhere) given to the proposed fields.
void FitProposalToFamily(std::vector<ColumnField>& columns, DbfFamily family);

// "NAME=T(W,D);..." applied to the proposal (by field name, case ignored), each type read as
// `create` reads a field of a table of the family. Throws ArgumentError with the reason: a type
// it can't read, a field the source doesn't have, a list the family's rules refuse.
void ApplyTypes(std::vector<ColumnField>& columns, std::string_view types, DbfFamily family);

}  // namespace orbelan
