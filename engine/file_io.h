#pragma once
// The engine's only door to the file system: read mappings, positioned writes, flushing and the
// atomic replace of a file. Everything else in the engine is portable C++: file_io_posix.cpp and
// file_io_win.cpp are the two sides. Paths are UTF-8 on both; Windows gets them as UTF-16.
//
// Every failure is a DbfError with a Romanian message naming the file.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbelan {

// Test hook: each counter makes the n-th next call of its kind fail (0 = the very next one);
// -1 = never. A counter that fired goes back to -1, unless persistent: then every later call of
// its kind fails too (a disk that stays full or read only). The calls seen since the last Reset
// are counted either way, so a test can learn how many steps a command takes from a clean run.
// Tests reset everything with IoFaults().Reset().
struct FileIoFaults {
    int failWriteAfter = -1;   // FileHandle::WriteAt, TempFile::Write/Finish
    int failSyncAfter = -1;    // FileHandle::Sync, TempFile::Finish
    int failRenameAfter = -1;  // TempFile::RenameOverTarget
    int failRemoveAfter = -1;  // RemoveFile
    int failReopenAfter = -1;  // opening a table again after a rewrite (engine/rewrite.h)
    int failKeepAfter = -1;    // a copy or the index written for the restore points (core/)
    bool persistent = false;
    bool diskFull = false;          // a failing write fails as on a full disk (ENOSPC), not EIO
    int64_t scratchClockShift = 0;  // seconds added to the clock that ages scratch files (POSIX)
    bool noHardLinks = false;       // the file system makes no hard links, as FAT doesn't
    int writes = 0, syncs = 0, renames = 0, removes = 0, reopens = 0, keeps = 0;  // calls seen
    int busyWaitMs = 0;          // time waited for a file another program held (Windows)
    void (*onCall)() = nullptr;  // called first on every call (the kill test stops there)

    void Reset() { *this = FileIoFaults{}; }
    // Counts the call of counter's kind down; true when it must fail.
    bool Take(int& counter) {
        if (onCall) onCall();
        ++CallsOf(counter);
        if (counter < 0) return false;
        if (counter == 0) {
            if (!persistent) counter = -1;
            return true;
        }
        --counter;
        return false;
    }

  private:
    int& CallsOf(const int& counter) {
        if (&counter == &failWriteAfter) return writes;
        if (&counter == &failSyncAfter) return syncs;
        if (&counter == &failRenameAfter) return renames;
        if (&counter == &failRemoveAfter) return removes;
        if (&counter == &failKeepAfter) return keeps;
        return reopens;
    }
};
FileIoFaults& IoFaults();
// For steps outside this file: counts the call down; true when it must fail.
bool TakeFault(int& counter);

namespace file_io_detail {
extern std::atomic<int> anyMappingLost;  // set once any guarded mapping lost a page
}

// A read-only view of a whole file as it was when mapped. Writes made later through a
// FileHandle of the same file show through (shared mapping) but the size stays the one mapped.
//
// Another program may shorten the file while it is mapped; touching the lost pages would then
// kill the process (SIGBUS). The mapping is guarded: such a touch reads zeros instead and marks
// the mapping Lost(), which the reader checks to report the change. (Windows refuses to shorten a
// file while a view of it exists, so there a mapping is never lost.)
class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    // True once a page of the mapping was found gone (the file was shortened under it). Cheap:
    // one relaxed load while no mapping of the process ever lost a page.
    bool Lost() const { return guard_ >= 0 && AnyMappingLost() && SlotLost(guard_); }
    // Gives the pages read so far back to the system, which reads them from the file again when
    // they are touched: a walk over a large file would otherwise keep all of it resident.
    void ReleasePages() const;
    void Reset();

  private:
    friend class FileHandle;
    static bool AnyMappingLost() {
        return file_io_detail::anyMappingLost.load(std::memory_order_acquire) != 0;
    }
    static bool SlotLost(int slot);
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    int guard_ = -1;  // slot in the guard table; -1 when unguarded
};

// An open file for positioned reads and writes.
class FileHandle {
  public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Throws DbfError(CannotOpen) for a missing file, a folder or no permission.
    static FileHandle OpenRead(const std::string& path);
    // Read and write when allowed, read only otherwise (Writable() tells).
    static FileHandle OpenReadWriteIfAllowed(const std::string& path);
    // Throws DbfError(Io) when the file can't be opened for writing.
    static FileHandle OpenReadWrite(const std::string& path);

    bool IsOpen() const { return fd_ != -1; }
    bool Writable() const { return writable_; }
    const std::string& Path() const { return path_; }
    uint64_t Size() const;
    // Reads up to n bytes; returns how many were read (fewer at the end of the file).
    size_t ReadAt(uint64_t offset, void* data, size_t n) const;
    void WriteAt(uint64_t offset, const void* data, size_t n);  // all or DbfError(Io)
    void Sync();
    MappedFile Map() const;  // the whole file at its current size (empty when size 0)
    void Close();

