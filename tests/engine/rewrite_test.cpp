// The one rewrite of a table: a failure at any step leaves table and memo byte-identical and the
// table open on them; a rewrite keeps what the source holds.
#include "engine/rewrite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/query.h"
#include "engine/table.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Rewrite : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        memo_ = dir_.File("dbase3_memo_cp1250.dbt");
        table_.SetTableName(path_);
        table_.Open();
        obs_ = table_.FieldIndexOrThrow("OBS");
    }
    void TearDown() override { IoFaults().Reset(); }

    // Rows in reverse order, each memo text with a '!' added: new table and new memo file.
    RewritePlan ReversedWithMemo() const {
        RewritePlan plan;
        plan.structure = StructureOf(*DbfFile::Open(path_));
        plan.fill = [](const DbfFile& old, DbfWriter& out) {
            const int obs = old.FieldIndex("OBS");
            for (uint32_t r = old.RecordCount(); r-- > 0;) {
                out.BeginRow();
                out.Row()[0] = old.Record(r)[0];
                out.CopyFields(old, old.Record(r), FormatSettings{});
                out.SetMemo(out.FieldIndex("OBS"), old.Text(old.Record(r), obs, {}) + "!");
                out.EndRow();
            }
        };
        return plan;
    }

    test::TempDir dir_;
    std::string path_, memo_;
    Table table_;
    int obs_ = 0;
};

TEST_F(Rewrite, AFailureAtAnyStepLeavesBothFilesAndTheOpenTableAsTheyWere) {
    const std::string tableBytes = test::ReadFileBytes(path_);
    const std::string memoBytes = test::ReadFileBytes(memo_);
    const std::vector<std::string> names = FolderNames(dir_.Path());
    const std::string firstName = table_.AsText(0);
    const int rows = table_.RecordCount();
    const uint32_t stored = DbfFile::Open(path_)->RecordCount();  // deleted rows too
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"scratch file", [] { IoFaults().failWriteAfter = 0; }},
        {"writing rows", [] { IoFaults().failWriteAfter = 3; }},
        {"flushing the table", [] { IoFaults().failSyncAfter = 0; }},
        {"flushing the memo", [] { IoFaults().failSyncAfter = 1; }},
        {"renaming the memo", [] { IoFaults().failRenameAfter = 0; }},
        {"renaming the table", [] { IoFaults().failRenameAfter = 1; }},  // memo already moved
        {"opening again", [] { IoFaults().failReopenAfter = 0; }},       // both already moved
    };
    for (const bool hardLinks : {true, false})
        for (const auto& [step, arm] : steps) {
            SCOPED_TRACE(std::string(step) + (hardLinks ? "" : ", no hard links"));
            const RewritePlan plan = ReversedWithMemo();
            arm();
            IoFaults().noHardLinks = !hardLinks;
            EXPECT_THROW(table_.Rewrite(plan), DbfError);
            IoFaults().Reset();
            EXPECT_EQ(test::ReadFileBytes(path_), tableBytes);
            EXPECT_EQ(test::ReadFileBytes(memo_), memoBytes);
            EXPECT_EQ(FolderNames(dir_.Path()), names);  // no scratch file or second name left
            ASSERT_TRUE(table_.Active());
            table_.First();
            EXPECT_EQ(table_.AsText(0), firstName);
            EXPECT_EQ(table_.RecordCount(), rows);
        }
    // Still open on the old file: a new row goes into it.
    table_.Append();
    table_.SetText(0, "NOU");
    table_.Post();
    table_.Flush();
    EXPECT_EQ(DbfFile::Open(path_)->RecordCount(), stored + 1);

    table_.Rewrite(ReversedWithMemo());
    EXPECT_EQ(FolderNames(dir_.Path()), names);
    table_.First();
    EXPECT_EQ(table_.AsText(0), "NOU");
    EXPECT_EQ(table_.AsText(obs_), "!");
    table_.Last();
    EXPECT_EQ(table_.AsText(0), firstName);
    EXPECT_EQ(table_.RecordCount(), rows + 1);
}

TEST_F(Rewrite, DroppingTheLastMemoFieldRemovesTheMemoFile) {
    table_.Close();
    Query q;
    q.AddSql("ALTER TABLE \"" + path_ + "\" DROP OBS");
    q.ExecSQL();
    EXPECT_FALSE(fs::exists(memo_));
    const auto file = DbfFile::Open(path_);
    EXPECT_EQ(file->FieldIndex("OBS"), -1);
    EXPECT_FALSE(file->HasMemoFile());
    EXPECT_EQ(file->Layout().memo, MemoKind::None);
}

