// A table named with Romanian letters, through the command line: the files written from it are
// compared with ones pinned in tests/data, so Linux and Windows must write the very same bytes.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

int RunCli(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::ostringstream o, e;
    const int code = RunOrbelan(args, o, e);
    if (out) *out = o.str();
    EXPECT_EQ(e.str(), "");
    return code;
}

std::string Data(const std::string& name) {
    return test::ReadFileBytes(std::string(ORBELAN_TEST_DATA) + "/" + name);
}

// Bytes 1-3 of a table's header are the date it was last written.
std::string WithoutDate(std::string table) {
    if (table.size() >= 4) table.replace(1, 3, 3, '\0');
    return table;
}

TEST(RomanianFileName, OpenedSortedAndExportedToPinnedBytes) {
    test::TempDir dir;
    const std::string table = dir.File("Şcoală Ţânţăreni.dbf");
    test::WriteFileBytes(table, Data("persoane.dbf"));

    std::string out;
    ASSERT_EQ(RunCli({"info", table}, &out), 0);
    EXPECT_NE(out.find("Şcoală Ţânţăreni.dbf\nVersiune: 0x03\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nLinii: 30\n"), std::string::npos) << out;
    ASSERT_EQ(RunCli({"show", table, "--format", "csv", "--limit", "2"}, &out), 0);
    EXPECT_EQ(out.substr(out.find('\n') + 1, 28), "STOICA,ELENA,2870506991005,S");

    ASSERT_EQ(RunCli({"sort", table, "NUME", "--yes"}), 0);
    EXPECT_EQ(WithoutDate(test::ReadFileBytes(table)),
              WithoutDate(Data("persoane_sorted_nume.dbf")));

    const std::string csv = dir.File("Ţânţăreni ieşire.csv");
    ASSERT_EQ(RunCli({"export", table, "--format", "csv", "-o", csv}), 0);
    EXPECT_EQ(test::ReadFileBytes(csv), Data("persoane_nume.csv"));
}

}  // namespace
}  // namespace orbelan
