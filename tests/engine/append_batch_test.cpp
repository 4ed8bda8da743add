// Rows posted in a loop reach the file in batches; nothing posted may be lost or misread.
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/file_io.h"
#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

uint32_t HeaderCount(const std::string& bytes) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= uint32_t(uint8_t(bytes[size_t(4 + i)])) << (8 * i);
    return n;
}

class AppendBatch : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.File("A.DBF");
    Table t;

    void SetUp() override {
        test::WriteDbf(path, {{"NR", 'N', 6}}, {{"1"}});
        t.SetTableName(path);
        t.Open();
    }
    void TearDown() override { IoFaults().Reset(); }

    // Rows posted with the grid frozen, as a command's loop posts them.
    void AppendMany(int n) {
        t.DisableControls();
        for (int i = 0; i < n; ++i) {
            t.Append();
            t.SetInteger(0, i + 2);
            t.Post();
        }
    }
};

TEST_F(AppendBatch, LoopRowsAreReadableAtOnceAndAllInTheFileAfterClose) {
    AppendMany(3000);
    EXPECT_LT(HeaderCount(test::ReadFileBytes(path)), 3001u);  // some rows still wait
    EXPECT_EQ(t.RecordCount(), 3001);
    EXPECT_EQ(t.TextAt(3000, 0), "3001");
    t.Close();
    const std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(bytes), 3001u);
    // 32 + 32 + 1 header bytes, 7 bytes a row, then the end mark.
    ASSERT_EQ(bytes.size(), 65u + 3001u * 7u + 1u);
    EXPECT_EQ(bytes.substr(65 + 3000 * 7, 7), "   3001");
    EXPECT_EQ(bytes.back(), '\x1A');
}

TEST_F(AppendBatch, PostsWithTheGridFollowingGoToTheFileImmediately) {
    for (int value : {42, 43}) {
        t.Append();
        t.SetInteger(0, value);
        t.Post();
    }
    const std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(bytes), 3u);
    EXPECT_EQ(bytes.substr(65 + 7, 7), "     42");
    EXPECT_EQ(bytes.substr(65 + 14, 7), "     43");
}

TEST_F(AppendBatch, FollowingTheGridAgainWritesTheWaitingRows) {
    AppendMany(10);
    t.EnableControls();
    EXPECT_EQ(HeaderCount(test::ReadFileBytes(path)), 11u);
}

TEST_F(AppendBatch, PostThatCannotBeWrittenIsNotKeptNorWrittenTwice) {
    IoFaults().failWriteAfter = 0;
    t.Append();
    t.SetInteger(0, 7);
    EXPECT_THROW(t.Post(), DbfError);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 1);

    IoFaults().failWriteAfter = 0;
    t.Append();
    t.SetInteger(0, 8);
    EXPECT_THROW(t.Post(), DbfError);
    t.Post();  // the retry
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 2);
    t.Last();
    EXPECT_EQ(t.AsText(0), "8");
}

TEST_F(AppendBatch, ChangingAWaitingRowKeepsTheChange) {
    AppendMany(10);
    t.Last();
    t.Edit();
    t.SetInteger(0, 999);
    t.Post();
    t.Prior();
    t.Delete();
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 10);
    t.Last();
    EXPECT_EQ(t.AsText(0), "999");
}

TEST_F(AppendBatch, FailedBatchWriteIsReportedByCloseNotLostSilently) {
    AppendMany(5);  // all five wait while the grid is frozen
    IoFaults().failWriteAfter = 0;
    EXPECT_THROW(t.Close(), DbfError);
    EXPECT_FALSE(t.Active());
}

}  // namespace
}  // namespace orbelan
