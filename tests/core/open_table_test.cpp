// Opening and closing the table, start-up and the open button, through the scripted Ui.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/open_table.h"
#include "core/program_dir.h"
#include "core/workspace.h"
#include "editing/startup.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::ReadFileBytes;

class OpenTableTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    Workspace ws{ui, platform};
};

TEST_F(OpenTableTest, GoodTableShowsGroupColumnsCounterStatusAndTitle) {
    ws.CurrentFile = dir.CopyData("persoane.dbf");
    ws.OpenTable();
    ASSERT_TRUE(ws.table.Active());
    EXPECT_TRUE(ui.tableGroupVisible);
    EXPECT_EQ(ui.rowCounter, "30");
    EXPECT_EQ(ui.statusText, ws.CurrentFile);
    EXPECT_EQ(ui.applicationTitle, "persoane.dbf");
    ASSERT_FALSE(ui.columnList.empty());
    EXPECT_EQ(ui.columnList.front(), "NUME");
    EXPECT_EQ(ui.columnList.back(), "ACTIV");
    EXPECT_TRUE(ui.messages.empty());

    ws.CloseTable();
    EXPECT_FALSE(ws.table.Active());
    EXPECT_FALSE(ui.tableGroupVisible);
    EXPECT_EQ(ui.rowCounter, "0");
    EXPECT_EQ(ws.table.TableName(), "");
}

TEST_F(OpenTableTest, MissingProductionIndexIsDetachedAndOpensOnSecondAttempt) {
    const std::string path = dir.CopyData("missing_production_index.dbf");
    ASSERT_EQ(ReadFileBytes(path)[28], '\x01');
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_TRUE(ws.table.Active());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.rowCounter, "3");
    EXPECT_EQ(ReadFileBytes(path)[28], '\0');
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing_production_index.mdx")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing_production_index.cdx")));
}

TEST_F(OpenTableTest, NonTableFileIsNeverWrittenAndReportsTheExactMessage) {
    const std::string path = dir.File("poza.dbf");
    std::string picture = "\x89PNG\r\n\x1a\n";
    picture += std::string(60, '\x07');
    test::WriteFileBytes(path, picture);
    ws.CurrentFile = path;
    ws.OpenTable();
    EXPECT_FALSE(ws.table.Active());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Deschidere DBF");
    EXPECT_EQ(ui.messages[0].text, "Fisierul ales, " + path + ", nu poate fi citit!");
    EXPECT_EQ(ui.messages[0].kind, mkError);
    EXPECT_EQ(ui.messages[0].buttons, mbOK);
    EXPECT_EQ(ReadFileBytes(path), picture);
    EXPECT_EQ(ws.CurrentFile, "");
    EXPECT_EQ(ui.statusText, "Nici un DBF deschis.");
    EXPECT_FALSE(ui.terminated);
}

TEST_F(OpenTableTest, FailedOpenEndsTheProgramOnlyWhenItWasTheStartUpArgument) {
    const std::string path = dir.File("text.dbf");
    test::WriteFileBytes(path, "nu este un tabel");
    StartUp(ws, {path}, "/opt/orbelan/dbf-orbelan");
    EXPECT_TRUE(ui.terminated);
    EXPECT_TRUE(platform.registrations.empty());

    // A later failed open from the button leaves the window open, with no table.
    ui.terminated = false;
    OpenTableFile(ws, dir.CopyData("persoane.dbf"));
    ASSERT_TRUE(ws.table.Active());
    OpenTableFile(ws, path);
    EXPECT_FALSE(ui.terminated);
    EXPECT_FALSE(ws.table.Active());
    EXPECT_EQ(ui.statusText, "Nici un DBF deschis.");
}

TEST_F(OpenTableTest, StartWithoutFileRegistersTheAssociationEveryTime) {
    StartUp(ws, {}, "/opt/orbelan/dbf-orbelan");
    StartUp(ws, {dir.File("nu-exista.dbf")}, "/opt/orbelan/dbf-orbelan");
    ASSERT_EQ(platform.registrations.size(), 2u);
    EXPECT_EQ(platform.registrations[0],
              std::make_pair(std::string("dbf"), std::string("/opt/orbelan/dbf-orbelan")));
    EXPECT_EQ(ws.ProgramDir, ProgramDataDir());
    EXPECT_FALSE(ws.table.Active());
    EXPECT_EQ(ui.statusText, "Nici un DBF deschis.");
    EXPECT_EQ(ui.rowCounter, "0");
}

