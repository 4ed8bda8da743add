// Every command that rewrites a table can be undone and redone, byte for byte, and nothing is
// restored over a table another program changed since.
#include <gtest/gtest.h>

#include "core/restore_points.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/console_ui.h"
#include "core/program_dir.h"
#include "core/workspace.h"
#include "editing/row_commands.h"
#include "importing/import_source.h"
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
    messages.assumeYes = true;  // the unreadable index taken off, as the commands' --yes does
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


// The index line of a table's newest restore point, field by field, and the files it names.
struct NewestPoint {
    fs::path index;
    std::vector<std::string> lines;
    std::vector<std::string> fields;  // of the last line

    explicit NewestPoint(const std::string& table) {
        const std::string wanted = "table\t" + fs::absolute(table).lexically_normal().string();
        for (const auto& e : fs::recursive_directory_iterator(fs::path(ProgramDataDir()) / "undo"))
            if (e.path().filename() == "index" &&
                test::ReadFileBytes(e.path().string()).rfind(wanted + "\n", 0) == 0)
                index = e.path();
        std::istringstream in(test::ReadFileBytes(index.string()));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::istringstream last(lines.back());
        for (std::string f; std::getline(last, f, '\t');) fields.push_back(f);
    }
    std::string KeptTable() const {
        return fields[13] + "before/" + fields[9].substr(0, fields[9].find('/'));
    }
    void Write() {
        std::string text, line;
        for (size_t i = 0; i + 1 < lines.size(); ++i) text += lines[i] + "\n";
        for (const std::string& f : fields) line += (line.empty() ? "" : "\t") + f;
        test::WriteFileBytes(index.string(), text + line + "\n");
    }
};

// A file's bytes changed in place, its time kept.
void Damage(const std::string& file, const std::function<void(std::string&)>& change) {
    const auto time = fs::last_write_time(file);
    std::string bytes = test::ReadFileBytes(file);
    change(bytes);
    test::WriteFileBytes(file, bytes);
    fs::last_write_time(file, time);
}

// Ways a restore point can come back damaged, each refused with nothing touched.
struct PointDamage {
    const char* name;
    const char* said;  // in the refusal
    void (*apply)(NewestPoint& p, const fs::path& elsewhere);
};

const PointDamage kDamages[] = {
    {"kept table truncated", "octeti in loc de",
     [](NewestPoint& p, const fs::path&) {
         Damage(p.KeptTable(), [](std::string& b) { b.pop_back(); });
     }},
    {"kept table with a flipped bit", "nu mai are continutul pastrat",
     [](NewestPoint& p, const fs::path&) {
         Damage(p.KeptTable(), [](std::string& b) { b[b.size() / 2] ^= 4; });
     }},
    {"folder outside the store", "nu este cel facut de program",
     [](NewestPoint& p, const fs::path& elsewhere) {
         // Without its closing separator: MinGW's copy finds no folder "1/".
         fs::copy(fs::path(p.fields[13]).parent_path(), elsewhere, fs::copy_options::recursive);
         p.fields[13] = elsewhere.string() + "/";
         p.Write();
     }},
    {"empty file list", "lista fisierelor",
     [](NewestPoint& p, const fs::path&) {
         p.fields[9].clear();
         p.Write();
     }},
    {"memo left out of the list and the stamp", "fisierul memo",
     [](NewestPoint& p, const fs::path&) {
         // The list and its stamp agree, the sizes too: only the kept table tells.
         std::string& list = p.fields[9];
         const size_t dot = list.find(".dbt");
         if (dot == std::string::npos) throw std::runtime_error("no memo in " + list);
         const size_t from = list.rfind('/', dot);
         const std::string memo = list.substr(from + 1, dot + 4 - from - 1);
         list.erase(from, memo.size() + 1);
         std::string& stamp = p.fields[11];
         const size_t at = stamp.find(memo + "/");
         const size_t end = stamp.find('|', at);
         const std::string entry = stamp.substr(at + memo.size() + 1, end - at - memo.size() - 1);
         p.fields[7] = std::to_string(std::stoull(p.fields[7]) - std::stoull(entry));
         stamp.erase(at, end + 1 - at);
         p.Write();
     }},
    {"id at the top of its range", "numarul ei",
     [](NewestPoint& p, const fs::path&) {
         p.fields[1] = "9223372036854775807";
         p.Write();
     }},
};

std::string Beside(const std::string& file, const std::string& name) {
    return (fs::path(file).parent_path() / name).string();
}

