// Engine figures on a table of persons (1,000,000 rows by default; pass another count).
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "engine/query.h"
#include "engine/table.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

void OpenAndFirstScreen(const std::string& path) {
    const double before = AnonymousMb();
    Stopwatch sw;
    Table t;
    t.SetTableName(path);
    t.Open();
    size_t bytes = 0;
    t.First();
    for (int row = 0; row < 40 && !t.Eof(); ++row, t.Next()) {
        for (int f = 0; f < t.FieldCount(); ++f) bytes += t.AsText(f).size();
    }
    const double ms = sw.Ms();
    Report("open + first 40 rows", ms,
           std::to_string(int(AnonymousMb() - before)) + " MB anonymous memory, " +
               std::to_string(bytes) + " bytes of text");
}

void FullScan(const std::string& path) {
    Table t;
    t.SetTableName(path);
    t.Open();
    Stopwatch sw;
    size_t bytes = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        for (int f = 0; f < t.FieldCount(); ++f) bytes += t.AsText(f).size();
    }
    const double ms = sw.Ms();
    const double mb = double(std::filesystem::file_size(path)) / 1e6;
    Report("full scan, every field's text", ms,
           std::to_string(int(mb / (ms / 1000.0))) + " MB/s (" + std::to_string(bytes) + " bytes)");
}

void Filter(const std::string& path, const char* expression) {
    Table t;
    t.SetTableName(path);
    t.Open();
    t.RecordCount();
    Stopwatch sw;
    t.SetFilterText(expression);
    t.SetFiltered(true);
    const int n = t.RecordCount();
    Report((std::string("filter ") + expression).c_str(), sw.Ms(), std::to_string(n) + " rows");
}

void OrderBy(const std::string& path) {
    Stopwatch sw;
    Query q;
    q.AddSql("SELECT * FROM \"" + path + "\"");
    q.AddSql("ORDER BY NUME");
    q.Open();
    long rows = 0;
    size_t bytes = 0;
    for (q.First(); !q.Eof(); q.Next(), ++rows) bytes += q.AsText(0).size();
    Report("ORDER BY NUME + walk", sw.Ms(), std::to_string(rows) + " rows");
}

void AppendRows(const std::string& source, const std::string& target) {
    WritePersonsTable(target, 0);
    Table src, dst;
    src.SetTableName(source);
    src.Open();
    dst.SetTableName(target);
    dst.Open();
    Stopwatch sw;
    dst.DisableControls();  // as a command's loop does: rows then go out in batches
    for (src.First(); !src.Eof(); src.Next()) {
        dst.Append();
        for (int f = 0; f < src.FieldCount(); ++f) dst.SetText(f, src.AsText(f));
        dst.Post();
    }
    dst.EnableControls();
    dst.Flush();
    Report("append rows through the dataset", sw.Ms(), std::to_string(dst.RecordCount()) + " rows");
}

void Pack(const std::string& path) {
    Query del;
    del.AddSql("DELETE FROM \"" + path + "\" WHERE NUME='POPA'");
    Stopwatch swDelete;
    del.ExecSQL();
    Report("DELETE FROM ... WHERE NUME='POPA'", swDelete.Ms());
    Table t;
    t.SetTableName(path);
    t.Open();
    Stopwatch sw;
    t.Pack();
    Report("pack", sw.Ms(), std::to_string(t.RecordCount()) + " rows kept");
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string dir = BenchFolder();
    const std::string path = dir + "/orbelan_bench_persons.dbf";
    const std::string copy = dir + "/orbelan_bench_append.dbf";
    Stopwatch gen;
    WritePersonsTable(path, rows);
    Report("generate table", gen.Ms(),
           std::to_string(std::filesystem::file_size(path) / 1000000) + " MB");
    OpenAndFirstScreen(path);
    FullScan(path);
    Filter(path, "NUME='IONEL*'");
    Filter(path, "SUMA>5000");
    OrderBy(path);
    AppendRows(path, copy);
    Pack(copy);
    std::filesystem::remove(path);
    std::filesystem::remove(copy);
    return 0;
}
