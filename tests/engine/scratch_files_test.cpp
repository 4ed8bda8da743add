// Scratch files a killed rewrite leaves beside a table: the next rewrite removes them (and only
// them), and a table left only under its backup name is put back when it is opened.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/rewrite.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

// T.dbf with its memo T.dbt.
std::string MemoTable(const test::TempDir& dir) {
    dir.CopyData("dbase3_memo_cp1250.dbf");
    fs::rename(dir.Path() / "dbase3_memo_cp1250.dbf", dir.Path() / "T.dbf");
    fs::rename(dir.Path() / "dbase3_memo_cp1250.dbt", dir.Path() / "T.dbt");
    return dir.File("T.dbf");
}

void CopyAllRows(const std::string& path) {
    RewritePlan plan;
    plan.fill = [](const DbfFile& old, DbfWriter& out) {
        for (uint32_t r = 0; r < old.RecordCount(); ++r) out.AddRecord(old.Record(r));
    };
    RewriteTableFile(path, {}, plan);
}

// Every row's every field as text; a lost memo shows as "<memo ilizibil ...>".
std::string Contents(const std::string& path) {
    const auto file = DbfFile::Open(path);
    std::string text;
    for (uint32_t r = 0; r < file->RecordCount(); ++r)
        for (int f = 0; f < file->FieldCount(); ++f) {
            file->AppendText(text, file->Record(r), f, FormatSettings{});
            text += '|';
        }
    return text;
}

class ScratchFiles : public ::testing::Test {
  protected:
    void TearDown() override { IoFaults().Reset(); }
    bool Exists(const std::string& name) const { return fs::exists(dir_.Path() / name); }
    void Plant(const std::string& name) const { test::WriteFileBytes(dir_.File(name), "x"); }
    test::TempDir dir_;
};

TEST_F(ScratchFiles, ARewriteRemovesWhatAKilledOneLeftAndNothingElse) {
    const std::string table = MemoTable(dir_);
    const std::string before = Contents(table);
    // As the seam names them, for the table and either kind of memo file.
    const std::vector<std::string> stale = {".T.dbf.tmp-a1B2c3",   ".T.dbf.tmp-0A1B2C3D",
                                            ".T.dbf.old-1234ABCD", ".T.dbt.tmp-Zz9yY8",
                                            ".T.dbt.old-DEADBEEF", ".T.fpt.tmp-q1w2e3"};
    // A user's files and another table's scratch: never touched.
    const std::vector<std::string> kept = {
        ".T.dbf.tmp-notes.txt", "T.dbf.old",         ".T.dbf.old-5678efab",  ".T.dbf.old-1234ABCD0",
        ".T.dbf.tmp-a1B2c",     ".U.dbf.tmp-a1B2c3", ".T.dbf.tmp-a1B2c3.bak"};
    for (const auto& name : stale) Plant(name);
    for (const auto& name : kept) Plant(name);
    // A writer that has just put its new table in place still holds its backup.
    const std::string busy = ".T.dbf.old-0000BEEF";
    Plant(busy);
    const FileHandle held = FileHandle::OpenRead(dir_.File(busy));

#ifndef _WIN32  // on Windows a file open nowhere is stale at once; here only its age tells
    CopyAllRows(table);
    for (const auto& name : stale) EXPECT_TRUE(Exists(name)) << name << " is only just made";
#endif

    IoFaults().scratchClockShift = 2 * 60 * 60;
    CopyAllRows(table);
    for (const auto& name : stale) EXPECT_FALSE(Exists(name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(Exists(name)) << name;
#ifdef _WIN32
    EXPECT_TRUE(Exists(busy));
#else
    EXPECT_FALSE(Exists(busy));  // the age rule alone: hours old is no writer's
#endif
    EXPECT_EQ(Contents(table), before);
}

TEST_F(ScratchFiles, ATableLeftOnlyUnderItsBackupNameIsPutBackWhenOpened) {
    const std::string table = MemoTable(dir_);
    const std::string before = Contents(table);
    fs::copy_file(table, dir_.File(".T.dbf.old-00000001"));
    fs::rename(table, dir_.File(".T.dbf.old-1234ABCD"));
    fs::rename(dir_.File("T.dbt"), dir_.File(".T.dbt.old-0000FFFF"));
    // Two: which one is the table can't be told.
    EXPECT_THROW(DbfFile::Open(table), DbfError);
    EXPECT_EQ(BackupsOf(table).size(), 2u);

    fs::remove(dir_.File(".T.dbf.old-00000001"));
    EXPECT_EQ(Contents(table), before);  // memo included
    EXPECT_TRUE(BackupsOf(table).empty());
    EXPECT_TRUE(BackupsOf(dir_.File("T.dbt")).empty());
}

}  // namespace
}  // namespace orbelan
