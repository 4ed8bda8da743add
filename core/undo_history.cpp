#include "core/undo_history.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/replace_table.h"
#include "core/restore_points.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/file_io.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

// The bytes of an added row once it is undone: the row itself, deleted.
std::string Removed(std::string record) {
    if (!record.empty()) record[0] = '*';
    return record;
}

std::string RowChanged(uint32_t record) {
    return "Linia " + std::to_string(record + 1) +
           " a fost schimbata intre timp de alt program: nu poate fi adusa inapoi.";
}

// Beside a restore point: the rows written in place after its command, each with its bytes as
// the command left them (none for a row added since). One row a line: record, tab, hex bytes.
constexpr const char* kEditedRows = "edited-rows";
using EditedRows = std::map<uint32_t, std::string>;

EditedRows ReadEditedRows(const std::string& folder) {
    EditedRows rows;
    std::ifstream in(PathFromUtf8(folder + kEditedRows), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || (line.size() - tab - 1) % 2 != 0) continue;
        std::string bytes;
        bool ok = true;
        for (size_t i = tab + 1; ok && i + 1 < line.size(); i += 2) {
            unsigned value = 0;
            ok = std::sscanf(line.c_str() + i, "%2x", &value) == 1;
            bytes += static_cast<char>(value);
        }
        unsigned long record = 0;
        try {
            record = std::stoul(line.substr(0, tab));
        } catch (const std::exception&) {
            ok = false;
        }
        if (ok && record <= UINT32_MAX) rows.emplace(static_cast<uint32_t>(record), bytes);
    }
    return rows;
}

void WriteEditedRows(const std::string& folder, const EditedRows& rows) {
    std::ostringstream text;
    static constexpr char kHex[] = "0123456789abcdef";
    for (const auto& [record, bytes] : rows) {
        text << record << '\t';
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            text << kHex[b >> 4] << kHex[b & 15];
        }
        text << '\n';
    }
    const std::string temp = folder + kEditedRows + ".new";
    {
        std::ofstream out(PathFromUtf8(temp), std::ios::binary | std::ios::trunc);
        out << text.str();
        if (!out.flush()) throw std::runtime_error("Lista liniilor modificate nu a fost scrisa.");
    }
    RenameReplacing(temp, folder + kEditedRows);
}

// The newest command that undo would take back, if any.
const RestorePoint* NewestDone(const RestorePoints& points) {
    const RestorePoint* newest = nullptr;
    for (const RestorePoint& p : points.Points())
        if (!p.undone) newest = &p;
    return newest;
}

// Swaps a command's restore point with the open table's files and opens the table again.
bool SwapCommand(Workspace& ws, bool redo) {
    if (ws.ProgramDir.empty()) return false;
    std::optional<std::string> done;
    ReopenAround(ws, [&](const std::string& path) {
        RestorePoints points(ws.ProgramDir, path);
        done = redo ? points.Redo() : points.Undo();
    });
    return done.has_value();
}

}  // namespace

void UndoHistory::Record(Workspace& ws, uint32_t record, std::string before, std::string after) {
    undo_.push_back({false, record, std::move(before), std::move(after)});
    WrittenInPlace(ws);
}

void UndoHistory::WrittenInPlace(Workspace& ws) {
    redo_.clear();
    // The first change after an undo: the commands undone no longer follow from the table.
    if (!redoDropped_ && !ws.ProgramDir.empty() && !path_.empty()) {
        RestorePoints points(ws.ProgramDir, path_);
        if (points.NextRedo()) points.DropUndone();
        redoDropped_ = true;
    }
    NoteOwnWrite(path_);
}

void UndoHistory::NoteOwnWrite(const std::string& path) {
    edited_ = true;
    ownStat_ = StatOf(path);
}

void UndoHistory::CommandDone() {
    undo_.push_back({true, 0, {}, {}});
    redo_.clear();
    redoDropped_ = true;  // the new point dropped the undone ones
}

void UndoHistory::Forget() {
    undo_.clear();
    redo_.clear();
}

void UndoHistory::Reset(const std::string& path) {
    Forget();
    path_ = path;
    ownStat_.clear();
    openedAs_ = path.empty() ? std::string() : StatOf(path);
    edited_ = false;
    redoDropped_ = false;
}

bool UndoHistory::WrittenOnlyByUs(const std::string& path) const {
    return edited_ && path == path_ && StatOf(path) == ownStat_;
}

void UndoHistory::Settle(Workspace& ws, const std::string& path) {
    edited_ = false;
    if (ws.ProgramDir.empty()) return;
    RestorePoints points(ws.ProgramDir, path);
    // The edits still to undo above the newest command (all of them when none ran this time).
    size_t first = undo_.size();
    while (first > 0 && !undo_[first - 1].command) --first;
    if (const RestorePoint* newest = NewestDone(points); newest && first < undo_.size()) {
        EditedRows rows = ReadEditedRows(newest->folder);
        bool added = false;
        for (size_t i = first; i < undo_.size(); ++i)
            added |= rows.emplace(undo_[i].record, undo_[i].before).second;
        if (added) WriteEditedRows(newest->folder, rows);
    }
    points.TableEdited(openedAs_);
    openedAs_ = StatOf(path);
}

void UndoHistory::TableRewritten(const std::string& path) {
    if (Follows(path)) openedAs_ = StatOf(path);
}

