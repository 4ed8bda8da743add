#include "cleaning/cnp_commands.h"

#include <gtest/gtest.h>
#include <tuple>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cleaning/append_table.h"
#include "core/workspace.h"
#include "engine/file_io.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::ScriptedUi;
using test::TempDir;

// What the file holds, read back by hand: field names and the trimmed stored values.
struct DbfContents {
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> rows;

    std::vector<std::string> ColumnValues(const std::string& name) const {
        size_t f = 0;
        while (f < fields.size() && fields[f] != name) ++f;
        std::vector<std::string> values;
        if (f == fields.size()) return values;
        for (const auto& row : rows) values.push_back(row[f]);
        return values;
    }
};

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

DbfContents ReadDbf(const std::string& path) {
    const std::string bytes = test::ReadFileBytes(path);
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    const uint32_t count = le(4, 4), headerLength = le(8, 2), recordLength = le(10, 2);
    DbfContents c;
    std::vector<int> sizes;
    for (size_t at = 32; at < headerLength && bytes[at] != '\x0D'; at += 32) {
        c.fields.push_back(std::string(bytes.c_str() + at));
        sizes.push_back(static_cast<unsigned char>(bytes[at + 16]));
    }
    for (uint32_t r = 0; r < count; ++r) {
        size_t at = headerLength + r * recordLength + 1;
        std::vector<std::string> row;
        for (int size : sizes) {
            row.push_back(Trim(bytes.substr(at, static_cast<size_t>(size))));
            at += static_cast<size_t>(size);
        }
        c.rows.push_back(row);
    }
    return c;
}

const std::vector<test::ColumnSpec> kPersons = {{"NUME", 'C', 10}, {"CNP", 'C', 13}};

class CnpCommandsTest : public ::testing::Test {
  protected:
    CnpCommandsTest() : ws(ui, platform) {}

    void Open(const std::vector<std::vector<std::string>>& rows,
              const std::vector<test::ColumnSpec>& columns = kPersons) {
        path = dir.File("PERS.DBF");
        test::WriteDbf(path, columns, rows, 0);
        ws.CurrentFile = path;
        ws.OpenTable();
        ASSERT_TRUE(ws.table.Active()) << ui.MessageTexts().size();
    }
    // The table's own file after the command, with the table closed so all is written.
    DbfContents OnDisk() {
        ws.CloseTable();
        return ReadDbf(path);
    }

    TempDir dir;
    ScriptedUi ui;
    test::FakePlatform platform;
    Workspace ws;
    std::string path;
};

const test::ShownMessage& Last(const ScriptedUi& ui) {
    return ui.messages.back();
}

TEST_F(CnpCommandsTest, CheckOfGoodCodesOnlyReportsItsEnd) {
    Open({{"ION", "1000101990013"}, {"ANA", "6001231990031"}});
    CheckCnpCodes(ws, "cnp");  // names compare without regard to case
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(Last(ui).title, "Verificare CNP");
    EXPECT_EQ(Last(ui).text, "Verificare incheiata.");
    EXPECT_EQ(Last(ui).kind, mkInformation);
    EXPECT_EQ(Last(ui).buttons, mbOK);
}

