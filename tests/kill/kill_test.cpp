// A process killed (SIGKILL) anywhere in a sort or an ALTER TABLE of a large table with a memo
// leaves a table that reads whole, as it was or as the command makes it. Each run forks a child
// that runs the command as `orbelan` would and kills itself: at a random moment (a thread
// sleeping a random time) or at a random call of the file seam (write, flush, rename). The
// scratch copies a kill leaves go with the next rewrite.
//
// ORBELAN_KILL_RUNS runs per command (default 10), on a table of ORBELAN_KILL_ROWS rows
// (default 100000); tools/kill_test.sh runs the long form.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli/console_ui.h"
#include "core/program_dir.h"
#include "core/restore_points.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Names in a shuffled order, a number, and a memo text on every 50th row.
void WriteTable(const std::string& path, int rows) {
    DbfWriter::Definition def;
    def.fields = {FieldDef{"NUME", 'C', 20}, FieldDef{"NR", 'N', 8}, FieldDef{"OBS", 'M', 10}};
    DbfWriter w(path, def);
    const FormatSettings format;
    std::mt19937 rng(7);
    char text[32];
    for (int r = 0; r < rows; ++r) {
        w.BeginRow();
        std::snprintf(text, sizeof text, "N%u", static_cast<unsigned>(rng() % 1000000000u));
        w.SetText(0, text, format);
        w.SetText(1, std::to_string(r), format);
        if (r % 50 == 0) {
            std::snprintf(text, sizeof text, "memo %d ", r);
            w.SetMemo(2, std::string(text).append(static_cast<size_t>(r % 700), 'x'));
        }
        w.EndRow();
    }
    w.Commit();
}

// FNV-1a over every field of every row; throws when the table can't be read.
uint64_t ReadingHash(const std::string& path) {
    const auto file = DbfFile::Open(path);
    uint64_t h = 1469598103934665603ull;
    std::string text;
    const auto mix = [&](std::string_view s) {
        for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    for (uint32_t r = 0; r < file->RecordCount(); ++r) {
        const uint8_t* rec = file->Record(r);
        mix(std::string_view(reinterpret_cast<const char*>(rec), 1));
        for (int f = 0; f < file->FieldCount(); ++f) {
            text.clear();
            file->AppendText(text, rec, f, FormatSettings{});
            if (text.rfind("<memo ilizibil", 0) == 0)
                throw std::runtime_error("unreadable memo in row " + std::to_string(r));
            mix(text);
        }
    }
    return h;
}

// Every file of the folder, by name.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            files[e.path().filename().string()] = test::ReadFileBytes(e.path().string());
    return files;
}

// The window opening the table to edit it.
void OpenForWriting(const std::string& table) {
    std::ostringstream sink;
    ConsoleMessages messages(sink);
    ConsolePlatform platform;
    Workspace ws(messages, platform);
    ws.ProgramDir = ProgramDataDir();
    ws.CurrentFile = table;
    ws.OpenTable();
    ws.CloseTable();
}

// Set in the child only, before the command starts.
long g_killAtCall = -1;
void KillAtCall() {
    if (g_killAtCall-- == 0) raise(SIGKILL);
}

struct Child {
    bool killed;
    double seconds;
    long calls;  // seam calls seen (when it finished)
};

// Runs the command in a child process. killAfterUs >= 0: a thread kills it then; killAtCall >=
// 0: the seam kills it at that call. A child that finishes reports its seam calls through a pipe.
Child RunChild(const std::vector<std::string>& args, long killAfterUs, long killAtCall) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        IoFaults().Reset();  // count this command's calls only
        if (killAfterUs >= 0)
            std::thread([killAfterUs] {
                std::this_thread::sleep_for(std::chrono::microseconds(killAfterUs));
                raise(SIGKILL);
            }).detach();
        if (killAtCall >= 0) {
            g_killAtCall = killAtCall;
            IoFaults().onCall = KillAtCall;
        }
        std::ostringstream out, err;
        const int code = RunOrbelan(args, out, err);
        const FileIoFaults& f = IoFaults();
        const long calls = f.writes + f.syncs + f.renames + f.removes + f.reopens;
        if (write(fds[1], &calls, sizeof calls) != sizeof calls) _exit(3);
        if (code != 0) std::fputs(err.str().c_str(), stderr);
        _exit(code);
    }
    close(fds[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    Child c{};
    c.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    c.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!c.killed) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        if (read(fds[0], &c.calls, sizeof c.calls) != sizeof c.calls) c.calls = 0;
    }
    close(fds[0]);
    return c;
}

int ScratchCount(const fs::path& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder))
        n += e.path().filename().string()[0] == '.';
    return n;
}

void CopyFolder(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directory(to);
    for (const auto& e : fs::directory_iterator(from))
        fs::copy_file(e.path(), to / e.path().filename());
}

struct KillCase {
    const char* name;
    std::vector<std::string> (*args)(const std::string& table);
    // Run on each fresh copy before the command (which then goes from that table to another).
    void (*prepare)(const std::string& table) = nullptr;
    bool leavesScratch = true;  // a late kill leaves scratch copies beside the table
    bool indexed = false;       // the table has an index, which must agree with it after a kill
    friend void PrintTo(const KillCase& c, std::ostream* os) { *os << c.name; }
};

class KillTest : public ::testing::TestWithParam<KillCase> {};