bool UndoHistory::Follows(const std::string& path) const {
    if (path_.empty()) return false;
    std::error_code ec;
    return path == path_ || fs::equivalent(PathFromUtf8(path), PathFromUtf8(path_), ec);
}

size_t UndoHistory::EditsToUndo() const {
    return undo_.size();
}

std::optional<std::string> NextUndo(Workspace& ws) {
    if (!ws.table.Active()) return std::nullopt;
    const UndoHistory& h = ws.history;
    if (ws.table.GetState() != Table::State::Browse) return std::string();
    if (!h.undo_.empty() && !h.undo_.back().command) return std::string();
    if (ws.ProgramDir.empty()) return std::nullopt;
    RestorePoints points(ws.ProgramDir, ws.table.TableName());
    if (const RestorePoint* p = points.NextUndo()) return p->name;
    return std::nullopt;
}

std::optional<std::string> NextRedo(Workspace& ws) {
    if (!ws.table.Active()) return std::nullopt;
    const UndoHistory& h = ws.history;
    if (!h.redo_.empty() && !h.redo_.back().command) return std::string();
    if (ws.ProgramDir.empty()) return std::nullopt;
    RestorePoints points(ws.ProgramDir, ws.table.TableName());
    if (const RestorePoint* p = points.NextRedo()) return p->name;
    return std::nullopt;
}

std::string UndoCaption(const std::optional<std::string>& next, bool redo) {
    std::string caption = redo ? "Reface" : "Anuleaza";
    if (next && !next->empty()) caption += ": " + *next;
    return caption;
}

int64_t RowsEditedAfterCommand(const std::string& programDir, const std::string& path) {
    if (programDir.empty()) return 0;
    const RestorePoints points(programDir, path);
    const RestorePoint* newest = NewestDone(points);
    if (!newest) return 0;
    const EditedRows rows = ReadEditedRows(newest->folder);
    if (rows.empty()) return 0;
    DbfOpenOptions options;
    options.checkProductionIndex = false;
    const std::unique_ptr<DbfFile> file = DbfFile::Open(path, options);
    int64_t changed = 0;
    for (const auto& [record, before] : rows) {
        std::string now;
        if (record < file->RecordCount())
            now.assign(reinterpret_cast<const char*>(file->Record(record)), file->RecordLength());
        // A row added since counts while it is on show; undone, it stays behind deleted.
        const bool same = before.empty() ? (now.empty() || now[0] == '*') : now == before;
        if (!same) ++changed;
    }
    return changed;
}

std::string LosesEditsQuestion(const std::string& command, int64_t rows) {
    const std::string undoing =
        command == "Ordonare" ? "Anularea ordonarii" : "Anularea comenzii \"" + command + "\"";
    return undoing + " pierde si modificarile facute dupa ea (" + std::to_string(rows) +
           " linii). Continuati?";
}

bool UndoLast(Workspace& ws) {
    Table& t = ws.table;
    if (!t.Active()) return false;
    if (t.GetState() != Table::State::Browse) {
        t.Cancel();
        return true;
    }
    UndoHistory& h = ws.history;
    if (!h.undo_.empty() && !h.undo_.back().command) {
        const UndoHistory::Step& s = h.undo_.back();
        const std::string now = t.RawRecord(s.record);
        if (now != s.after) throw UndoRefused(RowChanged(s.record));
        t.PutRecord(s.record, s.before.empty() ? Removed(s.after) : s.before);
        h.redo_.push_back(std::move(h.undo_.back()));
        h.undo_.pop_back();
        h.NoteOwnWrite(h.path_);
        return true;
    }
    // Edits of earlier sessions sit on top of the command and would go with it: ask first.
    if (const std::optional<std::string> next = NextUndo(ws); next && !next->empty()) {
        const int64_t lost = RowsEditedAfterCommand(ws.ProgramDir, t.TableName());
        if (lost > 0 && ws.messages.Mesaj("Anuleaza", LosesEditsQuestion(*next, lost),
                                          mkConfirmation, mbYesNo) != mrYes)
            return true;
    }
    if (!SwapCommand(ws, false)) {
        h.undo_.clear();  // edits below a command that can't be undone any more stay put
        return false;
    }
    if (!h.undo_.empty()) h.undo_.pop_back();
    h.redo_.push_back({true, 0, {}, {}});
    return true;
}

bool RedoLast(Workspace& ws) {
    Table& t = ws.table;
    if (!t.Active()) return false;
    if (t.GetState() != Table::State::Browse) return false;
    UndoHistory& h = ws.history;
    if (!h.redo_.empty() && !h.redo_.back().command) {
        const UndoHistory::Step& s = h.redo_.back();
        const std::string now = t.RawRecord(s.record);
        if (now != (s.before.empty() ? Removed(s.after) : s.before))
            throw UndoRefused(RowChanged(s.record));
        t.PutRecord(s.record, s.after);
        h.undo_.push_back(std::move(h.redo_.back()));
        h.redo_.pop_back();
        h.NoteOwnWrite(h.path_);
        return true;
    }
    if (!SwapCommand(ws, true)) return false;
    if (!h.redo_.empty()) h.redo_.pop_back();
    h.undo_.push_back({true, 0, {}, {}});
    return true;
}

}  // namespace orbelan