// The records of a large table go over in one block (the append's copy of the table's own rows):
// every byte lands where it belongs, before and after the rows added one by one.
TEST(RewriteBlock, EveryRecordCopiedInOneGoThenARowAdded) {
    test::TempDir dir;
    const std::string path = dir.File("MARE.DBF");
    {
        DbfWriter::Definition d;
        d.fields = {FieldDef{"TEXT", 'C', 250}};
        DbfWriter w(path, d);
        for (int r = 0; r < 6000; ++r) {  // 1.5 MB, past the scratch file's buffer
            w.BeginRow();
            w.SetText(0, "rand " + std::to_string(r), {});
            w.EndRow();
        }
        w.Commit();
    }
    const std::string before = test::ReadFileBytes(path);
    RewritePlan plan;
    plan.fill = [](const DbfFile& old, DbfWriter& out) {
        out.BeginRow();
        out.SetText(0, "primul", {});
        out.EndRow();
        out.AddRecordsOf(old);
        out.BeginRow();
        out.SetText(0, "ultimul", {});
        out.EndRow();
    };
    RewriteTableFile(path, {}, plan);
    const std::string after = test::ReadFileBytes(path);
    const auto file = DbfFile::Open(path);
    ASSERT_EQ(file->RecordCount(), 6002u);
    const size_t header = file->Layout().headerLength, length = file->RecordLength();
    EXPECT_EQ(after.substr(header + length, 6000 * length), before.substr(header, 6000 * length));
    EXPECT_EQ(file->Text(file->Record(0), 0, {}), "primul");
    EXPECT_EQ(file->Text(file->Record(6001), 0, {}), "ultimul");
}

// Visual FoxPro: the ALTER keeps _NullFlags, the null values, the varchar lengths and the
// autoincrement counter.
TEST(RewriteVisualFoxPro, AlterKeepsNullsVarcharLengthsAndTheCounter) {
    test::TempDir dir;
    const std::string path = dir.File("VFP.DBF");
    DbfWriter::Definition def;
    def.version = 0x30;
    FieldDef id{"ID", 'I', 4};
    id.flags = 0x0C;  // autoincrement
    id.autoNext = 17;
    id.autoStep = 2;
    FieldDef nume{"NUME", 'V', 10};
    FieldDef suma{"SUMA", 'N', 8, 2};
    suma.flags = 0x02;
    FieldDef datan{"DATAN", 'D', 8};
    datan.flags = 0x02;
    def.fields = {id, nume, suma, datan};
    {
        DbfWriter w(path, def);
        const FormatSettings format;
        const std::vector<std::vector<std::string>> rows = {
            {"1", "AB", "", "01.02.2003"}, {"2", "", "3,5", ""}, {"3", "ABCDEFGHIJ", "0", ""}};
        for (const auto& row : rows) {
            w.BeginRow();
            for (int f = 0; f < 4; ++f) w.SetText(f, row[static_cast<size_t>(f)], format);
            w.EndRow();
        }
        w.Commit();
    }
    Query q;
    q.AddSql("ALTER TABLE \"" + path + "\" ADD X CHAR(3)");
    q.ExecSQL();

    const auto file = DbfFile::Open(path);
    ASSERT_GE(file->Layout().nullFlagsField, 0);
    const FieldDef& counter = file->Fields()[0];
    EXPECT_EQ(counter.flags, 0x0C);
    EXPECT_EQ(counter.autoNext, 17u);
    EXPECT_EQ(counter.autoStep, 2);
    Table t;
    t.SetTableName(path);
    t.Open();
    std::vector<std::string> seen;
    for (t.First(); !t.Eof(); t.Next())
        seen.push_back(t.AsText(1) + "|" + t.AsText(2) + "|" + (t.IsNull(2) ? "null" : "") + "|" +
                       (t.IsNull(3) ? "null" : t.AsText(3)));
    EXPECT_EQ(seen, (std::vector<std::string>{"AB||null|01.02.2003", "|3,5||null",
                                              "ABCDEFGHIJ|0||null"}));

    // New rows take the counter's numbers (a typed one too) and the header keeps the count.
    t.Append();
    t.SetText(0, "5");
    t.Post();
    t.Append();
    t.Post();
    t.Last();
    EXPECT_EQ(t.AsText(0), "19");
    t.Pack();
    t.Close();
    const auto packed = DbfFile::Open(path);
    EXPECT_EQ(packed->Fields()[0].autoNext, 21u);
    EXPECT_EQ(packed->Text(packed->Record(3), 0, {}), "17");
}

}  // namespace
}  // namespace orbelan
