#include "editing/sort_command.h"

#include <filesystem>
#include <system_error>

#include "core/open_table.h"
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

// A table opened from the program's folder keeps its name out of the scratch names.
bool IsOpenTable(Workspace& ws, const std::string& path) {
    std::error_code ec;
    return !ws.CurrentFile.empty() &&
           fs::equivalent(PathFromUtf8(path), PathFromUtf8(ws.CurrentFile), ec) && !ec;
}

}  // namespace

std::string TempTableName(Workspace& ws, const std::string& ext) {
    std::error_code made;
    const fs::path dir = PathFromUtf8(ws.ProgramDir);
    fs::create_directories(dir, made);
    if (!fs::is_directory(dir, made)) return {};  // no folder to write in
    for (int n = 0; n <= 200; ++n) {
        const std::string path = ws.ProgramDir + "DBF" + std::to_string(n) + ext;
        std::error_code ec;
        if (IsOpenTable(ws, path)) continue;
        if (!fs::exists(PathFromUtf8(path), ec) && !ec) return path;
        if (fs::remove(PathFromUtf8(path), ec) && !ec) return path;
    }
    return {};
}

namespace {

// Rewrites source in the order of field, through the engine's one rewrite: the new file (and
// its memo, so each row keeps its memo texts) is written beside the table and renamed over it.
void WriteSorted(Workspace& ws, const std::string& source, const std::string& field) {
    DbfOpenOptions options;
    options.checkProductionIndex = false;
    auto file = DbfFile::Open(source, options);
    const int index = file->FieldIndex(field);
    if (index < 0) throw DbfError(ErrorKind::State, "Coloana " + field + " nu mai exista.");
    const std::vector<uint32_t> order = OrderedRecords(*file, index);
    ws.ui.ProcessMessages();

    RewritePlan plan;
    plan.fill = [&](const DbfFile& old, DbfWriter& writer) {
        for (size_t k = 0; k < order.size(); ++k) {
            writer.AddRecord(old.Record(order[k]));
            // The counter shows the rows written so far whenever the next row number is a
            // multiple of 1000, as the copy loop always has.
            if ((k + 2) % 1000 == 0) {
                ws.ui.SetRowCounter(std::to_string(k + 1));
                ws.ui.ProcessMessages();
            }
        }
    };
    RewriteFile(*file, plan, options);
}

// The table open again on source, the grid and the counter following it.
void Reopen(Workspace& ws, const std::string& source) {
    ws.Tx.EnableControls();
    ws.AttachAfterPost();
    ws.Tx.SetTableName(source);
    ws.CurrentFile = source;
    ws.Tx.Open();
    ws.ui.ProcessMessages();
}

struct SortingFlag {
    explicit SortingFlag(Workspace& w) : ws(w) { ws.Sorting = true; }
    ~SortingFlag() { ws.Sorting = false; }
    Workspace& ws;
};

}  // namespace

bool SortByColumn(Workspace& ws, int column) {
    Table& tx = ws.Tx;
    if (!tx.Active() || ws.Sorting) return true;
    ws.PostPendingEdit();
    if (tx.IsEmpty()) return true;
    if (column < 0 || column >= tx.FieldCount()) return true;
    const std::string field = tx.Field(column).name;
    if (ws.ui.Mesaj("Ordonare dupa coloana",
                    "Doriti sa ordonati tabelul dupa coloana " + field + " ?", mkConfirmation,
                    mbYesNo) != mrYes)
        return true;
    SortingFlag sorting(ws);
    const std::string temp = TempTableName(ws, ".DBF");
    if (temp.empty()) {
        ws.ui.Mesaj("Ordonare DBF", "Nu am voie sa scriu in " + ws.ProgramDir + "!", mkError, mbOK);
        return false;
    }
    const std::string key = tx.AsText(column);

    tx.DisableControls();
    const std::string source = tx.TableName();
    ws.DetachAfterPost();
    try {
        ws.CloseTable();
        WriteSorted(ws, source, field);  // also removes the index files of the old order
    } catch (...) {
        try {
            Reopen(ws, source);
        } catch (const std::exception&) {
            // The first failure is the one to report; the table then stays closed.
        }
        throw;
    }
    Reopen(ws, source);
    tx.Locate(field, key);
    return true;
}

}  // namespace orbelan
