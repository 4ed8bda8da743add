// Code pages on the large table: the page guess at opening, the sort by NUME in Romanian order
// (compare with the byte-order sort of the version before it) and the conversion to cp852.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "editing/recode_command.h"
#include "engine/dbf_file.h"
#include "engine/order_by.h"

using namespace orbelan;
using namespace orbelan::bench;

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_bench_codepage.dbf";
    WritePersonsTable(path, rows);

    // The same table without its page byte: the page is guessed at every opening.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(29);
        f.put('\0');
    }
    double best = 1e9;
    std::string page;
    for (int run = 0; run < 5; ++run) {
        Stopwatch sw;
        const auto file = DbfFile::Open(path);
        best = std::min(best, sw.Ms());
        page = file->Info().codePage + " " + std::to_string(file->Info().pageConfidence) + "%";
    }
    Report("open with the page guessed (best of 5)", best, page);

    const auto file = DbfFile::Open(path);
    best = 1e9;
    for (int run = 0; run < 3; ++run) {
        Stopwatch sw;
        const auto order = OrderedRecords(*file, 0);
        best = std::min(best, sw.Ms());
    }
    Report("order by NUME (best of 3)", best, std::to_string(file->RecordCount()) + " rows");

    std::ostringstream sink;
    ConsoleMessages messages{sink};
    messages.assumeYes = true;
    ConsolePlatform platform;
    Workspace ws{messages, platform};
    ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
    ws.CurrentFile = path;
    ws.OpenTable();
    Stopwatch sw;
    ConvertTable(ws, "cp852");
    Report("convert to cp852 (one rewrite)", sw.Ms(), ws.table.Header().codePage);
    ws.CloseTable();
    std::filesystem::remove(path);
}
