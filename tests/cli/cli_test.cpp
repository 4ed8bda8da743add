// The orbelan batch program: its commands, options and exit codes.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "support/cli_run.h"
#include "cli/console_ui.h"
#include "core/program_dir.h"
#include "engine/dbf_file.h"
#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::CliRun;
using test::Orbelan;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Cli, InfoDescribesHeaderAndFields) {
    test::TempDir dir;
    const CliRun r = Orbelan({"info", dir.CopyData("foxpro_memo_cp852.dbf")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Versiune: 0xF5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Cod de pagina: cp852"), std::string::npos);
    EXPECT_NE(r.out.find("Linii: 3"), std::string::npos);
    EXPECT_NE(r.out.find("  COEF F 12,3\n"), std::string::npos);
    EXPECT_NE(r.out.find("  OBS M 10\n"), std::string::npos);
}

TEST(Cli, ShowJsonOneObjectPerLineInFieldOrder) {
    test::TempDir dir;
    const CliRun r = Orbelan({"show", dir.CopyData("gis_writer_cp1250.dbf"), "--format", "json",
                              "--decimal-separator", ",", "--date-format", "yyyy-MM-dd"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "{\"NUME\": \"ŞTEFĂNESCU ION\", \"SUMA\": \"12,5\", \"NR\": \"3\", \"DATAN\": "
              "\"2000-01-01\", \"ORAS\": \"Târgu Jiu\"}");
    EXPECT_EQ(
        lines[2],
        "{\"NUME\": \"POP\", \"SUMA\": \"\", \"NR\": \"7\", \"DATAN\": \"\", \"ORAS\": \"DEVA\"}");
}

TEST(Cli, ShowFilterLimitAndCsv) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"SUMA", 'N', 6, 2}},
                   {{"IONEL", "12.00"}, {"ION", "1.50"}, {"IONELA", "12.00"}, {"X,Y", "12"}});
    CliRun r = Orbelan({"show", path, "--filter", "SUMA=12", "--format", "csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "NUME,SUMA\nIONEL,12\nIONELA,12\n\"X,Y\",12\n");
    r = Orbelan({"show", path, "--filter", "NUME='IONEL*'", "--format", "csv", "--limit", "1"});
    EXPECT_EQ(r.out, "NUME,SUMA\nIONEL,12\n");
}

TEST(Cli, SqlSelectOrdersRowsAndOtherStatementsRun) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 3}}, {{"C", "1"}, {"A", "2"}, {"B", "3"}});
    CliRun r = Orbelan({"sql", "DELETE FROM \"" + path + "\" WHERE NUME=\"B\"", "--format", "csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Orbelan({"sql", "SELECT * FROM \"" + path + "\" ORDER BY NUME", "--format", "csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "NUME,NR\nA,2\nC,1\n");
    r = Orbelan({"sql", "  Select * from \"" + path + "\" order by NR", "--format", "csv"});
    EXPECT_EQ(r.out, "NUME,NR\nC,1\nA,2\n") << r.err;
    r = Orbelan({"sql", "SELECT * FORM \"" + path + "\""});
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("FORM"), std::string::npos) << r.err;
}

TEST(Cli, ExitCodesForUsageUnreadableAndEngineErrors) {
    test::TempDir dir;
    EXPECT_EQ(Orbelan({}).code, 2);
    EXPECT_EQ(Orbelan({"show"}).code, 2);
    EXPECT_EQ(Orbelan({"zbor", "x"}).code, 2);
    EXPECT_EQ(Orbelan({"show", "x.dbf", "--limit", "-3"}).code, 2);
    EXPECT_EQ(Orbelan({"show", "x.dbf", "--bogus"}).code, 2);

    const std::string text = dir.File("text.dbf");
    test::WriteFileBytes(text, "nu este un tabel, doar text");
    const CliRun r = Orbelan({"show", text});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(Lines(r.err).at(0), "Fisierul ales, " + text + ", nu poate fi citit!");
    EXPECT_EQ(test::ReadFileBytes(text), "nu este un tabel, doar text");

    const CliRun bad = Orbelan({"show", dir.CopyData("persoane.dbf"), "--filter", "NUME='X"});
    EXPECT_EQ(bad.code, 4);
    EXPECT_FALSE(bad.err.empty());
}

