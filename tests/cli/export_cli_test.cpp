// `orbelan export`: the engine's export from the command line.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"
#include "tests/export/biff_reader.h"

namespace orbelan {
namespace {

int Export(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
    std::ostringstream o, e;
    const int code = RunOrbelan(args, o, e);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return code;
}

TEST(CliExport, WritesTheFilteredRowsToTheGivenFile) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 5}},
                   {{"POP", "1"}, {"ANA", "2"}, {"DAN", "3"}});
    const std::string out = dir.File("out.xls");
    std::string err;
    ASSERT_EQ(
        Export({"export", path, "--format", "xls", "-o", out, "--filter", "NR>1"}, nullptr, &err),
        0)
        << err;
    const auto cells = test::BiffCells(test::ReadFileBytes(out));
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells.at({0, 1}).text, "NR");
    EXPECT_EQ(cells.at({1, 0}).text, "ANA");
    EXPECT_EQ(cells.at({2, 1}).number, 3);

    const std::string csv = dir.File("out.csv");
    ASSERT_EQ(Export({"export", path, "--format", "csv", "-o", csv}), 0);
    EXPECT_EQ(test::ReadFileBytes(csv), "NUME,NR\r\nPOP,1\r\nANA,2\r\nDAN,3\r\n");
}

TEST(CliExport, UsageErrorsAndSheetEnd) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    std::vector<std::vector<std::string>> rows(65600, {"x"});
    test::WriteDbf(path, {{"NUME", 'C', 3}}, rows);
    EXPECT_EQ(Export({"export", path, "-o", dir.File("a.xls")}), 2);  // no --format
    EXPECT_EQ(Export({"export", path, "--format", "xls"}), 2);        // no -o
    EXPECT_EQ(Export({"export", path, "--format", "odt", "-o", dir.File("a")}), 2);
    EXPECT_EQ(Export({"show", path, "--format", "xls"}), 2);

    std::string out;
    EXPECT_EQ(Export({"export", path, "--format", "xls", "-o", dir.File("big.xls")}, &out), 4);
    EXPECT_EQ(out,
              "Foaia Excel se termina la linia 65535: 66 linii nu au incaput si nu au fost "
              "exportate.\n");
    EXPECT_EQ(test::BiffCells(test::ReadFileBytes(dir.File("big.xls"))).size(), 65535u);
}

}  // namespace
}  // namespace orbelan
