#pragma once
// A new, empty table; and the open table's structure changed (fields added, dropped, renamed,
// moved, given another type, width or decimals) in one rewrite that converts every value and
// loses none without the user's choice.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/misfits.h"
#include "core/replace_table.h"
#include "engine/dbf_header.h"
#include "engine/field_def.h"

namespace orbelan {

class Table;
class Workspace;

struct NewTableDefinition {
    std::string path;
    DbfFamily family = DbfFamily::DBase3;
    std::string codePage = "cp1250";
    std::vector<FieldDef> fields;
};

// Writes the empty table (and its memo file when a field needs one). A field list that breaks
// a rule, an unknown code page or a file that exists already (table or memo) is an
// ArgumentError; a failed write a DbfError, with nothing left behind.
void CreateTable(const NewTableDefinition& table);

// The rule breaker of a new structure of the open table (the fields keep their old one's name,
// type and width as they may), as an ArgumentError; nothing when it can be written.
void CheckNewStructure(const Table& table, const NewStructure& structure);

// Reads every row (deleted ones too) and lists the values of the converted fields that would
// not fit or convert, every one of them kept for a saved list.
Misfits CheckStructureFit(Workspace& ws, const NewStructure& structure);

// The list, then how many values don't fit.
std::string MisfitsText(const Misfits& check);

struct StructureChangeResult {
    bool done = false;   // false: refused (a question answered NU) or nothing to change
    size_t emptied = 0;  // values left empty because they didn't fit
};

// Checks the structure and every row; when some values don't fit, asks (unless emptyMisfits:
// the caller already showed them and the user chose), then rewrites the table once: kept fields
// byte for byte, memo texts kept, converted fields through their text forms, misfits empty.
// A kept field of the same type keeps what the caller can't see of it (Visual FoxPro's
// autoincrement counter and step, binary mark); the caller gives only what the user changed.
StructureChangeResult ChangeStructure(Workspace& ws, const NewStructure& structure,
                                      bool emptyMisfits = false);

// One change of a command line: --add "N T(W,D)", --drop N, --rename A=B, --set "N T(W,D)",
// --move N=POS (1-based).
struct StructureEdit {
    enum class Kind { Add, Drop, Rename, Set, Move } kind;
    std::string argument;
};
// The open table's structure with the edits applied in order; ArgumentError for a field it
// doesn't have, a bad position or a field text that can't be read.
NewStructure EditedStructure(const Table& table, const std::vector<StructureEdit>& edits);

}  // namespace orbelan
