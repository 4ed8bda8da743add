// The dataset: cursor, editing, index detaching, locate, bookmarks, filter and observers.
#include "engine/table.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dbf_file.h"
#include "engine/file_io.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

// Records what observers are told, as "reset", "changed 2", "moved 0" ...
class Recorder : public TableObserver {
  public:
    std::vector<std::string> events;
    void DataReset() override { events.push_back("reset"); }
    void RowChanged(int row) override { events.push_back("changed " + std::to_string(row)); }
    void RowsInserted(int row, int count) override {
        events.push_back("inserted " + std::to_string(row) + "+" + std::to_string(count));
    }
    void RowsRemoved(int row, int count) override {
        events.push_back("removed " + std::to_string(row) + "+" + std::to_string(count));
    }
    void CursorMoved(int row) override { events.push_back("moved " + std::to_string(row)); }
};

class TableTest : public ::testing::Test {
  protected:
    // NUME C 12, SUMA N 8,2, DATAN D, ACTIV L; row 2 (POP) is deleted.
    void SetUp() override {
        path_ = dir_.File("PERS.DBF");
        test::WriteDbf(
            path_, {{"NUME", 'C', 12}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}, {"ACTIV", 'L', 1}},
            {{"IONESCU", "12.50", "20000101", "T"},
             {"POPESCU", "-3.25", "19991231", "F"},
             {"*POP", "1.00", "", " "},
             {"\xAA"
              "TEFAN",
              "12.5", "", "?"},
             {"POPESCU", "7", "20200229", "T"}});
        t_.SetTableName(path_);
        t_.SetFormatSettings(FormatSettings{',', "dd.MM.yyyy"});
        t_.Open();
    }

    std::vector<std::string> Column(int field) {
        std::vector<std::string> out;
        for (t_.First(); !t_.Eof(); t_.Next()) out.push_back(t_.AsText(field));
        return out;
    }

    test::TempDir dir_;
    std::string path_;
    Table t_;
};

TEST_F(TableTest, CursorWalksTheLiveRowsOnly) {
    EXPECT_EQ(t_.RecordCount(), 4);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"IONESCU", "POPESCU", "ŞTEFAN", "POPESCU"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"12,5", "-3,25", "12,5", "7"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"01.01.2000", "31.12.1999", "", "29.02.2020"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"True", "False", "", "True"}));

    t_.First();
    EXPECT_TRUE(t_.Bof());
    EXPECT_EQ(t_.RecNo(), 1);
    t_.Next();
    t_.Next();
    EXPECT_EQ(t_.RecNo(), 3);
    EXPECT_EQ(t_.PhysicalRecNo(), 3);  // the deleted row is skipped
    t_.Prior();
    EXPECT_EQ(t_.AsText("nume"), "POPESCU");
    t_.Last();
    EXPECT_TRUE(t_.Eof());
    EXPECT_EQ(t_.RecNo(), 4);
    t_.MoveTo(0);
    EXPECT_EQ(t_.TextAt(3, 1), "7");
    EXPECT_EQ(t_.TextAt(9, 1), "");
    EXPECT_EQ(t_.AsInteger(1), 12);
    EXPECT_EQ(t_.AsInteger(2), 36526);  // a date as its day number
    EXPECT_EQ(t_.FieldIndex("Suma"), 1);
    EXPECT_THROW(t_.FieldIndexOrThrow("SUMMA"), DbfError);
}