struct RewriteCase {
    const char* name;
    std::vector<std::string> (*args)(const std::string& table, const std::string& other);
    void (*window)(const std::string& table) = nullptr;  // a command the window alone has
    std::vector<std::string> gone = {};  // files of the old table the command removes
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
    {"append csv",
     [](auto& t, auto& o) {
         return std::vector<std::string>{"append", t, Beside(o, "rows.csv"), "--yes"};
     }},
    {"append xlsx",
     [](auto& t, auto& o) {
         return std::vector<std::string>{"append", t, Beside(o, "rows.xlsx"), "--yes"};
     }},
    {"alter",
     [](auto& t, auto&) {
         return std::vector<std::string>{"alter", t, "--add", "X C(3)", "--drop", "SUMA", "--yes"};
     }},
    {"replace",
     [](auto& t, auto&) {
         return std::vector<std::string>{"replace", t, "NUME", "PO", "PA", "--yes"};
     }},
    {"recode",
     [](auto& t, auto&) {
         return std::vector<std::string>{"recode", t, "--to", "cp852", "--yes"};
     }},
    {"import over the table",
     [](auto& t, auto& o) {
         return std::vector<std::string>{"import", Beside(o, "rows.csv"), "-o", t, "--yes"};
     },
     nullptr,
     {"dbase3_memo_cp1250.dbt", "dbase3_memo_cp1250.mdx"}},
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
        // Rows to append from a CSV file and a workbook, and a source to import over the table.
        test::WriteFileBytes(Beside(other_, "rows.csv"), "NUME;PRENUME;NR\nNOU;ION;99\n");
        std::string said;
        ASSERT_EQ(Orbelan({"export", other_, "--format", "xlsx", "-o", Beside(other_, "rows.xlsx")},
                          &said),
                  0)
            << said;
    }
    test::TempDir dir_, otherDir_;
    std::string table_, other_;
};

TEST_F(UndoCli, EveryRewriteIsUndoneAndRedoneByteForByte) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    // An index for the drop-index command: announced in the header, present beside it. The
    // program can't read it, so each command is told (--yes) to take it off; undo brings it back.
    std::string bytes = test::ReadFileBytes(table_);
    bytes[28] = 1;
    test::WriteFileBytes(table_, bytes);
    test::WriteFileBytes(dir_.File("dbase3_memo_cp1250.mdx"), std::string(1024, 'i'));
    const auto original = Files(dir_.Path());
    for (const RewriteCase& c : kRewrites) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "append xlsx" && !WorkbooksSupported()) continue;
        const auto before = Files(dir_.Path());
        std::string said;
        if (c.window) {
            c.window(table_);
        } else {
            std::vector<std::string> args = c.args(table_, other_);
            args.push_back("--yes");
            ASSERT_EQ(Orbelan(args, &said), 0) << said;
        }
        const auto after = Files(dir_.Path());
        ASSERT_NE(after, before);
        for (const std::string& f : c.gone) EXPECT_EQ(after.count(f), 0u) << f;
        // A damaged point is refused: the table, the point and every file elsewhere stay.
        for (const PointDamage& d : kDamages) {
            SCOPED_TRACE(d.name);
            NewestPoint point(table_);
            const std::string index = test::ReadFileBytes(point.index.string());
            // The kept table is damaged in a copy and put back by rename: its time stays to the
            // last digit, which MinGW's last_write_time can't set (it writes whole seconds).
            const std::string kept = point.KeptTable(), saved = kept + ".saved";
            fs::rename(kept, saved);
            fs::copy_file(saved, kept);
            const fs::path elsewhere = otherDir_.Path() / "elsewhere";
            d.apply(point, elsewhere);
            const auto elsewhereFiles =
                fs::exists(elsewhere) ? Files(elsewhere / "before") : decltype(after){};
            const std::string damagedIndex = test::ReadFileBytes(point.index.string());
            EXPECT_EQ(Orbelan({"undo", table_}, &said), 4) << said;
            EXPECT_NE(said.find(d.said), std::string::npos) << said;
            EXPECT_NE(said.find("au ramas asa cum sunt"), std::string::npos) << said;
            EXPECT_TRUE(Files(dir_.Path()) == after);
            EXPECT_EQ(test::ReadFileBytes(point.index.string()), damagedIndex);
            if (fs::exists(elsewhere)) {
                EXPECT_TRUE(Files(elsewhere / "before") == elsewhereFiles);
                fs::remove_all(elsewhere);
            }
            test::WriteFileBytes(point.index.string(), index);
            fs::remove(kept);
            fs::rename(saved, kept);
        }
        ASSERT_EQ(Orbelan({"undo", table_}, &said), 0) << said;
        EXPECT_TRUE(Files(dir_.Path()) == before);
        ASSERT_EQ(Orbelan({"redo", table_}, &said), 0) << said;
        EXPECT_TRUE(Files(dir_.Path()) == after);
        ASSERT_EQ(Orbelan({"undo", table_}, &said), 0) << said;  // the next case starts from here
        EXPECT_TRUE(Files(dir_.Path()) == original);
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
        EXPECT_TRUE(Files(dir_.Path()) == changed);
        // A fresh table for the next case: the refused point is dropped by a new command.
        fs::remove_all(dir_.Path());
        fs::create_directories(dir_.Path());
        table_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        ASSERT_EQ(Orbelan({"sort", table_, "NUME", "--no-undo"}), 0);
        EXPECT_EQ(Orbelan({"undo", table_}), 2);
    }
}

