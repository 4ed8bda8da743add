#pragma once
// What each system's file door (file_io_posix.cpp, file_io_win.cpp) gives the code both share
// (file_io.cpp): positioned writes, the flush to disk and the messages, in the system's own
// error codes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_io.h"

namespace orbelan::file_io_system {

constexpr size_t kTempBuffer = 1 << 20;  // what a TempFile gathers before it writes

// 0 when all n bytes are in the file at offset, else the system's error code.
int WriteAll(intptr_t fd, uint64_t offset, const void* data, size_t n);
// 0 when what was written reached the disk, else the system's error code.
int FlushToDisk(intptr_t fd);
// The error codes the test hooks' failures stand for.
extern const int kDiskFullError;
extern const int kDiskError;
inline int InjectedWriteError() {  // a failed write, or a full disk when the hooks say so
    return IoFaults().diskFull ? kDiskFullError : kDiskError;
}
// How a path is split into folder and name, and whether names differ by letter case.
#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
constexpr bool kNamesIgnoreCase = true;
#else
constexpr const char* kSeparators = "/";
constexpr bool kNamesIgnoreCase = false;
#endif
// A scratch file changed more recently than this may belong to a writer still finishing.
constexpr int64_t kScratchAgeSeconds = 5 * 60;

// The names in folder (a path ending in a separator, "" for the current folder); none when it
// can't be read.
std::vector<std::string> NamesIn(const std::string& folder);
// The file a scratch file for target is named after (a link followed on POSIX, as TempFile does).
std::string ScratchTargetOf(const std::string& target);
// Windows: another handle has the file open (or it can't be opened at all). POSIX: false.
bool HeldOpen(const std::string& path);
// POSIX: its status changed less than kScratchAgeSeconds ago. Windows: false.
bool RecentlyChanged(const std::string& path);
// Quiet primitives for best-effort cleanup: false when it didn't happen.
bool RemoveQuietly(const std::string& path);
bool MoveToFreeName(const std::string& from, const std::string& to);  // never replaces `to`

// The system's error code in Romanian words, for the errors a user can do something about.
std::string Reason(int err);
// DbfError(Io): "<what> <path> a esuat: <reason>."
[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int err);

}  // namespace orbelan::file_io_system
