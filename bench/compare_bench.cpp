// Two large tables of persons, one in ten of the other's rows changed: compared by CNP, and two
// columns filled from one into the other; sqlite3's join over the same two tables beside it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#ifndef _WIN32
#include <sys/times.h>
#include <unistd.h>
#endif

#include "bench/bench_session.h"
#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "compare/compare_tables.h"
#include "compare/fill_table.h"
#include "engine/dbf_file.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

std::string Cpu(std::clock_t since) {
    return "cpu " +
           std::to_string(static_cast<long>((std::clock() - since) * 1000 / CLOCKS_PER_SEC)) +
           " ms";
}

// The processor time of the programs this one ran and waited for (sqlite3).
double ChildrenCpuMs() {
#ifdef _WIN32
    return 0;
#else
    tms t{};
    times(&t);
    return double(t.tms_cutime + t.tms_cstime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
#endif
}

// The first table with one row in ten changed: a new address and telephone (a tenth of those
// with a new code instead, so both sides have rows of their own).
void WriteChangedCopy(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto header =
        static_cast<size_t>(static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8);
    const auto length =
        static_cast<size_t>(static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8);
    const size_t rows = (bytes.size() - header) / length;
    // Offsets in the record: NUME 1, PRENUME 31, CNP 61, ADRESA 74, ..., TELEFON 196
    for (size_t r = 0; r < rows; r += 10) {
        char* rec = bytes.data() + header + r * length;
        if (r % 100 == 0) {
            std::memcpy(rec + 61, "9", 1);  // a code the first table hasn't
        } else {
            std::memcpy(rec + 74, "Str. Noua nr. 1                         ", 40);
            std::memcpy(rec + 196, "0799000000     ", 15);
        }
    }
    std::ofstream(to, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Both tables as tab-separated text for sqlite3's .import (not timed).
void WriteTsv(const std::string& dbf, const std::string& tsv) {
    auto file = DbfFile::Open(dbf);
    const FormatSettings format{'.', "yyyy-MM-dd"};
    std::ofstream out(tsv, std::ios::binary);
    for (int i = 0; i < file->FieldCount(); ++i)
        out << (i ? "\t" : "") << file->Fields()[size_t(i)].name;
    out << '\n';
    std::string line;
    for (uint32_t r = 0; r < file->RecordCount(); ++r) {
        line.clear();
        for (int i = 0; i < file->FieldCount(); ++i) {
            if (i) line += '\t';
            file->AppendText(line, file->Record(r), i, format);
        }
        out << line << '\n';
    }
}

void TimeSqlite(const std::string& dir, const std::string& a, const std::string& b) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) {
        std::printf("sqlite3 not found: no comparison\n");
        return;
    }
    const std::string db = dir + "/orbelan_bench_compare.sqlite";
    std::remove(db.c_str());
    WriteTsv(a, dir + "/orbelan_bench_a.tsv");
    WriteTsv(b, dir + "/orbelan_bench_b.tsv");
    Stopwatch load;
    const std::string import = "sqlite3 " + db + " -cmd '.mode tabs' '.import " + dir +
                               "/orbelan_bench_a.tsv a' '.import " + dir +
                               "/orbelan_bench_b.tsv b' >/dev/null";
    if (std::system(import.c_str()) != 0) return;
    Report("sqlite3: .import of both tables", load.Ms());
    // The same four groups; sqlite3 builds its automatic index on the join key itself.
    const std::string same =
        "a.NUME IS b.NUME AND a.PRENUME IS b.PRENUME AND a.ADRESA IS b.ADRESA AND a.LOCALITATE "
        "IS b.LOCALITATE AND a.DATANASTER IS b.DATANASTER AND a.SUMA IS b.SUMA AND a.ACTIV IS "
        "b.ACTIV AND a.OCUPATIE IS b.OCUPATIE AND a.TELEFON IS b.TELEFON AND a.EMAIL IS b.EMAIL";
    const std::string query =
        "SELECT (SELECT count(*) FROM a LEFT JOIN b ON a.CNP = b.CNP WHERE b.CNP IS NULL), "
        "(SELECT count(*) FROM b LEFT JOIN a ON a.CNP = b.CNP WHERE a.CNP IS NULL), "
        "(SELECT count(*) FROM a JOIN b ON a.CNP = b.CNP WHERE " +
        same +
        "), "
        "(SELECT count(*) FROM a JOIN b ON a.CNP = b.CNP WHERE NOT (" +
        same + "));";
    // With the keys indexed first (timed with the query): without, its nested loops take minutes.
    Stopwatch join;
    const std::string run = "sqlite3 " + db + " \"CREATE INDEX ia ON a(CNP); CREATE INDEX ib ON " +
                            "b(CNP); " + query + "\"";
    std::fflush(stdout);
    const double cpu = ChildrenCpuMs();
    if (std::system(run.c_str()) != 0) return;
    Report("sqlite3: CNP indexes + the join query (four counts)", join.Ms(),
           "cpu " + std::to_string(static_cast<long>(ChildrenCpuMs() - cpu)) + " ms");
    for (const char* f : {"/orbelan_bench_a.tsv", "/orbelan_bench_b.tsv"})
        std::remove((dir + f).c_str());
    std::remove(db.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const bool sqlite = !(argc > 2 && std::string(argv[2]) == "--no-sqlite");
    const std::string dir = BenchFolder();
    const std::string a = dir + "/orbelan_bench_compare_a.dbf";
    const std::string b = dir + "/orbelan_bench_compare_b.dbf";
    WritePersonsTable(a, rows);
    WriteChangedCopy(a, b);
    std::printf("%ld rows each\n", rows);
    const FormatSettings format{',', "dd.MM.yyyy"};
    {
        Stopwatch sw;
        const std::clock_t cpu = std::clock();
        const auto here = OpenCompareSource(a, {}, format);
        const auto there = OpenCompareSource(b, {}, format);
        CompareSpec request;
        request.key = ParseKeySpec("CNP", *here, *there);
        const CompareResult r = CompareTables(*here, *there, request);
        Report("compare by CNP (all columns)", sw.Ms(),
               Cpu(cpu) + ", " + std::to_string(r.onlyHere.size()) + " only here, " +
                   std::to_string(r.onlyThere.size()) + " only there, " +
                   std::to_string(r.same.size()) + " same, " + std::to_string(r.differ.size()) +
                   " differ, " + std::to_string(r.repeatedHere.size()) + " repeated, anon " +
                   std::to_string(int(AnonymousMb())) + " MB");
    }
    for (const bool keep : {false, true}) {
        Session s(a, dir);
        s.ws.KeepRestorePoints = keep;
        Stopwatch sw;
        const std::clock_t cpu = std::clock();
        const auto there = OpenCompareSource(b, {}, format);
        FillPlan plan;
        {
            const auto here = OpenCompareSource(a, FileOptionsOf(s.ws.table), format);
            FillSpec request;
            request.key = ParseKeySpec("CNP", *here, *there);
            request.take = ParseTakeSpec("ADRESA,TELEFON", *there);
            request.mode = FillMode::Always;
            plan = PlanFill(*here, *there, request, s.ws.table.Data().Page());
        }
        const double planned = sw.Ms();
        ApplyFill(s.ws, *there, plan);
        Report(
            keep ? "fill ADRESA, TELEFON (with restore point)" : "fill ADRESA, TELEFON (--no-undo)",
            sw.Ms(),
            Cpu(cpu) + ", plan " + std::to_string(int(planned)) + " ms, " +
                std::to_string(plan.changes.size()) + " rows changed");
        s.ws.CloseTable();
        WritePersonsTable(a, rows);  // the first table again for the next run
    }
    if (sqlite) TimeSqlite(dir, a, b);
    std::remove(a.c_str());
    std::remove(b.c_str());
    return 0;
}
