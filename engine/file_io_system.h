#pragma once
// What each system's file door (file_io_posix.cpp, file_io_win.cpp) gives the code both share
// (file_io.cpp): positioned writes, the flush to disk and the messages, in the system's own
// error codes.
#include <cstddef>
#include <cstdint>
#include <string>

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
[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int err);

}  // namespace orbelan::file_io_system
