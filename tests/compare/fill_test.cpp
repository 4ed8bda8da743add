// Columns filled from another table by a key, on the command line: each mode, the values that
// won't fit, and the undo that puts the table back byte for byte.
#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::Orbelan;

struct FillCase {
    const char* mode;  // the option, or "" for the default
    int code;
    std::string shown;  // `show --format csv` afterwards
};

TEST(Fill, ModesMisfitsAndUndo) {
    test::TempDir dir;
    const std::string other = dir.File("registru.csv");
    // The second code's town is too long for ORAS C(6); the third is not in the table.
    test::WriteFileBytes(other,
                         "CNP;Oras;Telefon\r\n1850101123456;Deva;0722\r\n"
                         "2900202123456;Cluj-Napoca;0733\r\n5010505123456;Brad;0755\r\n");
    const std::vector<FillCase> cases = {
        {"", 1,
         "CNP,ORAS,TELEFON\n1850101123456,Arad,0722\n2900202123456,,0733\n"
         "1700303123456,Iasi,\n"},
        {"--when-empty", 1,
         "CNP,ORAS,TELEFON\n1850101123456,Arad,0722\n2900202123456,,0733\n"
         "1700303123456,Iasi,\n"},
        {"--always", 1,
         "CNP,ORAS,TELEFON\n1850101123456,Deva,0722\n2900202123456,,0733\n"
         "1700303123456,Iasi,\n"},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string table = dir.File(std::string("tabel") + c.mode + ".dbf");
        test::WriteDbf(
            table, {{"CNP", 'N', 13}, {"ORAS", 'C', 6}},
            {{"1850101123456", "Arad"}, {"2900202123456", ""}, {"1700303123456", "Iasi"}});
        const std::string before = test::ReadFileBytes(table);
        std::vector<std::string> args{"fill", table,    other,          "--key",
                                      "CNP",  "--take", "ORAS,TELEFON", "--yes"};
        if (*c.mode) args.push_back(c.mode);
        const auto run = Orbelan(args);
        EXPECT_EQ(run.code, c.code) << run.out << run.err;
        EXPECT_EQ(Orbelan({"show", table, "--format", "csv"}).out, c.shown);
        // A value that doesn't fit is named and left as it was.
        EXPECT_NE(run.out.find("Cluj-Napoca"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Chei care lipsesc"), std::string::npos) << run.out;
        EXPECT_EQ(Orbelan({"undo", table}).code, 0);
        EXPECT_EQ(test::ReadFileBytes(table), before);
    }
    // Without --yes and a terminal nothing is written; a dry run writes nothing either.
    const std::string table = dir.File("neatins.dbf");
    test::WriteDbf(table, {{"CNP", 'C', 13}, {"ORAS", 'C', 6}}, {{"1850101123456", ""}});
    const std::string before = test::ReadFileBytes(table);
    EXPECT_EQ(Orbelan({"fill", table, other, "--key", "CNP", "--take", "ORAS"}).code, 2);
    const auto dry = Orbelan({"fill", table, other, "--key", "CNP", "--take", "ORAS", "--dry-run"});
    EXPECT_EQ(dry.code, 0);
    EXPECT_NE(dry.out.find("1\tORAS\t\tDeva"), std::string::npos) << dry.out;
    EXPECT_EQ(test::ReadFileBytes(table), before);
}

}  // namespace
}  // namespace orbelan
