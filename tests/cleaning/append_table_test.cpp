#include "cleaning/append_table.h"

#include <gtest/gtest.h>

#include "editing/commands_fixture.h"
#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

using test::ReadFileBytes;
using test::WriteDbf;

class AppendTableTest : public test::CommandsTest {
  protected:
    // NUME C(20), NR N(5,0), SUMA N(8,2), OBS C(10) with one row.
    std::string OpenTarget() { return OpenPersons({{"POP ION", "1", "2.50", "X"}}); }

    std::string Source(const std::vector<test::ColumnSpec>& columns,
                       const std::vector<std::vector<std::string>>& rows) {
        const std::string path = dir.File("src.dbf");
        WriteDbf(path, columns, rows);
        return path;
    }

    // The window is given back whatever happened.
    void ExpectWindowRestored() {
        EXPECT_TRUE(ui.mainWindowEnabled);
        EXPECT_FALSE(ui.progressVisible);
        EXPECT_FALSE(ws.table.ControlsDisabled());
        EXPECT_FALSE(ws.query.Active());
        EXPECT_TRUE(ws.table.AfterPost != nullptr);
    }
};

TEST_F(AppendTableTest, NamesMatchWithoutCaseValuesGoOverTypedMissingColumnsStayEmpty) {
    OpenTarget();
    ws.SetFormatSettings({',', "dd.MM.yy"});
    const std::string src = Source({{"nume", 'C', 10}, {"Nr", 'C', 4}, {"obs", 'N', 6, 1}},
                                   {{"ANA", "7", "12.5"}, {"DAN", "", ""}});
    AppendFromTable(ws, src);

    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"POP ION", "ANA", "DAN"}));
    EXPECT_EQ(Column("NR"), (std::vector<std::string>{"1", "7", ""}));      // text into a number
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"X", "12,5", ""}));  // number into text
    EXPECT_EQ(Column("SUMA"), (std::vector<std::string>{"2,5", "", ""}));
    EXPECT_EQ(ws.table.RecNo(), 3);  // the grid ends on the last appended row
    EXPECT_EQ(ui.rowCounter, "3");
    EXPECT_EQ(ui.progressMaximum, 0);
    ExpectWindowRestored();
}

TEST_F(AppendTableTest, TheTableItselfIsAppendedOnlyAfterAYes) {
    const std::string path = OpenTarget();
    const std::string before = ReadFileBytes(path);
    ui.mesajAnswers = {mrNo};
    EXPECT_EQ(AppendFromTable(ws, path).appended, 0);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Adaugati tabelului propriile linii?"});
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(AppendFromTable(ws, path).appended, 1);  // the answer DA
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"POP ION", "POP ION"}));
}

TEST_F(AppendTableTest, ExtraSourceFieldIsRefusedAndNothingChanges) {
    const std::string path = OpenTarget();
    const std::string before = ReadFileBytes(path);
    const std::string src =
        Source({{"NUME", 'C', 10}, {"TELEFON", 'C', 10}, {"ZZ", 'C', 2}}, {{"ANA", "0722", "A"}});
    const AppendOutcome outcome = AppendFromTable(ws, src);
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{
                                     "Sursa are campul TELEFON in plus!\rNu pot executa lipirea."});
    EXPECT_EQ(ui.messages.at(0).title, "Lipire tabele");
    EXPECT_FALSE(ws.query.Active());

    // A new file that can't take the table's place: nothing appended, the window given back.
    const std::string fits = Source({{"NUME", 'C', 10}}, {{"ANA"}});
    IoFaults().failRenameAfter = 0;
    EXPECT_THROW(AppendFromTable(ws, fits), AppendStopped);
    IoFaults().Reset();
    ExpectWindowRestored();
    EXPECT_EQ(Column("NUME"), std::vector<std::string>{"POP ION"});
    ws.CloseTable();
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(AppendTableTest, ProgressMovesEveryThousandRowsAndAnEmptySourceAppendsNothing) {
    OpenTarget();
    std::vector<std::vector<std::string>> rows(2500, {"R"});
    const std::string src = Source({{"NUME", 'C', 5}}, rows);
    ui.rowCounterHistory.clear();
    EXPECT_EQ(AppendFromTable(ws, src).appended, 2500);
    EXPECT_EQ(ui.progressMaximum, 2);
    EXPECT_EQ(ui.progressPosition, 2);
    EXPECT_EQ(ui.rowCounterHistory, (std::vector<std::string>{"1001", "2001", "2501"}));
    ExpectWindowRestored();

    ws.table.First();
    const std::string empty = dir.File("empty.dbf");
    WriteDbf(empty, {{"NUME", 'C', 5}}, {});
    EXPECT_EQ(AppendFromTable(ws, empty).appended, 0);
    EXPECT_EQ(ws.table.RecordCount(), 2501);
    EXPECT_EQ(ws.table.RecNo(), 2501);
}

