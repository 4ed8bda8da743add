// A new table, and a column's width changed on the large table: the check of the values that
// would not fit, and the whole rewrite, through the same code as the window and `orbelan alter`.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cli/console_ui.h"
#include "core/workspace.h"
#include "editing/structure_commands.h"
#include "engine/field_list.h"
#include "engine/table.h"

using namespace orbelan;
using namespace orbelan::bench;

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_bench_structure.dbf";
    WritePersonsTable(path, rows);

    std::ostringstream sink;
    ConsoleMessages messages{sink};
    messages.assumeYes = true;
    ConsolePlatform platform;
    Workspace ws{messages, platform};
    ws.ProgramDir = std::filesystem::path(path).parent_path().string() + "/";
    ws.CurrentFile = path;
    ws.OpenTable();

    // NUME C(30) -> C(20): some names may not fit, each is checked.
    const NewStructure narrower =
        EditedStructure(ws.table, {{StructureEdit::Kind::Set, "NUME C(20)"}});
    Stopwatch check;
    const Misfits fit = CheckStructureFit(ws, narrower);
    Report("fit check, NUME C(30) -> C(20)", check.Ms(),
           std::to_string(ws.table.RecordCount()) + " rows, " + std::to_string(fit.count) +
               " misfits");

    const NewStructure wider =
        EditedStructure(ws.table, {{StructureEdit::Kind::Set, "NUME C(40)"}});
    Stopwatch change;
    ChangeStructure(ws, wider);
    Report("width change, NUME C(30) -> C(40) (check + rewrite)", change.Ms(),
           std::to_string(ws.table.RecordCount()) + " rows");

    const NewStructure number =
        EditedStructure(ws.table, {{StructureEdit::Kind::Set, "SUMA C(14)"}});
    Stopwatch convert;
    ChangeStructure(ws, number);
    Report("type change, SUMA N(12,2) -> C(14) (check + rewrite)", convert.Ms());
    ws.CloseTable();
    std::filesystem::remove(path);

    const std::string created = BenchFolder() + "/orbelan_bench_created.dbf";
    const auto fields =
        ParseFieldList("NUME C(30); SUMA N(10,2); DATAN D; ACTIV L; OBS M", DbfFamily::DBase3);
    double total = 0;
    constexpr int kTimes = 20;
    for (int i = 0; i < kTimes; ++i) {
        std::filesystem::remove(created);
        std::filesystem::remove(BenchFolder() + "/orbelan_bench_created.dbt");
        Stopwatch create;
        CreateTable({created, DbfFamily::DBase3, "cp1250", fields});
        total += create.Ms();
    }
    Report("create, 5 fields with a memo (mean of 20)", total / kTimes);
    std::filesystem::remove(created);
    std::filesystem::remove(BenchFolder() + "/orbelan_bench_created.dbt");
    return 0;
}
