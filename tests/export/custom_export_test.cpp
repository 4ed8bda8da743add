// The engine's run sequence, events and Excel hand-off, over an in-memory data source.
#include "export/custom_export.h"

#include <gtest/gtest.h>

#include "engine/codepage.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tests/export/biff_reader.h"
#include "tests/export/memory_export.h"

namespace orbelan {
namespace {

class ExportTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    test::MemoryExport x{ui, ui, platform};
    std::vector<std::string> events;

    void SetUp() override {
        platform.tempFolder = dir.Path().string() + "/";
        x.SetTempDir(platform.tempFolder);
        x.OnError = [this](TovExportError e) { events.push_back("error " + std::to_string(e)); };
        x.OnBeginExport = [this] { events.push_back("begin"); };
        x.OnEndExport = [this] { events.push_back("end"); };
        x.rows = {{"Ştefan", "12", "a"}, {"Ana", "0042", "b"}};
    }

    std::string ToFile(const std::string& name) {
        x.ExportStyle = xsFile;
        x.FileName = dir.File(name);
        x.ExportData();
        return x.WrittenFile().empty() ? std::string() : test::ReadFileBytes(x.WrittenFile());
    }
};

TEST_F(ExportTest, DefaultWorkbookRecordsAndValues) {
    x.hideSecond = true;
    const std::string bytes = ToFile("out.xls");
    EXPECT_EQ(x.WrittenFile(), dir.File("out.xls"));
    EXPECT_EQ(test::BiffIds(bytes),
              (std::vector<uint16_t>{0x809, 0x200, 0x42, 0x31, 0x31, 0x31, 0x15, 0x26, 0x29, 0x28,
                                     0x27, 4, 4, 4, 4, 4, 4, 0x0A}));
    const auto records = test::BiffRecords(bytes);
    EXPECT_EQ(test::U16(records[2].data, 0), 1250);
    EXPECT_EQ(records[6].data, std::string("\x02&P", 3));
    const auto cells = test::BiffCells(bytes);
    ASSERT_EQ(cells.size(), 6u);  // the hidden column is left out
    EXPECT_EQ(cells.at({0, 0}).text, "NUME");
    EXPECT_EQ(cells.at({0, 0}).attr[1], 0x40);  // header font
    EXPECT_EQ(cells.at({1, 0}).text, CodePage::Get("cp1250")->Encode("Ştefan"));
    EXPECT_EQ(cells.at({1, 0}).attr[1], 0x80);  // table font
    EXPECT_EQ(cells.at({1, 0}).attr[2], 0x79);  // left, four borders
    EXPECT_EQ(cells.at({1, 1}).text, "a");
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "end"}));
    EXPECT_FALSE(ui.exportProgressVisible);
    EXPECT_EQ(ui.exportProgressPositions, (std::vector<int>{0, 1}));
}

