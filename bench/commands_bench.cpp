// The main window's long commands on the large table, through the same code as the window.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "bench/bench_session.h"
#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cleaning/append_table.h"
#include "cleaning/cnp_commands.h"
#include "cleaning/column_transforms.h"
#include "cleaning/quick_csv.h"
#include "cleaning/row_set_commands.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "editing/filter_commands.h"
#include "editing/replace_command.h"
#include "editing/row_commands.h"
#include "editing/sort_command.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

const char* g_only = nullptr;  // run only the cases whose description holds this text

void TimeCommand(const char* what, const std::string& path, const std::string& column,
                 void (*command)(Session&)) {
    if (g_only && !std::strstr(what, g_only)) return;
    Session s(path, std::filesystem::path(path).parent_path().string() + "/");
    s.column = column;
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    command(s);
    const double ms = sw.Ms();
    // The processor time too: on a shared machine the wall time says more about the others.
    const long cpuMs = static_cast<long>((std::clock() - cpu) * 1000 / CLOCKS_PER_SEC);
    Report(
        what, ms,
        std::to_string(s.ws.table.RecordCount()) + " rows, cpu " + std::to_string(cpuMs) + " ms");
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (argc > 2) g_only = argv[2];
    const std::string path = BenchFolder() + "/orbelan_bench_commands.dbf";
    WritePersonsTable(path, rows);

    const std::string csv = BenchFolder() + "/orbelan_bench_quick.csv";
    TimeCommand("quick CSV of every row (In format CSV)", path, "", [](Session& s) {
        const std::string out = BenchFolder() + "/orbelan_bench_quick.csv";
        WriteQuickCsv(s.ws, out);
        std::printf("  (%.1f MB written)\n", double(std::filesystem::file_size(out)) / 1e6);
    });
    std::filesystem::remove(csv);
    TimeCommand("filter NUME='IONEL*' (filter box)", path, "",
                [](Session& s) { SwitchFilter(s.ws, true, "NUME='IONEL*'"); });
    TimeCommand("sort by NUME (title click, flush included)", path, "",
                [](Session& s) { SortByColumn(s.ws, 0); });
    TimeCommand("renumber TELEFON down from the first row", path, "TELEFON", [](Session& s) {
        s.ws.table.First();
        CopyDown(s.ws, s.column, CopyDownMode::Renumber);
    });
    TimeCommand("copy OCUPATIE down from the first row", path, "OCUPATIE", [](Session& s) {
        s.ws.table.First();
        CopyDown(s.ws, s.column, CopyDownMode::Copy);
    });
    TimeCommand("check every CNP", path, "", [](Session& s) {
        const auto invalid = FindInvalidCnp(s.ws.table, s.ws.table.FieldIndexOrThrow("CNP"));
        std::printf("  (%zu invalid codes)\n", invalid.size());
    });
    TimeCommand("extract the year (column added, one rewrite)", path, "CNP",
                [](Session& s) { ExtractBirthYear(s.ws, s.column); });
    TimeCommand("extract the date (column added, one rewrite)", path, "CNP",
                [](Session& s) { ExtractBirthDate(s.ws, s.column); });

    // Column transforms and row-set commands, each on a fresh table with a column GRUP of
    // 100,000 values repeated 10 times.
    const auto fresh = [&] { WritePersonsTable(path, rows, 42, std::max(1L, rows / 10)); };
    fresh();
    TimeCommand("split ADRESA into PRENUME_ (column added)", path, "ADRESA",
                [](Session& s) { SplitNames(s.ws, s.column); });
    TimeCommand("date to number DATANASTER (one rewrite)", path, "DATANASTER",
                [](Session& s) { DateColumnToNumber(s.ws, s.column); });
    TimeCommand("swap NUME and PRENUME", path, "",
                [](Session& s) { SwapColumns(s.ws, "NUME", "PRENUME"); });
    TimeCommand("drop the column EMAIL", path, "EMAIL",
                [](Session& s) { DeleteColumn(s.ws, s.column); });
    fresh();
    TimeCommand("duplicates of GRUP (100,000 values x 10)", path, "GRUP", [](Session& s) {
        std::printf("  (%d rows deleted)\n", DeleteDuplicateRows(s.ws, s.column));
    });
    fresh();
    TimeCommand("replace 'str.' by 'Strada' in ADRESA (every row)", path, "ADRESA", [](Session& s) {
        std::printf("  (%d values replaced)\n",
                    ReplaceAll(s.ws, {s.column, "str.", "Strada"}).replaced);
    });
    TimeCommand("replace whole 'Deva' by 'DEVA' in every text column", path, "", [](Session& s) {
        ReplaceRequest r{"", "Deva", "DEVA", true, true};
        std::printf("  (%d values replaced)\n", ReplaceAll(s.ws, r).replaced);
    });
    TimeCommand("delete displayed rows, filter NUME='POPA'", path, "", [](Session& s) {
        s.ws.table.SetFilterText("NUME='POPA'");
        s.ws.table.SetFiltered(true);
        std::printf("  (%d rows deleted)\n", DeleteDisplayedRows(s.ws));
    });
    TimeCommand("count the deleted rows", path, "",
                [](Session& s) { std::printf("  (%d deleted)\n", s.ws.table.CountDeleted()); });
    TimeCommand("delete displayed rows, filter off (all)", path, "", [](Session& s) {
        std::printf("  (%d rows deleted)\n", DeleteDisplayedRows(s.ws));
    });

    const std::string source = BenchFolder() + "/orbelan_bench_source.dbf";
    WritePersonsTable(source, rows, 7);
    TimeCommand("append every row of another table", path, "", [](Session& s) {
        AppendFromTable(s.ws, BenchFolder() + "/orbelan_bench_source.dbf");
    });
    std::filesystem::remove(source);
    std::filesystem::remove(path);
    return 0;
}
