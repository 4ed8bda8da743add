// The index through the commands, on the table of persons (1,000,000 rows by default; pass
// another count) with a production index of two tags, NUME and UPPER(NUME)+DTOS(DATANASTER): a
// rewrite (rows in reverse) with its index rebuilt against the same rewrite without an index,
// the filter NUME='POPESCU' through the tag against the scan, the first screen in tag order.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/index/index_set.h"
#include "engine/rewrite.h"
#include "engine/table.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

std::unique_ptr<DbfFile> OpenTable(const std::string& path) {
    DbfOpenOptions o;
    o.checkProductionIndex = false;
    return DbfFile::Open(path, o);
}

double ReversedRewrite(const std::string& path) {
    RewritePlan plan;
    plan.fill = [](const DbfFile& old, DbfWriter& out) {
        for (uint32_t r = old.RecordCount(); r-- > 0;) out.AddRecord(old.Record(r));
    };
    Stopwatch sw;
    RewriteTableFile(path, {}, plan);
    return sw.Ms();
}

// The filter's first screen and its count; the second time, with the index already read (as
// in the window, where the table stays open).
double Filtered(const std::string& path, int* rows, double* again = nullptr) {
    Table t;
    t.SetTableName(path);
    t.Open();
    t.SetFilterText("NUME='POPESCU'");
    Stopwatch sw;
    t.SetFiltered(true);
    *rows = t.RecordCount();
    const double first = sw.Ms();
    if (again) {
        t.SetFiltered(false);
        Stopwatch second;
        t.SetFiltered(true);
        *rows = t.RecordCount();
        *again = second.Ms();
    }
    return first;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_index_commands_bench.dbf";
    const std::string cdx = BenchFolder() + "/orbelan_index_commands_bench.cdx";
    WritePersonsTable(path, rows);
    std::filesystem::remove(cdx);
    int scanned = 0;
    const double scan = Filtered(path, &scanned);
    const double plain = ReversedRewrite(path);
    Report("rewrite (rows reversed), no index", plain);
    {
        auto table = OpenTable(path);
        auto set = IndexSet::CreateProduction(*table);
        set->AddTag(*table, {"NUME", "NUME", "", false, false, false});
        set->AddTag(*table, {"NUMEDATA", "UPPER(NUME)+DTOS(DATANASTER)", "", false, false, false});
        for (auto& f : set->WriteRebuilt(*table)) f->RenameOverTarget();
        FileHandle h = FileHandle::OpenReadWrite(path);
        const uint8_t one = 1;
        h.WriteAt(28, &one, 1);
    }
    const double indexed = ReversedRewrite(path);
    Report("rewrite (rows reversed), index of two tags rebuilt and swapped with it", indexed,
           "x" + std::to_string(indexed / plain).substr(0, 4) + " the rewrite alone");
    {
        auto table = OpenTable(path);
        const auto problems = IndexSet::Open(*table)->Check(*table);
        Report("check-index after the rewrite", 0, std::to_string(problems.size()) + " problems");
    }
    int found = 0;
    double again = 0;
    const double seek = Filtered(path, &found, &again);
    Report("filter NUME='POPESCU', scan (all rows counted)", scan,
           std::to_string(scanned) + " rows");
    Report("filter NUME='POPESCU', through the tag, index read first", seek,
           std::to_string(found) + " rows");
    Report("filter NUME='POPESCU', through the tag, index already read", again,
           std::to_string(found) + " rows");
    {
        Table t;
        t.SetTableName(path);
        t.Open();
        Stopwatch read;
        t.Data().Indexes();
        Report("index read (tags, first pages)", read.Ms());
        Stopwatch sw;
        t.SetIndexOrder("NUMEDATA");
        size_t bytes = 0;
        for (int r = 0; r < 40; ++r)
            for (int f = 0; f < t.FieldCount(); ++f) bytes += t.TextAt(r, f).size();
        Report("first screen (40 rows) in tag order", sw.Ms(), std::to_string(bytes) + " bytes");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(cdx);
    return 0;
}
