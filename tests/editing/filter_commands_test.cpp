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
    ui.filterText = "SUMA=12";
    FilterKey(ws, 13);
    EXPECT_TRUE(ui.filterButtonDown);
    EXPECT_TRUE(ws.Tx.Filtered());
    EXPECT_EQ(ui.rowCounter, "3");

    ui.filterText = "NUME='IONEL*'";
    FilterKey(ws, 13);
    EXPECT_EQ(ui.rowCounter, "2");  // case-sensitive: "ionel" stays out
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"IONEL", "IONELA"}));
}

TEST_F(Filter, OtherKeysDoNothing) {
    OpenPersons(kRows);
    ui.filterText = "SUMA=12";
    FilterKey(ws, 65);
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.Tx.Filtered());
}

TEST_F(Filter, BlankTextLeavesFilterOffAndFullCount) {
    OpenPersons(kRows);
    ui.filterText = "   ";
    FilterKey(ws, 13);
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.Tx.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, RaisingTheButtonRestoresTheFullCount) {
    OpenPersons(kRows);
    ui.filterText = "NR>3";
    FilterKey(ws, 13);
    EXPECT_EQ(ui.rowCounter, "2");
    ui.filterButtonDown = false;  // the click toggles the button before the handler runs
    SwitchFilter(ws);
    EXPECT_FALSE(ws.Tx.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, BadExpressionShowsBalloonAndKeepsText) {
    OpenPersons(kRows);
    ui.filterText = "NUME='IONEL";
    FilterKey(ws, 13);
    ASSERT_EQ(ui.problems.size(), 1u);
    EXPECT_EQ(ui.problems[0].first, "Filtru incorect!");
    EXPECT_EQ(ui.problems[0].second, UiControl::FilterEdit);
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.Tx.Filtered());
    EXPECT_EQ(ui.filterText, "NUME='IONEL");
    EXPECT_EQ(ui.rowCounter, "5");
}

TEST_F(Filter, ButtonShowsWhetherTheTableIsFiltered) {
    // Switching on while a pending row can't be posted: the error goes on, the button stays up.
    const std::string path = OpenPersons(kRows);
    ws.Tx.Edit();
    ws.Tx.SetText(ws.Tx.FieldIndexOrThrow("NR"), "9");
    ui.filterText = "NR>3";
    IoFaults().failWriteAfter = 0;
    EXPECT_THROW(FilterKey(ws, 13), DbfError);
    IoFaults().Reset();
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_FALSE(ws.Tx.Filtered());
    ws.Tx.Cancel();

    // The filter's column gone after a reopen: the button comes up and the user is told.
    FilterKey(ws, 13);
    ASSERT_TRUE(ws.Tx.Filtered());
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
    ui.filterText = "NUME=";
    FilterKey(ws, 13);
    EXPECT_EQ(ws.Tx.RecNo(), 4);
    ui.filterText = "";
    FilterKey(ws, 13);
    EXPECT_EQ(ws.Tx.RecNo(), 4);

    // A bad expression replacing a good one shows every row again.
    ui.filterText = "NR>3";
    FilterKey(ws, 13);
    EXPECT_EQ(ui.rowCounter, "2");
    ui.filterText = "NR>";
    FilterKey(ws, 13);
    EXPECT_FALSE(ws.Tx.Filtered());
    EXPECT_EQ(ui.rowCounter, "5");
    EXPECT_EQ(Column("NR").size(), 5u);
}

TEST_F(Filter, RowBeingEditedIsPostedBeforeFilteringOrSearching) {
    OpenPersons(kRows);
    ws.Tx.Edit();
    ws.Tx.SetText(ws.Tx.FieldIndexOrThrow("NR"), "9");
    ui.filterText = "NR=9";
    FilterKey(ws, 13);
    EXPECT_TRUE(ui.problems.empty());
    EXPECT_EQ(ui.rowCounter, "1");

    ws.Tx.Edit();
    ws.Tx.SetText(ws.Tx.FieldIndexOrThrow("OBS"), "nou");
    ui.chooseAnswers.push_back({true, "OBS", "nou"});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.GetState(), Table::State::Browse);
    EXPECT_EQ(ws.Tx.AsText("NUME"), "IONEL");
}

TEST_F(Filter, NoTableComplainsOnTheGrid) {
    ui.filterButtonDown = true;
    SwitchFilter(ws);
    FindValue(ws);
    ASSERT_EQ(ui.problems.size(), 2u);
    EXPECT_EQ(ui.problems[0].first, "Nu aveti ce filtra!");
    EXPECT_EQ(ui.problems[0].second, UiControl::Grid);
    EXPECT_EQ(ui.problems[1].first, "Nu aveti unde cauta!");
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_TRUE(ui.chooseCaptions.empty());
}

TEST_F(Filter, SearchFindsFirstExactMatchAndHidesValuePanel) {
    OpenPersons(kRows);
    ui.chooseAnswers.push_back({true, "SUMA", "12"});
    FindValue(ws);
    EXPECT_EQ(ui.chooseCaptions.back(), "Cautare valoare");
    EXPECT_FALSE(ui.valuePanelVisible);
    EXPECT_EQ(ws.Tx.RecNo(), 1);

    ui.chooseAnswers.push_back({true, "NUME", "IONELA"});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.RecNo(), 3);
}

TEST_F(Filter, SearchWithoutMatchOrChoiceLeavesCurrentRow) {
    OpenPersons(kRows);
    MoveToRow(1);
    ui.chooseAnswers.push_back({true, "NUME", "NIMENI"});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.RecNo(), 2);
    ui.chooseAnswers.push_back({true, "NR", "nu e numar"});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.RecNo(), 2);
    ui.chooseAnswers.push_back({false, "", ""});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.RecNo(), 2);
}

TEST_F(Filter, SearchLooksOnlyAmongFilteredRows) {
    OpenPersons(kRows);
    ui.filterText = "NR>1";
    FilterKey(ws, 13);
    ui.chooseAnswers.push_back({true, "SUMA", "12"});
    FindValue(ws);
    EXPECT_EQ(ws.Tx.AsText("NUME"), "IONELA");
}

}  // namespace
}  // namespace orbelan