TEST_F(CnpCommandsTest, CheckAsksAtEachInvalidCodeAndStopsWhereTheUserSaysNo) {
    Open({{"ION", "1000101990013"},
          {"GOL", ""},
          {"RAU", "1000101990012"},
          {"ANA", "6001231990031"}});
    ui.mesajAnswers = {mrYes, mrNo};
    CheckCnpCodes(ws, "CNP");
    ASSERT_EQ(ui.messages.size(), 2u);  // no closing message after "NU"
    EXPECT_EQ(ui.messages[0].text, "CNP  incorect!\rContinuam?");
    EXPECT_EQ(ui.messages[1].text, "CNP 1000101990012 incorect!\rContinuam?");
    for (const auto& m : ui.messages) {
        EXPECT_EQ(m.title, "Verificare CNP");
        EXPECT_EQ(m.kind, mkWarning);
        EXPECT_EQ(m.buttons, mbYesNo);
    }
    EXPECT_EQ(ws.table.RecNo(), 3);
    EXPECT_EQ(ws.table.AsText("NUME"), "RAU");
    EXPECT_FALSE(ws.table.ControlsDisabled());

    // Any answer but "DA" stops at the first one; "DA" everywhere reaches the end.
    ui.messages.clear();
    ui.mesajAnswers = {mrCancel};
    CheckCnpCodes(ws, "CNP");
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ws.table.RecNo(), 2);
    ui.messages.clear();
    CheckCnpCodes(ws, "CNP");
    EXPECT_EQ(ui.MessageTexts().back(), "Verificare incheiata.");
    EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(CnpCommandsTest, EmptyTable) {
    Open({});
    CheckCnpCodes(ws, "CNP");
    ExtractBirthYear(ws, "CNP");
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Verificare incheiata.",
                                                           "Extragere incheiata cu succes."}));
    EXPECT_EQ(ws.table.FieldIndex("ANCNP"), 2);
}

TEST_F(CnpCommandsTest, FindInvalidCnpListsDisplayedRowsWithTheirCodes) {
    Open({{"A", "1000101990013"}, {"B", ""}, {"A", "3000101990010"}, {"A", "1000101990012"}});
    const int field = ws.table.FieldIndex("CNP");
    using List = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(FindInvalidCnp(ws.table, field),
              (List{{2, ""}, {3, "3000101990010"}, {4, "1000101990012"}}));
    ws.table.SetFilterText("NUME='A'");
    ws.table.SetFiltered(true);
    EXPECT_EQ(FindInvalidCnp(ws.table, field), (List{{2, "3000101990010"}, {3, "1000101990012"}}));
}

TEST_F(CnpCommandsTest, YearExtractionAddsTheColumnAndWritesEveryYear) {
    Open({{"ION", "1000101990013"},
          {"GOL", ""},
          {"ANA", "5000229990017"},
          {"FEB", "1000229990011"},
          {"TXT", "abcdefg"},
          {"RAU", "1000101990012"}});
    ws.table.MoveTo(2);
    ExtractBirthYear(ws, "CNP");
    const FieldDef& year = ws.table.Field(2);
    EXPECT_EQ(std::make_tuple(year.type, year.size, year.decimals), std::make_tuple('N', 6, 0));
    EXPECT_EQ(ui.columnList, (std::vector<std::string>{"NUME", "CNP", "ANCNP"}));
    EXPECT_EQ(ws.CurrentFile, path);
    EXPECT_EQ(ws.table.RecNo(), 3);  // back on the row it started from
    EXPECT_FALSE(ws.table.ControlsDisabled());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(Last(ui).title, "Anul din CNP");
    EXPECT_EQ(Last(ui).text,
              "Extragere incheiata cu succes.\r4 linii au ramas necompletate: codul lor lipseste "
              "sau nu este valid.");
    EXPECT_EQ(Last(ui).kind, mkInformation);
    EXPECT_EQ(Last(ui).buttons, mbOK);

    // Empty, impossible (29.02.1900), not digits, wrong check digit: no year is invented.
    const DbfContents file = OnDisk();
    EXPECT_EQ(file.fields, (std::vector<std::string>{"NUME", "CNP", "ANCNP"}));
    EXPECT_EQ(file.ColumnValues("ANCNP"),
              (std::vector<std::string>{"1900", "", "2000", "", "", ""}));
}

