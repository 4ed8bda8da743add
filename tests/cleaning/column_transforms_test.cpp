// Delete a column, split names, dates to day numbers and the swap, through the scripted Ui.
#include <filesystem>

#include "cleaning/column_transforms.h"
#include "editing/commands_fixture.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

class ColumnTransformsTest : public test::CommandsTest {
  protected:
    // These count the files of a folder that is also the program's data folder, where the
    // restore points would go.
    void SetUp() override {
        CommandsTest::SetUp();
        ws.KeepRestorePoints = false;
    }
    void TearDown() override { IoFaults().Reset(); }

    std::string Open(const std::vector<test::ColumnSpec>& columns,
                     const std::vector<std::vector<std::string>>& rows) {
        const std::string path = dir.File("c.dbf");
        test::WriteDbf(path, columns, rows);
        ws.CurrentFile = path;
        ws.OpenTable();
        EXPECT_TRUE(ws.table.Active());
        return path;
    }

    std::vector<std::string> FieldNames() {
        std::vector<std::string> names;
        for (int i = 0; i < ws.table.FieldCount(); ++i) names.push_back(ws.table.Field(i).name);
        return names;
    }

    // Only the table itself is left in the folder: no scratch file stays behind.
    void ExpectOnlyFiles(std::vector<std::string> expected) {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected);
    }

    // A command that failed halfway: the file as it was, the table open, the window usable.
    void ExpectRestoredAfterFailure(const std::string& path, const std::string& before) {
        EXPECT_EQ(test::ReadFileBytes(path), before);
        EXPECT_TRUE(ws.table.Active());
        EXPECT_EQ(ws.table.TableName(), path);
        EXPECT_FALSE(ws.table.ControlsDisabled());
        EXPECT_FALSE(ui.progressVisible);
        EXPECT_TRUE(ui.mainWindowEnabled);
    }
};

