// The command line's code pages: info says where the page came from, recode, --encoding utf-8.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "engine/codepage.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

int Orbelan(std::vector<std::string> args, std::string* out = nullptr) {
    std::ostringstream o, e;
    const int code = RunOrbelan(args, o, e);
    if (out) *out = o.str() + e.str();
    return code;
}

TEST(CodePageCli, InfoRecodeAndUtf8Exports) {
    test::TempDir dir;
    const std::string path = dir.File("t.dbf");
    const auto cp852 = CodePage::Get("cp852");
    test::WriteDbf(path, {{"NUME", 'C', 20}},
                   {{cp852->Encode("ŞTEFĂNESCU")}, {cp852->Encode("Ţăranu, Bârlad")}}, 0);
    std::string out;
    ASSERT_EQ(Orbelan({"info", path}, &out), 0) << out;
    EXPECT_NE(out.find("Cod de pagina: cp852 (detectat, "), std::string::npos) << out;

    // A dry run lists and writes nothing; without a terminal the question is answered NU.
    const std::string before = test::ReadFileBytes(path);
    EXPECT_EQ(Orbelan({"recode", path, "--to", "cp1252", "--dry-run"}, &out), 0);
    EXPECT_NE(out.find("Linia 1, NUME: \"ŞTEFĂNESCU"), std::string::npos) << out;
    EXPECT_EQ(Orbelan({"recode", path, "--to", "cp1252"}, &out), 2);
    EXPECT_EQ(test::ReadFileBytes(path), before);
    ASSERT_EQ(Orbelan({"recode", path, "--to", "cp1250"}, &out), 0) << out;
    ASSERT_EQ(Orbelan({"info", path}, &out), 0);
    EXPECT_NE(out.find("Cod de pagina: cp1250 (din antet)"), std::string::npos) << out;

    const std::string bom = "\xEF\xBB\xBF";
    ASSERT_EQ(Orbelan({"csv", path, "-o", dir.File("q.csv"), "--encoding", "utf-8"}, &out), 0)
        << out;
    EXPECT_EQ(test::ReadFileBytes(dir.File("q.csv")),
              bom + "NUME\r\nŞTEFĂNESCU\r\nŢăranu. Bârlad\r\n");
    ASSERT_EQ(
        Orbelan({"export", path, "--format", "csv", "-o", dir.File("e.csv"), "--encoding", "utf-8"},
                &out),
        0)
        << out;
    EXPECT_EQ(test::ReadFileBytes(dir.File("e.csv")).rfind(bom, 0), 0u);
    EXPECT_NE(test::ReadFileBytes(dir.File("e.csv")).find("ŞTEFĂNESCU"), std::string::npos);
    ASSERT_EQ(Orbelan({"export", path, "--format", "html", "-o", dir.File("e.html"), "--encoding",
                       "utf-8"},
                      &out),
              0);
    EXPECT_NE(test::ReadFileBytes(dir.File("e.html")).find("CHARSET=\"utf-8\""), std::string::npos);
    EXPECT_EQ(Orbelan({"csv", path, "-o", dir.File("x.csv"), "--encoding", "latin9"}, &out), 2);
}

}  // namespace
}  // namespace orbelan