TEST_F(CnpCommandsTest, SecondYearExtractionOverwritesWithoutAlteringTheTable) {
    Open({{"ION", "1000101990013"}, {"ANA", "6001231990031"}});
    ExtractBirthYear(ws, "CNP");
    ws.table.First();
    ws.table.SetText("CNP", "5991231990012");
    ws.table.Post();
    ExtractBirthYear(ws, "CNP");
    EXPECT_EQ(ui.MessageTexts().size(), 2u);
    const DbfContents file = OnDisk();
    EXPECT_EQ(file.fields, (std::vector<std::string>{"NUME", "CNP", "ANCNP"}));
    EXPECT_EQ(file.ColumnValues("ANCNP"), (std::vector<std::string>{"2099", "2000"}));
}

TEST_F(CnpCommandsTest, ExtractionFillsOnlyTheRowsThroughTheFilter) {
    Open({{"A", "1000101990013"}, {"B", "6001231990031"}, {"A", "5000229990017"}});
    ws.table.SetFilterText("NUME='A'");
    ws.table.SetFiltered(true);
    ExtractBirthYear(ws, "CNP");
    ExtractBirthDate(ws, "CNP");
    const DbfContents file = OnDisk();
    EXPECT_EQ(file.ColumnValues("ANCNP"), (std::vector<std::string>{"1900", "", "2000"}));
    EXPECT_EQ(file.ColumnValues("DATACNP"), (std::vector<std::string>{"19000101", "", "20000229"}));
}

TEST_F(CnpCommandsTest, DateExtractionWritesTheBirthDateOrNothing) {
    // A two-digit-year short format must not move the zero date into another century.
    ws.SetFormatSettings({',', "dd.MM.yy"});
    Open({{"ION", "1000101990013"},
          {"RAU", "1000101990012"},
          {"ANA", "6001231990031"},
          {"GOL", ""},
          {"SCURT", "100010"},
          {"FEB", "1000229990011"}});
    ExtractBirthDate(ws, "CNP");
    EXPECT_EQ(ws.table.Field(2).type, 'D');
    EXPECT_EQ(Last(ui).title, "Data din CNP");
    EXPECT_EQ(Last(ui).text.substr(0, 31), "Extragere incheiata cu succes.\r");
    const DbfContents file = OnDisk();
    EXPECT_EQ(file.ColumnValues("DATACNP"),
              (std::vector<std::string>{"19000101", "", "20001231", "", "", ""}));
}

TEST_F(CnpCommandsTest, AColumnWithoutOneValidCodeIsNotWritten) {
    // A name column chosen by mistake: nothing is written, and the user is told why.
    Open({{"ION", "1000101990013"}, {"ANA", "6001231990031"}});
    const std::string before = test::ReadFileBytes(path);
    ExtractBirthDate(ws, "NUME");
    EXPECT_EQ(Last(ui).text,
              "Coloana NUME nu contine niciun C.N.P. valid in liniile afisate; nu am scris nimic.");
    EXPECT_EQ(Last(ui).kind, mkWarning);
    EXPECT_EQ(ws.table.FieldIndex("DATACNP"), -1);
    EXPECT_FALSE(ws.table.ControlsDisabled());
    ws.CloseTable();
    EXPECT_EQ(test::ReadFileBytes(path), before);
}

TEST_F(CnpCommandsTest, DateIntoAnExistingTextColumnUsesTheShortDateFormat) {
    Open({{"ION", "1000101990013", ""}},
         {{"NUME", 'C', 10}, {"CNP", 'C', 13}, {"DataCnp", 'C', 10}});
    ExtractBirthDate(ws, "CNP");
    EXPECT_EQ(ws.table.FieldCount(), 3);
    EXPECT_EQ(OnDisk().ColumnValues("DataCnp"), std::vector<std::string>{"01.01.1900"});
}

TEST_F(CnpCommandsTest, AValueTypedButNotYetPostedIsKept) {
    Open({{"ION", "1000101990013", ""}, {"ANA", "6001231990031", ""}},
         {{"NUME", 'C', 10}, {"CNP", 'C', 13}, {"ANCNP", 'N', 6}});
    ws.table.Edit();
    ws.table.SetText(0, "IOAN");
    ExtractBirthYear(ws, "CNP");
    const DbfContents disk = OnDisk();
    EXPECT_EQ(disk.ColumnValues("NUME"), (std::vector<std::string>{"IOAN", "ANA"}));
    EXPECT_EQ(disk.ColumnValues("ANCNP"), (std::vector<std::string>{"1900", "2000"}));
}

