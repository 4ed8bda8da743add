#pragma once
// The one place where a command replaces the open table's file with a new one and opens it again.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/field_def.h"

namespace orbelan {

class DbfFile;
class DbfWriter;
class Table;
class Workspace;

// The new table: its fields in order and, for each, the field of the old table whose values it
// keeps (-1 for a field the fill writes). No fields at all: the old structure, header included.
struct NewStructure {
    std::vector<FieldDef> fields;
    std::vector<int> sources;

    // A field at the end: keeping the old field `source`'s values, or (-1) filled by the command.
    void Add(const FieldDef& field, int source = -1) {
        fields.push_back(field);
        sources.push_back(source);
    }
};

// The open table's fields, each keeping its own values, but for the field `without` (-1: none).
NewStructure KeptStructure(const Table& table, int without = -1);

// Called once per record of the old file (deleted ones included) with the new row already holding
// the deletion flag and the kept values; it sets what is new through target's setters or Row().
using RowFill = std::function<void(const DbfFile& source, uint32_t record, DbfWriter& target)>;

// Closes the open table, writes a complete new file beside it (memo file included), renames it
// over the old one and opens the table again. On any failure the old files stay byte-identical,
// the table is opened again all the same and the failure is thrown.
void ReplaceTable(Workspace& ws, const NewStructure& structure, const RowFill& fill);

// The records the table shows (through its filter, in any order), by physical record number.
std::vector<bool> DisplayedRecords(Table& table, int* count = nullptr);

// Closes the open table, runs change on its file (which rewrites it through the engine's one
// rewrite, or packs it) and opens the table again, also when change fails: its failure is then
// passed on. The table's file name, as the open table had it, is change's argument.
// The change runs under a restore point of the table (core/restore_points.h), named as the
// running command, so it can be undone.
void ReplaceAndReopen(Workspace& ws, const std::function<void(const std::string& path)>& change);

// The same without a restore point (undo and redo themselves).
void ReopenAround(Workspace& ws, const std::function<void(const std::string& path)>& change);

}  // namespace orbelan
