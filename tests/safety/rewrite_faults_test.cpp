// Every command that replaces a table, failed at each write, flush, rename, removal and reopening
// it makes, once and from then on: the table and its memo stay the old files byte for byte, or
// the command says it succeeded and both are the complete new ones. Never a mix, never a scratch
// file left behind, never a failure kept quiet.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_app.h"
#include "engine/dbf_file.h"
#include "engine/file_io.h"
#include "importing/import_source.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

struct Files {
    std::map<std::string, std::string> bytes;  // every file of the folder, by name
    bool operator==(const Files&) const = default;
};

Files FolderFiles(const fs::path& folder) {
    Files f;
    for (const auto& e : fs::directory_iterator(folder))
        f.bytes[e.path().filename().string()] = test::ReadFileBytes(e.path().string());
    return f;
}

// The new files and, beside them, the old memo file that a table without memo fields left: its
// removal is best effort.
bool StaleMemoBeside(const Files& now, const Files& after, const Files& before,
                     const std::string& memo) {
    if (after.bytes.count(memo) || !now.bytes.count(memo)) return false;
    Files rest = now;
    rest.bytes.erase(memo);
    return rest == after && now.bytes.at(memo) == before.bytes.at(memo);
}

// The new files and, beside them, the old index file whose removal failed: the table is packed,
// and the failure to remove the index is reported.
bool IndexLeftBeside(const Files& now, const Files& after, const Files& before) {
    for (const auto& [name, bytes] : before.bytes) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".mdx") continue;
        if (after.bytes.count(name) || !now.bytes.count(name) || now.bytes.at(name) != bytes)
            return false;
        Files rest = now;
        rest.bytes.erase(name);
        return rest == after;
    }
    return false;
}

std::string Names(const Files& f) {
    std::string s;
    for (const auto& [name, bytes] : f.bytes) s += name + " ";
    return s;
}

// Every field of every row, deleted ones too; throws or marks what can't be read.
std::string Reading(const std::string& path) {
    const auto file = DbfFile::Open(path);
    std::string out;
    for (uint32_t r = 0; r < file->RecordCount(); ++r) {
        out += file->IsDeleted(r) ? '*' : ' ';
        for (int f = 0; f < file->FieldCount(); ++f) {
            const std::string text = file->Text(file->Record(r), f, FormatSettings{});
            if (text.rfind("<memo ilizibil", 0) == 0) throw std::runtime_error(text);
            out += text + '|';
        }
        out += '\n';
    }
    return out;
}

struct Outcome {
    int code;
    std::string out, err;
};

struct Command {
    const char* name;
    // The arguments after "orbelan", given the table's path.
    std::function<std::vector<std::string>(const std::string& table)> args;
    // Made to the fresh table before anything is looked at (drop-index needs an index).
    std::function<void(const std::string& table)> prepare = nullptr;
};

