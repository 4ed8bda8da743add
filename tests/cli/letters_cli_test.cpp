// orbelan letters and orbelan template: the window's form-letter code from the command line.
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

class LettersCli : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string table = dir.File("p.dbf");
    std::string model = dir.File("model.rtf");
    std::string out = dir.File("out.rtf");

    void SetUp() override {
        test::WriteDbf(table, {{"NUME", 'C', 10}, {"ORAS", 'C', 10}},
                       {{"POP", "DEVA"}, {"ION", "ARAD"}, {"DAN", "DEVA"}, {"ANA", "DEVA"}});
        test::WriteFileBytes(model, "{\\rtf1\r\n\\pard [Nume]-[oras]\r\n}\r\n");
    }

    std::string Letters(std::vector<std::string> extra) {
        std::vector<std::string> args = {"letters", table, model, "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun r = Orbelan(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return test::ReadFileBytes(out);
    }
};

TEST_F(LettersCli, RowsFilterAndModes) {
    EXPECT_EQ(Letters({"--filter", "ORAS='DEVA'"}),
              "{\\rtf1\r\n\\pard POP-deva\r\n\\par \\page\r\n\\pard DAN-deva\r\n"
              "\\par \\page\r\n\\pard ANA-deva\r\n}\r\n");
    EXPECT_EQ(Letters({"--filter", "ORAS='DEVA'", "--row", "2"}),
              "{\\rtf1\r\n\\pard DAN-deva\r\n}\r\n");
    EXPECT_EQ(Letters({"--from-row", "3"}),
              "{\\rtf1\r\n\\pard DAN-deva\r\n\\par \\page\r\n\\pard ANA-deva\r\n}\r\n");

    EXPECT_EQ(Orbelan({"letters", table, model, "-o", out, "--row", "5"}).code, 2);
    EXPECT_EQ(Orbelan({"letters", table, model, "-o", out, "--row", "1", "--from-row", "2"}).code,
              2);
    EXPECT_EQ(Orbelan({"template", table}).code, 2);  // no -o
    // A template that can't be read: exit 4 with the reason, the earlier output untouched.
    const std::string before = test::ReadFileBytes(out);
    const CliRun r = Orbelan({"letters", table, dir.File("lipsa.rtf"), "-o", out});
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find("lipsa.rtf nu exista."), std::string::npos) << r.out;
    EXPECT_EQ(test::ReadFileBytes(out), before);
}

TEST_F(LettersCli, TemplateListsTheColumnsAndFillsBackIn) {
    const CliRun r = Orbelan({"template", table, "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string doc = test::ReadFileBytes(out);
    EXPECT_NE(doc.find("\r\n\\par [NUME]\r\n\\par [ORAS]\r\n"), std::string::npos);
    // The how-to template is itself a template: its example is filled from the row.
    model = out;
    out = dir.File("filled.rtf");
    const std::string filled = Letters({"--row", "1"});
    EXPECT_NE(filled.find("\r\n\\par POP\r\n\\par DEVA\r\n"), std::string::npos);
    // Placeholders that name no column stay as written.
    EXPECT_NE(filled.find("Subsemnatul(a) POP [PRENUME], domiciliat(a) in [Adresa]"),
              std::string::npos);
}

}  // namespace
}  // namespace orbelan
