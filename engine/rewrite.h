#pragma once
// The one way a command replaces a table by a new version of itself: pack, ALTER TABLE, UPDATE,
// the sort, and every later command that rewrites the rows (column transforms, append, date
// conversion).
//
// The new table and its memo file are written completely under scratch names beside the table
// (created exclusively, never over an existing file), flushed to disk and put in place by
// rename, memo first, so table and memo agree at every moment; then the table is opened again on
// the new file. Any failure — writing, flushing, renaming, opening again — leaves the old files
// byte-identical (the replaced ones are kept under a second name until the new table opened)
// and an open Table open on them. When the new structure has no memo field, the old memo file
// is removed after the rename (best effort); old index files always are. Scratch files a killed
// earlier rewrite left beside the table go first (RemoveStaleScratch in engine/file_io.h). Each
// step can be made to fail in tests through IoFaults().
//
//   // Same structure, rows in another order (the sort): on an open Table ...
//   RewritePlan plan;
//   plan.fill = [&](const DbfFile& old, DbfWriter& out) {
//       for (uint32_t r : order) out.AddRecord(old.Record(r));
//   };
//   table.Rewrite(plan);  // reopened on the new file, first row current, filter kept
//   // ... or on a table nobody has open:
//   RewriteTableFile(path, options, plan);
//
//   // A new structure (ALTER TABLE, a column added by a command): start from the old one.
//   auto old = DbfFile::Open(path, options);
//   RewritePlan add;
//   add.structure = StructureOf(*old);
//   add.structure->fields.push_back(FieldDef{"ANCNP", 'N', 4});
//   add.fill = [&](const DbfFile& src, DbfWriter& out) {
//       for (uint32_t r = 0; r < src.RecordCount(); ++r) {
//           out.BeginRow();
//           out.CopyFields(src, src.Record(r), format);  // kept fields: bytes, nulls and all
//           out.SetText(out.FieldIndex("ANCNP"), YearOf(src, r), format);
//           out.EndRow();
//       }
//   };
//   RewriteFile(*old, add, options);
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"

namespace orbelan {

struct RewritePlan {
    // Empty: the source's own structure (its header bytes are kept). Otherwise the new one.
    std::optional<DbfWriter::Definition> structure;
    // Writes every row of the new table. Throwing stops the rewrite with nothing changed.
    std::function<void(const DbfFile& source, DbfWriter& target)> fill;
    // The index written with the new table instead of the source's own (a tag added or
    // dropped); nullptr: the source's index, kept current.
    IndexSet* indexes = nullptr;
};

// The version byte that asks DbfWriter for the family of a table with this layout.
uint8_t VersionOf(const DbfLayout& layout);

// The structure of an open table as a definition for DbfWriter: same family, code page,
// language driver, fields (Visual FoxPro null flags and autoincrement counters included), and
// its memo file as the one the new memo starts from.
DbfWriter::Definition StructureOf(const DbfFile& source);

// Rewrites source's file by plan and returns the table opened again (with reopen) on the new
// file. Throws DbfError; then nothing has changed and source still reads the old file.
std::unique_ptr<DbfFile> RewriteFile(const DbfFile& source, const RewritePlan& plan,
                                     const DbfOpenOptions& reopen);

// Source's rows under a new list of fields: a field that source has (same name) keeps its
// values, with their null bits and memo texts, through DbfWriter's field copier; deleted rows
// stay deleted (this is no pack). ALTER TABLE and the commands that add a column.
std::unique_ptr<DbfFile> RewriteWithFields(const DbfFile& source,
                                           const std::vector<FieldDef>& fields,
                                           const FormatSettings& format,
                                           const DbfOpenOptions& reopen);

// The same for a table given by its path.
void RewriteTableFile(const std::string& path, const DbfOpenOptions& options,
                      const RewritePlan& plan);

}  // namespace orbelan