TEST_F(OpenTableTest, StartWithFileOpensItWithoutRegistering) {
    const std::string path = dir.CopyData("persoane.dbf");
    StartUp(ws, {path}, "/opt/orbelan/dbf-orbelan");
    EXPECT_TRUE(ws.table.Active());
    EXPECT_TRUE(platform.registrations.empty());
    EXPECT_EQ(ws.CurrentFile, path);
}

TEST_F(OpenTableTest, RelativeArgumentBecomesTheFullPath) {
    const std::string path = dir.CopyData("persoane.dbf");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    StartUp(ws, {"persoane.dbf"}, "/opt/orbelan/dbf-orbelan");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_EQ(ws.CurrentFile, path);
    EXPECT_EQ(ui.statusText, path);
}

TEST_F(OpenTableTest, OpenButtonResetsFilterAndReopensTheSameFile) {
    const std::string path = dir.CopyData("persoane.dbf");
    ws.CurrentFile = path;
    ws.OpenTable();
    ws.table.SetFilterText("ACTIV=.T.");
    ws.table.SetFiltered(true);
    ui.filterText = "ACTIV=.T.";
    ui.filterButtonDown = true;

    OpenTableFile(ws, path);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_FALSE(ws.table.Filtered());
    EXPECT_EQ(ui.filterText, "");
    EXPECT_FALSE(ui.filterButtonDown);
    EXPECT_EQ(ui.rowCounter, "30");

    // A row left in edit is posted before the next file is opened.
    ws.table.Edit();
    ws.table.SetText(0, "SCHIMBAT");
    OpenTableFile(ws, path);
    EXPECT_TRUE(ws.table.Active());
    EXPECT_EQ(ws.table.AsText(0), "SCHIMBAT");
    EXPECT_EQ(ws.CurrentFile, path);
}

TEST_F(OpenTableTest, PostedRowUpdatesTheCounterAndCloseTablePostsPendingEdit) {
    ws.CurrentFile = dir.CopyData("persoane.dbf");
    ws.OpenTable();
    ws.table.Append();
    ws.table.SetText(ws.table.FieldIndexOrThrow("NUME"), "NOU");
    ws.table.Post();
    EXPECT_EQ(ui.rowCounter, "31");

    ws.table.Append();
    ws.table.SetText(ws.table.FieldIndexOrThrow("NUME"), "ALTUL");
    ws.CloseTable();
    ws.OpenTable();
    EXPECT_EQ(ui.rowCounter, "32");
}

TEST(DetachIndexTest, ClearsFlagAndDeletesBothIndexFilesByBaseName) {
    test::TempDir dir;
    const std::string path = dir.CopyData("missing_production_index.dbf");
    test::WriteFileBytes(dir.File("missing_production_index.mdx"), "x");
    test::WriteFileBytes(dir.File("missing_production_index.cdx"), "x");
    test::WriteFileBytes(dir.File("other.mdx"), "x");
    DetachIndex(path);
    EXPECT_EQ(ReadFileBytes(path)[28], '\0');
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing_production_index.mdx")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing_production_index.cdx")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("other.mdx")));
}

TEST(DetachIndexTest, NameWithoutExtensionTouchesOnlyItsOwnIndexFiles) {
    test::TempDir dir;
    const std::string path = dir.File("TABEL");
    test::WriteFileBytes(
        path, ReadFileBytes(std::string(ORBELAN_TEST_DATA) + "/missing_production_index.dbf"));
    // "TABEL" minus its last four characters would be "T": T.mdx must survive.
    test::WriteFileBytes(dir.File("T.mdx"), "x");
    test::WriteFileBytes(dir.File("TABEL.mdx"), "x");
    DetachIndex(path);
    EXPECT_TRUE(std::filesystem::exists(dir.File("T.mdx")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("TABEL.mdx")));
}

TEST(DetachIndexTest, MissingFileIsLeftAlone) {
    test::TempDir dir;
    EXPECT_NO_THROW(DetachIndex(dir.File("nu-exista.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("nu-exista.dbf")));
}

}  // namespace
}  // namespace orbelan