TEST_F(TableTest, EditPostWritesOnlyTheRecordAndCancelRestores) {
    const std::string before = test::ReadFileBytes(path_);
    const size_t header = 32 + 4 * 32 + 1, rec = 1 + 12 + 8 + 8 + 1;
    t_.First();
    t_.Next();
    t_.SetText(1, "1234,567");  // rounded to the field's decimals
    EXPECT_EQ(t_.GetState(), Table::State::Edit);
    EXPECT_TRUE(t_.Modified());
    EXPECT_EQ(t_.AsText(1), "1234,57");
    EXPECT_EQ(test::ReadFileBytes(path_), before);  // nothing written before Post
    t_.Post();
    std::string after = test::ReadFileBytes(path_);
    EXPECT_EQ(after.substr(header + rec + 13, 8), " 1234.57");
    EXPECT_EQ(after.substr(header), before.substr(0, header + rec + 13).substr(header) +
                                        " 1234.57" + before.substr(header + rec + 21));
    EXPECT_EQ(after.substr(4, 24), before.substr(4, 24));  // only the date bytes 1-3 may differ

    t_.SetText(0, "ALTUL");
    t_.SetDate(2, 2);
    EXPECT_EQ(t_.AsText(2), "01.01.1900");
    t_.Cancel();
    EXPECT_EQ(t_.AsText(0), "POPESCU");
    EXPECT_EQ(test::ReadFileBytes(path_), after);

    // A value the field can't take changes nothing and leaves the row browsing.
    EXPECT_THROW(t_.SetText(1, "123456789"), DbfError);
    EXPECT_THROW(t_.SetText(2, "31.02.2000"), DbfError);
    EXPECT_THROW(t_.SetText(3, "poate"), DbfError);
    EXPECT_THROW(t_.SetText(0, "Жанна"), DbfError);
    EXPECT_EQ(t_.GetState(), Table::State::Browse);

    t_.SetText(0, "UN NUME MULT PREA LUNG");  // character fields are cut, as dBase does
    t_.SetText(2, "20010203");
    t_.SetText(3, "nu");
    t_.Post();
    EXPECT_EQ(t_.AsText(0), "UN NUME MULT");
    EXPECT_EQ(t_.AsText(2), "03.02.2001");
    EXPECT_EQ(t_.AsText(3), "False");
}

TEST_F(TableTest, NumbersIntoCharacterAndNumericFields) {
    t_.First();
    t_.SetFloat(0, 7);
    t_.SetFloat(1, 2.005);
    t_.Post();
    EXPECT_EQ(t_.AsText(0), "7");
    EXPECT_EQ(t_.AsText(1), "2,01");
    t_.SetFloat(0, 7.25);
    t_.SetInteger(1, -12);
    t_.Post();
    EXPECT_EQ(t_.AsText(0), "7,25");
    EXPECT_EQ(t_.AsText(1), "-12");
    t_.SetNull(1);
    t_.Post();
    EXPECT_TRUE(t_.IsNull(1));
    EXPECT_EQ(t_.AsInteger(1), 0);
}

TEST_F(TableTest, AppendGrowsTheFileAndKeepsTheEndMark) {
    Recorder rec;
    t_.AddObserver(&rec);
    int posts = 0;
    t_.AfterPost = [&](Table& t) { posts = t.RecordCount(); };
    t_.Append();
    EXPECT_EQ(t_.GetState(), Table::State::Insert);
    EXPECT_EQ(t_.RecordCount(), 5);  // the new row counts while it is being inserted
    EXPECT_EQ(t_.CurrentRow(), 4);
    t_.SetText(0, "NOU");
    t_.SetText(1, "5");
    t_.Post();
    EXPECT_EQ(posts, 5);
    EXPECT_EQ(t_.PhysicalRecNo(), 5);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"inserted 4+1", "moved 4", "changed 4",
                                                    "changed 4", "changed 4"}));

    const std::string bytes = test::ReadFileBytes(path_);
    const size_t header = 32 + 4 * 32 + 1, rec_len = 30;
    EXPECT_EQ(bytes[4], 6);  // physical count, deleted row included
    EXPECT_EQ(bytes.size(), header + 6 * rec_len + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes.substr(header + 5 * rec_len, 21), " NOU             5.00");

    t_.Append();
    t_.Cancel();
    EXPECT_EQ(t_.RecordCount(), 5);
    EXPECT_EQ(test::ReadFileBytes(path_), bytes);

    Table other;  // another reader sees the posted row at once
    other.SetTableName(path_);
    other.Open();
    EXPECT_EQ(other.RecordCount(), 5);
    other.Last();
    EXPECT_EQ(other.AsText(0), "NOU");
}

