// The filter box, its button and the search, as the user drives them.
#include "editing/filter_commands.h"

#include "engine/file_io.h"
#include "tests/editing/commands_fixture.h"

namespace orbelan {
namespace {

using Filter = test::CommandsTest;

const std::vector<std::vector<std::string>> kRows = {
    {"IONEL", "1", "12.00", ""}, {"POP", "2", "5.50", ""},     {"IONELA", "3", "12.00", ""},
    {"ionel", "4", "12.00", ""}, {"IONESCU", "5", "1.00", ""},
};

TEST_F(Filter, EnterFiltersAndCountsMatchingRows) {
    OpenPersons(kRows);
    SwitchFilter(ws, true, "SUMA=12");
    EXPECT_TRUE(ui.filterButtonDown);
    EXPECT_TRUE(ws.table.Filtered());
    EXPECT_EQ(ui.rowCounter, "3");

    SwitchFilter(ws, true, "NUME='IONEL*'");
    EXPECT_EQ(ui.rowCounter, "2");  // case-sensitive: "ionel" stays out
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"IONEL", "IONELA"}));
}

TEST_F(Filter, ButtonUpLeavesTheFilterOffWhateverTheText) {
    OpenPersons(kRows);
    EXPECT_FALSE(SwitchFilter(ws, false, "SUMA=12"));
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.table.Filtered());
}

TEST_F(Filter, BlankTextLeavesFilterOffAndFullCount) {
    OpenPersons(kRows);
    SwitchFilter(ws, true, "   ");
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.table.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, RaisingTheButtonRestoresTheFullCount) {
    OpenPersons(kRows);
    SwitchFilter(ws, true, "NR>3");
    EXPECT_EQ(ui.rowCounter, "2");
    SwitchFilter(ws, false, "NR>3");  // the click raised the button
    EXPECT_FALSE(ws.table.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, BadExpressionShowsBalloonAndKeepsText) {
    OpenPersons(kRows);
    ui.filterText = "NUME='IONEL";  // as typed in the box
    SwitchFilter(ws, true, ui.filterText);
    ASSERT_EQ(ui.problems.size(), 1u);
    EXPECT_EQ(ui.problems[0].first, "Filtru incorect!");
    EXPECT_EQ(ui.problems[0].second, UiControl::FilterEdit);
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.table.Filtered());
    EXPECT_EQ(ui.filterText, "NUME='IONEL");
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, ButtonShowsWhetherTheTableIsFiltered) {
    // Switching on while a pending row can't be posted: the error goes on, the button stays up.
    const std::string path = OpenPersons(kRows);
    ws.table.Edit();
    ws.table.SetText(ws.table.FieldIndexOrThrow("NR"), "9");
    IoFaults().failWriteAfter = 0;
    EXPECT_THROW(SwitchFilter(ws, true, "NR>3"), DbfError);
    IoFaults().Reset();
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.table.Filtered());
    ws.table.Cancel();

    // The filter's column gone after a reopen: the button comes up and the user is told.
    SwitchFilter(ws, true, "NR>3");
    ASSERT_TRUE(ws.table.Filtered());
    ws.CloseTable();
    test::WriteDbf(path, {{"NUME", 'C', 20}}, {{"A"}, {"B"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    EXPECT_FALSE(ui.filterButtonDown);
    ASSERT_EQ(ui.problems.size(), 1u);
    EXPECT_EQ(ui.problems[0],
              std::make_pair(std::string("Filtru incorect!"), UiControl::FilterEdit));
    EXPECT_EQ(ui.rowCounter, "2");
}

TEST_F(Filter, BadOrBlankFilterLeavesTheCurrentRowWhereItWas) {
    OpenPersons(kRows);
    MoveToRow(3);
    SwitchFilter(ws, true, "NUME=");
    EXPECT_EQ(ws.table.RecNo(), 4);
    SwitchFilter(ws, true, "");
    EXPECT_EQ(ws.table.RecNo(), 4);

    // A bad expression replacing a good one shows every row again.
    SwitchFilter(ws, true, "NR>3");
    EXPECT_EQ(ui.rowCounter, "2");
    SwitchFilter(ws, true, "NR>");
    EXPECT_FALSE(ws.table.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
    EXPECT_EQ(Column("NR").size(), 5u);
}

TEST_F(Filter, RowBeingEditedIsPostedBeforeFilteringOrSearching) {
    OpenPersons(kRows);
    ws.table.Edit();
    ws.table.SetText(ws.table.FieldIndexOrThrow("NR"), "9");
    SwitchFilter(ws, true, "NR=9");
    EXPECT_TRUE(ui.problems.empty());
    EXPECT_EQ(ui.rowCounter, "1");

    ws.table.Edit();
    ws.table.SetText(ws.table.FieldIndexOrThrow("OBS"), "nou");
    ASSERT_TRUE(ReadyToFind(ws));
    FindValue(ws, "OBS", "nou");
    EXPECT_EQ(ws.table.GetState(), Table::State::Browse);
    EXPECT_EQ(ws.table.AsText("NUME"), "IONEL");
}

TEST_F(Filter, NoTableComplainsOnTheGrid) {
    ui.filterButtonDown = true;
    EXPECT_FALSE(SwitchFilter(ws, true, "NR>3"));
    EXPECT_FALSE(ReadyToFind(ws));
    ASSERT_EQ(ui.problems.size(), 2u);
    EXPECT_EQ(ui.problems[0].first, "Nu aveti ce filtra!");
    EXPECT_EQ(ui.problems[0].second, UiControl::Grid);
    EXPECT_EQ(ui.problems[1].first, "Nu aveti unde cauta!");
    EXPECT_FALSE(ui.filterButtonDown);
}

TEST_F(Filter, SearchFindsFirstExactMatchAndHidesValuePanel) {
    OpenPersons(kRows);
    FindValue(ws, "SUMA", "12");
    EXPECT_EQ(ws.table.RecNo(), 1);

    FindValue(ws, "NUME", "IONELA");
    EXPECT_EQ(ws.table.RecNo(), 3);
}

TEST_F(Filter, SearchWithoutMatchOrChoiceLeavesCurrentRow) {
    OpenPersons(kRows);
    MoveToRow(1);
    FindValue(ws, "NUME", "NIMENI");
    EXPECT_EQ(ws.table.RecNo(), 2);
    FindValue(ws, "NR", "nu e numar");
    EXPECT_EQ(ws.table.RecNo(), 2);
}

TEST_F(Filter, SearchLooksOnlyAmongFilteredRows) {
    OpenPersons(kRows);
    SwitchFilter(ws, true, "NR>1");
    FindValue(ws, "SUMA", "12");
    EXPECT_EQ(ws.table.AsText("NUME"), "IONELA");
}

}  // namespace
}  // namespace orbelan
