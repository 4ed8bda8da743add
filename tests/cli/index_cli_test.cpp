// Index files kept current by every command, the question before one is left behind, and the
// commands that read and write them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/cli_run.h"
#include "engine/file_io.h"
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

// Copies files of tests/data/indexes (their names as the programs wrote them) into dir.
std::string CopyIndexData(const test::TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        std::filesystem::copy_file(std::filesystem::path(ORBELAN_TEST_DATA) / "indexes" / n,
                                   dir.Path() / n);
    return dir.File(names[0]);
}

// A Visual FoxPro table with a structural index on UPPER(NUME)+DTOS(DATAN).
std::string IndexedTable(const test::TempDir& dir) {
    const std::string path = dir.File("p.dbf");
    EXPECT_EQ(Orbelan({"create", path, "NUME C(20); DATAN D; NR N(5)", "--format", "vfp"}).code, 0);
    test::WriteFileBytes(dir.File("s.csv"),
                         "NUME,DATAN,NR\npopescu,01.02.1990,3\nIONESCU,05.06.1980,1\n"
                         "AVRAM,07.07.2000,2\nPopescu,01.01.1970,4\n");
    EXPECT_EQ(Orbelan({"append", path, dir.File("s.csv")}).code, 0);
    const CliRun add = Orbelan({"index", path, "--add", "NUME", "UPPER(NUME)+DTOS(DATAN)"});
    EXPECT_EQ(add.code, 0) << add.err;
    return path;
}

// The keys as the independent reader walks them (key|record a line); empty when it is missing.
std::string PeerKeys(const std::string& cdx) {
    const std::string command = "perl -MXBase::Index -e 'my $i = XBase::Index->new(\"" + cdx +
                                "\", tag => \"NUME\", type => \"char\") or exit 3; "
                                "$i->prepare_select; while (my @d = $i->fetch) "
                                "{ print join(\"|\", @d), \"\\n\" }' 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        if (::pclose(p) != 0) return {};
    }
    return out;
}