TEST_F(TableTest, DeleteHidesTheRowAndMovesToTheNext) {
    t_.First();
    t_.Next();
    t_.Delete();
    EXPECT_EQ(t_.RecordCount(), 3);
    EXPECT_EQ(t_.AsText(0), "ŞTEFAN");
    EXPECT_FALSE(t_.Eof());
    t_.Last();
    t_.Delete();
    EXPECT_TRUE(t_.Eof());
    EXPECT_EQ(t_.AsText(0), "ŞTEFAN");
    const std::string bytes = test::ReadFileBytes(path_);
    EXPECT_EQ(bytes[32 + 4 * 32 + 1 + 1 * 30], '*');
    EXPECT_EQ(bytes[32 + 4 * 32 + 1 + 4 * 30], '*');

    t_.Pack();
    EXPECT_EQ(t_.RecordCount(), 2);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"IONESCU", "ŞTEFAN"}));
    EXPECT_EQ(test::ReadFileBytes(path_).size(), 32u + 4 * 32 + 1 + 2 * 30 + 1);

    Table empty;
    test::WriteDbf(dir_.File("gol.dbf"), {{"A", 'C', 1}}, {});
    empty.SetTableName(dir_.File("gol.dbf"));
    empty.Open();
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Eof());
    EXPECT_THROW(empty.Delete(), DbfError);
}

TEST_F(TableTest, PackWhoseOldIndexCannotBeDeletedStillWritesToTheNewFile) {
    test::WriteFileBytes(dir_.File("PERS.mdx"), "old index");
    IoFaults().failRemoveAfter = 0;
    EXPECT_NO_THROW(t_.Pack());
    IoFaults().Reset();
    t_.Append();
    t_.SetText(0, "NOU");
    t_.Post();
    t_.Close();
    t_.Open();
    EXPECT_EQ(Column(0),
              (std::vector<std::string>{"IONESCU", "POPESCU", "ŞTEFAN", "POPESCU", "NOU"}));
}

TEST_F(TableTest, PackReplacesTheTableBehindALinkAndKeepsItsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits and symbolic links";
#endif
    t_.Close();
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write);
    const std::string link = dir_.File("LINK.DBF");
    fs::create_symlink(path_, link);
    Table t;
    t.SetTableName(link);
    t.Open();
    t.Pack();
    t.Close();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(path_).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                   fs::perms::group_read | fs::perms::group_write);
    t_.Open();
    EXPECT_EQ(Column(0), (std::vector<std::string>{"IONESCU", "POPESCU", "ŞTEFAN", "POPESCU"}));
    EXPECT_EQ(test::ReadFileBytes(path_)[4], 4);  // the deleted row is gone from the real file
}

TEST(TableFiles, FoxPro2TableWithItsCdxIndexOpens) {
    // FoxPro 2.x writes the dBase III version byte and keeps its index in a .cdx file.
    test::TempDir dir;
    const std::string path = dir.CopyData("missing_production_index.dbf");
    test::WriteFileBytes(dir.File("missing_production_index.cdx"), "fox index");
    Table t;
    t.SetTableName(path);
    EXPECT_NO_THROW(t.Open());
    EXPECT_EQ(t.RecordCount(), 3);
}

TEST(TableFiles, DamagedMemoHeaderDoesNotMakeTheMemoFileHuge) {
    test::TempDir dir;
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    const std::string memo = dir.File("dbase3_memo_cp1250.dbt");
    std::string bytes = test::ReadFileBytes(memo);
    const size_t before = bytes.size();
    bytes.replace(0, 4, "\xF0\xFF\xFF\xFF");  // "next free block" far past the end
    test::WriteFileBytes(memo, bytes);
    Table t;
    t.SetTableName(path);
    t.Open();
    const int obs = t.FieldIndexOrThrow("OBS");
    t.Edit();
    t.SetText(obs, "memo nou");
    t.Post();
    t.Close();
    EXPECT_LE(fs::file_size(memo), before + 1024);
    t.Open();
    EXPECT_EQ(t.AsText(obs), "memo nou");
}

