#pragma once
// "Importa din CSV sau Excel...": a CSV file or a workbook sheet written as a new table, and the
// same sources appended to the open table ("Adauga date din alt tabel").
//
// Nothing is lost silently: every value its field can't take (too long, not a number, not a
// date, a character the code page lacks) is listed before the table is put in place, and the
// caller chooses between giving up (nothing written) and importing with those cells empty. A
// source that can't be read whole creates nothing.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/misfits.h"
#include "engine/dbf_header.h"
#include "engine/field_list.h"
#include "importing/field_proposal.h"
#include "importing/import_source.h"

namespace orbelan {

class Messages;
class Progress;
class Workspace;

// The first line of an import's list of values that don't fit: how its rows are numbered.
inline constexpr const char* kImportNumbering =
    "Liniile sunt numarate ca in previzualizare: 1 este primul rand de sub capul de tabel, "
    "randurile goale nu se numara.";

// Called with the values that don't fit; true imports them as empty cells ("Importa oricum").
using ConfirmMisfits = std::function<bool(const Misfits&)>;

// A whole pass over the source: its header, the proposed fields and the first rows as read.
struct ImportPreview {
    std::vector<std::string> header;
    std::vector<ColumnField> columns;
    std::vector<std::vector<Cell>> firstRows;
    long rows = 0;  // rows below the header
};
// A header of more than maxColumns names is refused (DbfError Conversion) before the rows are read.
ImportPreview PreviewSource(ImportSource& source, size_t keepRows = 100,
                            Progress* progress = nullptr, size_t maxColumns = kMostFields);

struct NewTableFormat {
    DbfFamily family = DbfFamily::DBase3;
    std::string codePage = "cp1250";
};

struct ImportOutcome {
    bool written = false;       // false: refused by confirm, or a dry run
    bool nothingToAdd = false;  // an append whose source has no row below its header (said)
    long rows = 0;
    Misfits misfits;
};

// Asked when several source columns go to one field (their names differ only in letter case or
// diacritics): the index in columns of the one to append, or -1 to append nothing.
using ChooseColumn =
    std::function<int(const std::string& field, const std::vector<std::string>& columns)>;

// Whether the new table may be written at target: true when no file is there, or when the user
// agreed to replace the one that is.
bool MayWriteNewTable(Messages& messages, const std::string& target);

// The source's rows as a new table at target, written under a scratch name and renamed into
// place only once complete and confirmed. dryRun: the same reading and checks, nothing
// written. Throws DbfError for a source that can't be read or a table that can't be written
// (then no file is left behind).
ImportOutcome ImportToNewTable(ImportSource& source, const std::vector<ColumnField>& columns,
                               const std::string& target, const NewTableFormat& format,
                               const ConfirmMisfits& confirm, bool dryRun = false,
                               Progress* progress = nullptr);

// The rows of a CSV or workbook appended to the open table in one rewrite, its columns matched
// to the table's fields by name (letter case and diacritics ignored). Columns without a field
// are listed first (a question; NU changes nothing); a source without any matching column is
// refused, and so are columns that go to one field when choose is empty or gives -1. A source
// without rows changes nothing and says so. Returns the outcome (written false: nothing changed).
ImportOutcome AppendFromSource(Workspace& ws, const std::string& path, const SourceOptions& options,
                               const ConfirmMisfits& confirm, const ChooseColumn& choose = {});

}  // namespace orbelan