TEST_F(UndoCli, MalformedIndexLineMakesOnlyItsPointUnusable) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const fs::path victim = otherDir_.Path() / "victim";
    const struct {
        const char* name;
        std::string (*line)(const std::string& store, const fs::path& victim);
    } kLines[] = {
        {"pending swap with empty file lists",
         [](const std::string& store, const fs::path&) {
             return "point\t7\t0\t1\t0\t0\t0\t0\t0\t\t\t\t\t" + store + "7/\tSortare";
         }},
        {"id at the top of its range",
         [](const std::string& store, const fs::path&) {
             return "point\t9223372036854775807\t0\t0\t0\t0\t0\t0\t0\tT.DBF\tT.DBF\t\t\t" +
                    store + "9223372036854775807/\tSortare";
         }},
        {"numbers that are not numbers",
         [](const std::string&, const fs::path&) { return std::string("point\tdoi\tx\t\t"); }},
        {"folder outside the store",
         [](const std::string&, const fs::path& v) {
             return "point\t8\t0\t0\t0\t0\t0\t0\t0\tT.DBF\tT.DBF\t\t\t" + v.string() +
                    "/\tSortare";
         }},
    };
    for (const auto& c : kLines) {
        SCOPED_TRACE(c.name);
        fs::remove_all(victim);
        fs::create_directories(victim / "after");
        test::WriteFileBytes((victim / "after" / "T.DBF").string(), "not ours");
        std::string said;
        ASSERT_EQ(Orbelan({"sort", table_, "NUME"}, &said), 0) << said;
        const auto sorted = Files(dir_.Path());
        NewestPoint point(table_);
        const std::string store = point.fields[13].substr(0, point.fields[13].size() - 2);
        test::WriteFileBytes(point.index.string(), test::ReadFileBytes(point.index.string()) +
                                                       c.line(store, victim) + "\n");
        // Read, refused, and nothing touched; the table stays fully usable.
        EXPECT_EQ(Orbelan({"history", table_}, &said), 0) << said;
        EXPECT_NE(said.find("\tnu poate fi folosita: "), std::string::npos) << said;
        EXPECT_EQ(Orbelan({"undo", table_}, &said), 4) << said;
        EXPECT_NE(said.find("nu poate fi folosita"), std::string::npos) << said;
        EXPECT_TRUE(Files(dir_.Path()) == sorted);
        ASSERT_EQ(Orbelan({"sort", table_, "PRENUME"}, &said), 0) << said;
        ASSERT_EQ(Orbelan({"undo", table_}, &said), 0) << said;
        EXPECT_TRUE(Files(dir_.Path()) == sorted);
        // Dropping every point removes only folders the program made.
        ASSERT_EQ(Orbelan({"sort", table_, "NR", "--no-undo"}, &said), 0) << said;
        EXPECT_EQ(Orbelan({"undo", table_}), 2);
        EXPECT_EQ(test::ReadFileBytes((victim / "after" / "T.DBF").string()), "not ours");
    }
}

// In-place writes of the command line join the table's history: the command before them can
// still be undone, unless another program changed the table first.
TEST_F(UndoCli, InPlaceWritesKeepThePointsUsable) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const struct {
        const char* name;
        bool otherProgramFirst;
        std::vector<std::string> write;
        const char* says = "";
    } kCases[] = {
        {"set", false, {"set", "", "2", "NUME", "ALTUL"}},
        {"set of a memo", false, {"set", "", "1", "OBS", "un memo nou"}},
        {"recall", false, {"recall", ""}, "2 linii recuperate"},
        {"set after another program's change", true, {"set", "", "2", "NUME", "ALTUL"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string original = test::ReadFileBytes(table_);
        std::string said;
        // A command that keeps the deleted rows, for recall to bring back.
        ASSERT_EQ(Orbelan({"sql", "UPDATE \"" + table_ + "\" SET NR = 1"}, &said), 0) << said;
        if (c.otherProgramFirst) {
            Damage(table_, [](std::string& b) { b[b.size() - 3] ^= 1; });
            fs::last_write_time(table_, fs::last_write_time(table_) + std::chrono::seconds(5));
        }
        std::vector<std::string> write = c.write;
        write[1] = table_;
        ASSERT_EQ(Orbelan(write, &said), 0) << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        // The rows written since would go with the command: the undo asks, and is answered DA.
        EXPECT_EQ(Orbelan({"undo", table_, "--yes"}, &said), c.otherProgramFirst ? 4 : 0) << said;
        if (c.otherProgramFirst) {
            EXPECT_NE(said.find("schimbat de alt program"), std::string::npos) << said;
            break;  // the table is no longer the original
        }
        // The table as before the command; a memo text set since stays in the memo file.
        EXPECT_TRUE(test::ReadFileBytes(table_) == original);
    }
}

}  // namespace
}  // namespace orbelan