TEST_F(TableTest, UnreadableIndexIsAskedAboutBeforeTheFirstChange) {
    t_.Close();
    std::string bytes = test::ReadFileBytes(path_);
    bytes[28] = 1;
    test::WriteFileBytes(path_, bytes);
    test::WriteFileBytes(dir_.File("PERS.MDX"), "index");
    test::WriteFileBytes(dir_.File("PERS.cdx"), "index");
    t_.Open();
    t_.Locate("NUME", "POPESCU");
    t_.Close();
    EXPECT_EQ(test::ReadFileBytes(path_), bytes);  // reading alone changes nothing
    EXPECT_TRUE(FileExists(dir_.File("PERS.MDX")));

    // No answer (or NU): the change is refused and nothing is written.
    int asked = 0;
    bool answer = false;
    t_.SetIndexOptions(
        {}, [&](const std::string&, const std::string&, const std::function<void()>& detach) {
            ++asked;
            if (answer) detach();
            return answer;
        });
    t_.Open();
    t_.SetText(0, "X");
    EXPECT_THROW(t_.Post(), DbfError);
    t_.Cancel();
    t_.Close();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(test::ReadFileBytes(path_), bytes);
    EXPECT_TRUE(FileExists(dir_.File("PERS.MDX")));

    // DA: the index is taken off, then the change is written.
    answer = true;
    t_.Open();
    t_.SetText(0, "X");
    t_.Post();
    EXPECT_EQ(test::ReadFileBytes(path_)[28], 0);
    EXPECT_FALSE(FileExists(dir_.File("PERS.MDX")));
    EXPECT_FALSE(FileExists(dir_.File("PERS.cdx")));

    // A dot in a folder name is not the extension.
    const fs::path folder = dir_.Path() / "date.v2";
    fs::create_directory(folder);
    const std::string p2 = (folder / "LISTA").string();
    test::WriteDbf(p2, {{"A", 'C', 1}}, {{"a"}});
    test::WriteFileBytes(p2 + ".mdx", "index");
    DetachIndex(p2);
    EXPECT_FALSE(FileExists(p2 + ".mdx"));
}

TEST_F(TableTest, LocateComparesValuesByTheFieldType) {
    EXPECT_TRUE(t_.Locate("NUME", "POPESCU"));
    EXPECT_EQ(t_.RecNo(), 2);
    EXPECT_TRUE(t_.Locate("NUME", "ŞTEFAN"));
    EXPECT_EQ(t_.RecNo(), 3);
    EXPECT_FALSE(t_.Locate("NUME", "POP"));  // exact, not a prefix
    EXPECT_FALSE(t_.Locate("NUME", "popescu"));
    EXPECT_FALSE(t_.Locate("NUME", "Жанна"));  // no row can hold it
    EXPECT_EQ(t_.RecNo(), 3);                  // a miss leaves the cursor
    EXPECT_TRUE(t_.Locate("SUMA", "7,00"));
    EXPECT_EQ(t_.RecNo(), 4);
    EXPECT_TRUE(t_.Locate("SUMA", "12.5"));
    EXPECT_EQ(t_.RecNo(), 1);
    EXPECT_FALSE(t_.Locate("SUMA", "1"));  // only in the deleted row
    EXPECT_FALSE(t_.Locate("SUMA", "abc"));
    EXPECT_TRUE(t_.Locate("DATAN", "31.12.1999"));
    EXPECT_EQ(t_.RecNo(), 2);
    EXPECT_TRUE(t_.Locate("DATAN", ""));
    EXPECT_EQ(t_.RecNo(), 3);
    EXPECT_FALSE(t_.Locate("DATAN", "1999-12-31x"));
    EXPECT_TRUE(t_.Locate("ACTIV", "False"));
    EXPECT_EQ(t_.RecNo(), 2);
    EXPECT_THROW(t_.Locate("NIMIC", "x"), DbfError);
}

