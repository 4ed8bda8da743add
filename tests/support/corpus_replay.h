#pragma once
// Replays a fuzz target's corpus folder through the target itself.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace orbelan::test {

// Runs every file of folder through target; the count of inputs run.
inline int ReplayCorpus(const std::filesystem::path& folder,
                        void (*target)(const uint8_t*, size_t)) {
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        const std::string bytes = ReadFileBytes(entry.path().string());
        target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++inputs;
    }
    return inputs;
}

}  // namespace orbelan::test
