#pragma once
// The restore points of the commands that rewrite a table. A rewrite writes a new file beside
// the table and renames it over the old one; the old files (table, memo, index) are kept instead
// of lost: a second name (hard link) made in the program's data folder before the command runs,
// so keeping them costs no copy. Where the data folder is on another file system than the
// table, the second names go to a hidden folder beside the table, `.orbelan-undo`; where the
// file system makes no hard links at all, the files are copied there.
//
// Each table has its own folder in `<data folder>/undo/` with an index of its restore points
// (they survive closing the program). A restore point records the stamp (size, modification
// time, checksum) of the files the command left; undo puts the old files back only while the
// table on disk is exactly that, and only from kept files that are still exactly what was kept.
// Undo and redo swap the two versions by rename, noting the swap in the index first: a swap cut
// short is finished once, when the table is next opened for writing (FinishPendingSwap), and each
// rename leaves a table that reads whole.
//
// Nothing read back from the index is trusted: a point whose line is malformed, whose folder is
// not the one this program makes for it, or whose files are not the table's own is unusable. It
// is refused with a message and none of its files is touched.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orbelan {

class Workspace;

// Every failure of undo, redo or keeping a restore point.
struct UndoError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Undo or redo would overwrite a table another program changed, or can't be done at all.
struct UndoRefused : UndoError {
    using UndoError::UndoError;
};

// A file of the restore points (a kept copy, the index) could not be written: why, and which.
struct UndoStoreError : UndoError {
    enum class Cause { NoRoom, Permission, Io };
    UndoStoreError(Cause why, std::string path, const std::string& message)
        : UndoError(message), cause(why), file(std::move(path)) {}
    Cause cause;
    std::string file;
};

// The user answered NU before a command: it did not run and nothing changed.
struct CommandDeclined : std::runtime_error {
    CommandDeclined() : std::runtime_error("Comanda nu a fost executata.") {}
};

struct RestorePoint {
    int64_t id = 0;
    bool undone = false;   // the version before the command is on disk (the point redoes)
    bool pending = false;  // a swap was begun and must be finished
    int64_t time = 0;      // when the command ran (seconds since 1970)
    std::string name;      // the command as the user knows it
    int64_t rowsBefore = 0, rowsAfter = 0;
    uint64_t sizeBefore = 0, sizeAfter = 0;  // bytes of each version's files
    std::string folder;                      // holds before/ or after/, the version not on disk
    std::vector<std::string> filesBefore, filesAfter;  // each version's file names
    std::string stampBefore, stampAfter;               // each version's files as on disk
    std::string problem;  // why the point can't be used (its index line is kept as read)
    std::string line;     // that line
    bool folderOurs = false;  // folder is the one this program made for the point
};

class RestorePoints {
  public:
    static constexpr size_t kMaxPoints = 20;

    // The restore points of the table at path, kept in programDir. Only reads.
    RestorePoints(const std::string& programDir, const std::string& path);

    // Finishes a swap a killed run left halfway (or drops its point when the table was replaced
    // since). Called while the table is closed, before it is opened for writing.
    void FinishPendingSwap();

    const std::vector<RestorePoint>& Points() const { return points_; }
    const RestorePoint* NextUndo() const;
    const RestorePoint* NextRedo() const;

    // The restore points' disk budget: the smaller of 2 GB and a tenth of the free space
    // (override >= 0 replaces it).
    uint64_t Budget(int64_t override) const;
    uint64_t BytesKept() const;

    // Runs change (a rewrite of the table) keeping the files as they were as a restore point
    // named name. When even an empty history can't hold the table within budget, or the old
    // files can't be kept, ask is called first with the reason: its false means the command does
    // not run (CommandDeclined), its true that it runs without one and every point goes.
    enum class Outcome { Kept, NotKept, Unchanged };
    Outcome Run(const std::string& name, int64_t budgetOverride,
                const std::function<bool(const std::string& why)>& ask,
                const std::function<void()>& change);

    // Swaps the newest done point back (undo) or the oldest undone one forward (redo). Throws
    // UndoRefused when the table on disk is not the version the point left, when a kept file is
    // not what was kept, or when the point is unusable; then nothing changed. nullopt when there
    // is nothing to swap; else the point's name.
    std::optional<std::string> Undo();
    std::optional<std::string> Redo();

    // The table was written in place by this program (edits, and their undo): the points next
    // to the version on disk record its files as they are now. openedAs: the files' sizes and
    // times (UndoHistory's StatOf) when the table was opened; a point that did not know the table
    // as it was then keeps its record, so it refuses a file another program changed.
    void TableEdited(const std::string& openedAs);
    // A new change of the table: the undone points no longer follow from it.
    void DropUndone();
    // Every point goes (a rewrite made without one: none of them fits the table any more).
    void Clear();

  private:
    void Load();
    void Check(RestorePoint& p) const;
    void Save() const;
    void Refuse(const RestorePoint& p, bool back) const;
    void Swap(RestorePoint& p);
    void Finish(RestorePoint& p);
    bool Unfinished(const RestorePoint& p) const;
    void Remove(size_t index);
    void Trim(uint64_t budget);

    std::string programDir_;
    std::string path_;                  // the table
    std::string tableDir_;              // its folder
    std::string tableName_;             // its file name
    std::string storeDir_;              // <data folder>/undo/<key>/
    std::string besideDir_;             // <table folder>/.orbelan-undo/<key>/
    std::string indexPath_;             // storeDir_/index
    std::vector<RestorePoint> points_;  // oldest first
};

// Every build keeps restore points; a build that could not would turn this off, and undo of
// commands then says so instead of swapping files.
constexpr bool kRestorePointsAvailable = true;
constexpr const char* kRestorePointsMissing =
    "Anularea comenzilor nu este disponibila in aceasta versiune.";

// A name for the table at path that stays the same however the path is written (its folder in
// the program's data folder).
std::string TableKey(const std::string& path);
// The folder of the restore points of the table at path (its list is `index` in it).
std::string RestorePointsFolder(const std::string& programDir, const std::string& path);

// The files of the table at path as one version: the table, its memo, index and .cpg files, and
// (given the program's data folder) the index files attached to it.
std::vector<std::string> VersionFiles(const std::string& path, const std::string& programDir = {});
// Size, modification time and checksum of those files, as one text.
std::string StampOf(const std::string& folder, const std::vector<std::string>& names);
// The same without the checksums: what a write changes, cheap to learn.
std::string StatOf(const std::string& path);

// Writes a new table at path through write (which returns whether it wrote one). A table already
// there is replaced like any rewrite, under a restore point named as the running command
// (default name), and its memo and index files that the new table has not replaced go with it.
void ReplaceWithNewTable(Workspace& ws, const std::string& path, const std::string& name,
                         const std::function<bool()>& write);

// Finishes a swap of the table's restore points a killed run left halfway, before the table at
// path is opened for writing. Best effort: a failure leaves the point for the next time.
void FinishPendingSwap(const Workspace& ws, const std::string& path);

// Runs change, a rewrite of the open table's file at path, under a restore point named as the
// running command (ws.RunningCommand) unless ws.KeepRestorePoints is off; then the table's
// restore points all go, since none of them fits the new file.
void WithRestorePoint(Workspace& ws, const std::string& path, const std::function<void()>& change);

}  // namespace orbelan
