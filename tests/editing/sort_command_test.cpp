// A click on a column title rewrites the file in that column's order.
#include "editing/sort_command.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <unistd.h>

#include "core/program_dir.h"
#include "editing/filter_commands.h"
#include "engine/codepage.h"
#include "engine/file_io.h"
#include "engine/romanian_order.h"
#include "tests/editing/commands_fixture.h"

namespace orbelan {
namespace {

using test::ReadFileBytes;

class Sort : public test::CommandsTest {
  protected:
    void TearDown() override { IoFaults().Reset(); }

    const std::vector<std::vector<std::string>> rows = {
        {"POP", "3", "1.00", "a"},   {"ANTON", "1", "2.00", "b"}, {"POP", "2", "3.00", "c"},
        {"BALAN", "5", "4.00", "d"}, {"", "4", "5.00", "e"},
    };

    void MakeUndeletable(const std::string& name) {
        std::filesystem::create_directories(dir.Path() / name / "x");
    }
};

TEST_F(Sort, NoLeavesFileAndGridUnchanged) {
    const std::string path = OpenPersons(rows);
    const std::string before = ReadFileBytes(path);
    ui.mesajAnswers = {mrNo};
    SortByColumn(ws, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Ordonare dupa coloana");
    EXPECT_EQ(ui.messages[0].text, "Doriti sa ordonati tabelul dupa coloana NUME ?");
    EXPECT_EQ(ui.messages[0].kind, mkConfirmation);
    EXPECT_EQ(ui.messages[0].buttons, mbYesNo);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_FALSE(ws.Sorting);
}

TEST_F(Sort, RewritesTheFileAndGoesToTheFirstRow) {
    const std::string path = OpenPersons(rows);
    MoveToRow(2);  // the second POP
    SortByColumn(ws, 0);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_EQ(ws.table.TableName(), path);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"", "ANTON", "BALAN", "POP", "POP"}));
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"4", "1", "5", "3", "2"}));  // stable
    EXPECT_EQ(ws.table.RecNo(), 1);
    EXPECT_FALSE(ws.Sorting);
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_FALSE(std::filesystem::exists(dir.File("DBF0.DBF")));

    // After-post notification is attached again.
    ws.table.Append();
    ws.table.SetText(0, "NOU");
    ws.table.Post();
    EXPECT_EQ(ui.rowCounter, "6");
}

TEST_F(Sort, NumbersSortByValue) {
    OpenPersons({{"A", "10", "", ""}, {"B", "9", "", ""}, {"C", "-1", "", ""}, {"D", "", "", ""}});
    SortByColumn(ws, 1);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"D", "C", "B", "A"}));
}

TEST_F(Sort, CounterShowsRowsWrittenEveryThousandAndTheTotalAfter) {
    std::vector<std::vector<std::string>> many;
    for (int i = 0; i < 2500; ++i) many.push_back({"N" + std::to_string(2500 - i), "", "", ""});
    OpenPersons(many);
    ui.rowCounterHistory.clear();
    SortByColumn(ws, 0);
    std::vector<std::string> progress;
    for (const auto& c : ui.rowCounterHistory) {
        if (c != "0") progress.push_back(c);
    }
    EXPECT_EQ(progress, (std::vector<std::string>{"999", "1999", "2500"}));
    EXPECT_EQ(ui.rowCounter, "2500");
}

TEST_F(Sort, FilterStaysOnAndAllRowsAreSorted) {
    OpenPersons(rows);
    SwitchFilter(ws, true, "NR>2");
    SortByColumn(ws, 0);
    EXPECT_TRUE(ws.table.Filtered());
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"", "BALAN", "POP"}));
    SwitchFilter(ws, false, "");
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"", "ANTON", "BALAN", "POP", "POP"}));
}

TEST_F(Sort, LeftoverScratchFilesAreReplacedOrSkipped) {
    OpenPersons(rows);
    test::WriteFileBytes(dir.File("DBF0.DBF"), "leftover");
    EXPECT_EQ(TempTableName(ws, ".DBF"), dir.File("DBF0.DBF"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("DBF0.DBF")));

    MakeUndeletable("DBF0.DBF");
    EXPECT_EQ(TempTableName(ws, ".DBF"), dir.File("DBF1.DBF"));
    SortByColumn(ws, 0);
    EXPECT_EQ(Column("NUME").back(), "POP");
}

