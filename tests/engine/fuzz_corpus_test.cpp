// The fuzzers' corpus (seeds and every input a finding came from) replayed through the same
// targets, so the sanitizer build of the tests keeps each finding mended.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/corpus_replay.h"

namespace orbelan {
namespace {

TEST(FuzzCorpus, EveryInputRunsThroughItsTarget) {
    namespace fs = std::filesystem;
    const fs::path corpus(ORBELAN_FUZZ_CORPUS);
    for (const auto& [folder, target] :
         {std::pair{"dbf", &fuzz::DbfInput}, std::pair{"filter", &fuzz::FilterInput},
          std::pair{"memo", &fuzz::MemoInput}, std::pair{"sql", &fuzz::SqlInput},
          std::pair{"fieldlist", &fuzz::FieldListInput}}) {
        EXPECT_GT(test::ReplayCorpus(corpus / folder, target), 3) << folder;
    }
}

}  // namespace
}  // namespace orbelan