TEST_F(AppendTableTest, OwnFileAppendsTheRowsItHeldOnceWithDatesAndMemos) {
    ws.SetFormatSettings({',', "dd.MM.yy"});  // a two-digit year must not move 1876 to 1976
    ws.CurrentFile = dir.CopyData("dbase3_memo_cp1250.dbf");
    ws.OpenTable();
    const int rows = ws.table.RecordCount();
    ASSERT_EQ(rows, 8);
    EXPECT_EQ(AppendFromTable(ws, ws.CurrentFile).appended, rows);
    ws.CloseTable();

    ws.SetFormatSettings({',', "yyyy-MM-dd"});
    ws.OpenTable();
    ASSERT_EQ(ws.table.RecordCount(), 2 * rows);
    for (int row = 0; row < rows; ++row)
        for (int f = 0; f < ws.table.FieldCount(); ++f)
            EXPECT_EQ(ws.table.TextAt(rows + row, f), ws.table.TextAt(row, f)) << row << ' ' << f;
    EXPECT_EQ(ws.table.TextAt(rows + 3, ws.table.FieldIndex("DATAN")), "1876-02-19");
    EXPECT_EQ(ws.table.TextAt(rows + 2, ws.table.FieldIndex("OBS")), "linia 1\r\nlinia 2");
}

TEST_F(AppendTableTest, ValueTheFieldCantTakeStopsWithTheRowsBeforeKept) {
    OpenTarget();
    const std::string src = Source({{"NUME", 'C', 10}, {"NR", 'C', 4}, {"OBS", 'C', 4}},
                                   {{"ANA", "2", "A"}, {"DAN", "x", "B"}, {"EVA", "4", "C"}});
    try {
        AppendFromTable(ws, src);
        FAIL() << "no error";
    } catch (const AppendStopped& e) {
        EXPECT_EQ(e.Appended(), 1);
        EXPECT_EQ(e.Kind(), ErrorKind::Conversion);
        EXPECT_NE(std::string(e.what()).find("NR"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("\nLinii adaugate inainte de eroare: 1."),
                  std::string::npos);
    }
    ExpectWindowRestored();
    // The failing row waits, unposted and current, with every value it could take.
    EXPECT_EQ(ws.table.GetState(), Table::State::Insert);
    EXPECT_EQ(ws.table.RecNo(), 3);
    EXPECT_EQ(ws.table.AsText("NUME"), "DAN");
    EXPECT_EQ(ws.table.AsText("OBS"), "B");
    EXPECT_EQ(ui.rowCounter, "3");
    ws.table.Cancel();
    ws.CloseTable();
    ws.OpenTable();
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"POP ION", "ANA"}));
}

// A Visual FoxPro autoincrement field numbers the appended rows itself, whatever the source held.
TEST_F(AppendTableTest, AutoIncrementFieldNumbersTheNewRows) {
    const std::string path = dir.File("vfp.dbf");
    {
        DbfWriter::Definition def;
        def.version = 0x30;
        FieldDef id{"ID", 'I', 4};
        id.flags = 0x0C;
        id.autoNext = 7;
        id.autoStep = 1;
        def.fields = {id, FieldDef{"NUME", 'C', 10}};
        DbfWriter(path, def).Commit();
    }
    ws.CurrentFile = path;
    ws.OpenTable();
    const std::string src =
        Source({{"ID", 'N', 4}, {"NUME", 'C', 10}}, {{"100", "ANA"}, {"", "DAN"}});
    EXPECT_EQ(AppendFromTable(ws, src).appended, 2);
    EXPECT_EQ(Column("ID"), (std::vector<std::string>{"7", "8"}));
    ws.table.Append();
    ws.table.Post();
    ws.CloseTable();
    EXPECT_EQ(DbfFile::Open(path)->Fields()[0].autoNext, 10u);
}