TEST_F(ExportTest, CellTextsBecomeNumbersOnlyWhenWhole) {
    x.captions = {"V"};
    x.Options.Remove(xoShowHeader);
    const std::vector<std::string> texts = {"1850101123456", "0042", "12,5", "12 ",   "$1F",
                                            "01.02.2019",    "True", "",     "-1.5e3"};
    x.rows.clear();
    for (const auto& t : texts) x.rows.push_back({t});
    const auto cells = test::BiffCells(ToFile("n.xls"));
    const auto at = [&](int i) { return cells.at({i + 1, 0}); };
    EXPECT_EQ(at(0).id, 3);
    EXPECT_EQ(at(0).number, 1850101123456.0);
    EXPECT_EQ(at(1).id, 3);
    EXPECT_EQ(at(1).number, 42);
    for (int i : {2, 3, 5, 6, 7}) {
        EXPECT_EQ(at(i).id, 4) << texts[static_cast<size_t>(i)];
        EXPECT_EQ(at(i).text, texts[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(at(4).id, 2);
    EXPECT_EQ(at(4).number, 31);
    EXPECT_EQ(at(8).number, -1500);

    x.EXCEL.Options.Add(reCellsAsText);
    EXPECT_EQ(test::BiffCells(ToFile("t.xls")).at({1, 0}).text, "1850101123456");
}

TEST_F(ExportTest, SheetEndStopsAndCountsRowsLeftOut) {
    x.captions = {"N"};
    x.rows.clear();
    for (int i = 1; i <= 70000; ++i) x.rows.push_back({std::to_string(i)});
    const auto cells = test::BiffCells(ToFile("big.xls"));
    EXPECT_EQ(x.RowsWritten(), 65534);
    EXPECT_EQ(x.RowsLeftOut(), 70000 - 65534);
    EXPECT_EQ(cells.size(), 65535u);  // captions and every row that fits, none overwritten
    EXPECT_EQ(cells.at({65534, 0}).number, 65534);
    EXPECT_EQ(events,
              (std::vector<std::string>{"begin", "error " + std::to_string(xeRowsLeftOut), "end"}));

    // Counting only selected rows when only those are written.
    x.Options.Add(xoSelectedRowsOnly);
    x.rows.resize(140000, {"1"});
    ToFile("sel.xls");
    EXPECT_EQ(x.RowsWritten(), 65534);
    EXPECT_EQ(x.RowsLeftOut(), 70000 - 65534);
}

TEST_F(ExportTest, FailuresLeaveTheTargetAsItWas) {
    const std::string target = dir.File("keep.xls");
    test::WriteFileBytes(target, "old");
    // A character the code page can't hold.
    x.rows[1][0] = "Жанна";
    ToFile("keep.xls");
    EXPECT_TRUE(x.WrittenFile().empty());
    EXPECT_NE(x.LastErrorText().find("Ж"), std::string::npos) << x.LastErrorText();
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    // A stop in the progress window halfway.
    x.rows[1][0] = "Ana";
    ui.cancelExportAtProgress = 1;
    ToFile("keep.xls");
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    EXPECT_FALSE(ui.exportProgressVisible);
    // A refused overwrite.
    ui.cancelExportAtProgress = -1;
    x.OnFileExist = [](const std::string&, bool& can) { can = false; };
    ToFile("keep.xls");
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    const std::string general = "error " + std::to_string(xeGeneralExportError);
    EXPECT_EQ(events,
              (std::vector<std::string>{"begin", general, "end", "begin",
                                        "error " + std::to_string(xeUserCancelled), "end", "begin",
                                        "error " + std::to_string(xeFileExist), general, "end"}));
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator{}),
              1);
}

TEST_F(ExportTest, ViewStyleUsesFreeTemporaryNamesAndOpensThem) {
    x.ExportData();
    x.ExportData();
    EXPECT_EQ(platform.opened,
              (std::vector<std::string>{dir.File("ZUQ1.XLS"), dir.File("ZUQ2.XLS")}));
}

TEST_F(ExportTest, ExecuteChooserSaveDialogAndKeptFileName) {
    ui.exportChooserAnswers = {std::nullopt, std::pair{int(xtExcel), false},
                               std::pair{int(xtExcel), false}};
    ui.saveFileAnswers = {dir.File("chosen.txt")};
    x.Execute();  // cancelled: nothing
    EXPECT_TRUE(events.empty());
    x.SetExportTypes(TovExportTypeSet{xtCSV, xtHTML});
    x.Execute();
    ASSERT_EQ(ui.exportChoosers.size(), 2u);
    EXPECT_EQ(ui.exportChoosers[1].types, (std::vector<int>{xtHTML, xtExcel, xtCSV}));
    EXPECT_EQ(ui.exportChoosers[1].selectFormat, " Formatul e&xportat: ");
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].filter, "Excel Files (*.xls)|*.XLS");
    EXPECT_EQ(ui.fileDialogs[0].title, "Save document");
    EXPECT_EQ(x.WrittenFile(), dir.File("chosen.xls"));  // the extension added small
    x.Execute();  // the name is kept: no second dialog
    EXPECT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_TRUE(platform.opened.empty());
}

TEST_F(ExportTest, PropertyRulesAndSharedOperations) {
    x.SetRowNumberFormat("Nr. %d");
    x.SetRowNumberFormat("Nr.");
    EXPECT_EQ(x.RowNumberFormat(), "Nr. %d");
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::string>{"The format has to contain %d string."}));
    x.SetExportType(xtDIF);
    x.SetExportTypes(TovExportTypeSet{xtCSV});
    EXPECT_TRUE(x.ExportTypes().Has(xtDIF));
    x.SetTempDir(dir.Path().string());  // the same folder: kept as it was
    EXPECT_EQ(x.TempDir(), platform.tempFolder);

    x.Options.Add(xoTruncate);
    EXPECT_EQ(x.CellText(std::string("abcdefgh"), 5), "ab...");
    EXPECT_EQ(x.CellText(std::string("abcdefgh"), 2), "...");
    EXPECT_EQ(x.CellText(std::string("abc"), 5), "abc");
    EXPECT_EQ(x.CellText(std::nullopt, 0), "** NUL **");
    x.ColumnWidths = {"x", "9"};
    EXPECT_EQ(x.ColumnWidth(0, 5), 5);
    EXPECT_EQ(x.ColumnWidth(1, 5), 9);
    EXPECT_EQ(x.ColumnWidth(3, 5), 5);
}

TEST_F(ExportTest, RowNumbersAndNoColumns) {
    x.Options.Add(xoRowNumbers);
    const auto cells = test::BiffCells(ToFile("r.xls"));
    EXPECT_EQ(cells.at({0, 0}).id, 1);  // blank above the numbers
    EXPECT_EQ(cells.at({0, 1}).text, "NUME");
    EXPECT_EQ(cells.at({2, 0}).number, 2);
    EXPECT_EQ(cells.at({2, 1}).text, "Ana");

    events.clear();
    x.captions.clear();
    x.FileName = dir.File("none.xls");
    x.ExportData();
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.xls")));
    EXPECT_EQ(events, (std::vector<std::string>{"begin"}));  // and no end
    x.ready = false;
    x.ExportData();
    EXPECT_EQ(events.back(), "error " + std::to_string(xeComponentIsNull));
}

}  // namespace
}  // namespace orbelan
