#pragma once
// How the .xls reading process (importing/xls_reader) is found and bounded. The tests point it
// at stand-ins that crash, hang or send too much.
#include <cstddef>
#include <string>

namespace orbelan {

struct XlsReaderSettings {
    std::string program;                  // empty: beside this program, or where installed
    int seconds = 120;                    // for the whole read, however it is spent
    size_t maxBytes = size_t{512} << 20;  // of cells sent back
};
XlsReaderSettings& XlsReader();

}  // namespace orbelan
