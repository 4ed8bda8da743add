// "Importa din CSV sau Excel..." on the large table's CSV (as `orbelan export --format csv`
// writes it) and on a 100,000-row workbook, beside ogr2ogr making a DBF from the same CSV.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "engine/field_list.h"
#include "export/export_command.h"
#include "importing/import_table.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

void Export(const std::string& table, TovExportType type, const std::string& out) {
    std::ostringstream sink;
    ConsoleMessages ui{sink};
    ConsolePlatform platform;
    Workspace ws{ui, platform};
    ws.ProgramDir = std::filesystem::path(table).parent_path().string() + "/";
    ws.CurrentFile = table;
    ws.OpenTable();
    ExportWindows none;
    TovDBGridExport exp(ui, none, platform);
    ExportToFile(ws, exp, type, out);
}

// The peak resident memory counted from here on.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void TimeImport(const char* what, const std::string& source, const std::string& target) {
    std::filesystem::remove(target);
    ResetPeak();
    const double before = StatusMb("VmRSS:");
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    auto s = OpenImportSource(source, {});
    const ImportPreview p = PreviewSource(*s, 100);
    const ImportOutcome o =
        ImportToNewTable(*s, p.columns, target, {}, [](const Misfits&) { return true; });
    const double ms = sw.Ms();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::vector<FieldDef> fields;
    for (const ColumnField& c : p.columns) fields.push_back(c.field);
    Report(what, ms,
           std::to_string(static_cast<long>(cpuMs)) + " ms processor, " + std::to_string(o.rows) +
               " rows, " + std::to_string(o.misfits.count) + " misfits, peak " +
               std::to_string(static_cast<int>(StatusMb("VmHWM:") - before)) + " MB over the " +
               std::to_string(static_cast<int>(before)) + " MB before; " + FormatFieldList(fields));
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long sheetRows = argc > 2 ? std::atol(argv[2]) : 100000;
    const std::string dir = BenchFolder() + "/orbelan_bench_import";
    std::filesystem::create_directories(dir);
    const std::string table = dir + "/persons.dbf";
    const std::string csv = dir + "/persons.csv";
    WritePersonsTable(table, rows);
    Export(table, xtCSV, csv);
    Report("CSV written (MB)", static_cast<double>(std::filesystem::file_size(csv) >> 20));
    TimeImport("import of the CSV", csv, dir + "/imported.dbf");

    std::filesystem::remove_all(dir + "/ogr");
    Stopwatch ogr;
    const std::string command =
        "ogr2ogr -f 'ESRI Shapefile' " + dir + "/ogr " + csv + " > /dev/null 2>&1";
    const int rc = std::system(command.c_str());
    Report("ogr2ogr, the same CSV to a DBF", ogr.Ms(), rc == 0 ? "" : "(ogr2ogr failed)");

    const std::string small = dir + "/sheet.dbf";
    WritePersonsTable(small, sheetRows);
    const std::string xlsx = dir + "/persons.xlsx";
    Export(small, xtXLSX, xlsx);
    TimeImport("import of the .xlsx", xlsx, dir + "/imported_sheet.dbf");
    std::filesystem::remove_all(dir);
    return 0;
}
