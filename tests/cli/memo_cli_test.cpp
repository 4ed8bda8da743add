// set, get, show --deleted, recall and replace on the command line.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "support/cli_run.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::CliRun;
using test::Orbelan;

TEST(MemoCli, SetAndGetAMemoText) {
    test::TempDir dir;
    const std::string t = dir.CopyData("dbase3_memo_cp1250.dbf");
    CliRun r = Orbelan({"set", t, "2", "OBS", "doua\r\nlinii \xC8\x99i"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Orbelan({"get", t, "2", "OBS"});
    EXPECT_EQ(r.out, "doua\r\nlinii \xC5\x9Fi\n");
    EXPECT_EQ(Orbelan({"get", t, "9", "OBS"}).code, 2);  // 8 rows are shown
    EXPECT_EQ(Orbelan({"get", t, "1", "NIMIC"}).code, 2);
    r = Orbelan({"set", t, "1", "OBS", "\xE2\x9C\x93"});
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("nu poate fi scris"), std::string::npos) << r.err;
}

TEST(MemoCli, ShowDeletedMarksThemAndRecallBringsThemBack) {
    test::TempDir dir;
    const std::string t = dir.File("t.dbf");
    test::WriteDbf(t, {{"NUME", 'C', 5}}, {{"A"}, {"*B"}, {"*C"}});
    CliRun r = Orbelan({"show", t, "--deleted", "--format", "csv"});
    EXPECT_EQ(r.out, ",NUME\n,A\n*,B\n*,C\n");
    r = Orbelan({"recall", t, "--filter", "NUME='B'"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1 linii recuperate.\n");
    EXPECT_EQ(Orbelan({"show", t, "--format", "csv"}).out, "NUME\nA\nB\n");
}

TEST(MemoCli, ReplaceAsksDryRunListsTooLongStopsWithFileUnchanged) {
    test::TempDir dir;
    const std::string t = dir.File("t.dbf");
    test::WriteDbf(t, {{"NUME", 'C', 6}, {"LOC", 'C', 6}}, {{"ION", "Deva"}, {"IONEL", "deva"}});
    EXPECT_EQ(Orbelan({"replace", t, "LOC", "deva", "Arad"}).code, 2);  // no terminal, no --yes
    CliRun r = Orbelan({"replace", t, "--all-columns", "ion", "Ioan", "--match-case", "--dry-run"});
    EXPECT_EQ(r.out, "");
    r = Orbelan({"replace", t, "NUME", "ION", "IOANN", "--dry-run"});
    EXPECT_EQ(r.out, "1\tNUME\tION\tIOANN\n2\tNUME\tIONEL\tIOANNEL\tnu incape in 6 caractere\n");
    const std::string before = test::ReadFileBytes(t);
    r = Orbelan({"replace", t, "NUME", "ION", "IOANN", "--yes"});
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find("Linia 2, NUME"), std::string::npos) << r.out;
    EXPECT_EQ(test::ReadFileBytes(t), before);
    r = Orbelan({"replace", t, "LOC", "deva", "Arad", "--whole", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2 valori inlocuite."), std::string::npos) << r.out;
    EXPECT_EQ(Orbelan({"show", t, "--format", "csv"}).out, "NUME,LOC\nION,Arad\nIONEL,Arad\n");
}

}  // namespace
}  // namespace orbelan
