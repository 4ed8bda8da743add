#include "editing/sort_command.h"

#include <filesystem>
#include <system_error>

#include "core/command_guard.h"
#include "core/open_table.h"
#include "core/program_dir.h"
#include "core/replace_table.h"
#include "engine/dbf_file.h"
#include "engine/dbf_header.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/order_by.h"
#include "engine/rewrite.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace orbelan {

namespace {

// Rewrites the table file in the order of field, through the engine's one rewrite: the new file
// (and its memo, so each row keeps its memo texts) is written beside the table and renamed over
// it. The order is taken from the text in the table's own code page.
void WriteSorted(Workspace& ws, const std::string& path, const std::string& field) {
    const DbfOpenOptions options = FileOptionsOf(ws.table);
    auto file = DbfFile::Open(path, options);
    const int index = file->FieldIndex(field);
    if (index < 0) throw DbfError(ErrorKind::State, "Coloana " + field + " nu mai exista.");
    const std::vector<uint32_t> order = OrderedRecords(*file, index);
    ws.progress.ProcessMessages();

    RewritePlan plan;
    plan.fill = [&](const DbfFile& old, DbfWriter& writer) {
        for (size_t k = 0; k < order.size(); ++k) {
            writer.AddRecord(old.Record(order[k]));
            // The counter shows the rows written so far whenever the next row number is a
            // multiple of 1000, as the copy loop always has.
            if ((k + 2) % 1000 == 0) {
                ws.window.SetRowCounter(std::to_string(k + 1));
                ws.progress.ProcessMessages();
            }
        }
    };
    RewriteFile(*file, plan, options);
}

struct SortingFlag {
    explicit SortingFlag(Workspace& w) : ws(w) {
        ws.Sorting = true;
        ws.DetachAfterPost();
    }
    ~SortingFlag() {
        ws.Sorting = false;
        ws.AttachAfterPost();
    }
    Workspace& ws;
};

}  // namespace

bool SortByColumn(Workspace& ws, int column) {
    Table& table = ws.table;
    if (!table.Active() || ws.Sorting) return true;
    ws.PostPendingEdit();
    if (table.IsEmpty()) return true;
    if (column < 0 || column >= table.FieldCount()) return true;
    const std::string field = table.Field(column).name;
    if (ws.messages.Mesaj("Ordonare dupa coloana",
                          "Doriti sa ordonati tabelul dupa coloana " + field + " ?", mkConfirmation,
                          mbYesNo) != mrYes)
        return true;
    SortingFlag sorting(ws);
    // The folder of the scratch tables must take one, as it always had to; the rewrite itself
    // goes beside the table.
    const std::string temp = TempTableName(ws, ".DBF");
    if (temp.empty()) {
        ws.messages.Mesaj("Ordonare DBF", "Nu am voie sa scriu in " + ws.ProgramDir + "!", mkError,
                          mbOK);
        return false;
    }
    CommandGuard guard(ws, {.name = "Ordonare"});
    ReplaceAndReopen(ws, [&](const std::string& path) {
        WriteSorted(ws, path, field);  // also removes the index files of the old order
    });
    guard.Finish();
    // The grid has no vertical bar: the list starts at its top, where the new order begins.
    table.First();
    return true;
}

}  // namespace orbelan
