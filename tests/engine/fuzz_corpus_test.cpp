// The fuzzers' corpus (seeds and every input a finding came from) replayed through the same
// targets, so the sanitizer build of the tests keeps each finding mended.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST(FuzzCorpus, EveryInputRunsThroughItsTarget) {
    namespace fs = std::filesystem;
    const fs::path corpus(ORBELAN_FUZZ_CORPUS);
    for (const auto& [folder, target] :
         {std::pair{"dbf", &fuzz::DbfInput}, std::pair{"filter", &fuzz::FilterInput},
          std::pair{"memo", &fuzz::MemoInput}, std::pair{"sql", &fuzz::SqlInput}}) {
        int inputs = 0;
        for (const auto& entry : fs::directory_iterator(corpus / folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = test::ReadFileBytes(entry.path().string());
            target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++inputs;
        }
        EXPECT_GT(inputs, 3) << folder;
    }
}

}  // namespace
}  // namespace orbelan