// The header's production-index flag set and the index file beside, as a table with an index.
void MarkIndexed(const std::string& table) {
    std::string bytes = test::ReadFileBytes(table);
    bytes[28] = 1;
    test::WriteFileBytes(table, bytes);
    test::WriteFileBytes(table.substr(0, table.size() - 4) + ".mdx", "index");
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

const std::vector<Command>& Commands() {
    static test::TempDir sources;  // outside the table's folder, which is compared file by file
    static const std::string source = sources.CopyData("dbase3_memo_cp1250.dbf");
    // Rows with a memo text, a date and a number, and a value that does not fit (asked).
    static const std::string csv = [] {
        const std::string path = sources.File("linii.csv");
        test::WriteFileBytes(path,
                             "NUME;SUMA;DATAN;OBS\r\n\xC8\x98tefan;12,5;01.02.2020;memo nou\r\n"
                             "Ana;x;;\r\nPop;3;2021-12-31;\"doua\r\nlinii\"\r\n");
        return path;
    }();
    // Values for two rows by their CNP (a new column and an existing one), and a new row.
    static const std::string byCnp = [] {
        const std::string path = sources.File("dupa_cnp.csv");
        test::WriteFileBytes(path,
                             "CNP;ADRESA;SUMA;NUME\r\n1000101990013;Str. Noua 1;1,5;POPESCU\r\n"
                             "5000229990017;Deva;;X\r\n1900101990016;;2;NOU\r\n");
        return path;
    }();
    static const test::TempDir workbooks;  // outside the table's folder, like source
    static const std::string xlsx = workbooks.CopyData("append_rows.xlsx");
    static const std::string xls = workbooks.CopyData("append_rows.xls");
    static const std::vector<Command> commands = {
        {"sort",
         [](const std::string& t) {
             return std::vector<std::string>{"sort", t, "NUME"};
         }},
        {"alter add",
         [](const std::string& t) {
             return std::vector<std::string>{"sql", "ALTER TABLE " + Quoted(t) + " ADD X CHAR(3)"};
         }},
        {"alter drop",
         [](const std::string& t) {
             return std::vector<std::string>{"sql", "ALTER TABLE " + Quoted(t) + " DROP DATAN"};
         }},
        {"alter add memo",
         [](const std::string& t) {
             return std::vector<std::string>{"sql", "ALTER TABLE " + Quoted(t) + " ADD OBS2 MEMO"};
         }},
        {"update",
         [](const std::string& t) {
             return std::vector<std::string>{"sql", "UPDATE " + Quoted(t) + " SET NR = 1"};
         }},
        {"update memo",
         [](const std::string& t) {
             return std::vector<std::string>{"sql", "UPDATE " + Quoted(t) + " SET OBS = 'nou'"};
         }},
        {"drop memo column",
         [](const std::string& t) {
             return std::vector<std::string>{"drop-column", t, "OBS", "--yes"};
         }},
        {"date to number",
         [](const std::string& t) {
             return std::vector<std::string>{"date-to-number", t, "DATAN"};
         }},
        {"swap",
         [](const std::string& t) {
             return std::vector<std::string>{"swap", t, "NUME", "PRENUME", "--yes"};
         }},
        {"split name",
         [](const std::string& t) {
             return std::vector<std::string>{"split-name", t, "NUME"};
         }},
        {"append",
         [](const std::string& t) {
             return std::vector<std::string>{"append", t, source};
         }},
        {"append from .xlsx",
         [](const std::string& t) {
             return std::vector<std::string>{"append", t, xlsx};
         }},
        {"append from .xls",
         [](const std::string& t) {
             return std::vector<std::string>{"append", t, xls};
         }},
        {"append csv",
         [](const std::string& t) {
             return std::vector<std::string>{"append", t, csv, "--yes"};
         }},
        {"fill",
         [](const std::string& t) {
             return std::vector<std::string>{
                 "fill", t, byCnp, "--key", "CNP", "--take", "ADRESA,SUMA", "--always", "--yes"};
         }},
        {"append only new",
         [](const std::string& t) {
             return std::vector<std::string>{"append",     t,      byCnp, "--key", "CNP",
                                             "--only-new", "--yes"};
         }},
        {"drop index (pack)",
         [](const std::string& t) {
             return std::vector<std::string>{"drop-index", t};
         },
         MarkIndexed},
        {"delete rows",
         [](const std::string& t) {
             return std::vector<std::string>{"delete-rows", t, "--filter", "NR>4", "--yes"};
         }},
        {"dedupe",
         [](const std::string& t) {
             return std::vector<std::string>{"dedupe", t, "ACTIV", "--yes"};
         }},
        {"structure",
         [](const std::string& t) {
             return std::vector<std::string>{"alter",  t,         "--set",    "NUME C(40)",
                                             "--set",  "NR C(6)", "--rename", "CNP=COD",
                                             "--move", "SUMA=1",  "--set",    "DATAN C(4)",
                                             "--add",  "OBS2 M",  "--yes"};
         }},
        // Into a page without ş ţ ă: the text read afterwards differs, so old and new tell apart.
        {"recode",
         [](const std::string& t) {
             return std::vector<std::string>{"recode", t, "--to", "cp437", "--yes"};
         }},
        {"replace",
         [](const std::string& t) {
             return std::vector<std::string>{"replace", t,        "--all-columns",
                                             "linia",   "randul", "--yes"};
         }},
    };
    return commands;
}

struct Fault {
    const char* name;
    int FileIoFaults::*counter;
    int FileIoFaults::*calls;
};

const Fault kFaults[] = {
    {"write", &FileIoFaults::failWriteAfter, &FileIoFaults::writes},
    {"sync", &FileIoFaults::failSyncAfter, &FileIoFaults::syncs},
    {"rename", &FileIoFaults::failRenameAfter, &FileIoFaults::renames},
    {"remove", &FileIoFaults::failRemoveAfter, &FileIoFaults::removes},
    {"reopen", &FileIoFaults::failReopenAfter, &FileIoFaults::reopens},
};

class RewriteFaults : public ::testing::Test {
  protected:
    void TearDown() override { IoFaults().Reset(); }

    // A fresh copy of the memo table in a fresh folder; its path.
    std::string FreshTable() {
        dir_ = std::make_unique<test::TempDir>();
        return dir_->CopyData("dbase3_memo_cp1250.dbf");
    }
    Outcome Run(const Command& c, const std::string& table) {
        std::ostringstream out, err;
        const int code = RunOrbelan(c.args(table), out, err);
        return {code, out.str(), err.str()};
    }

    std::unique_ptr<test::TempDir> dir_;
};

TEST_F(RewriteFaults, EveryCommandAtEveryFailurePointLeavesOldOrNewNeverAMix) {
    int cases = 0;
    for (const Command& command : Commands()) {
        SCOPED_TRACE(command.name);
        if (std::string(command.name).find("from .xls") != std::string::npos &&
            !WorkbooksSupported())
            continue;
        // A clean run: the new files, and how many calls of each kind the command makes.
        std::string table = FreshTable();
        if (command.prepare) command.prepare(table);
        const std::string memo = "dbase3_memo_cp1250.dbt";
        const Files before = FolderFiles(dir_->Path());
        const std::string oldReading = Reading(table);
        IoFaults().Reset();
        const Outcome clean = Run(command, table);
        const FileIoFaults counted = IoFaults();
        IoFaults().Reset();
        ASSERT_EQ(clean.code, 0) << clean.err;
        const Files after = FolderFiles(dir_->Path());
        const std::string newReading = Reading(table);
        ASSERT_NE(newReading, oldReading);
        ASSERT_NE(after, before);

        for (const Fault& fault : kFaults) {
            for (const bool persistent : {false, true}) {
                for (int n = 0; n < counted.*fault.calls; ++n) {
                    SCOPED_TRACE(std::string(fault.name) + (persistent ? " from call " : " call ") +
                                 std::to_string(n));
                    ++cases;
                    table = FreshTable();
                    if (command.prepare) command.prepare(table);
                    IoFaults().*fault.counter = n;
                    IoFaults().persistent = persistent;
                    const Outcome r = Run(command, table);
                    IoFaults().Reset();
                    const Files now = FolderFiles(dir_->Path());
                    std::string reading;
                    EXPECT_NO_THROW(reading = Reading(table)) << "the table no longer reads";
                    if (now == before) {
                        EXPECT_NE(r.code, 0) << "a failure reported as success";
                        // It names the table or its memo file.
                        EXPECT_NE(r.err.find(table.substr(0, table.size() - 3)), std::string::npos)
                            << "unnamed: " << r.err;
                    } else if (now == after || StaleMemoBeside(now, after, before, memo)) {
                        // A fault the command could step over: the removal of a memo file the
                        // new table no longer names.
                        EXPECT_EQ(r.code, 0) << "done, but reported as failed: " << r.err << r.out;
                        EXPECT_EQ(reading, newReading);
                    } else if (IndexLeftBeside(now, after, before)) {
                        EXPECT_NE(r.code, 0) << "a failure reported as success";
                        EXPECT_NE(r.err.find(".mdx"), std::string::npos) << "unnamed: " << r.err;
                        EXPECT_EQ(reading, newReading);
                    } else {
                        ADD_FAILURE() << "neither the old files nor the new: " << Names(now)
                                      << "\ncode " << r.code << ": " << r.err;
                    }
                }
            }
        }
    }
    RecordProperty("cases", cases);
    std::printf("%d command x failure point cases\n", cases);
}

// A new table: at every failure point either nothing at all is left in the folder, and the
// failure is reported, or the whole table and its memo file.
TEST_F(RewriteFaults, CreateLeavesNothingOrTheWholeTable) {
    const auto create = [&](const std::string& table) {
        std::ostringstream out, err;
        const int code = RunOrbelan({"create", table, "NUME C(30); OBS M"}, out, err);
        return Outcome{code, out.str(), err.str()};
    };
    dir_ = std::make_unique<test::TempDir>();
    IoFaults().Reset();
    ASSERT_EQ(create(dir_->File("NOU.DBF")).code, 0);
    const FileIoFaults counted = IoFaults();
    const Files whole = FolderFiles(dir_->Path());
    ASSERT_EQ(whole.bytes.size(), 2u);
    for (const Fault& fault : kFaults) {
        for (int n = 0; n < counted.*fault.calls; ++n) {
            SCOPED_TRACE(std::string(fault.name) + " call " + std::to_string(n));
            dir_ = std::make_unique<test::TempDir>();
            IoFaults().*fault.counter = n;
            const Outcome r = create(dir_->File("NOU.DBF"));
            IoFaults().Reset();
            const Files now = FolderFiles(dir_->Path());
            if (now.bytes.empty()) {
                EXPECT_NE(r.code, 0) << "a failure reported as success";
                EXPECT_NE(r.err.find("NOU."), std::string::npos) << "unnamed: " << r.err;
            } else {
                EXPECT_EQ(r.code, 0) << r.err;
                EXPECT_EQ(now.bytes.size(), 2u) << Names(now);
            }
        }
    }
}

}  // namespace
}  // namespace orbelan
