#pragma once
// A table's fields written as one line of text, and the rules a new field must follow:
//
//   NUME C(30); SUMA N(10,2); DATAN D; ACTIV L; OBS M; CANT I NULL
//
// A field is NAME TYPE, then (WIDTH) or (WIDTH,DECIMALS) where its type takes them, then NULL for
// a Visual FoxPro field that may be null. Types whose width is fixed (D L M I B Y T) may omit it.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf_header.h"
#include "engine/field_def.h"

namespace orbelan {

// A field list or a field that breaks a rule; what() is the Romanian reason.
struct FieldListError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The formats a new table can have, by their command-line names: dbase3 dbase4 foxpro vfp.
std::optional<DbfFamily> ParseTableFormat(std::string_view name);
const char* TableFormatName(DbfFamily family);   // "dbase3"
const char* TableFormatTitle(DbfFamily family);  // "dBase III"
// The version byte DbfWriter::Definition asks for a new table of the family.
uint8_t NewTableVersionOf(DbfFamily family);
// The field types a table of the family can be given: "CNFDLM", Visual FoxPro "CNFDLMIBYTV".
std::string FieldTypesOf(DbfFamily family);
// The width a type always has in the family (D 8, L 1, M 10 or 4 ...); 0 when the user says.
int FixedFieldSize(char type, DbfFamily family);
// How many fields, and how many bytes a row (the deletion flag included), the programs that read
// a table of the family take: dBase III 128 and 4000, dBase IV and FoxPro 255 and 4000, Visual
// FoxPro 255 and 65500.
int MaxFieldCount(DbfFamily family);
int MaxRecordLength(DbfFamily family);
// The most fields any format we write takes: a source with more columns can't be imported.
constexpr int kMostFields = 255;

// What is wrong with a field, and in which of its parts (for the grid's cell at fault).
struct FieldProblem {
    enum class Part { None, Name, Type, Width, Decimals, Null };
    Part part = Part::None;
    std::string text;
    explicit operator bool() const { return part != Part::None; }
};

// The name alone: 1 to 10 characters, letters A-Z, digits and _, starting with a letter.
// Romanian letters get a hint with the name written without them.
FieldProblem CheckFieldName(std::string_view name);
// Name, type, width, decimals and the null flag of one field in a table of the family.
FieldProblem CheckField(const FieldDef& field, DbfFamily family);
// The count of fields first, every field, names repeated whatever their case, then the length of
// a row; index: the field at fault (-1: none).
FieldProblem CheckFieldList(const std::vector<FieldDef>& fields, DbfFamily family,
                            int* index = nullptr);
// The same for a table's changed structure: originals[i] is the field fields[i] was (nullptr
// for a new one). What a field keeps of its original (its name; its type, width and decimals)
// passes as it is, so a table's odd old field doesn't stop a change elsewhere; a table already
// past the family's limits may change as long as it gets no new field and no wider one.
FieldProblem CheckChangedFieldList(const std::vector<FieldDef>& fields,
                                   const std::vector<const FieldDef*>& originals, DbfFamily family,
                                   int* index = nullptr);

// "SUMA N(10,2)" -> FieldDef; a fixed width is filled in. Throws FieldListError for what can't
// be read as a field (the rules are CheckField's).
FieldDef ParseFieldText(std::string_view text, DbfFamily family);
// The whole list, fields separated by ';'; empty items are skipped. Checked with
// CheckFieldList: throws FieldListError with the first problem.
std::vector<FieldDef> ParseFieldList(std::string_view text, DbfFamily family);

std::string FormatFieldText(const FieldDef& field);  // "SUMA N(10,2)", "DATAN D"
std::string FormatFieldList(const std::vector<FieldDef>& fields);

}  // namespace orbelan
