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

    void AppendMany(int n) {
        for (int i = 0; i < n; ++i) {
            t.Append();
            t.SetInteger(0, i + 2);
            t.Post();
        }
    }
};

TEST_F(AppendBatch, LoopRowsAreReadableAtOnceAndAllInTheFileAfterClose) {
    AppendMany(3000);
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

TEST_F(AppendBatch, SinglePostGoesToTheFileImmediately) {
    t.Append();
    t.SetInteger(0, 42);
    t.Post();
    const std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(bytes), 2u);
    EXPECT_EQ(bytes.substr(65 + 7, 7), "     42");
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
    AppendMany(5);  // the first one is written at once, the rest wait
    IoFaults().failWriteAfter = 0;
    EXPECT_THROW(t.Close(), DbfError);
    EXPECT_FALSE(t.Active());
}

}  // namespace
}  // namespace orbelan
