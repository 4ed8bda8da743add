// The export engine on the large table, through the same code as "In diverse formate".
#include <cstdlib>
#include <ctime>
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

std::string only;  // a format name from the command line: time just that one

void TimeExport(const char* what, const std::string& path, TovExportType type,
                const std::string& out) {
    if (!only.empty() && out.substr(out.rfind('.') + 1) != only) return;
    std::ostringstream sink;
    ConsoleMessages ui{sink};
    ConsolePlatform platform;
    Workspace ws{ui, platform};
    ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
    ws.CurrentFile = path;
    ws.OpenTable();
    ExportWindows none;
    TovDBGridExport exp(ui, none, platform);
    const double before = AnonymousMb();
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    const int leftOut = ExportToFile(ws, exp, type, out);
    const double ms = sw.Ms();
    // The machine may be shared: the processor time tells what the export itself costs.
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    Report(what, ms,
           std::to_string(static_cast<long>(cpuMs)) + " ms processor, " +
               std::to_string(exp.RowsWritten()) + " rows written, " + std::to_string(leftOut) +
               " left out, " + (exp.ClosingNote().empty() ? "" : exp.ClosingNote() + ", ") +
               std::to_string(std::filesystem::file_size(out) >> 20) + " MB file, +" +
               std::to_string(static_cast<int>(AnonymousMb() - before)) + " MB memory, " +
               std::to_string(static_cast<int>(FileMb())) + " MB of mapped files resident");
    std::filesystem::remove(out);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (argc > 2) only = argv[2];
    const std::string path = BenchFolder() + "/orbelan_bench_export.dbf";
    WritePersonsTable(path, rows);
    const std::string out = BenchFolder() + "/orbelan_bench_export.";
    TimeExport("export to .xls (the rows that fit the sheet)", path, xtExcel, out + "xls");
    TimeExport("export to .xlsx (every row, typed)", path, xtXLSX, out + "xlsx");
    TimeExport("export to CSV", path, xtCSV, out + "csv");
    TimeExport("export to tab-separated text", path, xtTAB, out + "tab.txt");
    TimeExport("export to fixed-width text", path, xtTXT, out + "txt");
    TimeExport("export to HTML", path, xtHTML, out + "html");
    TimeExport("export to RTF", path, xtRTF, out + "rtf");
    TimeExport("export to DIF", path, xtDIF, out + "dif");
    TimeExport("export to SYLK", path, xtSYLK, out + "slk");
    std::filesystem::remove(path);
    return 0;
}