TEST(Cli, ATableAnotherProgramIsWritingIsLeftAloneWithExit4) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"C"}, {"A"}, {"B"}});
    // The window program in the middle of its own rewrite, which holds the lock until it ends.
    auto window = DbfFile::Open(path);
    window->LockForWriting();
    const std::string before = test::ReadFileBytes(path);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sort", "--yes", path, "NUME"},
          {"sql", "DELETE FROM \"" + path + "\" WHERE NUME=\"A\""}}) {
        const CliRun r = Orbelan(args);
        EXPECT_EQ(r.code, 4) << args[0];
        EXPECT_NE(r.err.find("este modificat acum de alt program"), std::string::npos) << r.err;
        EXPECT_EQ(test::ReadFileBytes(path), before) << args[0];
    }
}

TEST(Cli, UnknownColumnIsAUsageErrorAndOptionsGoAnywhere) {
    test::TempDir dir;
    const std::string path = dir.File("s.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"C"}, {"A"}});
    const std::string before = test::ReadFileBytes(path);
    const CliRun r = Orbelan({"sort", "--yes", path, "PRENUME"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Tabelul nu are coloana PRENUME."), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_EQ(Orbelan({"show", path, "--help"}).code, 0);
    const CliRun v = Orbelan({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("orbelan ", 0), 0u) << v.out;
}

// Commands that destroy data ask; without a terminal and without --yes the answer is NU.
TEST(Cli, GuardedQuestionsNeedYesOrATypedDa) {
    struct Case {
        bool guarded, yes;
        const char* typed;  // nullptr: no terminal
        int expected;
        bool refused;
    };
    const Case cases[] = {
        {false, false, nullptr, mrYes, false}, {true, false, nullptr, mrNo, true},
        {true, true, nullptr, mrYes, false},   {true, false, "da\n", mrYes, false},
        {true, false, "Y\n", mrYes, false},    {true, false, "nu\n", mrNo, true},
        {true, false, "", mrNo, true},
    };
    for (const Case& k : cases) {
        std::ostringstream out;
        std::istringstream typed(k.typed ? k.typed : "");
        ConsoleMessages ui(out, k.typed ? &typed : nullptr);
        ui.guarded = k.guarded;
        ui.assumeYes = k.yes;
        EXPECT_EQ(ui.Mesaj("Confirmare", "Stergem?", mkConfirmation, mbYesNo), k.expected)
            << k.guarded << k.yes << (k.typed ? k.typed : "-");
        EXPECT_EQ(ui.Refused(), k.refused);
        EXPECT_NE(out.str().find("Confirmare: Stergem?"), std::string::npos);
        EXPECT_EQ(ui.Mesaj("Informatie", "Gata.", mkInformation, mbOK), mrOk);
    }
}

TEST(Cli, MissingProductionIndexIsDetachedSilently) {
    test::TempDir dir;
    const std::string path = dir.CopyData("missing_production_index.dbf");
    const CliRun r = Orbelan({"show", path, "--format", "csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "NUME,NR\nUNU,1\nDOI,2\nTREI,3\n");
    EXPECT_EQ(test::ReadFileBytes(path)[28], '\0');
}

TEST(Cli, CodePageOptionReadsTablesWithoutLanguageDriver) {
    test::TempDir dir;
    const std::string path = dir.CopyData("office_suite_no_ldid.dbf");
    const CliRun r = Orbelan({"show", path, "--codepage", "cp1250", "--format", "csv", "--limit",
                              "1", "--decimal-separator", ","});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(1), "ŞTEFĂNESCU ION,\"12,5\",3,01.01.2000,True");
}

TEST(Cli, CnpCommandsShareTheWindowsCode) {
    test::TempDir dir;
    const std::string path = dir.File("p.dbf");
    test::WriteDbf(
        path, {{"NUME", 'C', 10}, {"CNP", 'C', 13}},
        {{"A", "1000101990013"}, {"B", "1000101990012"}, {"C", ""}, {"D", "6001231990031"}});
    CliRun r = Orbelan({"check-cnp", path, "CNP"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "2\t1000101990012\n3\t\n");
    r = Orbelan({"check-cnp", path, "CNP", "--filter", "NUME='A'"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");

    r = Orbelan({"extract-year", path, "cnp"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Extragere incheiata cu succes."), std::string::npos) << r.out;
    r = Orbelan({"show", path, "--format", "csv"});
    EXPECT_EQ(r.out,
              "NUME,CNP,ANCNP\nA,1000101990013,1900\nB,1000101990012,\nC,,\n"
              "D,6001231990031,2000\n");

    r = Orbelan({"extract-date", path, "CNP", "--filter", "NUME='D'"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Orbelan({"show", path, "--format", "csv", "--date-format", "yyyy-MM-dd"});
    EXPECT_EQ(Lines(r.out).at(0), "NUME,CNP,ANCNP,DATACNP");
    EXPECT_EQ(Lines(r.out).at(1), "A,1000101990013,1900,");
    EXPECT_EQ(Lines(r.out).at(4), "D,6001231990031,2000,2000-12-31");
}

TEST(Cli, SortRewritesTheFile) {
    test::TempDir dir;
    const std::string path = dir.File("s.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"C"}, {"A"}, {"B"}});
    // A user's DBF0.DBF beside the table is not a scratch file; the program's own leftover is.
    test::WriteFileBytes(dir.File("DBF0.DBF"), "tabelul utilizatorului");
    std::filesystem::create_directories(ProgramDataDir());
    const std::string leftover = ProgramDataDir() + "DBF0.DBF";
    test::WriteFileBytes(leftover, "ramas");
    const CliRun r = Orbelan({"sort", path, "NUME"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Orbelan({"show", path, "--format", "csv"}).out, "NUME\nA\nB\nC\n");
    EXPECT_EQ(test::ReadFileBytes(dir.File("DBF0.DBF")), "tabelul utilizatorului");
    EXPECT_FALSE(std::filesystem::exists(leftover));
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

std::string Csv(const std::string& path) {
    return Orbelan({"show", path, "--format", "csv"}).out;
}

TEST(Cli, ColumnCommandsShareTheWindowsCode) {
    test::TempDir dir;
    const std::string path = dir.File("p.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 30}, {"DATAN", 'D', 8}, {"NR", 'N', 3}, {"OBS", 'C', 5}},
                   {{"POP ION", "20000101", "1", "2"}, {"RUS ANA", "", "2", "x"}});
    CliRun r = Orbelan({"split-name", path, "NUME", "--filter", "NR=1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Separare nume de prenume: Separarea s-a efectuat cu succes!\n");
    r = Orbelan({"date-to-number", path, "DATAN"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Orbelan({"date-to-number", path, "NUME"});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "Transformare tip coloana: Campul NUME nu este de tip DATE!\n");
    EXPECT_EQ(Csv(path), "NUME,NR,OBS,PRENUME_,DATAN\nPOP,1,2,ION,36526\nRUS ANA,2,x,,0\n");

    // The swap asks: NU without a terminal and without --yes, the file unchanged.
    const std::string before = test::ReadFileBytes(path);
    r = Orbelan({"swap", path, "NR", "OBS"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_EQ(Orbelan({"swap", path, "NR", "nr", "--yes"}).code, 2);
    EXPECT_EQ(Orbelan({"swap", path, "NR", "ZZ", "--yes"}).code, 2);
    r = Orbelan({"swap", path, "NR", "OBS", "--yes"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("Inversare coloane: 1/2 valori nu au putut fi inversate.\n"
                         "Inversare coloane: Coloanele au fost inversate cu succes!\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Csv(path), "NUME,NR,OBS,PRENUME_,DATAN\nPOP,2,1,ION,36526\nRUS ANA,2,x,,0\n");

    EXPECT_EQ(Orbelan({"drop-column", path, "OBS"}).code, 2);
    EXPECT_EQ(Orbelan({"drop-column", path, "OBS", "--yes"}).code, 0);
    EXPECT_EQ(Lines(Csv(path)).at(0), "NUME,NR,PRENUME_,DATAN");
}

TEST(Cli, RowCommandsAskAndShareTheWindowsCode) {
    test::TempDir dir;
    const std::string path = dir.File("r.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 3}},
                   {{"A", "1"}, {"B", "2"}, {"A", "3"}, {"C", "4"}, {"A", "5"}, {"IONEL", "6"}});
    const std::string before = test::ReadFileBytes(path);
    EXPECT_EQ(Orbelan({"dedupe", path, "NUME"}).code, 2);
    EXPECT_EQ(Orbelan({"delete-rows", path}).code, 2);
    EXPECT_EQ(test::ReadFileBytes(path), before);

    CliRun r = Orbelan({"dedupe", path, "NUME", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Csv(path), "NUME,NR\nB,2\nC,4\nA,5\nIONEL,6\n");
    r = Orbelan({"delete-rows", path, "--filter", "NUME='IONEL*'", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Csv(path), "NUME,NR\nB,2\nC,4\nA,5\n");
    r = Orbelan({"drop-index", path});  // no index: nothing changes
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Stergere Index: Tabelul nu are index.\n");
    std::string bytes = test::ReadFileBytes(path);
    bytes[28] = 1;  // a production index
    test::WriteFileBytes(path, bytes);
    test::WriteFileBytes(path.substr(0, path.size() - 4) + ".mdx", "index");
    r = Orbelan({"drop-index", path});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Stergere Index: Indexul a fost sters!\n");
    EXPECT_NE(Orbelan({"info", path}).out.find("Linii: 3\n"), std::string::npos);
    EXPECT_EQ(Orbelan({"delete-rows", path, "--yes"}).code, 0);
    EXPECT_EQ(Csv(path), "NUME,NR\n");
}

TEST(Cli, AppendRefusesAnExtraFieldAndStopsOnAValueTheTableCantTake) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 3}}, {{"A", "1"}});
    const std::string extra = dir.File("extra.dbf");
    test::WriteDbf(extra, {{"NUME", 'C', 10}, {"TELEFON", 'C', 10}}, {{"B", "0722"}});
    const std::string before = test::ReadFileBytes(path);
    CliRun r = Orbelan({"append", path, extra});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "Lipire tabele: Sursa are campul TELEFON in plus! Nu pot executa lipirea.\n");
    EXPECT_EQ(test::ReadFileBytes(path), before);

    const std::string source = dir.File("src.dbf");
    test::WriteDbf(source, {{"nr", 'C', 3}, {"NUME", 'C', 5}},
                   {{"2", "B"}, {"x", "C"}, {"4", "D"}});
    r = Orbelan({"append", path, source});
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("Linii adaugate inainte de eroare: 1."), std::string::npos) << r.err;
    EXPECT_EQ(Orbelan({"show", path, "--format", "csv"}).out, "NUME,NR\nA,1\nB,2\n");

    EXPECT_EQ(Orbelan({"append", path, dir.File("lipsa.dbf")}).code, 3);
}

TEST(Cli, CsvWritesTheQuickCsvOfTheDisplayedRows) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 12}, {"SUMA", 'N', 6, 2}},
                   {{"POP, ION", "12.50"}, {"ANA", "3.00"}});
    const std::string out = dir.File("o.csv");
    EXPECT_EQ(Orbelan({"csv", path}).code, 2);
    const CliRun r =
        Orbelan({"csv", path, "-o", out, "--filter", "SUMA>5", "--decimal-separator", ","});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::ReadFileBytes(out), "NUME,SUMA\r\nPOP. ION,12.5\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("DBF0.CSV")));
}

}  // namespace
}  // namespace orbelan