// A row that is not added leaves nothing behind: with no row added, table and memo file stay
// byte for byte as they were (no memo block for the rejected row, no new date in the header).
TEST_F(AppendTableTest, RejectedFirstRowLeavesTableAndMemoByteIdentical) {
    for (const uint8_t version : {uint8_t{0x03}, uint8_t{0xF5}}) {
        SCOPED_TRACE(version);
        const std::string path = dir.File(version == 0x03 ? "d3.dbf" : "fox.dbf");
        DbfWriter::Definition def;
        def.version = version;
        def.fields = {{"OBS", 'M', 10}, {"NR", 'N', 3}};
        {
            DbfWriter w(path, def);
            w.BeginRow();
            w.SetText(0, "vechi", {});
            w.SetText(1, "7", {});
            w.EndRow();
            w.Commit();
        }
        const std::string memo = MemoPathFor(path, DbfFile::Open(path)->Layout());
        // Yesterday's header date: a rewrite would write today's.
        std::string header = ReadFileBytes(path);
        header[3] = static_cast<char>(header[3] == 1 ? 2 : 1);
        test::WriteFileBytes(path, header);
        const std::string tableBefore = ReadFileBytes(path), memoBefore = ReadFileBytes(memo);

        ws.CurrentFile = path;
        ws.OpenTable();
        // The memo goes in first, then the number is too long for N(3).
        const std::string src = dir.File("src.dbf");
        DbfWriter::Definition from;
        from.fields = {{"OBS", 'M', 10}, {"NR", 'C', 10}};
        {
            DbfWriter w(src, from);
            w.BeginRow();
            w.SetText(0, "respins", {});
            w.SetText(1, "123456", {});
            w.EndRow();
            w.Commit();
        }
        try {
            AppendFromTable(ws, src);
            ADD_FAILURE() << "no error";
        } catch (const AppendStopped& e) {
            EXPECT_EQ(e.Appended(), 0);
        }
        ExpectWindowRestored();
        ws.table.Cancel();
        ws.CloseTable();
        EXPECT_EQ(ReadFileBytes(path), tableBefore);
        EXPECT_EQ(ReadFileBytes(memo), memoBefore);
    }
}

// A table whose header names no page is read in a guessed one; appended rows must not make the
// next guess another page, under which the old rows read differently.
TEST_F(AppendTableTest, RowsAppendedToATableWithoutAPageByteKeepThePageItWasReadIn) {
    const auto cp = CodePage::Get("cp1250");
    const std::string path = dir.File("t.dbf");
    WriteDbf(path, {{"NUME", 'C', 20}}, {{cp->Encode("ŞTEFAN Ţurcanu")}, {cp->Encode("Şerban")}},
             0);
    ws.CurrentFile = path;
    ws.OpenTable();
    ASSERT_EQ(ws.table.Header().codePage, "cp1250");
    // In cp1250 an acute accent; the same byte is Ž in ISO-8859-16.
    std::vector<std::vector<std::string>> rows(40, {cp->Encode("O´NEIL D´ARCY")});
    ASSERT_EQ(AppendFromTable(ws, Source({{"NUME", 'C', 20}}, rows)).appended, 40);
    ws.CloseTable();
    ws.OpenTable();
    EXPECT_EQ(ws.table.Header().codePage, "cp1250");
    EXPECT_EQ(Column("NUME")[0], "ŞTEFAN Ţurcanu");
    EXPECT_EQ(Column("NUME")[2], "O´NEIL D´ARCY");
    EXPECT_EQ(ReadFileBytes(dir.File("t.cpg")), "1250");
}

}  // namespace
}  // namespace orbelan
