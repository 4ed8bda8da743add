// The profile, count and chart commands.
#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::CliRun;
using test::Orbelan;

TEST(ProfileCli, CommandsPrintAndWriteTheFigures) {
    test::TempDir dir;
    const std::string t = dir.File("p.dbf");
    test::WriteDbf(t, {{"NUME", 'C', 10}, {"CNP", 'C', 13}, {"SUMA", 'N', 6, 2}},
                   {{"POPA", "1980512123455", "10"},
                    {"POPA", "2980512123457", "2.5"},
                    {"ION", "1000101990013", "3"},
                    {"ANA", "12345", "1"},
                    {"ANA", "", ""}});
    const std::string png = dir.File("c.png"), pdf = dir.File("c.pdf"), csv = dir.File("n.csv");
    const struct {
        std::vector<std::string> args;
        int code;
        std::string output;  // found in standard output (or error when the code is not 0)
        std::string file;    // written, beginning with `begins`
        std::string begins;
    } cases[] = {
        {{"profile", t, "CNP", "--format", "json"},
         0,
         "\"cnp\": {\"corecte\": 2, \"incorecte\": 2, \"lungime\": 1, \"caractere\": 0, \"data\": "
         "0, \"control\": 0, \"judet\": 1, \"barbati\": 2, \"femei\": 1",
         "",
         ""},
        {{"profile", t, "SUMA"}, 0, "Completate: 4 (80.0%)\nGoale: 1 (20.0%)\n", "", ""},
        {{"profile", t, "SUMA"}, 0, "Suma: 16.5\nMedia: 4.125\nMediana: 2.75\n", "", ""},
        {{"count", t, "NUME", "--sum", "SUMA", "--format", "csv"},
         0,
         "NUME,NUMAR,SUMA(SUMA)\nANA,2,1\nPOPA,2,12.5\nION,1,3\n",
         "",
         ""},
        {{"count", t, "NUME", "--filter", "CNPJUDET(CNP)='Cluj'", "--format", "csv"},
         0,
         "NUME,NUMAR\nPOPA,2\n",
         "",
         ""},
        {{"count", t, "NUME,CNP", "--order", "value", "-o", csv}, 0, "", csv, "NUME,CNP,NUMAR"},
        {{"chart", t, "CNP", "--kind", "pyramid", "-o", png}, 0, "", png, "\x89PNG"},
        {{"chart", t, "SUMA", "--kind", "histogram", "-o", pdf}, 0, "", pdf, "%PDF"},
        {{"chart", t, "NUME", "--kind", "counties", "-o", png}, 2, "nu contine coduri CNP", "", ""},
        {{"count", t, "NUME,PRENUME"}, 2, "Coloana PRENUME nu exista", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const CliRun r = Orbelan(c.args);
#ifndef ORBELAN_HAVE_PDF
        // Built without Qt Gui, a picture can't be drawn: the command says so.
        if (c.args[0] == "chart") {
            EXPECT_EQ(r.code, 4);
            EXPECT_NE(r.err.find("Graficele nu sunt disponibile"), std::string::npos) << r.err;
            continue;
        }
#endif
        EXPECT_EQ(r.code, c.code) << r.err;
        const std::string& shown = c.code == 0 ? r.out : r.err;
        EXPECT_NE(shown.find(c.output), std::string::npos) << shown;
        if (!c.file.empty()) {
            EXPECT_EQ(test::ReadFileBytes(c.file).substr(0, c.begins.size()), c.begins);
        }
    }
}

}  // namespace
}  // namespace orbelan
