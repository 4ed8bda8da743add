// .xls workbooks are read by a process of their own: whatever happens to it, the program gets
// either the cells or a clear refusal, and goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "importing/field_proposal.h"
#include "importing/import_source.h"
#include "support/temp_dir.h"
#include "support/workbook_builder.h"

#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
#include "importing/xls_process.h"

namespace orbelan {
namespace {

class XlsTest : public ::testing::Test {
  protected:
    void TearDown() override { XlsReader() = {}; }
    std::string Xls() const { return dir.CopyData("persoane.xls"); }
    // A stand-in for the reading process: a shell script.
    std::string StandIn(const std::string& body) const {
        const std::string path = dir.File("reader.sh");
        test::WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
    test::TempDir dir;
};

TEST_F(XlsTest, CellsComeBackFromTheReadingProcessAndReadTwice) {
    auto s = OpenImportSource(Xls(), {"Persoane", 0, ""});
    EXPECT_EQ(s->sheetNames, std::vector<std::string>{"Persoane"});
    const std::vector<std::string> rows{"1:Nume|Suma|Nascut|Venit",
                                        "2:Ştefan Ănuţa|12|01.01.1990|01.03.2024 10:30",
                                        "4:Ion|2.5|01.01.2000"};
    EXPECT_EQ(test::SourceRows(*s), rows);
    s->Rewind();
    EXPECT_EQ(test::SourceRows(*s), rows);
    try {
        OpenImportSource(Xls(), {"Lipsa", 0, ""});
        ADD_FAILURE() << "a missing sheet was read";
    } catch (const DbfError& e) {
        EXPECT_NE(std::string(e.what()).find("nu are foaia Lipsa (foile: Persoane)"),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(XlsTest, AReaderThatFailsInAnyWayMakesTheFileUnreadable) {
    const struct {
        std::string script;
        int seconds;
        size_t maxBytes;
        std::string says;
    } cases[] = {
        {"kill -SEGV $$", 10, 1 << 20, "s-a oprit (semnalul 11)"},
        {"exit 3", 10, 1 << 20, "s-a oprit (codul 3)"},
        {"exec sleep 30", 1, 1 << 20, "a depasit 1 de secunde"},
        {"exec yes", 10, 1 << 20, "peste 1 MB"},
        {"printf 'N\\001\\000\\000\\000A'", 10, 1 << 20, "a trimis date gresite"},  // cut short
        {"printf 'N\\377\\377\\377\\377A'", 10, 1 << 20, "a trimis date gresite"},
        {"printf 'N\\001\\000\\000\\000AS\\000\\000\\000\\000R\\000\\000\\000\\000\\001\\000"
         "\\000\\000\\000\\000fABCDEF\\360\\177E'",
         10, 1 << 20, "Celula A1 din foaia A are o valoare care nu este un numar"},
        {"printf 'N\\001\\000\\000\\000AS\\000\\000\\000\\000R\\000\\000\\000\\000\\001\\000"
         "\\000\\000\\000\\000d\\012\\000\\000\\0002024-02-30E'",
         10, 1 << 20, "are data 2024-02-30, care nu exista"},
    };
    for (const auto& c : cases) {
        XlsReader() = {StandIn(c.script), c.seconds, c.maxBytes};
        try {
            auto s = OpenImportSource(Xls(), {});
            test::SourceRows(*s);
            ADD_FAILURE() << c.script << " was read";
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.script << "\n"
                                                                             << e.what();
        }
    }
    XlsReader() = {dir.File("none")};
    EXPECT_THROW(OpenImportSource(Xls(), {}), DbfError);
}

TEST_F(XlsTest, AWorkbookThatOverrunsFreexlIsReadOrRefusedButNeverStopsTheProgram) {
    // Under the address sanitizer freexl reads before a buffer of its own on this file.
    try {
        auto s = OpenImportSource(dir.CopyData("xls_iconv_underflow.xls"), {});
        test::SourceRows(*s);
    } catch (const DbfError& e) {
        EXPECT_NE(std::string(e.what()).find("xls_iconv_underflow.xls"), std::string::npos);
    }
}

}  // namespace
}  // namespace orbelan
#endif
