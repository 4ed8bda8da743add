#pragma once
// A file's modification time to the file system's full precision. MinGW's std::filesystem reads
// whole seconds on Windows, so two writes within one second would look alike there. Defined
// beside the rest of the file seam (file_io_posix.cpp, file_io_win.cpp).
#include <climits>
#include <cstdint>
#include <string>

namespace orbelan {

constexpr int64_t kNoTime = INT64_MIN;

// Counted as std::filesystem::file_time_type counts it; kNoTime when the file can't be read.
int64_t ModifiedTime(const std::string& path);

}  // namespace orbelan
