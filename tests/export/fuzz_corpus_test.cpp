// The corpus of the fuzz targets over the command code (the RTF letter template, the DIF, SYLK
// and CSV writers) replayed through the same targets; see tests/engine/fuzz_corpus_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/corpus_replay.h"

namespace orbelan {
namespace {

TEST(FuzzCorpus, EveryCommandInputRunsThroughItsTarget) {
    namespace fs = std::filesystem;
    const fs::path corpus(ORBELAN_FUZZ_CORPUS);
    for (const auto& [folder, target] :
         {std::pair{"rtf", &fuzz::RtfTemplateInput}, std::pair{"sheet", &fuzz::SheetExportInput}}) {
        EXPECT_GT(test::ReplayCorpus(corpus / folder, target), 3) << folder;
    }
}

}  // namespace
}  // namespace orbelan