TEST_F(TableTest, BookmarksArePhysicalRecords) {
    t_.Last();
    const Bookmark b = t_.GetBookmark();
    EXPECT_EQ(b, 4);
    t_.First();
    EXPECT_TRUE(t_.GotoBookmark(b));
    EXPECT_EQ(t_.RecNo(), 4);
    EXPECT_FALSE(t_.GotoBookmark(2));  // deleted
    EXPECT_FALSE(t_.GotoBookmark(99));
    t_.SetFilterText("NUME='POP*'");
    t_.SetFiltered(true);
    EXPECT_EQ(t_.RecordCount(), 2);
    EXPECT_TRUE(t_.GotoBookmark(b));
    EXPECT_EQ(t_.RecNo(), 2);
    EXPECT_FALSE(t_.GotoBookmark(0));  // filtered out
}

TEST_F(TableTest, FilterKeepsMatchingRowsAndABadOneStaysOff) {
    t_.SetFilterText("SUMA>0");
    t_.SetFiltered(true);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"IONESCU", "ŞTEFAN", "POPESCU"}));
    t_.SetFilterText("NUME='POPESCU'");
    EXPECT_EQ(t_.RecordCount(), 2);
    EXPECT_THROW(t_.SetFilterText("SUMMA=1"), DbfError);
    EXPECT_FALSE(t_.Filtered());
    EXPECT_EQ(t_.RecordCount(), 4);
    t_.SetFiltered(false);
    try {
        t_.SetFiltered(true);
        FAIL();
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Filter);
    }
    EXPECT_FALSE(t_.Filtered());
    EXPECT_EQ(t_.RecordCount(), 4);
}

TEST_F(TableTest, ObserversAreQuietWhileControlsAreDisabled) {
    Recorder rec;
    t_.AddObserver(&rec);
    t_.DisableControls();
    t_.DisableControls();
    for (t_.First(); !t_.Eof(); t_.Next()) {
        t_.SetText(1, "1");
        t_.Post();
    }
    t_.EnableControls();
    EXPECT_TRUE(rec.events.empty());
    EXPECT_TRUE(t_.ControlsDisabled());
    t_.EnableControls();
    EXPECT_EQ(rec.events, (std::vector<std::string>{"reset", "moved 3"}));
    t_.RemoveObserver(&rec);
    t_.First();
    EXPECT_EQ(rec.events.size(), 2u);
}

TEST_F(TableTest, OpenCloseNotificationsAndStateErrors) {
    int opened = 0, closed = 0;
    t_.AfterOpen = [&](Table& t) { opened = t.RecordCount(); };
    t_.AfterClose = [&](Table&) { ++closed; };
    t_.Close();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(t_.Active());
    EXPECT_EQ(t_.FieldCount(), 0);
    EXPECT_THROW(t_.First(), DbfError);
    t_.Open();
    EXPECT_EQ(opened, 4);
    t_.SetText(0, "X");
    EXPECT_THROW(t_.Next(), DbfError);  // an edit must be finished first
    EXPECT_THROW(t_.SetTableName("alt.dbf"), DbfError);
    t_.Close();  // cancels the edit
    t_.Open();
    EXPECT_EQ(t_.AsText(0), "IONESCU");
}

TEST(TableMemo, EditedMemoGoesToNewBlocksAndOldOnesStay) {
    test::TempDir dir;
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    const std::string dbtPath = dir.File("dbase3_memo_cp1250.dbt");
    for (const std::string& p : {path, dbtPath})
        fs::permissions(p, fs::perms::owner_write, fs::perm_options::add);
    const std::string dbt = test::ReadFileBytes(dbtPath);
    Table t;
    t.SetTableName(path);
    t.Open();
    const int obs = t.FieldIndex("OBS");
    t.SetText(obs, "text nou, şi lung");
    EXPECT_EQ(t.AsText(obs), "text nou, şi lung");  // from the edit buffer
    EXPECT_EQ(test::ReadFileBytes(dbtPath), dbt);
    t.Post();
    const std::string after = test::ReadFileBytes(dbtPath);
    // The old file ends 3 bytes into block 12: the new value goes to block 13.
    EXPECT_EQ(after.substr(0, 4), std::string("\x0E\0\0\0", 4));
    EXPECT_EQ(after.substr(4, dbt.size() - 4), dbt.substr(4));  // nothing overwritten
    EXPECT_EQ(after.size(), 14u * 512);
    EXPECT_EQ(after.substr(13 * 512, 19), "text nou, \xBAi lung\x1A\x1A");
    t.Close();
    t.Open();
    EXPECT_EQ(t.AsText(obs), "text nou, şi lung");
    t.SetText(obs, "");
    t.Post();
    EXPECT_TRUE(t.IsNull(obs));
    EXPECT_EQ(t.AsText(obs), "");
}

