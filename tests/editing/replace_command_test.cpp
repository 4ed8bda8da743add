// "Cauta si inlocuieste": each option, the displayed rows only, values too long for their field,
// and recalling a deleted row.
#include "editing/replace_command.h"

#include "editing/commands_fixture.h"
#include "editing/row_commands.h"

namespace orbelan {
namespace {

class ReplaceTest : public test::CommandsTest {};

TEST_F(ReplaceTest, EachOptionChangesWhatItShould) {
    struct Case {
        const char* name;
        ReplaceRequest request;
        const char* filter;
        std::vector<std::string> nume, obs;
    };
    const Case cases[] = {
        {"part, any case, Romanian letters in either form",
         {"NUME", "\xC8\x99tefan", "Stefan"},  // ștefan, comma below
         "",
         {"Stefan ION", "IONEL Stefan", "ION",
          "\xC5\xA2"
          "ARA"},
         {"ion", "", "", "ION"}},
        {"match case",
         {"NUME", "ION", "Ioan", false, true},
         "",
         {"\xC5\x9ETEFAN Ioan",
          "IoanEL \xC5\x9F"
          "tefan",
          "Ioan",
          "\xC5\xA2"
          "ARA"},
         {"ion", "", "", "ION"}},
        {"whole value",
         {"NUME", "ion", "IOAN", true},
         "",
         {"\xC5\x9ETEFAN ION",
          "IONEL \xC5\x9F"
          "tefan",
          "IOAN",
          "\xC5\xA2"
          "ARA"},
         {"ion", "", "", "ION"}},
        {"every text column, displayed rows only",
         {"", "ion", "Y"},
         "NR<3",
         {"\xC5\x9ETEFAN Y",
          "YEL \xC5\x9F"
          "tefan",
          "ION",
          "\xC5\xA2"
          "ARA"},
         {"Y", "", "", "ION"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenPersons({{"\xAATEFAN ION", "1", "", "ion"},  // cp1250
                     {"IONEL \xBAtefan", "2", "", ""},
                     {"ION", "3", "", ""},
                     {"\xDE"
                      "ARA",
                      "4", "", "ION"}});
        if (*c.filter) {
            ws.table.SetFilterText(c.filter);
            ws.table.SetFiltered(true);
        }
        ReplaceAll(ws, c.request);
        ws.table.SetFiltered(false);
        EXPECT_EQ(Column("NUME"), c.nume);
        EXPECT_EQ(Column("OBS"), c.obs);
        ws.CloseTable();
    }
}

TEST_F(ReplaceTest, CountFirstThenOneRewriteWithItsClosingText) {
    OpenPersons({{"A", "1", "", "x"}, {"B", "2", "", "xx"}, {"C", "3", "", "y"}});
    const auto changes = FindReplacements(ws, {"OBS", "x", "z"});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].row, 2);
    EXPECT_EQ(changes[1].after, "zz");
    ui.mesajAnswers = {mrNo};
    EXPECT_EQ(ReplaceAll(ws, {"OBS", "x", "z"}).replaced, 0);
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"x", "xx", "y"}));
    EXPECT_EQ(ReplaceAll(ws, {"OBS", "x", "z"}).replaced, 2);
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"z", "zz", "y"}));
    EXPECT_EQ(ui.messages.back().text, "2 valori inlocuite.");
}

TEST_F(ReplaceTest, TooLongIsNeverCutRefusedLeavesFileIdenticalSkippedKeepsIt) {
    const std::string path =
        OpenPersons({{"A", "1", "", "ab"}, {"B", "2", "", "abababab"}, {"C", "3", "", "b"}});
    const std::string before = test::ReadFileBytes(path);
    const ReplaceRequest request{"OBS", "a", "aa"};
    ui.mesajAnswers = {mrNo};
    EXPECT_TRUE(ReplaceAll(ws, request).stopped);
    EXPECT_NE(ui.messages.back().text.find("Linia 2, OBS: \"aabaabaabaab\" nu incape in 10"),
              std::string::npos)
        << ui.messages.back().text;
    ws.CloseTable();
    EXPECT_EQ(test::ReadFileBytes(path), before);

    ws.OpenTable();
    ui.mesajAnswers = {mrYes, mrYes};
    EXPECT_EQ(ReplaceAll(ws, request).replaced, 1);
    EXPECT_EQ(Column("OBS"), (std::vector<std::string>{"aab", "abababab", "b"}));
}

TEST_F(ReplaceTest, RecallRowBringsBackTheDeletedRowShown) {
    OpenPersons({{"A", "1", "", ""}, {"*B", "2", "", ""}});
    EXPECT_EQ(ws.table.RecordCount(), 1);
    ws.table.SetShowingDeleted(true);
    MoveToRow(1);
    RecallRow(ws);
    ws.CloseTable();
    ws.table.SetShowingDeleted(false);
    ws.OpenTable();
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"A", "B"}));
}

}  // namespace
}  // namespace orbelan
