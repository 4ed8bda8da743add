// Index figures on the table of persons (1,000,000 rows by default; pass another count) with a
// production .cdx of two tags, NUME and UPPER(NUME)+DTOS(DATANASTER): reindex, check, a posted
// edit's key update, a seek, the first screen in tag order.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "engine/dbf_file.h"
#include "engine/file_io.h"
#include "engine/index/index_set.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

// On a shared machine the wall clock counts other programs' turns too: the processor time of
// this one is given beside it.
struct Cpu {
    std::clock_t start = std::clock();
    std::string Ms() const {
        return "cpu " +
               std::to_string(int(double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC)) + " ms";
    }
};

std::unique_ptr<DbfFile> OpenTable(const std::string& path) {
    DbfOpenOptions o;
    o.checkProductionIndex = false;
    return DbfFile::Open(path, o);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_index_bench.dbf";
    WritePersonsTable(path, rows);
    std::filesystem::remove(BenchFolder() + "/orbelan_index_bench.cdx");
    {
        auto table = OpenTable(path);
        auto set = IndexSet::CreateProduction(*table);
        set->AddTag(*table, {"NUME", "NUME", "", false, false, false});
        set->AddTag(*table, {"NUMEDATA", "UPPER(NUME)+DTOS(DATANASTER)", "", false, false, false});
        Stopwatch sw;
        Cpu cpu;
        auto files = set->WriteRebuilt(*table);
        for (auto& f : files) f->RenameOverTarget();
        const auto mb =
            std::filesystem::file_size(BenchFolder() + "/orbelan_index_bench.cdx") / 1000000;
        Report("reindex, two tags", sw.Ms(), cpu.Ms() + ", " + std::to_string(mb) + " MB");
        FileHandle h = FileHandle::OpenReadWrite(path);
        const uint8_t one = 1;
        h.WriteAt(28, &one, 1);
    }
    auto table = OpenTable(path);
    Stopwatch open;
    Cpu openCpu;
    auto set = IndexSet::Open(*table);
    Report("open the index (tags read, order looked at)", open.Ms(), openCpu.Ms());
    {
        Stopwatch sw;
        Cpu cpu;
        const auto problems = set->Check(*table);
        Report("check-index", sw.Ms(),
               cpu.Ms() + ", " + std::to_string(problems.size()) + " problems");
    }
    {
        const auto tag = set->TagForField("NUME");
        Stopwatch sw;
        Cpu cpu;
        const auto found = set->Seek(*tag, "POPESCU", true);
        Report("seek NUME='POPESCU' (prefix)", sw.Ms(),
               cpu.Ms() + ", " + std::to_string(found.size()) + " rows");
        Stopwatch exact;
        const auto same = set->Seek(*tag, "POPESCU", false);
        Report("seek NUME='POPESCU' (exact)", exact.Ms(), std::to_string(same.size()) + " rows");
    }
    {
        Stopwatch sw;
        size_t bytes = 0;
        int n = 0;
        set->Walk(*set->FindTag("NUMEDATA"), [&](uint32_t r) {
            for (int f = 0; f < table->FieldCount(); ++f)
                bytes += table->Text(table->Record(r), f, {}).size();
            return ++n < 40;
        });
        Report("first 40 rows in tag order", sw.Ms(), std::to_string(bytes) + " bytes of text");
    }
    {
        // Posted edits: a row's NUME changes; both tags move its keys.
        const int posts = 2000;
        FileHandle h = FileHandle::OpenReadWrite(path);
        const size_t length = table->RecordLength();
        std::string before(length, '\0'), after;
        std::mt19937 rng(9);
        double worst = 0;
        Stopwatch sw;
        Cpu cpu;
        for (int i = 0; i < posts; ++i) {
            const uint32_t r = rng() % table->RecordCount();
            before.assign(reinterpret_cast<const char*>(table->Record(r)), length);
            after = before;
            const std::string name = "NUME" + std::to_string(rng() % 100000);
            after.replace(1, name.size(), name);
            Stopwatch one;
            set->UpdateRecord(*table, r, reinterpret_cast<const uint8_t*>(before.data()),
                              reinterpret_cast<const uint8_t*>(after.data()));
            worst = std::max(worst, one.Ms());
            h.WriteAt(table->Layout().headerLength + uint64_t(r) * length, after.data(), length);
        }
        const double ms = sw.Ms();
        char extra[96];
        std::snprintf(extra, sizeof extra, "%.3f ms per post, slowest %.3f ms, ", ms / posts,
                      worst);
        Report("posted edits' key updates (2000)", ms, extra + cpu.Ms());
        Stopwatch flush;
        set->Flush();
        Report("index flushed to disk", flush.Ms());
    }
    {
        Stopwatch sw;
        const auto problems = set->Check(*table);
        Report("check-index after the edits", sw.Ms(),
               std::to_string(problems.size()) + " problems");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(BenchFolder() + "/orbelan_index_bench.cdx");
    return 0;
}
