// Form letters for every row of the benchmark table with a one-page template, through the same
// code as the window's "Toate liniile afisate".
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "letters/form_letters.h"
#include "letters/rtf_replace.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

// A one-page letter: a header as a word processor writes it, a letterhead, a few paragraphs
// that use every column, and a signature block.
std::string OnePageTemplate() {
    std::string t =
        "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1048\r\n"
        "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset238 Times New Roman;}{\\f1\\fswiss Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
        "{\\*\\generator Writer;}\\paperw11906\\paperh16838\\margl1418\\margr1134\r\n"
        "\\pard\\plain\\f0\\fs24\\sa120 {\\b PRIMARIA MUNICIPIULUI [LOCALITATE]}\r\n"
        "\\par Serviciul de evidenta a persoanelor\r\n"
        "\\par Nr. ........ din ........\r\n"
        "\\par\\pard\\qc\\sb360\\sa360 {\\b\\fs28 INSTIINTARE}\r\n"
        "\\par\\pard\\qj\\fi567\\sa120 Catre domnul/doamna [NUME] [Prenume], nascut(a) la "
        "[DataNaster], cod numeric personal [CNP], cu domiciliul in [Localitate], [Adresa].\r\n";
    for (int i = 0; i < 8; ++i)
        t += "\\par Va aducem la cunostinta ca, potrivit evidentelor noastre, suma de [SUMA] lei "
             "figureaza ca datorata la data prezentei. Va rugam sa va prezentati la sediul "
             "nostru, cu actul de identitate, in termen de 30 de zile.\r\n";
    t += "\\par Ocupatia declarata: [ocupatie]. Telefon: [TELEFON]. Posta electronica: [email]. "
         "Activ: [ACTIV].\r\n"
         "\\par\\pard\\sb720\\tx6237 Primar,\\tab Secretar,\r\n"
         "\\par ....................\\tab ....................\r\n"
         "\\par }\r\n";
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::string folder = BenchFolder();
    const std::string table = folder + "/orbelan_bench_letters.dbf";
    const std::string model = folder + "/orbelan_bench_model.rtf";
    const std::string output = folder + "/orbelan_bench_letters.rtf";
    WritePersonsTable(table, rows);
    { std::ofstream(model, std::ios::binary) << OnePageTemplate(); }

    std::ostringstream sink;
    ConsoleMessages ui(sink);
    ConsolePlatform platform;
    Workspace ws(ui, platform);
    ws.ProgramDir = folder + "/";
    ws.CurrentFile = table;
    ws.OpenTable();

    const double before = AnonymousMb();
    TRTFReplace rtf(platform, ws.ProgramCodePage());
    rtf.RTFSursa = model;
    rtf.RTFDest = output;
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    const bool written = WriteLetters(ws, rtf, LetterMode::ToateLiniile);
    const double ms = sw.Ms();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    const auto size = written ? std::filesystem::file_size(output) : 0;
    Report("letters, every row, one-page template", ms,
           std::to_string(ws.table.RecordCount()) + " rows, cpu " +
               std::to_string(static_cast<int>(cpuMs)) + " ms, " + std::to_string(size >> 20) +
               " MB written, memory " + std::to_string(static_cast<int>(before)) + " -> " +
               std::to_string(static_cast<int>(AnonymousMb())) + " MB" +
               (written ? "" : ", FAILED: " + sink.str()));
    ws.CloseTable();
    for (const std::string& f : {table, model, output}) std::filesystem::remove(f);
    return written ? 0 : 1;
}
