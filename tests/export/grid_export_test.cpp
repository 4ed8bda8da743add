// The grid source over a real table, and "In diverse formate" through the scripted windows.
#include "export/grid_export.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// Every export to a file asks where: beside the table first, then in the folder last saved to;
// a file already there is replaced only when the user says so.
TEST_F(GridExportTest, SaveDialogEveryTimeAndAskedBeforeReplacing) {
    OpenPersons({{"POP ION", "1", "12.50", "x"}});
    const std::string other = dir.File("iesire") + "/", chosen = other + "a.txt";
    std::filesystem::create_directory(other);
    struct Step {
        TovExportType type;
        std::string initialPath;
        std::optional<int> answer;  // to the overwrite question; none: not asked
    };
    const Step steps[] = {{xtTXT, dir.File("t.txt"), std::nullopt},
                          {xtTAB, other + "t.txt", mrNo},
                          {xtTAB, other + "t.txt", mrYes}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.initialPath);
        ui.messages.clear();
        ui.fileDialogs.clear();
        ui.exportChooserAnswers = {std::pair{int(step.type), false}};
        ui.saveFileAnswers = {chosen};
        if (step.answer) ui.mesajAnswers = {*step.answer};
        const std::string before =
            std::filesystem::exists(chosen) ? test::ReadFileBytes(chosen) : std::string();
        ExportInDiverseFormats(ws, exp, GridOfTable(ws.table));
        ASSERT_EQ(ui.fileDialogs.size(), 1u);
        EXPECT_EQ(ui.fileDialogs[0].initialPath, step.initialPath);
        std::vector<std::string> asked;
        for (const auto& m : ui.messages)
            asked.push_back(m.title + "|" + m.text + "|" + std::to_string(m.buttons));
        EXPECT_EQ(asked, step.answer ? std::vector<std::string>{"Export|Fisierul " + chosen +
                                                                " exista deja. Il inlocuiti?|" +
                                                                std::to_string(mbYesNo)}
                                     : std::vector<std::string>{});
        EXPECT_EQ(test::ReadFileBytes(chosen) == before, step.answer == mrNo);
        // A written file is named in the status bar with its rows; a refused one is not.
        EXPECT_EQ(ui.statusText == "Exportat in " + chosen + " (1 linii)", step.answer != mrNo)
            << ui.statusText;
        ui.statusText.clear();
    }
}

// A text field's value stays text however much it looks like a number; a number field's value
// is a number cell from its stored value, with the program's decimal comma; dates as texts.
TEST_F(GridExportTest, ExcelCellsTakeTheFieldsType) {
    const std::string path = dir.File("c.dbf");
    test::WriteDbf(
        path,
        {{"CNP", 'C', 13}, {"COD", 'C', 5}, {"SUMA", 'N', 8, 2}, {"NR", 'N', 5}, {"DATAN", 'D', 8}},
        {{"2870512123456", "0042", "727.20", "12", "20000101"},
         {"1.5", "", "-0.50", "", ""},
         {"", "", "", "", "19000228"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    BindExport(ws, exp, GridOfTable(ws.table));
    exp.Options.Remove(xoShowProgress);
    struct Expected {
        int row, column;
        uint16_t id;  // NUMBER 3, LABEL 4
        const char* text;
        double number;
    };
    const Expected expected[] = {
        {1, 0, 4, "2870512123456", 0},
        {1, 1, 4, "0042", 0},
        {1, 2, 3, "", 727.2},
        {1, 3, 3, "", 12},
        {1, 4, 3, "", 36526},  // a date cell: days from 30.12.1899
        {2, 0, 4, "1.5", 0},
        {2, 1, 4, "", 0},
        {2, 2, 3, "", -0.5},
        {2, 3, 4, "", 0},
        {2, 4, 4, "", 0},
        // Spreadsheets count the days before 1 March 1900 wrongly: such a date stays a text.
        {3, 4, 4, "28.02.1900", 0},
    };
    exp.SetExportType(xtExcel);
    exp.ExportStyle = xsFile;
    exp.FileName = dir.File("c.xls");
    exp.ExportData();
    const auto cells = test::BiffCells(test::ReadFileBytes(dir.File("c.xls")));
    for (const Expected& e : expected) {
        SCOPED_TRACE(std::to_string(e.row) + "," + std::to_string(e.column));
        const test::BiffCell& cell = cells.at({e.row, e.column});
        EXPECT_EQ(cell.id, e.id);
        EXPECT_EQ(cell.text, e.text);
        EXPECT_EQ(cell.number, e.number);
    }
    EXPECT_EQ(cells.at({1, 4}).attr[1] & 0x3F, 1);  // the date format
    EXPECT_EQ(cells.at({1, 3}).attr[1] & 0x3F, 0);
    // Cells as text keeps every value a text.
    exp.EXCEL.Options.Add(reCellsAsText);
    exp.FileName = dir.File("t.xls");
    exp.ExportData();
    EXPECT_EQ(test::BiffCells(test::ReadFileBytes(dir.File("t.xls"))).at({1, 2}).text, "727,2");
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
