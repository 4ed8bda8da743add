// Converting the open table into another code page, and reading it as another page.
#include "editing/recode_command.h"

#include <filesystem>

#include "core/argument_error.h"
#include "core/restore_points.h"
#include "core/undo_history.h"
#include "editing/commands_fixture.h"
#include "engine/dbf_writer.h"

namespace orbelan {
namespace {

class RecodeTest : public test::CommandsTest {
  protected:
    // NUME C(24) and OBS memo, written by the engine in page (its byte in the header).
    std::string Write(const std::string& name, const std::string& page,
                      const std::vector<std::pair<std::string, std::string>>& rows) {
        const std::string path = dir.File(name);
        DbfWriter::Definition d;
        d.codePage = page;
        d.fields = {{.name = "NUME", .type = 'C', .size = 24},
                    {.name = "OBS", .type = 'M', .size = 10}};
        DbfWriter w(path, d);
        for (const auto& [nume, obs] : rows) {
            w.BeginRow();
            w.SetText(0, nume, {});
            w.SetMemo(1, obs);
            w.EndRow();
        }
        w.Commit();
        return path;
    }
    void Open(const std::string& path) {
        ws.CurrentFile = path;
        ws.OpenTable();
        ASSERT_TRUE(ws.table.Active());
    }
};

const std::vector<std::pair<std::string, std::string>> kRows = {
    {"ŞTEFĂNESCU Ioana", "str. Mărăşeşti 4, Bârlad"}, {"Ţurcanu", ""}, {"POP", "Tőkés, Iaşi"}};

TEST_F(RecodeTest, TextAndMemoByteExactAsWrittenInTheTargetPage) {
    const std::string target = Write("direct.dbf", "cp1250", kRows);
    const std::string source = Write("t.dbf", "cp852", kRows);
    Open(source);
    ASSERT_TRUE(ConvertTable(ws, "cp1250"));
    EXPECT_EQ(test::ReadFileBytes(source), test::ReadFileBytes(target));
    EXPECT_EQ(test::ReadFileBytes(dir.File("t.dbt")), test::ReadFileBytes(dir.File("direct.dbt")));
    EXPECT_EQ(ws.table.Header().pageSource, PageSource::Header);
    EXPECT_EQ(Column("OBS")[0], kRows[0].second);
}

TEST_F(RecodeTest, LackingCharactersListedAndNothingWrittenOnRenunt) {
    const std::string source = Write("t.dbf", "cp1250", kRows);
    const std::string before = test::ReadFileBytes(source),
                      memo = test::ReadFileBytes(dir.File("t.dbt"));
    Open(source);
    ui.mesajAnswers = {mrCancel};
    EXPECT_FALSE(ConvertTable(ws, "cp437"));
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string& text = ui.messages[0].text;
    EXPECT_NE(text.find("Linia 1, NUME: \"ŞTEFĂNESCU Ioana"), std::string::npos) << text;
    EXPECT_NE(text.find("Linia 3, OBS: \"Tőkés, Iaşi"), std::string::npos) << text;
    EXPECT_EQ(test::ReadFileBytes(source), before);
    EXPECT_EQ(test::ReadFileBytes(dir.File("t.dbt")), memo);

    // "Converteste oricum": the lacking letters become "?", the rest stays.
    ui.mesajAnswers = {mrYes};
    ASSERT_TRUE(ConvertTable(ws, "cp437"));
    EXPECT_EQ(Column("NUME")[2], "POP");
    EXPECT_EQ(Column("NUME")[0], "?TEF?NESCU Ioana");
    EXPECT_EQ(ws.table.Header().codePage, "cp437");
}

TEST_F(RecodeTest, CommaLettersTakeTheirCedillaTwinsAndSaySo) {
    // ISO-8859-16 has no page byte: a .cpg file names it, as GIS programs write.
    const std::string source = Write("t.dbf", "iso8859_16", {{"Țurcanu Ștefan", "Iași"}});
    test::WriteFileBytes(dir.File("t.cpg"), "ISO-8859-16");
    Open(source);
    ASSERT_TRUE(ConvertTable(ws, "cp852"));
    EXPECT_EQ(Column("NUME")[0], "Ţurcanu Ştefan");
    EXPECT_EQ(Column("OBS")[0], "Iaşi");
    EXPECT_NE(ui.messages.back().text.find("ș -> ş"), std::string::npos) << ui.messages.back().text;
}

TEST_F(RecodeTest, ReadAsAnotherPageWritesNothing) {
    const std::string source = Write("t.dbf", "cp852", kRows);
    const std::string before = test::ReadFileBytes(source);
    Open(source);
    ReadTableAs(ws, "cp1250");
    EXPECT_EQ(ws.table.Header().pageSource, PageSource::Override);
    EXPECT_NE(Column("NUME")[0], kRows[0].first);
    ReadTableAs(ws, "");
    EXPECT_EQ(Column("NUME")[0], kRows[0].first);
    EXPECT_EQ(test::ReadFileBytes(source), before);
    EXPECT_THROW(ConvertTable(ws, "utf-8"), ArgumentError);
}

TEST_F(RecodeTest, APageWithoutHeaderByteIsNamedByACpgFileThatUndoTakesBack) {
    const std::string source = Write("t.dbf", "cp1250", {{"ARĆ Ăla", "Ćirić"}});
    Open(source);
    const struct {
        const char* page;
        const char* cpg;  // "" none
        PageSource source;
    } steps[] = {
        {"iso-8859-2", "88592", PageSource::CpgFile},
        {"iso-8859-16", "885916", PageSource::CpgFile},
        {"cp852", "852", PageSource::Header},  // the header names it; the .cpg agrees
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(ConvertTable(ws, step.page)) << step.page;
        ws.CloseTable();
        Open(source);
        EXPECT_EQ(ws.table.Header().pageSource, step.source) << step.page;
        EXPECT_EQ(Column("NUME")[0], "ARĆ Ăla") << step.page;
        EXPECT_EQ(Column("OBS")[0], "Ćirić") << step.page;
        EXPECT_EQ(test::ReadFileBytes(dir.File("t.cpg")), step.cpg) << step.page;
    }
    // Undo puts back each version's .cpg with its table, and none where there was none.
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    for (const std::string cpg : {"885916", "88592", ""}) {
        ASSERT_TRUE(UndoLast(ws)) << cpg;
        EXPECT_EQ(Column("NUME")[0], "ARĆ Ăla") << cpg;
        EXPECT_EQ(std::filesystem::exists(dir.File("t.cpg")), !cpg.empty()) << cpg;
        if (!cpg.empty()) {
            EXPECT_EQ(test::ReadFileBytes(dir.File("t.cpg")), cpg);
        }
    }
    EXPECT_EQ(ws.table.Header().pageSource, PageSource::Header);
}

}  // namespace
}  // namespace orbelan
