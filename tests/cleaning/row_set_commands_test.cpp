// Delete repeated rows, delete the displayed rows and delete the index, through the scripted Ui.
#include <filesystem>

#include "cleaning/row_set_commands.h"
#include "editing/commands_fixture.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

class RowSetTest : public test::CommandsTest {
  protected:
    void TearDown() override { IoFaults().Reset(); }

    void ExpectWindowUsable() {
        EXPECT_TRUE(ws.table.Active());
        EXPECT_FALSE(ws.table.ControlsDisabled());
        EXPECT_FALSE(ui.progressVisible);
        EXPECT_FALSE(ui.busyCursor);
        EXPECT_TRUE(ui.mainWindowEnabled);
    }
};

TEST_F(RowSetTest, DuplicatesKeepTheLastCopyAndReturnToTheCurrentValue) {
    const std::string path = OpenPersons({{"A", "1", "", ""},
                                          {"B", "2", "", ""},
                                          {"A", "3", "", ""},
                                          {"C", "4", "", ""},
                                          {"A", "5", "", ""}});
    MoveToRow(2);  // an A
    EXPECT_EQ(DeleteDuplicateRows(ws, "NUME"), 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Stergere linii dublate");
    EXPECT_EQ(ui.messages[0].text,
              "Stergem liniile care apar de mai multe ori,\r cu aceeasi valoare pe coloana NUME ?");
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"2", "4", "5"}));
    EXPECT_EQ(ws.table.AsText("NR"), "5");
    EXPECT_EQ(ui.rowCounter, "3");
    EXPECT_EQ(ws.table.Header().recordCount, 5u);  // marked, not yet packed
    ExpectWindowUsable();

    // No repeats left: nothing changes, the file is not even rewritten.
    const std::string before = test::ReadFileBytes(path);
    EXPECT_EQ(DeleteDuplicateRows(ws, "NUME"), 0);
    EXPECT_EQ(test::ReadFileBytes(path), before);
}

TEST_F(RowSetTest, DuplicatesCountTheWholeFileButDeleteOnlyDisplayedRows) {
    OpenPersons({{"A", "1", "", "x"},
                 {"A", "2", "", "y"},
                 {"A", "3", "", "x"},
                 {"B", "4", "", "x"},
                 {"B", "5", "", "y"}});
    ws.table.SetFilterText("OBS='x'");
    ws.table.SetFiltered(true);
    // A: 3 in the file, 2 displayed, both go; B: 2 in the file, its one displayed copy goes.
    EXPECT_EQ(DeleteDuplicateRows(ws, "NUME"), 3);
    ws.table.SetFiltered(false);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"2", "5"}));
}

TEST_F(RowSetTest, DuplicatesNeverDeleteRowsWithoutAValue) {
    OpenPersons({{"", "1", "", ""},
                 {"A", "2", "", ""},
                 {"", "3", "", ""},
                 {"A", "4", "", ""},
                 {"", "5", "", ""}});
    EXPECT_EQ(DeleteDuplicateRows(ws, "NUME"), 1);
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"1", "3", "4", "5"}));
    EXPECT_EQ(ui.MessageTexts().back(),
              "3 linii afisate nu au valoare pe coloana NUME si au fost pastrate toate.");
}

TEST_F(RowSetTest, DuplicatesRefuseAnEmptyTableAndFailWhole) {
    OpenPersons({});
    EXPECT_FALSE(HasRowsToDelete(ws));
    ASSERT_EQ(ui.problems.size(), 1u);
    EXPECT_EQ(ui.problems[0].first, "Nu aveti ce sterge!");
    EXPECT_EQ(ui.problems[0].second, UiControl::Grid);

    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 40; ++i) rows.push_back({"V" + std::to_string(i % 4), "1", "", ""});
    const std::string path = OpenPersons(rows, "d.dbf");
    const std::string before = test::ReadFileBytes(path);
    IoFaults().failWriteAfter = 20;
    EXPECT_THROW(DeleteDuplicateRows(ws, "NUME"), DbfError);
    IoFaults().Reset();
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_EQ(ws.table.RecordCount(), 40);
    ExpectWindowUsable();
}

TEST_F(RowSetTest, DisplayedRowsAreExactlyWhatTheGridShows) {
    const std::string path = OpenPersons({{"IONEL", "1", "", ""},
                                          {"IONELA", "2", "", ""},
                                          {"ION", "3", "", ""},
                                          {"MARIA", "4", "", ""}});
    ws.table.SetFilterText("NUME='IONEL*'");
    ws.table.SetFiltered(true);
    ui.mesajAnswers.push_back(mrNo);
    EXPECT_EQ(DeleteDisplayedRows(ws), 0);
    EXPECT_EQ(ui.messages.back().title, "Stergere linii afisate");
    EXPECT_EQ(ui.messages.back().text, "Doriti sa stergem toate liniile afisate?");

    // A write failing halfway leaves every row in place.
    const std::string before = test::ReadFileBytes(path);
    IoFaults().failWriteAfter = 3;
    EXPECT_THROW(DeleteDisplayedRows(ws), DbfError);
    IoFaults().Reset();
    EXPECT_EQ(test::ReadFileBytes(path), before);
    ExpectWindowUsable();

    EXPECT_EQ(DeleteDisplayedRows(ws), 2);
    EXPECT_TRUE(ws.table.Filtered());
    EXPECT_EQ(ws.table.RecordCount(), 0);
    ws.table.SetFiltered(false);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"ION", "MARIA"}));

    // Filter off: every row, whatever is left in the filter box.
    ui.filterText = "NUME='ION'";
    EXPECT_EQ(DeleteDisplayedRows(ws), 2);
    EXPECT_EQ(ws.table.RecordCount(), 0);
    EXPECT_EQ(DeleteDisplayedRows(ws), 0);  // an empty table: not even a question
    EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(RowSetTest, DeleteIndexDetachesItAndPacks) {
    const std::string path =
        OpenPersons({{"A", "1", "", ""}, {"*B", "2", "", ""}, {"C", "3", "", ""}});
    ws.CloseTable();
    std::string bytes = test::ReadFileBytes(path);
    bytes[28] = 1;
    test::WriteFileBytes(path, bytes);
    test::WriteFileBytes(dir.File("t.MDX"), "index");
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_TRUE(ws.table.Active());

    // A pack that fails leaves the index attached; an index file that can't be removed is an
    // error, not "deleted".
    IoFaults().failRenameAfter = 0;
    EXPECT_THROW(DeleteIndex(ws), DbfError);
    IoFaults().Reset();
    EXPECT_TRUE(std::filesystem::exists(dir.File("t.MDX")));
    EXPECT_EQ(test::ReadFileBytes(path)[28], '\1');
    IoFaults().failRemoveAfter = 0;
    IoFaults().persistent = true;
    EXPECT_THROW(DeleteIndex(ws), DbfError);
    IoFaults().Reset();
    EXPECT_TRUE(ui.messages.empty());
    ExpectWindowUsable();

    DeleteIndex(ws);
    EXPECT_EQ(ui.messages.back().title, "Stergere Index");
    EXPECT_EQ(ui.messages.back().text, "Indexul a fost sters!");
    EXPECT_FALSE(std::filesystem::exists(dir.File("t.MDX")));
    EXPECT_EQ(test::ReadFileBytes(path)[28], '\0');
    EXPECT_EQ(ws.table.Header().recordCount, 2u);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"A", "C"}));

    // Without an index or deleted rows it still says so.
    DeleteIndex(ws);
    EXPECT_EQ(ui.messages.size(), 2u);
    ExpectWindowUsable();
}

}  // namespace
}  // namespace orbelan