TEST_P(KillTest, EveryKilledRunLeavesTheOldOrTheNewTable) {
    const int runs = EnvInt("ORBELAN_KILL_RUNS", 10);
    const int rows = EnvInt("ORBELAN_KILL_ROWS", 100000);
    test::TempDir dir;
    const fs::path master = dir.Path() / "master", work = dir.Path() / "work";
    fs::create_directory(master);
    WriteTable((master / "T.DBF").string(), rows);
    const std::string table = (work / "T.DBF").string();
    const std::vector<std::string> args = GetParam().args(table);

    const auto copyAfresh = [&] {
        CopyFolder(master, work);
        if (GetParam().prepare) GetParam().prepare(table);
    };
    copyAfresh();
    const uint64_t oldHash = ReadingHash(table);
    const Child clean = RunChild(args, -1, -1);
    ASSERT_FALSE(clean.killed);
    const uint64_t newHash = ReadingHash(table);
    ASSERT_NE(oldHash, newHash);
    ASSERT_GT(clean.calls, 0);

    std::mt19937 rng(std::random_device{}());
    int killed = 0, killedByTime = 0, old = 0, fresh = 0, leftovers = 0;
    for (int run = 0; run < runs; ++run) {
        copyAfresh();
        // Even runs: a random moment up to a little past the clean run's time. Odd runs: a
        // random seam call, every other one among the last few (the flushes and renames).
        const bool byTime = run % 2 == 0;
        const long limitUs = static_cast<long>(clean.seconds * 1.1e6) + 1;
        const long tail = std::min<long>(clean.calls, 8);
        long at = 0;
        if (byTime)
            at = static_cast<long>(rng() % static_cast<unsigned long>(limitUs));
        else if (run % 4 == 1)
            at = static_cast<long>(rng() % static_cast<unsigned long>(clean.calls));
        else
            at = clean.calls - tail + static_cast<long>(rng() % static_cast<unsigned long>(tail));
        const Child c = byTime ? RunChild(args, at, -1) : RunChild(args, -1, at);
        SCOPED_TRACE(std::string("run ") + std::to_string(run) +
                     (byTime ? " after us " : " at call ") + std::to_string(at));
        killed += c.killed;
        killedByTime += c.killed && byTime;
        uint64_t h = 0;
        ASSERT_NO_THROW(h = ReadingHash(table));
        EXPECT_TRUE(h == oldHash || h == newHash) << "a table neither old nor new";
        // Reading the restore points changes nothing; the next opening of the table for
        // writing finishes what the kill cut short, once: still old or new.
        const auto left = FolderBytes(work);
        std::ostringstream out, err;
        EXPECT_EQ(RunOrbelan({"history", table}, out, err), 0) << err.str();
        EXPECT_TRUE(FolderBytes(work) == left) << "reading the history changed the table";
        OpenForWriting(table);
        ASSERT_NO_THROW(h = ReadingHash(table));
        EXPECT_TRUE(h == oldHash || h == newHash) << "neither old nor new once finished";
        if (GetParam().indexed) {
            std::ostringstream said, failed;
            EXPECT_EQ(RunOrbelan({"check-index", table}, said, failed), 0)
                << "the index does not follow the table: " << said.str() << failed.str();
        }
        const RestorePoints points(ProgramDataDir(), table);
        for (const RestorePoint& p : points.Points())
            EXPECT_FALSE(p.pending) << "a swap left pending after opening";
        old += h == oldHash;
        fresh += h == newHash;
        leftovers += ScratchCount(work);
    }
    std::printf(
        "%s: %d rows, clean run %.2f s, %ld seam calls; %d runs, %d killed (%d at a random "
        "moment, %d at a seam call), %d old, "
        "%d new, %d scratch files left by the kills\n",
        GetParam().name, rows, clean.seconds, clean.calls, runs, killed, killedByTime,
        killed - killedByTime, old, fresh, leftovers);

    if (!GetParam().leavesScratch) return;
    // A kill late in the command leaves scratch copies; the next rewrite of the table (a sort,
    // valid on the old table and the new one) removes them once they are old enough.
    int left = 0;
    for (long at = clean.calls - 1; at >= 0 && left == 0; --at) {
        copyAfresh();
        RunChild(args, -1, at);
        left = ScratchCount(work);
    }
    ASSERT_GT(left, 0);
    IoFaults().scratchClockShift = 24 * 60 * 60;
    std::ostringstream out, err;
    EXPECT_EQ(RunOrbelan({"sort", table, "NUME"}, out, err), 0) << err.str();
    IoFaults().Reset();
    EXPECT_EQ(ScratchCount(work), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, KillTest,
    ::testing::Values(
        KillCase{"sort",
                 [](const std::string& t) {
                     return std::vector<std::string>{"sort", t, "NUME"};
                 }},
        KillCase{
            "alter",
            [](const std::string& t) {
                return std::vector<std::string>{"sql", "ALTER TABLE \"" + t + "\" ADD X CHAR(3)"};
            }},
        // Undo of a sort: the restore point made afresh for each copy.
        KillCase{"undo",
                 [](const std::string& t) {
                     return std::vector<std::string>{"undo", t};
                 },
                 [](const std::string& t) {
                     fs::remove_all(fs::path(ProgramDataDir()) / "undo");
                     std::ostringstream out, err;
                     if (RunOrbelan({"sort", t, "NUME"}, out, err) != 0)
                         throw std::runtime_error(err.str());
                 },
                 false},
        // A sort of a table with a production index: the new index is swapped with the table.
        KillCase{"indexed_sort",
                 [](const std::string& t) {
                     return std::vector<std::string>{"sort", t, "NUME"};
                 },
                 [](const std::string& t) {
                     std::ostringstream out, err;
                     if (RunOrbelan({"index", t, "--add", "NUME", "UPPER(NUME)"}, out, err) != 0)
                         throw std::runtime_error(err.str());
                 },
                 true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbelan
