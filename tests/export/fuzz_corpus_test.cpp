// The corpus of the fuzz targets over the command code (the RTF letter template, the DIF, SYLK
// and CSV writers) replayed through the same targets; see tests/engine/fuzz_corpus_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST(FuzzCorpus, EveryCommandInputRunsThroughItsTarget) {
    namespace fs = std::filesystem;
    const fs::path corpus(ORBELAN_FUZZ_CORPUS);
    for (const auto& [folder, target] :
         {std::pair{"rtf", &fuzz::RtfTemplateInput}, std::pair{"sheet", &fuzz::SheetExportInput}}) {
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