TEST_F(Sort, OpenTableIsNeverAScratchNameAndScratchMayLiveOnAnotherDisk) {
    const std::string path = OpenPersons(rows, "DBF0.DBF");  // opened from the program's folder
    EXPECT_EQ(TempTableName(ws, ".DBF"), dir.File("DBF1.DBF"));
    SortByColumn(ws, 0);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"", "ANTON", "BALAN", "POP", "POP"}));

    // The data folder on another file system than the table: the sorted copy still replaces it.
    namespace fs = std::filesystem;
    const fs::path other = "/dev/shm/orbelan-sort-" + std::to_string(::getpid());
    std::error_code ec;
    if (!fs::create_directory(other, ec) || fs::status(other).type() == fs::file_type::none)
        GTEST_SKIP() << "no second file system";
    ws.ProgramDir = (other / "date").string() + "/";  // made by the sort
    MoveToRow(1);
    SortByColumn(ws, 1);
    fs::remove_all(other, ec);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(ws.table.TableName(), path);
}

TEST_F(Sort, NoFreeScratchNameIsReportedAndFileUntouched) {
    const std::string path = OpenPersons(rows);
    const std::string before = ReadFileBytes(path);
    for (int n = 0; n <= 200; ++n) MakeUndeletable("DBF" + std::to_string(n) + ".DBF");
    SortByColumn(ws, 0);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].title, "Ordonare DBF");
    EXPECT_EQ(ui.messages[1].text, "Nu am voie sa scriu in " + ws.ProgramDir + "!");
    EXPECT_EQ(ui.messages[1].kind, mkError);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(ws.Sorting);
    EXPECT_TRUE(ws.table.Active());
}

TEST_F(Sort, FailureHalfwayLeavesTheOriginalByteIdenticalAndTheWindowUsable) {
    const std::string path = OpenPersons(rows);
    const std::string before = ReadFileBytes(path);
    IoFaults().failRenameAfter = 0;
    EXPECT_THROW(SortByColumn(ws, 0), DbfError);
    IoFaults().Reset();
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_FALSE(ws.Sorting);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"POP", "ANTON", "POP", "BALAN", ""}));
    ws.table.Append();
    ws.table.SetText(0, "NOU");
    ws.table.Post();
    EXPECT_EQ(ui.rowCounter, "6");
}

TEST_F(Sort, IndexFilesOfTheOldOrderAreRemoved) {
    const std::string path = dir.CopyData("missing_production_index.dbf");
    test::WriteFileBytes(dir.File("missing_production_index.mdx"), "index of the old order");
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_TRUE(ws.table.Active());
    SortByColumn(ws, 0);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"DOI", "TREI", "UNU"}));
    EXPECT_EQ(ReadFileBytes(path)[28], '\0');
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing_production_index.mdx")));
}

TEST_F(Sort, MemoTableKeepsEachRowsMemo) {
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_TRUE(ws.table.Active());
    std::map<std::string, std::string> memoByName;
    const int nume = ws.table.FieldIndexOrThrow("NUME"), obs = ws.table.FieldIndexOrThrow("OBS");
    for (int r = 0; r < ws.table.RecordCount(); ++r)
        memoByName[ws.table.TextAt(r, nume)] = ws.table.TextAt(r, obs);

    SortByColumn(ws, nume);
    ASSERT_TRUE(ws.table.Active());
    std::vector<std::string> names;
    for (int r = 0; r < ws.table.RecordCount(); ++r) {
        names.push_back(ws.table.TextAt(r, nume));
        EXPECT_EQ(ws.table.TextAt(r, obs), memoByName[names.back()]) << names.back();
    }
    EXPECT_EQ(names.size(), memoByName.size());
    // Romanian letters sort in Romanian alphabetical order.
    std::vector<std::string> encoded;
    for (const auto& n : names) encoded.push_back(CodePage::Get("cp1250")->Encode(n));
    const RomanianOrder& order = RomanianOrder::For(*CodePage::Get("cp1250"));
    EXPECT_TRUE(std::is_sorted(encoded.begin(), encoded.end(), [&](const auto& a, const auto& b) {
        return order.Compare(a, b) < 0;
    }));
}

}  // namespace
}  // namespace orbelan
