// The corpus of the import readers' fuzz targets replayed through the same targets; see
// tests/engine/fuzz_corpus_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/corpus_replay.h"

namespace orbelan {
namespace {

TEST(FuzzCorpus, EveryWorkbookSheetRunsThroughItsTarget) {
    const std::filesystem::path corpus(ORBELAN_FUZZ_CORPUS);
    EXPECT_GT(test::ReplayCorpus(corpus / "xlsx", &fuzz::XlsxSheetInput), 3);
}

}  // namespace
}  // namespace orbelan
