// The main window's long commands on the large table, through the same code as the window.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cleaning/append_table.h"
#include "cleaning/cnp_commands.h"
#include "cleaning/quick_csv.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "editing/filter_commands.h"
#include "editing/row_commands.h"
#include "editing/sort_command.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

struct Session {
    std::ostringstream sink;
    ConsoleUi ui{sink};
    ConsolePlatform platform;
    Workspace ws{ui, platform};

    explicit Session(const std::string& path) {
        ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
        ws.CurrentFile = path;
        ws.OpenTable();
    }
};

void TimeCommand(const char* what, const std::string& path, const std::string& column,
                 void (*command)(Session&)) {
    Session s(path);
    s.ui.presetColumn = column;
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    command(s);
    const double ms = sw.Ms();
    const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
    char extra[64];
    std::snprintf(extra, sizeof extra, "%d rows, cpu %.1f ms", s.ws.Tx.RecordCount(), cpuMs);
    Report(what, ms, extra);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_bench_commands.dbf";
    WritePersonsTable(path, rows);

    const std::string csv = BenchFolder() + "/orbelan_bench_quick.csv";
    TimeCommand("quick CSV of every row (In format CSV)", path, "", [](Session& s) {
        const std::string out = BenchFolder() + "/orbelan_bench_quick.csv";
        WriteQuickCsv(s.ws, out);
        std::printf("  (%.1f MB written)\n", double(std::filesystem::file_size(out)) / 1e6);
    });
    std::filesystem::remove(csv);
    TimeCommand("filter NUME='IONEL*' (filter box)", path, "", [](Session& s) {
        s.ui.SetFilterText("NUME='IONEL*'");
        FiltruEKeyDown(s.ws, 13);
    });
    TimeCommand("sort by NUME (title click, flush included)", path, "",
                [](Session& s) { Grid1TitleClick(s.ws, 0); });
    TimeCommand("renumber TELEFON down from the first row", path, "TELEFON", [](Session& s) {
        s.ws.Tx.First();
        CopieVClick(s.ws, CopyDownMode::Renumber);
    });
    TimeCommand("copy OCUPATIE down from the first row", path, "OCUPATIE", [](Session& s) {
        s.ws.Tx.First();
        CopieVClick(s.ws, CopyDownMode::Copy);
    });
    TimeCommand("check every CNP", path, "", [](Session& s) {
        const auto invalid = FindInvalidCnp(s.ws.Tx, s.ws.Tx.FieldIndexOrThrow("CNP"));
        std::printf("  (%zu invalid codes)\n", invalid.size());
    });
    TimeCommand("extract the year (ALTER TABLE included)", path, "CNP",
                [](Session& s) { AnDinCNP(s.ws); });
    TimeCommand("extract the date (ALTER TABLE included)", path, "CNP",
                [](Session& s) { ExtrageDatadinCNP(s.ws); });
    const std::string source = BenchFolder() + "/orbelan_bench_source.dbf";
    WritePersonsTable(source, rows, 7);
    TimeCommand("append every row of another table", path, "", [](Session& s) {
        AppendFromTable(s.ws, BenchFolder() + "/orbelan_bench_source.dbf");
    });
    std::filesystem::remove(source);
    std::filesystem::remove(path);
    return 0;
}
