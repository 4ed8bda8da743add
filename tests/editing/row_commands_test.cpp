// Adding, deleting, copying down and renumbering rows.
#include "editing/row_commands.h"

#include "editing/filter_commands.h"
#include "tests/editing/commands_fixture.h"

namespace orbelan {
namespace {

using Rows = test::CommandsTest;

const std::vector<std::vector<std::string>> kRows = {
    {"A", "7", "1.00", "x"},
    {"B", "", "2.00", "y"},
    {"C", "", "3.00", "z"},
    {"D", "", "4.00", "w"},
};

TEST_F(Rows, DeleteFromEmptyTableShowsError) {
    OpenPersons({});
    DeleteRow(ws);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Stergere linie");
    EXPECT_EQ(ui.messages[0].text, "Nu mai aveti ce sterge!");
    EXPECT_EQ(ui.messages[0].kind, mkError);
    EXPECT_EQ(ui.messages[0].buttons, mbOK);
}

TEST_F(Rows, DeleteAsksAndOnlyYesDeletes) {
    OpenPersons(kRows);
    MoveToRow(1);
    ui.mesajAnswers = {mrNo};
    DeleteRow(ws);
    EXPECT_EQ(ws.table.RecordCount(), 4);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Sterge linie");
    EXPECT_EQ(ui.messages[0].text,
              "Doriti sa stergeti linia ?\r(puteti sterge o linie si cu Ctrl+Delete)");
    EXPECT_EQ(ui.messages[0].kind, mkConfirmation);
    EXPECT_EQ(ui.messages[0].buttons, mbYesNo);

    ui.mesajAnswers = {mrYes};
    DeleteRow(ws);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(ui.rowCounter, "4");  // refreshed only at the next post, filter or opening
}

TEST_F(Rows, AddRowAppendsAnEmptyRowThatPostsAndCounts) {
    OpenPersons(kRows);
    AddRow(ws);
    EXPECT_EQ(ws.table.GetState(), Table::State::Insert);
    ws.table.SetText(0, "E");
    ws.table.Post();
    EXPECT_EQ(ui.rowCounter, "5");
    EXPECT_EQ(Column("NUME").back(), "E");
}

TEST_F(Rows, RenumberFromSevenWritesDownToTheLastRowAndReturns) {
    OpenPersons(kRows);
    CopyDown(ws, "NR", CopyDownMode::Renumber);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"7", "8", "9", "10"}));
    EXPECT_EQ(ws.table.RecNo(), 1);
}

TEST_F(Rows, RenumberFromTextStartsAtZeroAndCharacterColumnGetsDigits) {
    OpenPersons(kRows);
    MoveToRow(1);
    CopyDown(ws, "OBS", CopyDownMode::Renumber);
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"x", "0", "1", "2"}));
    EXPECT_EQ(ws.table.RecNo(), 2);
}

TEST_F(Rows, RenumberFromLastRowWritesOnlyThatRow) {
    OpenPersons(kRows);
    MoveToRow(3);
    CopyDown(ws, "SUMA", CopyDownMode::Renumber);
    EXPECT_EQ(Column("SUMA"), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_F(Rows, CopyFromFirstRowFillsTheWholeColumn) {
    OpenPersons(kRows);
    CopyDown(ws, "OBS", CopyDownMode::Copy);
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"x", "x", "x", "x"}));
}

TEST_F(Rows, FilteredRowsAreNeitherCopiedNorNumbered) {
    OpenPersons(kRows);
    SwitchFilter(ws, true, "NUME<>'B'");
    CopyDown(ws, "NR", CopyDownMode::Renumber);
    SwitchFilter(ws, false, "");
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"7", "", "8", "9"}));
}

TEST_F(Rows, EmptyTableIsNotRewritten) {
    const std::string path = OpenPersons({}, "gol.dbf");
    const std::string before = test::ReadFileBytes(path);
    CopyDown(ws, "OBS", CopyDownMode::Copy);
    EXPECT_EQ(test::ReadFileBytes(path), before);
}

TEST_F(Rows, AValueThatDoesNotFitChangesNoRowAndTheGridFollowsAgain) {
    OpenPersons({{"A", "99998", "1.00", ""}, {"B", "", "2.00", ""}, {"C", "", "3.00", ""}});
    EXPECT_THROW(CopyDown(ws, "NR", CopyDownMode::Renumber), DbfError);
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_EQ(ws.table.GetState(), Table::State::Browse);
    // 100000 doesn't fit N(5): the one rewrite leaves every row as it was.
    EXPECT_EQ(ws.table.RecNo(), 1);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"99998", "", ""}));
}

}  // namespace
}  // namespace orbelan