TEST_F(CnpCommandsTest, ARowThatCannotBeWrittenEndsTheCommandWithTheGridFollowingAgain) {
    // A year never fits a two-digit column.
    Open({{"ION", "1000101990013", ""}, {"ANA", "6001231990031", ""}},
         {{"NUME", 'C', 10}, {"CNP", 'C', 13}, {"ANCNP", 'N', 2}});
    const std::string before = test::ReadFileBytes(path);
    EXPECT_THROW(ExtractBirthYear(ws, "CNP"), DbfError);
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_EQ(ws.table.GetState(), Table::State::Browse);
    EXPECT_EQ(ws.table.RecNo(), 1);
    EXPECT_TRUE(ui.messages.empty());
    ws.CloseTable();
    EXPECT_EQ(test::ReadFileBytes(path), before);
}

TEST_F(CnpCommandsTest, AddingTheColumnReopensTheTableOrLeavesItClosedOnFailure) {
    Open({{"ION", "1000101990013"}});
    ExtractBirthDate(ws, "CNP");
    EXPECT_TRUE(ws.table.Active());
    EXPECT_EQ(ws.table.TableName(), path);
    EXPECT_EQ(ui.columnList.back(), "DATACNP");
    EXPECT_EQ(ui.rowCounter, "1");
    EXPECT_EQ(ws.table.AsText("CNP"), "1000101990013");

    // A rewrite that fails leaves the file unchanged and open again.
    const std::string before = test::ReadFileBytes(path);
    IoFaults().failRenameAfter = 0;
    EXPECT_THROW(ExtractBirthYear(ws, "CNP"), DbfError);
    IoFaults().Reset();
    EXPECT_TRUE(ws.table.Active());
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_EQ(ws.table.FieldIndex("ANCNP"), -1);

    std::filesystem::remove(path);  // the engine can't rewrite what is gone
    EXPECT_THROW(ExtractBirthYear(ws, "CNP"), DbfError);
    EXPECT_FALSE(ws.table.Active());
}

// The path takes no part in any statement text: a quote in it neither breaks nor changes one.
TEST_F(CnpCommandsTest, ColumnAddedAndRowsAppendedWhenThePathHoldsQuotes) {
#ifdef _WIN32
    const char* const names[] = {"O'NEIL.DBF", "C' ADD Y CHAR(1).DBF"};  // Windows refuses '"'
#else
    const char* const names[] = {"O'NEIL.DBF", "A\"B.DBF", "C'\" ADD Y CHAR(1).DBF"};
#endif
    for (const char* name : names) {
        SCOPED_TRACE(name);
        path = dir.File(name);
        test::WriteDbf(path, kPersons, {{"ION", "1000101990013"}}, 0);
        ws.CurrentFile = path;
        ws.OpenTable();
        ASSERT_TRUE(ws.table.Active());
        ExtractBirthYear(ws, "CNP");
        AppendFromTable(ws, path);  // its own rows, read through a statement naming the path
        ASSERT_TRUE(ws.table.Active());
        EXPECT_EQ(ws.table.RecordCount(), 2);
        EXPECT_EQ(ws.table.TableName(), path);
        EXPECT_EQ(ui.columnList, (std::vector<std::string>{"NUME", "CNP", "ANCNP"}));
        EXPECT_EQ(ws.table.AsText("CNP"), "1000101990013");
        EXPECT_EQ(ws.table.Field(2).type, 'N');
        EXPECT_EQ(ws.table.Field(2).size, 6);
        ws.CloseTable();
    }
}

}  // namespace
}  // namespace orbelan
