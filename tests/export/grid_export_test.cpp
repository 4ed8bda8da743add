// The grid source over a real table, and "In diverse formate" through the scripted windows.
#include "export/grid_export.h"

#include <gtest/gtest.h>

#include <regex>

#include "editing/commands_fixture.h"
#include "export/export_command.h"
#include "tests/export/biff_reader.h"

namespace orbelan {
namespace {

class GridExportTest : public test::CommandsTest {
  protected:
    TovDBGridExport exp{ui, ui, platform};

    void SetUp() override {
        CommandsTest::SetUp();
        platform.tempFolder = dir.Path().string() + "/";
        exp.SetTempDir(platform.tempFolder);
    }
};

TEST_F(GridExportTest, ExportsDisplayedRowsAndComesBackToTheRow) {
    OpenPersons({{"POP ION", "1", "12.50", "x"},
                 {"*STERS", "2", "1", "y"},
                 {"ANA", "3", "", "z"},
                 {"DAN", "4", "7", "w"}});
    ws.table.SetFilterText("NR>1");
    ws.table.SetFiltered(true);
    MoveToRow(1);
    ws.table.SetText("OBS", "edited");  // still being edited when the export starts
    TovGrid grid = GridOfTable(ws.table);
    grid.columns[3].visible = false;
    grid.columns[0].title = "Nume";
    ui.exportChooserAnswers = {std::pair{int(xtExcel), true}};
    ExportInDiverseFormats(ws, exp, grid);
    ASSERT_EQ(platform.opened, std::vector<std::string>{dir.File("ZUQ1.XLS")});
    const auto cells = test::BiffCells(test::ReadFileBytes(platform.opened[0]));
    ASSERT_EQ(cells.size(), 9u);
    EXPECT_EQ(cells.at({0, 0}).text, "Nume");
    EXPECT_EQ(cells.at({1, 0}).text, "ANA");
    EXPECT_EQ(cells.at({1, 2}).text, "");  // empty value: an empty LABEL
    EXPECT_EQ(cells.at({2, 1}).number, 4);
    EXPECT_EQ(cells.at({2, 1}).attr[2] & 7, 3);  // numbers right-aligned
    EXPECT_EQ(cells.at({2, 2}).number, 7);
    EXPECT_EQ(ws.table.AsText("NUME"), "DAN");
    EXPECT_EQ(ws.table.GetState(), Table::State::Browse);
    EXPECT_EQ(ws.table.AsText("OBS"), "edited");
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GridExportTest, WidthsFollowFieldTypes) {
    const std::string path = dir.File("w.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 20}, {"NR", 'N', 5}, {"DATAN", 'D', 8}, {"OK", 'L', 1}},
                   {{"A", "1", "20000101", "T"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    BindExport(ws, exp, GridOfTable(ws.table));
    // Through the engine's text width: one separator between each of the four columns.
    exp.Options.Add(xoHeaderLine);
    exp.SetExportType(xtTXT);
    EXPECT_EQ(exp.TextLineWidth(), 20 + 15 + 10 + 5 + 3);
}

TEST_F(GridExportTest, CreatedLineInTheProgramsDateFormat) {
    OpenPersons({{"POP ION", "1", "12.50", "x"}});
    struct Case {
        const char* format;
        const char* moment;  // 5 February 2019 09:07:03
        const char* pattern;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "05.02.2019 09:07:03", R"(Creat la \d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)"},
        {"yyyy-MM-dd", "2019-02-05 09:07:03", R"(Creat la \d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"},
        {"d/M/yy", "5/2/19 09:07:03", R"(Creat la \d\d?/\d\d?/\d\d \d\d:\d\d:\d\d)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        FormatSettings format = ws.Format();
        format.shortDateFormat = c.format;
        ws.SetFormatSettings(format);
        BindExport(ws, exp, GridOfTable(ws.table));
        std::tm moment{};
        moment.tm_year = 119;
        moment.tm_mon = 1;
        moment.tm_mday = 5;
        moment.tm_hour = 9;
        moment.tm_min = 7;
        moment.tm_sec = 3;
        EXPECT_EQ(exp.MomentText(moment), c.moment);
        const std::string line = exp.CreatedLine();
        EXPECT_TRUE(std::regex_match(line, std::regex(c.pattern))) << line;
    }
}

TEST_F(GridExportTest, CellsOfEveryTypeAndAMissingField) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path,
                   {{"NUME", 'C', 12}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}, {"OK", 'L', 1}},
                   {{"\xAAtef\xE3n", "-3.5", "20000101", "T"}, {"a,b", "", "", "F"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    TovGrid grid = GridOfTable(ws.table);
    grid.columns.push_back({7, "X", true, 1});  // no such field: one blank
    BindExport(ws, exp, grid);
    exp.Options = {xoShowHeader};
    exp.SetExportType(xtCSV);
    exp.ExportStyle = xsFile;
    exp.FileName = dir.File("t.csv");
    exp.ExportData();
    // The table's text forms (decimal comma); the second row reads over longer buffers.
    EXPECT_EQ(test::ReadFileBytes(dir.File("t.csv")),
              "NUME,SUMA,DATAN,OK,X\r\n"
              "\xAAtef\xE3n,\"-3,5\",01.01.2000,True,\" \"\r\n"
              "\"a,b\",,,False,\" \"\r\n");
}

TEST_F(GridExportTest, FailureReachesTheUser) {
    // A cp1251 table: its names can't be written in the program's cp1250.
    const std::string path = dir.File("ru.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"\xC6\xE0\xED\xED\xE0"}}, 0xC9);
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_EQ(ws.table.AsText(0), "Жанна");
    ui.exportChooserAnswers = {std::pair{int(xtExcel), true}};
    ExportInDiverseFormats(ws, exp, GridOfTable(ws.table));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Eroare");
    EXPECT_NE(ui.messages[0].text.find("Exportul nu a reusit."), std::string::npos);
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_FALSE(ws.table.ControlsDisabled());
}

}  // namespace
}  // namespace orbelan
