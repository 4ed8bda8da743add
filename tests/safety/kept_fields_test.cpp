// Kept fields of a rewrite on tables other programs made oddly, and a rewrite without the memo
// file: the command copies each value by both fields' own widths, or refuses with the files as
// they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_app.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code;
    std::string out, err;
};

Outcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunOrbelan(args, out, err);
    return {code, out.str(), err.str()};
}

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = test::ReadFileBytes(e.path().string());
    return files;
}

// Field name -> text of each row, for the fields named.
std::map<std::string, std::vector<std::string>> Columns(const std::string& path,
                                                        const std::vector<std::string>& names) {
    const auto file = DbfFile::Open(path);
    std::map<std::string, std::vector<std::string>> out;
    for (const std::string& name : names)
        for (uint32_t r = 0; r < file->RecordCount(); ++r)
            out[name].push_back(file->Text(file->Record(r), file->FieldIndex(name), {}));
    return out;
}

// A FoxPro table with a memo (10-byte memo pointers) whose version byte says Visual FoxPro,
// where a memo pointer has 4 bytes.
std::string FoxProMemoCalledVisual(const test::TempDir& dir) {
    const std::string path = dir.File("fox.dbf");
    DbfWriter::Definition def;
    def.version = 0xF5;
    def.fields = {{"NUME", 'C', 10}, {"DATAN", 'D', 8}, {"OBS", 'M', 10}};
    DbfWriter w(path, def);
    const char* rows[][3] = {{"ANA", "01.02.2003", "primul text"},
                             {"DAN", "", ""},
                             {"EVA", "05.06.1999", "al treilea\r\ntext"}};
    for (const auto& row : rows) {
        w.BeginRow();
        for (int f = 0; f < 3; ++f) w.SetText(f, row[f], {});
        w.EndRow();
    }
    w.Commit();
    std::string bytes = test::ReadFileBytes(path);
    bytes[0] = '\x30';
    test::WriteFileBytes(path, bytes);
    return path;
}

// An integer field declared 10 bytes wide, last in the row.
std::string WideIntegerField(const test::TempDir& dir) {
    const std::string path = dir.File("wide.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"DATAN", 'D', 8}, {"X", 'I', 10}},
                   {{"ANA", "20030201", "1234567890"}, {"DAN", "", "          "}});
    return path;
}

TEST(KeptFields, CopiedByBothWidthsOrRefusedWithTheFilesUnchanged) {
    struct Case {
        const char* name;
        std::string (*table)(const test::TempDir&);
        std::vector<std::string> command;  // after the table's path
        std::vector<std::string> kept;     // fields that must read as before; empty: refused
    };
    const Case cases[] = {
        {"memo pointers narrower, drop",
         FoxProMemoCalledVisual,
         {"drop-column", "DATAN", "--yes"},
         {"NUME", "OBS"}},
        {"memo pointers narrower, date to number",
         FoxProMemoCalledVisual,
         {"date-to-number", "DATAN"},
         {"NUME", "OBS"}},
        {"10-byte I, drop", WideIntegerField, {"drop-column", "NUME", "--yes"}, {}},
        {"10-byte I, date to number", WideIntegerField, {"date-to-number", "DATAN"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = c.table(dir);
        const auto before = FolderFiles(dir.Path());
        std::vector<std::string> args = {c.command[0], path};
        args.insert(args.end(), c.command.begin() + 1, c.command.end());
        if (c.kept.empty()) {
            const Outcome r = RunCli(args);
            EXPECT_EQ(r.code, 4);
            EXPECT_NE(r.err.find("Campul X din tabelul " + path + " are lungimea 10"),
                      std::string::npos)
                << r.err << r.out;
            EXPECT_EQ(FolderFiles(dir.Path()), before);
            continue;
        }
        const auto values = Columns(path, c.kept);
        const Outcome r = RunCli(args);
        ASSERT_EQ(r.code, 0) << r.err << r.out;
        EXPECT_EQ(Columns(path, c.kept), values);
        EXPECT_EQ(values.at("OBS")[2], "al treilea\r\ntext");
    }
}

// Without its memo file a rewrite would write an empty one and lose every memo text for good.
TEST(KeptFields, RewriteOfATableWithoutItsMemoFileIsRefusedReadingStillWorks) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"sort", "NUME"},
                                                    {"drop-column", "CNP", "--yes"},
                                                    {"delete-rows", "--filter", "NR>4", "--yes"}}) {
        SCOPED_TRACE(command[0]);
        test::TempDir dir;
        const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
        const std::string memo = dir.File("dbase3_memo_cp1250.dbt");
        fs::remove(memo);
        const auto before = FolderFiles(dir.Path());
        std::vector<std::string> args = {command[0], path};
        args.insert(args.end(), command.begin() + 1, command.end());
        const Outcome r = RunCli(args);
        EXPECT_EQ(r.code, 4);
        // The memo file named as the system writes paths (Windows turns '/' into '\\').
        EXPECT_NE(r.err.find("fisierul memo "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("dbase3_memo_cp1250.dbt lipseste"), std::string::npos) << r.err;
        EXPECT_EQ(FolderFiles(dir.Path()), before);
        EXPECT_EQ(RunCli({"show", path, "--limit", "2"}).code, 0);
    }
}

}  // namespace
}  // namespace orbelan