TEST_F(ColumnTransformsTest, SplitCutsAtTheFirstBlankAndCanRunTwice) {
    Open({{"NUME", 'C', 60}, {"NR", 'N', 3}},
         {{"POPESCU ION VASILE", "1"},
          {"POPESCU", "2"},
          {"POP  ION", "3"},
          {" POP ION", "4"},
          {"POP ABCDEFGHIJKLMNOPQRSTUVWXYZ", "5"},
          {"", "6"},
          {"POP \x01ION\x1F", "7"}});  // control characters trimmed
    SplitNames(ws, "NUME");
    EXPECT_EQ(FieldNames(), (std::vector<std::string>{"NUME", "NR", "PRENUME_"}));
    EXPECT_EQ(ws.table.Field(2).type, 'C');
    EXPECT_EQ(ws.table.Field(2).size, 26);  // the longest rest, nothing cut
    EXPECT_EQ(Column("NUME"),
              (std::vector<std::string>{"POPESCU", "POPESCU", "POP", "", "POP", "", "POP"}));
    EXPECT_EQ(Column("PRENUME_"),
              (std::vector<std::string>{"ION VASILE", "", "ION", "POP ION",
                                        "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "", "ION"}));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Separare nume de prenume");
    EXPECT_EQ(ui.messages[0].text, "Separarea s-a efectuat cu succes!");

    // Again: nothing is left to split, so every row keeps the first names it got.
    SplitNames(ws, "NUME");
    EXPECT_EQ(ws.table.FieldCount(), 3);
    EXPECT_EQ(Column("NUME"),
              (std::vector<std::string>{"POPESCU", "POPESCU", "POP", "", "POP", "", "POP"}));
    EXPECT_EQ(Column("PRENUME_"),
              (std::vector<std::string>{"ION VASILE", "", "ION", "POP ION",
                                        "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "", "ION"}));
    EXPECT_EQ(ui.rowCounter, "7");
}

TEST_F(ColumnTransformsTest, SplitWidensAnExistingFirstNamesColumnRatherThanCut) {
    Open({{"NUME", 'C', 60}, {"PRENUME_", 'C', 5}, {"NR", 'N', 3}},
         {{"POP ION VASILE", "", "1"}, {"RUS", "ANA", "2"}});
    SplitNames(ws, "NUME");
    EXPECT_EQ(ws.table.Field(1).size, 24);
    EXPECT_EQ(Column("PRENUME_"), (std::vector<std::string>{"ION VASILE", "ANA"}));
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"1", "2"}));
}

TEST_F(ColumnTransformsTest, DateToNumberRewritesEveryRowAndPutsTheColumnLast) {
    const std::string path =
        Open({{"DATAN", 'D', 8}, {"NUME", 'C', 10}},
             {{"20000101", "A"}, {"", "B"}, {"19000101", "C"}, {"*20000102", "D"}});
    ws.table.SetFilterText("NUME='A'");
    ws.table.SetFiltered(true);
    EXPECT_TRUE(DateColumnToNumber(ws, "datan"));
    EXPECT_EQ(FieldNames(), (std::vector<std::string>{"NUME", "DATAN"}));
    EXPECT_EQ(ui.columnList, (std::vector<std::string>{"NUME", "DATAN"}));
    EXPECT_EQ(ws.table.Field(1).type, 'N');
    EXPECT_EQ(ws.table.Field(1).size, 6);
    EXPECT_EQ(ws.table.Field(1).decimals, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(ui.progressVisible);
    EXPECT_TRUE(ui.mainWindowEnabled);
    // The rows hidden by the filter got their day numbers too; the deleted row stays deleted.
    ws.table.SetFiltered(false);
    EXPECT_EQ(Column("DATAN"), (std::vector<std::string>{"36526", "0", "2"}));
    EXPECT_EQ(ws.table.Header().recordCount, 4u);
    ExpectOnlyFiles({"c.dbf"});
    EXPECT_EQ(path, ws.CurrentFile);
}

TEST_F(ColumnTransformsTest, DateToNumberRefusesOtherTypesAndFailsWhole) {
    const std::string vfp = dir.CopyData("visual_foxpro_types.dbf");
    ws.CurrentFile = vfp;
    ws.OpenTable();
    const std::string vfpBefore = test::ReadFileBytes(vfp);
    for (const char* column : {"MOMENT", "NUME"}) {
        EXPECT_FALSE(DateColumnToNumber(ws, column));
        EXPECT_EQ(ui.messages.back().title, "Transformare tip coloana");
        EXPECT_EQ(ui.messages.back().text,
                  "Campul " + std::string(column) + " nu este de tip DATE!");
        EXPECT_EQ(ui.messages.back().kind, mkError);
    }
    EXPECT_EQ(test::ReadFileBytes(vfp), vfpBefore);

    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 50; ++i) rows.push_back({"20000101", "N" + std::to_string(i)});
    const std::string path = Open({{"DATAN", 'D', 8}, {"NUME", 'C', 10}}, rows);
    const std::string before = test::ReadFileBytes(path);
    for (auto fault : {&FileIoFaults::failWriteAfter, &FileIoFaults::failRenameAfter}) {
        IoFaults().*fault =
            fault == &FileIoFaults::failWriteAfter ? 25 : 0;  // halfway, or at the end
        EXPECT_THROW(DateColumnToNumber(ws, "DATAN"), DbfError);
        IoFaults().Reset();
        ExpectRestoredAfterFailure(path, before);
        EXPECT_EQ(FieldNames(), (std::vector<std::string>{"DATAN", "NUME"}));
        ExpectOnlyFiles({"c.dbf", "visual_foxpro_types.dbf", "visual_foxpro_types.fpt"});
    }
}

TEST_F(ColumnTransformsTest, DeleteColumnKeepsTheOtherValuesAndMemosByteForByte) {
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    const std::string memo = dir.File("dbase3_memo_cp1250.dbt");
    ws.CurrentFile = path;
    ws.OpenTable();
    const std::string before = test::ReadFileBytes(path);
    const std::string memoBefore = test::ReadFileBytes(memo);
    std::vector<std::vector<std::string>> kept;
    for (const char* f : {"NUME", "PRENUME", "SUMA", "NR", "DATAN", "ACTIV", "OBS"})
        kept.push_back(Column(f));

    ui.mesajAnswers.push_back(mrNo);
    EXPECT_FALSE(DeleteColumn(ws, "CNP"));
    EXPECT_EQ(ui.messages.back().text, "Sunteti sigur ca vreti sa stergeti coloana CNP?");
    EXPECT_EQ(ui.messages.back().kind, mkWarning);
    EXPECT_EQ(test::ReadFileBytes(path), before);

    IoFaults().failRenameAfter = 0;
    EXPECT_THROW(DeleteColumn(ws, "CNP"), DbfError);
    IoFaults().Reset();
    ExpectRestoredAfterFailure(path, before);
    EXPECT_EQ(test::ReadFileBytes(memo), memoBefore);

    DeleteColumn(ws, "CNP");
    EXPECT_EQ(FieldNames(),
              (std::vector<std::string>{"NUME", "PRENUME", "SUMA", "NR", "DATAN", "ACTIV", "OBS"}));
    std::vector<std::vector<std::string>> after;
    for (const char* f : {"NUME", "PRENUME", "SUMA", "NR", "DATAN", "ACTIV", "OBS"})
        after.push_back(Column(f));
    EXPECT_EQ(after, kept);
    EXPECT_EQ(test::ReadFileBytes(memo), memoBefore);
    // Each record lost exactly the 13 bytes of the code, nothing else moved.
    const std::string now = test::ReadFileBytes(path);
    const size_t oldHead = 289, newHead = 289 - 32, oldLen = 98, newLen = 85;
    for (size_t r = 0; r < 10; ++r) {
        const std::string o = before.substr(oldHead + r * oldLen, oldLen);
        EXPECT_EQ(now.substr(newHead + r * newLen, newLen), o.substr(0, 51) + o.substr(64)) << r;
    }
}

TEST_F(ColumnTransformsTest, SwapExchangesDisplayedRowsAndCountsFailures) {
    OpenPersons({{"ION", "1", "1.00", "2"}, {"ANA", "2", "2.00", "X"}, {"DAN", "3", "3.00", "Y"}});
    EXPECT_EQ(SwapColumns(ws, "NR", "OBS"), 2);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::string>{"Doriti sa inversam coloana NR cu coloana OBS ?",
                                        "2/3 valori nu au putut fi inversate.",
                                        "Coloanele au fost inversate cu succes!"}));
    EXPECT_EQ(ui.messages[1].kind, mkWarning);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"2", "2", "3"}));
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"1", "X", "Y"}));
    EXPECT_FALSE(ui.progressVisible);
    EXPECT_TRUE(ui.mainWindowEnabled);
    EXPECT_EQ(ws.table.RecNo(), 3);  // the last row

    // Through the filter only; a "NU" changes nothing.
    ws.table.SetFilterText("NUME='D*'");
    ws.table.SetFiltered(true);
    ui.messages.clear();
    EXPECT_EQ(SwapColumns(ws, "NUME", "OBS"), 0);
    ui.mesajAnswers.push_back(mrNo);
    EXPECT_EQ(SwapColumns(ws, "NUME", "OBS"), std::nullopt);
    ws.table.SetFiltered(false);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"ION", "ANA", "Y"}));
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"1", "X", "DAN"}));
    EXPECT_EQ(ui.MessageTexts().size(), 3u);
}

TEST_F(ColumnTransformsTest, SwapAndSplitFailingHalfwayChangeNothing) {
    const std::string path =
        OpenPersons({{"ION POP", "1", "1.00", "2"}, {"ANA RUS", "2", "2.00", "3"}});
    const std::string before = test::ReadFileBytes(path);
    IoFaults().failWriteAfter = 3;
    EXPECT_THROW(SwapColumns(ws, "NR", "OBS"), DbfError);
    IoFaults().failWriteAfter = 3;
    EXPECT_THROW(SplitNames(ws, "NUME"), DbfError);
    IoFaults().Reset();
    ExpectRestoredAfterFailure(path, before);
    EXPECT_EQ(ws.table.FieldCount(), 4);
}

TEST_F(ColumnTransformsTest, SwapOnAnEmptyTableOnlySaysItIsDone) {
    OpenPersons({});
    EXPECT_EQ(SwapColumns(ws, "NR", "SUMA"), 0);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::string>{"Doriti sa inversam coloana NR cu coloana SUMA ?",
                                        "Coloanele au fost inversate cu succes!"}));
}

}  // namespace
}  // namespace orbelan