TEST(IndexCli, EveryChangeLeavesTheIndexCurrent) {
    struct Case {
        const char* name;
        std::vector<std::vector<std::string>> runs;  // FILE replaced by the table's path
    };
    const std::vector<Case> cases = {
        {"posted value", {{"set", "FILE", "2", "NUME", "ZAHARIA"}}},
        {"appended rows", {{"append", "FILE", "CSV"}}},
        {"deleted and recalled rows",
         {{"delete-rows", "FILE", "--filter", "NR=2", "--yes"}, {"recall", "FILE"}}},
        {"replace", {{"replace", "FILE", "NUME", "PO", "XO", "--yes"}}},
        {"sort", {{"sort", "FILE", "NR"}}},
        {"alter", {{"alter", "FILE", "--add", "X N(3)", "--yes"}}},
        {"pack",
         {{"delete-rows", "FILE", "--filter", "NR>2", "--yes"},
          {"drop-column", "FILE", "NR", "--yes"}}},
        {"undo and redo", {{"sort", "FILE", "NR"}, {"undo", "FILE"}, {"redo", "FILE", "--yes"}}},
        {"reindex", {{"reindex", "FILE"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = IndexedTable(dir);
        for (std::vector<std::string> args : c.runs) {
            for (std::string& a : args) {
                if (a == "FILE") a = path;
                if (a == "CSV") a = dir.File("s.csv");
            }
            const CliRun r = Orbelan(args);
            ASSERT_EQ(r.code, 0) << args[0] << ": " << r.out << r.err;
        }
        const CliRun check = Orbelan({"check-index", path});
        EXPECT_EQ(check.code, 0) << check.out << check.err;
        // The tag's order is the rows' own: UPPER(NUME) then the date.
        const CliRun ordered = Orbelan({"show", path, "--order", "NUME", "--format", "csv"});
        ASSERT_EQ(ordered.code, 0) << ordered.err;
        std::vector<std::string> rows = Lines(ordered.out);
        rows.erase(rows.begin());
        std::vector<std::string> sorted = rows;
        const auto key = [](const std::string& row) {
            std::string k = row.substr(0, row.find(','));
            for (char& ch : k) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            const std::string date = row.substr(row.find(',') + 1, 10);  // dd.MM.yyyy
            return k + "\x01" + date.substr(6, 4) + date.substr(3, 2) + date.substr(0, 2);
        };
        std::stable_sort(
            sorted.begin(), sorted.end(),
            [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
        EXPECT_EQ(rows, sorted);
        // The independent reader finds a key for every record (deleted ones included).
        const std::string peer = PeerKeys(dir.File("p.cdx"));
        if (!peer.empty()) {
            const CliRun all = Orbelan({"show", path, "--deleted", "--format", "csv"});
            EXPECT_EQ(Lines(peer).size(), Lines(all.out).size() - 1) << peer;
        }
    }
}

TEST(IndexCli, FilterThroughATagKeepsTheRowsOfTheScan) {
    test::TempDir dir;
    const std::string path = IndexedTable(dir);
    const std::vector<std::string> filters = {"NUME='popescu'", "NUME='Popescu'",
                                              "NUME='PO*'",     "[NUME] = 'AVRAM'",
                                              "NUME='Z*'",      "NUME='IONESCU '"};
    std::vector<std::string> scanned;
    for (const std::string& f : filters)
        scanned.push_back(Orbelan({"show", path, "--filter", f, "--format", "csv"}).out);
    for (const char* expression : {"NUME", "UPPER(NUME)"}) {
        SCOPED_TRACE(expression);
        ASSERT_EQ(Orbelan({"index", path, "--add", "T", expression}).code, 0);
        for (size_t i = 0; i < filters.size(); ++i)
            EXPECT_EQ(Orbelan({"show", path, "--filter", filters[i], "--format", "csv"}).out,
                      scanned[i])
                << filters[i];
        ASSERT_EQ(Orbelan({"index", path, "--drop", "T"}).code, 0);
    }
}

TEST(IndexCli, TagWeCannotKeepIsAskedAboutAndNuChangesNothing) {
    test::TempDir dir;
    const std::string path = CopyIndexData(dir, {"TEST10K.DBF", "TEST10K.CDX"});
    const std::string cdx = dir.File("TEST10K.CDX");
    const std::string before = test::ReadFileBytes(path), index = test::ReadFileBytes(cdx);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", path, "1", "STATE", "XX"},
          std::vector<std::string>{"sort", path, "AGE"}}) {
        const CliRun r = Orbelan(args);
        EXPECT_EQ(r.code, 2) << r.out << r.err;
        EXPECT_NE(r.out.find("CITY (CITY)"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("va trebui sa-si refaca indexul"), std::string::npos) << r.out;
        EXPECT_EQ(test::ReadFileBytes(path), before);
        EXPECT_EQ(test::ReadFileBytes(cdx), index);
    }
    // DA: the index is taken off, and undo puts the old files back.
#ifdef _WIN32
    GTEST_SKIP() << "On Windows the index is not yet taken off by the command that asked.";
#endif
    const CliRun yes = Orbelan({"set", path, "1", "STATE", "XX", "--yes"});
    ASSERT_EQ(yes.code, 0) << yes.out << yes.err;
    EXPECT_EQ(test::ReadFileBytes(path)[28] & 1, 0);
    EXPECT_FALSE(FileExists(cdx));
    const CliRun undo = Orbelan({"undo", path, "--yes"});  // the value set after it goes too
    ASSERT_EQ(undo.code, 0) << undo.out << undo.err;
    EXPECT_EQ(test::ReadFileBytes(cdx), index);
    EXPECT_EQ(test::ReadFileBytes(path)[28] & 1, 1);
}

TEST(IndexCli, IndexFoundWhateverItsLetterCaseListedAndDroppedUndoably) {
    test::TempDir dir;
    const std::string path = CopyIndexData(dir, {"customers.dbf", "Customers.CDX"});
    const CliRun r = Orbelan({"info", path});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Customers.CDX (CDX, structural)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  CUSTOMERID: customerid [candidat]"), std::string::npos) << r.out;
    // "Sterge Index" finds it too, and its undo brings back both files as they were.
    const std::string table = test::ReadFileBytes(path);
    const std::string index = test::ReadFileBytes(dir.File("Customers.CDX"));
    ASSERT_EQ(Orbelan({"drop-index", path}).code, 0);
    EXPECT_FALSE(FileExists(dir.File("Customers.CDX")));
    EXPECT_EQ(test::ReadFileBytes(path)[28] & 1, 0);
    ASSERT_EQ(Orbelan({"undo", path}).code, 0);
    EXPECT_EQ(test::ReadFileBytes(path), table);
    EXPECT_EQ(test::ReadFileBytes(dir.File("Customers.CDX")), index);
}

TEST(IndexCli, RewriteFailingAtAnyRenameKeepsTableAndIndexTogether) {
    test::TempDir dir;
    const std::string path = IndexedTable(dir);
    const std::string table = test::ReadFileBytes(path),
                      index = test::ReadFileBytes(dir.File("p.cdx"));
    for (int k = 0; k < 4; ++k) {
        IoFaults().Reset();
        IoFaults().failRenameAfter = k;
        const CliRun r = Orbelan({"sort", path, "NR", "--no-undo"});
        IoFaults().Reset();
        if (r.code == 0) break;  // no k-th rename left to fail
        EXPECT_EQ(test::ReadFileBytes(path), table) << k;
        EXPECT_EQ(test::ReadFileBytes(dir.File("p.cdx")), index) << k;
    }
    EXPECT_EQ(Orbelan({"check-index", path}).code, 0);
}

}  // namespace
}  // namespace orbelan
