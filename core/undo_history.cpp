#include "core/undo_history.h"

#include <filesystem>

#include "core/replace_table.h"
#include "core/restore_points.h"
#include "core/workspace.h"
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
