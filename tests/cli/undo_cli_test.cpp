// Every command that rewrites a table can be undone and redone, byte for byte, and nothing is
// restored over a table another program changed since.
#include <gtest/gtest.h>

#include "core/restore_points.h"

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/console_ui.h"
#include "core/program_dir.h"
#include "core/workspace.h"
#include "editing/row_commands.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

int Orbelan(std::vector<std::string> args, std::string* out = nullptr) {
    std::ostringstream o, e;
    const int code = RunOrbelan(args, o, e);
    if (out) *out = o.str() + e.str();
    return code;
}

// Every file of the folder, by name (the table, its memo and index files).
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            files[e.path().filename().string()] = test::ReadFileBytes(e.path().string());
    return files;
}

// The window's copy down and renumber, on the row the cursor is on.
void CopyDownInWindow(const std::string& table, CopyDownMode mode) {
    std::ostringstream sink;
    ConsoleMessages messages(sink);
    ConsolePlatform platform;
    Workspace ws(messages, platform);
    ws.ProgramDir = ProgramDataDir();
    ws.CurrentFile = table;
    ws.OpenTable();
    ws.table.First();
    ws.table.Next();
    CopyDown(ws, "NR", mode);
    ws.CloseTable();
}

struct RewriteCase {
    const char* name;
    std::vector<std::string> (*args)(const std::string& table, const std::string& other);
    void (*window)(const std::string& table) = nullptr;  // a command the window alone has
};

const RewriteCase kRewrites[] = {
    {"sort",
     [](auto& t, auto&) {
         return std::vector<std::string>{"sort", t, "NUME"};
     }},
    {"extract-year",
     [](auto& t, auto&) {
         return std::vector<std::string>{"extract-year", t, "CNP"};
     }},
    {"extract-date",
     [](auto& t, auto&) {
         return std::vector<std::string>{"extract-date", t, "CNP"};
     }},
    {"drop-column",
     [](auto& t, auto&) {
         return std::vector<std::string>{"drop-column", t, "OBS", "--yes"};
     }},
    {"split-name",
     [](auto& t, auto&) {
         return std::vector<std::string>{"split-name", t, "NUME"};
     }},
    {"date-to-number",
     [](auto& t, auto&) {
         return std::vector<std::string>{"date-to-number", t, "DATAN"};
     }},
    {"swap",
     [](auto& t, auto&) {
         return std::vector<std::string>{"swap", t, "NUME", "PRENUME", "--yes"};
     }},
    {"dedupe",
     [](auto& t, auto&) {
         return std::vector<std::string>{"dedupe", t, "ACTIV", "--yes"};
     }},
    {"delete-rows",
     [](auto& t, auto&) {
         return std::vector<std::string>{"delete-rows", t, "--filter", "NR>2", "--yes"};
     }},
    {"drop-index",
     [](auto& t, auto&) {
         return std::vector<std::string>{"drop-index", t};
     }},
    {"append",
     [](auto& t, auto& o) {
         return std::vector<std::string>{"append", t, o};
     }},
    {"sql alter",
     [](auto& t, auto&) {
         return std::vector<std::string>{"sql", "ALTER TABLE \"" + t + "\" ADD X CHAR(3)"};
     }},
    {"sql update",
     [](auto& t, auto&) {
         return std::vector<std::string>{"sql", "UPDATE \"" + t + "\" SET OBS = 'nou'"};
     }},
    {"copy down", nullptr, [](const std::string& t) { CopyDownInWindow(t, CopyDownMode::Copy); }},
    {"renumber", nullptr,
     [](const std::string& t) { CopyDownInWindow(t, CopyDownMode::Renumber); }},
};

class UndoCli : public ::testing::Test {
  protected:
    void SetUp() override {
        table_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        other_ = otherDir_.CopyData("dbase3_memo_cp1250.dbf");
        // An index for the drop-index command: announced in the header, present beside it.
        std::string bytes = test::ReadFileBytes(table_);
        bytes[28] = 1;
        test::WriteFileBytes(table_, bytes);
        test::WriteFileBytes(dir_.File("dbase3_memo_cp1250.mdx"), std::string(1024, 'i'));
    }
    test::TempDir dir_, otherDir_;
    std::string table_, other_;
};

TEST_F(UndoCli, EveryRewriteIsUndoneAndRedoneByteForByte) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const auto original = Files(dir_.Path());
    for (const RewriteCase& c : kRewrites) {
        SCOPED_TRACE(c.name);
        const auto before = Files(dir_.Path());
        std::string said;
        if (c.window)
            c.window(table_);
        else
            ASSERT_EQ(Orbelan(c.args(table_, other_), &said), 0) << said;
        const auto after = Files(dir_.Path());
        ASSERT_NE(after, before);
        ASSERT_EQ(Orbelan({"undo", table_}, &said), 0) << said;
        EXPECT_EQ(Files(dir_.Path()), before);
        ASSERT_EQ(Orbelan({"redo", table_}, &said), 0) << said;
        EXPECT_EQ(Files(dir_.Path()), after);
        ASSERT_EQ(Orbelan({"undo", table_}, &said), 0) << said;  // the next case starts from here
        EXPECT_EQ(Files(dir_.Path()), original);
    }
    // Everything undone: nothing more to undo (exit 2); the history lists what can be redone.
    EXPECT_EQ(Orbelan({"undo", table_}), 2);
    std::string history;
    EXPECT_EQ(Orbelan({"history", table_}, &history), 0);
    EXPECT_NE(history.find("Renumerotare in jos"), std::string::npos) << history;
    EXPECT_NE(history.find("anulata"), std::string::npos) << history;
}

TEST_F(UndoCli, TableChangedByAnotherProgramIsNotRestoredOver) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const struct {
        const char* name;
        void (*change)(const std::string& table);
    } kChanges[] = {
        {"longer",
         [](const std::string& t) { test::WriteFileBytes(t, test::ReadFileBytes(t) + "x"); }},
        {"one byte, same size and time",
         [](const std::string& t) {
             const auto time = fs::last_write_time(t);
             std::string bytes = test::ReadFileBytes(t);
             bytes[bytes.size() - 2] ^= 1;
             test::WriteFileBytes(t, bytes);
             fs::last_write_time(t, time);
         }},
        {"memo removed",
         [](const std::string& t) { fs::remove(fs::path(t).replace_extension(".dbt")); }},
    };
    for (const auto& c : kChanges) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Orbelan({"sort", table_, "NUME"}), 0);
        c.change(table_);
        const auto changed = Files(dir_.Path());
        std::string said;
        EXPECT_EQ(Orbelan({"undo", table_}, &said), 4);
        EXPECT_NE(said.find("schimbat de alt program"), std::string::npos) << said;
        EXPECT_EQ(Files(dir_.Path()), changed);
        // A fresh table for the next case: the refused point is dropped by a new command.
        fs::remove_all(dir_.Path());
        fs::create_directories(dir_.Path());
        table_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        ASSERT_EQ(Orbelan({"sort", table_, "NUME", "--no-undo"}), 0);
        EXPECT_EQ(Orbelan({"undo", table_}), 2);
    }
}

}  // namespace
}  // namespace orbelan