TEST(TableMemo, PointerPastTheEndSpoilsOnlyThatValue) {
    test::TempDir dir;
    const std::string path = dir.CopyData("foxpro_memo_cp852.dbf");
    std::string bytes = test::ReadFileBytes(path);
    const size_t obsOffset = 520 + 1 + 25 + 20 + 12 + 6 + 8 + 1;
    bytes.replace(obsOffset, 10, "        57");
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    test::WriteFileBytes(path, bytes);
    Table t;
    t.SetTableName(path);
    t.Open();
    EXPECT_EQ(t.AsText("OBS"), "<memo ilizibil: blocul 57 lipseste>");
    EXPECT_EQ(t.AsText("NUME"), "ŞTEFĂNESCU");
    t.Next();
    t.Next();
    EXPECT_EQ(t.AsText("OBS"), "fp memo");

    fs::remove(dir.File("foxpro_memo_cp852.fpt"));
    t.Close();
    t.Open();
    EXPECT_EQ(t.AsText("NUME"), "ŞTEFĂNESCU");
    EXPECT_NE(t.AsText("OBS").find("lipseste"), std::string::npos);
    EXPECT_THROW(t.SetText("OBS", "x"); t.Post(), DbfError);
}

TEST(TableFiles, ALongWalkGivesPagesBackAndStillReadsEveryRow) {
    test::TempDir dir;
    const std::string path = dir.File("mare.dbf");
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 70000; ++i) rows.push_back({std::to_string(i)});
    test::WriteDbf(path, {{"NR", 'C', 8}}, rows);
    Table t;
    t.SetTableName(path);
    t.Open();
    // Counting reads every row's page; given back, the rows still read right.
    EXPECT_EQ(t.RecordCount(), 70000);
    for (const int row : {0, 4096, 69999}) {
        const std::string n = std::to_string(row);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.RecordAt(row)) + 1, n.size()), n);
    }
    t.ReleaseReadPages();
    t.Last();
    EXPECT_EQ(t.AsText(0), "69999");
    t.First();
    EXPECT_EQ(t.AsText(0), "0");
    EXPECT_EQ(test::ReadFileBytes(path).size(), 32u + 32 + 1 + 70000 * 9 + 1);
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// A numeric field's text carries its declared decimals when asked (the window's form); a float
// and the command line's default keep the shortest form.
TEST(NumberText, DeclaredDecimalsOnlyForNumericFieldsWhenAsked) {
    test::TempDir dir;
    const std::string path = dir.File("n.dbf");
    test::WriteDbf(path, {{"SUMA", 'N', 10, 2}, {"NR", 'N', 5, 0}, {"CURS", 'F', 10, 3}},
                   {{"65092.80", "12", "1.500"}, {"-3.5", "-7", "2"}, {"", "", ""}});
    const struct {
        bool declared;
        std::vector<std::vector<std::string>> rows;
    } kCases[] = {
        {true, {{"65092,80", "12", "1,5"}, {"-3,50", "-7", "2"}, {"", "", ""}}},
        {false, {{"65092,8", "12", "1,5"}, {"-3,5", "-7", "2"}, {"", "", ""}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.declared);
        Table t;
        FormatSettings format;
        format.declaredDecimals = c.declared;
        t.SetFormatSettings(format);
        t.SetTableName(path);
        t.Open();
        for (int r = 0; r < 3; ++r)
            for (int f = 0; f < 3; ++f) EXPECT_EQ(t.TextAt(r, f), c.rows[r][f]) << r << "," << f;
    }
}

}  // namespace
}  // namespace orbelan
