// Damaged files must give a clear error or read safely, never crash or read past the end.
// Each case flips bytes of a real table (header, descriptors, records, memo) with a fixed seed;
// the sanitizer build of the tests turns any stray read into a failure.
#include <gtest/gtest.h>

#include <random>

#include "engine/table.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

void ReadEverything(const std::string& path) {
    Table t;
    t.SetTableName(path);
    try {
        t.Open();
    } catch (const DbfError&) {
        return;  // refusing a damaged file is fine
    }
    for (t.First(); !t.Eof(); t.Next()) {
        for (int f = 0; f < t.FieldCount(); ++f) (void)t.AsText(f);
    }
}

class MutatedFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(MutatedFiles, OpenAndReadEveryValueWithoutCrashing) {
    test::TempDir dir;
    const std::string path = dir.CopyData(GetParam());
    const std::string original = test::ReadFileBytes(path);
    std::string memoPath = path.substr(0, path.size() - 4);
    memoPath += GetParam().find("foxpro") != std::string::npos ? ".fpt" : ".dbt";
    std::string memo;
    try {
        memo = test::ReadFileBytes(memoPath);
    } catch (const std::exception&) {
    }

    std::mt19937 rng(20261207);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = original;
        const int flips = 1 + int(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the header and descriptors, where a wrong byte does the most harm.
            const size_t limit = rng() % 3 ? std::min<size_t>(bytes.size(), 600) : bytes.size();
            bytes[rng() % limit] = char(rng() % 256);
        }
        if (rng() % 5 == 0) bytes.resize(rng() % bytes.size());
        test::WriteFileBytes(path, bytes);
        if (!memo.empty()) {
            std::string m = memo;
            if (round % 2) m[rng() % m.size()] = char(rng() % 256);
            if (round % 7 == 0) m.resize(rng() % m.size());
            test::WriteFileBytes(memoPath, m);
        }
        ASSERT_NO_FATAL_FAILURE(ReadEverything(path)) << "round " << round;
        EXPECT_EQ(test::ReadFileBytes(path), bytes) << "reading wrote to the file, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, MutatedFiles,
                         ::testing::Values("dbase3_memo_cp1250.dbf", "foxpro_memo_cp852.dbf",
                                           "visual_foxpro_types.dbf", "gis_writer_cp1250.dbf"));

}  // namespace
}  // namespace orbelan
