#include "cleaning/quick_csv.h"

#include <gtest/gtest.h>

#include "editing/commands_fixture.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

using test::ReadFileBytes;
using test::WriteDbf;
using test::WriteFileBytes;

class QuickCsvTest : public test::CommandsTest {};

TEST_F(QuickCsvTest, WritesTheDisplayedRowsInTheProgramsCodePage) {
    // Decimal comma: the comma becomes a full stop like every other comma in a cell.
    OpenPersons({{"POP ION", "1", "12.50", ""},
                 {"POPESCU, ION", "", "", "\"a\";b"},
                 {"\xAATEF\xC3NESCU", "3", "-0.01", "x"}});
    ws.table.Next();
    ShowQuickCsv(ws);

    const std::string csv = dir.File("DBF0.CSV");
    EXPECT_EQ(platform.opened, std::vector<std::string>{csv});
    EXPECT_EQ(ReadFileBytes(csv),
              "NUME,NR,SUMA,OBS\r\n"
              "POP ION,1,12.5,\r\n"
              "POPESCU. ION,,,\"a\";b\r\n"
              "\xAATEF\xC3NESCU,3,-0.01,x\r\n");
    EXPECT_EQ(ws.table.RecNo(), 2);  // the cursor did not move
    EXPECT_TRUE(ui.mainWindowEnabled);
    EXPECT_FALSE(ui.progressVisible);
    EXPECT_EQ(ui.progressMaximum, 3);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(QuickCsvTest, FilterEmptyTableAndCommaInAName) {
    const std::string path = dir.File("f.dbf");
    WriteDbf(path, {{"A,B", 'C', 5}, {"N", 'N', 3}}, {{"X", "1"}, {"Y", "2"}, {"Z", "2"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    ws.table.SetFilterText("N=2");
    ws.table.SetFiltered(true);
    const std::string out = dir.File("out.csv");
    EXPECT_EQ(WriteQuickCsv(ws, out), 2);
    EXPECT_EQ(ReadFileBytes(out), "A.B,N\r\nY,2\r\nZ,2\r\n");

    ws.table.SetFilterText("N=9");
    EXPECT_EQ(WriteQuickCsv(ws, out), 0);
    EXPECT_EQ(ReadFileBytes(out), "A.B,N\r\n");
}

TEST_F(QuickCsvTest, LineBreakInAValueStaysOnItsRecord) {
    const std::string path = dir.File("b.dbf");
    WriteDbf(path, {{"OBS", 'C', 12}, {"N", 'N', 3}}, {{"x\r\ny\rz\n", "1"}, {"<b>;\"a\"", "2"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    const std::string out = dir.File("b.csv");
    EXPECT_EQ(WriteQuickCsv(ws, out), 2);
    EXPECT_EQ(ReadFileBytes(out), "OBS,N\r\nx  y z ,1\r\n<b>;\"a\",2\r\n");
}

TEST_F(QuickCsvTest, CharacterTheCodePageLacksIsAnErrorAndTheOldFileStays) {
    const std::string path = dir.File("ru.dbf");
    WriteDbf(path, {{"NUME", 'C', 6}, {"ORAS", 'C', 6}}, {{"IVAN", "MOSKVA"}, {"IVAN", "\x8C\x8E"}},
             0x65);  // cp866: Cyrillic letters, which cp1250 doesn't have
    ws.CurrentFile = path;
    ws.OpenTable();
    const std::string out = dir.File("out.csv");
    WriteFileBytes(out, "old");
    try {
        WriteQuickCsv(ws, out);
        FAIL() << "no error";
    } catch (const DbfError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("linia 2, campul ORAS"), std::string::npos) << text;
        EXPECT_NE(text.find("cp1250"), std::string::npos) << text;
    }
    EXPECT_EQ(ReadFileBytes(out), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
    EXPECT_TRUE(ui.mainWindowEnabled);
    EXPECT_FALSE(ui.progressVisible);

    // The program's code page chosen for the run holds them.
    ws.table.Close();
    ws.table.SetCodePageOverride("cp866");
    ws.table.Open();
    WriteQuickCsv(ws, out);
    EXPECT_EQ(ReadFileBytes(out), "NUME,ORAS\r\nIVAN,MOSKVA\r\nIVAN,\x8C\x8E\r\n");
}

}  // namespace
}  // namespace orbelan
