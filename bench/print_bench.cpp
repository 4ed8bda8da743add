// Print and PDF: 10,000 rows to PDF through the export engine, and the preview's first page of
// the large table (pages are laid out as they are shown, so it must not grow with the table).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "export/export_command.h"
#include "print/pdf_export.h"
#include "print/table_print.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

struct Opened {
    std::ostringstream sink;
    ConsoleMessages ui{sink};
    ConsolePlatform platform;
    Workspace ws{ui, platform};
    ExportWindows none;
    TovDBGridExport exp{ui, none, platform};
    explicit Opened(const std::string& path) {
        ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
        ws.CurrentFile = path;
        ws.OpenTable();
    }
};

void TimePdf(const std::string& path, long rows) {
    Opened o(path);
    const std::string out = BenchFolder() + "/orbelan_bench_print.pdf";
    const double before = AnonymousMb();
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    ExportToFile(o.ws, o.exp, xtPDF, out);
    const double ms = sw.Ms();
    // The machine may be shared: the processor time tells what the export itself costs.
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    Report((std::to_string(rows) + " rows to PDF").c_str(), ms,
           std::to_string(static_cast<long>(cpuMs)) + " ms processor, " +
               std::to_string(std::filesystem::file_size(out) >> 10) + " KB file, +" +
               std::to_string(static_cast<int>(AnonymousMb() - before)) + " MB memory");
    std::filesystem::remove(out);
}

void TimeFirstPage(const std::string& path, long rows) {
    Opened o(path);
    Stopwatch sw;
    BindExport(o.ws, o.exp, GridOfTable(o.ws.table));
    TablePages pages = LayOutTable(o.exp, o.exp.DBGrid);
    // The preview's page at 100%: 96 dots to the inch.
    const QRectF paper = pages.layout->Page().fullRect(QPageLayout::Point);
    QImage image(static_cast<int>(paper.width() * 96 / 72),
                 static_cast<int>(paper.height() * 96 / 72), QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(96 / 0.0254));
    image.setDotsPerMeterY(static_cast<int>(96 / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    pages.layout->Paint(painter, 0);
    painter.end();
    const double firstPage = sw.Ms();
    // The preview goes on laying out the rest while the first page is shown.
    const int count = pages.layout->PageCount();
    Report(("preview's first page, " + std::to_string(rows) + " rows").c_str(), firstPage,
           "then every page laid out after " + std::to_string(static_cast<long>(sw.Ms())) +
               " ms: " + std::to_string(count) + " pages");
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    static int qtArgc = 3;
    static char name[] = "print_bench", option[] = "-platform", platform[] = "offscreen";
    static char* qtArgv[] = {name, option, platform, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    InstallPdfExport();
    const std::string small = BenchFolder() + "/orbelan_bench_print10k.dbf";
    WritePersonsTable(small, 10000);
    TimePdf(small, 10000);
    TimeFirstPage(small, 10000);
    std::filesystem::remove(small);
    const std::string large = BenchFolder() + "/orbelan_bench_print.dbf";
    WritePersonsTable(large, rows);
    TimeFirstPage(large, rows);
    std::filesystem::remove(large);
    return 0;
}
