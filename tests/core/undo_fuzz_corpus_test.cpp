// The undo list fuzzer's corpus (seeds and every input a finding came from) replayed through
// its target, so the sanitizer build of the tests keeps each finding mended.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/restore_points.h"
#include "fuzz/targets.h"
#include "support/corpus_replay.h"

namespace orbelan {
namespace {

TEST(UndoFuzzCorpus, EveryInputRunsThroughItsTarget) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    EXPECT_GT(test::ReplayCorpus(std::filesystem::path(ORBELAN_FUZZ_CORPUS) / "undo",
                                 &fuzz::UndoIndexInput),
              3);
}

}  // namespace
}  // namespace orbelan