    // The lock a writer holds on a table, so a second program (or a second handle in this one)
    // can't write it meanwhile. Advisory on POSIX (an open-file-description lock on the whole
    // file, released on Close). On Windows a byte-range lock far past any data (LockFileEx), so
    // reads and writes of the file itself are never blocked by it.
    // A read-only handle takes a shared lock, which still keeps a writer out. False when another
    // handle holds a lock that conflicts; true again when this handle already holds it.
    bool TryLockForWriting();
    // Lets the lock go (a write is over), so the next writer can take it.
    void UnlockWriting();
    bool LockedForWriting() const { return locked_; }
    // A mark that this program has the file open, seen by other handles (another window) and
    // never in the way of reading or writing; POSIX only (Windows: nothing, never seen).
    void MarkOpen();
    bool OthersMarkedOpen() const;
    // True when the path no longer names this handle's file (another program replaced it).
    bool Replaced() const;

  private:
    intptr_t fd_ = -1;  // a descriptor on POSIX, a HANDLE on Windows; -1 when closed
    bool writable_ = false;
    bool locked_ = false;
    std::string path_;
};

// A new file written beside its target and put in the target's place by rename, so the target
// is either the old file or the complete new one. Discarded (removed) unless renamed.
class TempFile {
  public:
    explicit TempFile(const std::string& target);  // throws DbfError(Io)
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Target() const { return target_; }
    uint64_t Size() const { return size_; }
    void Write(const void* data, size_t n);                     // appends (buffered)
    void WriteAt(uint64_t offset, const void* data, size_t n);  // patches what was written
    // Copies a whole existing file to the end (used to start a memo file as a copy of the old).
    void AppendFileContents(const std::string& path);
    void Finish();  // flush and fsync; after this only RenameOverTarget or Discard
    void RenameOverTarget();
    void Discard();

  private:
    void FlushBuffer();
    std::string target_;
    std::string path_;
    intptr_t fd_ = -1;  // as in FileHandle
    std::string buffer_;
    uint64_t size_ = 0;
    bool renamed_ = false;
};

// A second name (hard link) beside a file about to be replaced by rename, so the replacement
// can be undone with the old file byte-identical. Where there are no hard links (FAT, many
// network shares) and on Windows, which can't replace an open file, the old file is renamed to
// the second name instead, and put back when the backup goes while nothing took its name. When
// the file did not exist, Restore removes what took its name. The second name is removed when
// the backup goes.
class FileBackup {
  public:
    explicit FileBackup(const std::string& path);  // path may be empty: nothing to keep
    ~FileBackup();
    FileBackup(const FileBackup&) = delete;
    FileBackup& operator=(const FileBackup&) = delete;

    bool Kept() const { return !link_.empty(); }
    // Puts the old file back under its name. Best effort: never throws.
    void Restore() noexcept;

  private:
    std::string path_;
    std::string link_;
    bool existed_ = false;
    bool aside_ = false;  // the old file was renamed to link_, not linked
};

// What a rewrite killed midway leaves beside each file it replaces: `.NAME.tmp-XXXXXX` (a
// TempFile; eight hex digits on Windows) and `.NAME.old-XXXXXXXX` (a FileBackup), NAME being
// the file's name. Removes those of targets that nobody can still be using: on POSIX, made
// (linked, renamed or written) more than a few minutes ago, since a writer that has just put its
// new file in place removes its backup only after opening the table again; on Windows, open
// nowhere. The caller holds the write lock on the table, so no rewrite of it is in flight.
// Best effort: never throws; returns how many went.
int RemoveStaleScratch(const std::vector<std::string>& targets);
// The `.NAME.old-XXXXXXXX` backups beside path.
std::vector<std::string> BackupsOf(const std::string& path);
// On Windows a rewrite killed between stepping the old file aside and moving the new one in
// leaves no file at path, only its backup. When path is missing and exactly one backup lies
// beside it, open nowhere, moves it back; true when it did. Never throws.
bool PutBackLoneBackup(const std::string& path);

// fsync of the folder holding path, so a rename in it is durable. Best effort: never throws,
// since the rename it follows has already happened.
void SyncFolderOf(const std::string& path);
bool FileExists(const std::string& path);
// Renames `from` to `to`, replacing a file of that name (std::filesystem::rename doesn't on
// Windows with every standard library); a failure throws DbfError naming `to`.
void RenameReplacing(const std::string& from, const std::string& to);
// Removes a file; false when it did not exist. Throws DbfError(Io) when it exists and can't be
// removed.
bool RemoveFile(const std::string& path);

}  // namespace orbelan
