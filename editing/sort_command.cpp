#include "editing/sort_command.h"

#include <filesystem>
#include <system_error>

#include "core/open_table.h"
#include "engine/dbf_file.h"
#include "engine/dbf_header.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/order_by.h"

namespace fs = std::filesystem;

namespace orbelan {

namespace {

// A table opened from the program's folder keeps its name out of the scratch names.
bool IsOpenTable(Workspace& ws, const std::string& path) {
    std::error_code ec;
    return !ws.CurrentFile.empty() && fs::equivalent(path, ws.CurrentFile, ec) && !ec;
}

}  // namespace

std::string TempTableName(Workspace& ws, const std::string& ext) {
    std::error_code made;
    fs::create_directories(ws.ProgramDir, made);
    if (!fs::is_directory(ws.ProgramDir, made)) return {};  // no folder to write in
    for (int n = 0; n <= 200; ++n) {
        const std::string path = ws.ProgramDir + "DBF" + std::to_string(n) + ext;
        std::error_code ec;
        if (IsOpenTable(ws, path)) continue;
        if (!fs::exists(path, ec) && !ec) return path;
        if (fs::remove(path, ec) && !ec) return path;
    }
    return {};
}

namespace {

struct SortedCopy {
    std::string table;
    std::string memo;        // empty when the table has no memo file
    std::string memoTarget;  // the source's memo file, which the copy's memo replaces
};

// Writes every row of source, in the order of field, into a complete new table at temp; the
// memo file goes along so each row keeps its memo texts.
SortedCopy WriteSortedCopy(Workspace& ws, const std::string& source, const std::string& temp,
                           const std::string& field) {
    DbfOpenOptions options;
    options.checkProductionIndex = false;
    auto file = DbfFile::Open(source, options);
    const int index = file->FieldIndex(field);
    if (index < 0) throw DbfError(ErrorKind::State, "Coloana " + field + " nu mai exista.");
    const std::vector<uint32_t> order = OrderedRecords(*file, index);
    ws.ui.ProcessMessages();

    auto writer = DbfWriter::SameStructureAs(*file, temp);
    for (size_t k = 0; k < order.size(); ++k) {
        writer->AddRecord(file->Record(order[k]));
        // The counter shows the rows written so far whenever the next row number is a
        // multiple of 1000, as the copy loop always has.
        if ((k + 2) % 1000 == 0) {
            ws.ui.SetRowCounter(std::to_string(k + 1));
            ws.ui.ProcessMessages();
        }
    }
    SortedCopy copy{temp, writer->MemoPath(), MemoPathFor(source, file->Layout())};
    writer->Commit();
    return copy;
}

// Puts from in place of to by one rename; across file systems the copy is first completed
// beside to, so the old file is replaced only by a whole new one.
void MoveOver(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec) {
        SyncFolderOf(to);
        return;
    }
    if (ec != std::errc::cross_device_link)
        throw DbfError(ErrorKind::Io, "Nu pot inlocui fisierul " + to + ": " + ec.message() + ".");
    TempFile beside(to);
    beside.AppendFileContents(from);
    beside.Finish();
    beside.RenameOverTarget();
    RemoveFile(from);
}

void RemoveQuietly(const std::string& path) {
    std::error_code ec;
    if (!path.empty()) fs::remove(path, ec);
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

void SortByColumn(Workspace& ws, int column) {
    Table& tx = ws.Tx;
    if (!tx.Active() || ws.Sorting) return;
    ws.PostPendingEdit();
    if (tx.IsEmpty()) return;
    if (column < 0 || column >= tx.FieldCount()) return;
    const std::string field = tx.Field(column).name;
    if (ws.ui.Mesaj("Ordonare dupa coloana",
                    "Doriti sa ordonati tabelul dupa coloana " + field + " ?", mkConfirmation,
                    mbYesNo) != mrYes)
        return;
    SortingFlag sorting(ws);
    const std::string temp = TempTableName(ws, ".DBF");
    if (temp.empty()) {
        ws.ui.Mesaj("Ordonare DBF", "Nu am voie sa scriu in " + ws.ProgramDir + "!", mkError, mbOK);
        return;
    }
    const std::string key = tx.AsText(column);

    tx.DisableControls();
    const std::string source = tx.TableName();
    ws.DetachAfterPost();
    try {
        ws.CloseTable();
        const SortedCopy copy = WriteSortedCopy(ws, source, temp, field);
        try {
            // Memo first: the old table reads its rows through pointers the copy keeps too.
            if (!copy.memo.empty()) MoveOver(copy.memo, copy.memoTarget);
            MoveOver(copy.table, source);
            DropStaleIndex(source);  // the old index files describe the old order
        } catch (...) {
            RemoveQuietly(copy.memo);
            throw;
        }
    } catch (...) {
        RemoveQuietly(temp);
        try {
            Reopen(ws, source);
        } catch (const std::exception&) {
            // The first failure is the one to report; the table then stays closed.
        }
        throw;
    }
    Reopen(ws, source);
    tx.Locate(field, key);
}

}  // namespace orbelan
