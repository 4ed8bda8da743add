// The export engine on the large table, through the same code as "In diverse formate".
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "export/export_command.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

void TimeExport(const char* what, const std::string& path, TovExportType type,
                const std::string& out) {
    std::ostringstream sink;
    ConsoleUi ui{sink};
    ConsolePlatform platform;
    Workspace ws{ui, platform};
    ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
    ws.CurrentFile = path;
    ws.OpenTable();
    TovDBGridExport exp(ui, platform);
    const double before = AnonymousMb();
    Stopwatch sw;
    const int leftOut = ExportToFile(ws, exp, type, out);
    const double ms = sw.Ms();
    Report(what, ms,
           std::to_string(exp.RowsWritten()) + " rows written, " + std::to_string(leftOut) +
               " left out, " + std::to_string(std::filesystem::file_size(out) >> 20) +
               " MB file, +" + std::to_string(static_cast<int>(AnonymousMb() - before)) +
               " MB memory");
    std::filesystem::remove(out);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_bench_export.dbf";
    WritePersonsTable(path, rows);
    TimeExport("export to .xls (the rows that fit the sheet)", path, xtExcel,
               BenchFolder() + "/orbelan_bench_export.xls");
    std::filesystem::remove(path);
    return 0;
}
