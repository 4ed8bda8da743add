#pragma once
// Anuleaza / Reface over the open table: the edits posted since it was opened (the journal, kept
// in memory: the changed records' bytes before and after) and the commands that rewrote it (their
// restore points, kept on disk: core/restore_points.h), undone newest first. An undone edit
// writes the record's old bytes back in place; the memo pointer in them still points at the old
// memo block, since a memo value is always written to new blocks.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orbelan {

class Workspace;

class UndoHistory {
  public:
    // A record of the open table was written in place: its bytes before (empty for a row added)
    // and after. A new change: what was undone can no longer be redone.
    void Record(Workspace& ws, uint32_t record, std::string before, std::string after);
    // Many records of the open table were written in place at once, outside the edit list (the
    // deleted rows brought back): a new change, which the restore points learn at closing.
    void WrittenInPlace(Workspace& ws);
    // A command kept a restore point of the table at path; it is undone in turn with the edits.
    void CommandDone();
    // A rewrite without a restore point: the edits before it no longer fit the file.
    void Forget();
    // A table was opened: its edit list starts empty.
    void Reset(const std::string& path);

    // Before the open table closes: true when this program wrote it in place and nobody else
    // wrote it since. Then Settle, once it is closed, records the files as they are in its
    // restore points.
    bool WrittenOnlyByUs(const std::string& path) const;
    // The rows edited since the newest command are remembered with it, as they were before the
    // first edit, so that undoing it after a restart knows what it would take back.
    void Settle(Workspace& ws, const std::string& path);

    // This program rewrote the table at path (a command, or its undo): the restore points know
    // the files as they are now.
    void TableRewritten(const std::string& path);

    // True when path is the open table the list is about.
    bool Follows(const std::string& path) const;
    size_t EditsToUndo() const;
    bool Edited() const { return edited_; }

  private:
    friend bool UndoLast(Workspace& ws);
    friend bool RedoLast(Workspace& ws);
    friend std::optional<std::string> NextUndo(Workspace& ws);
    friend std::optional<std::string> NextRedo(Workspace& ws);

    struct Step {
        bool command = false;
        uint32_t record = 0;
        std::string before, after;
    };
    void NoteOwnWrite(const std::string& path);

    std::vector<Step> undo_, redo_;
    std::string path_;
    std::string ownStat_;  // the files' sizes and times right after our last write
    std::string openedAs_;  // and when the table was opened (or last settled)
    bool edited_ = false;  // written in place since the restore points last heard of it
    bool redoDropped_ = false;
};

// What Anuleaza and Reface would do now: nullopt when nothing, "" for an edit, otherwise the
// command's name.
std::optional<std::string> NextUndo(Workspace& ws);
std::optional<std::string> NextRedo(Workspace& ws);
// "Anuleaza" / "Anuleaza: <command>" (and Reface), for menus.
std::string UndoCaption(const std::optional<std::string>& next, bool redo);

// Undoes (redoes) the newest change of the open table; a row being edited is cancelled instead.
// False when there is nothing to undo. Throws UndoRefused (nothing changed) when the table is not
// as the change left it. The grid's current row is the one undone.
bool UndoLast(Workspace& ws);
bool RedoLast(Workspace& ws);

// Rows of the table at path (as on disk) that this program wrote in place after the newest
// command that can be undone, in sessions since closed: undoing the command puts them back as
// they were before it. 0 when there are none, or no command to undo.
int64_t RowsEditedAfterCommand(const std::string& programDir, const std::string& path);
// The question asked before such an undo: "Anularea ordonarii pierde si modificarile ...".
std::string LosesEditsQuestion(const std::string& command, int64_t rows);

}  // namespace orbelan
