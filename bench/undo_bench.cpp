// Undo and redo on the large table: a command's restore point (its cost to the command, undo and
// redo of it) and the undo of an edit.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "bench/bench_session.h"
#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "core/restore_points.h"
#include "core/undo_history.h"
#include "core/workspace.h"
#include "editing/sort_command.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string path = BenchFolder() + "/orbelan_bench_undo.dbf";
    const std::string data = BenchFolder() + "/orbelan_bench_undo_data/";
    std::filesystem::remove_all(data);
    WritePersonsTable(path, rows);
    std::printf("%ld rows, %.1f MB\n", rows, double(std::filesystem::file_size(path)) / 1e6);

    // The same sort with and without its restore point, alternately so both see the same cache.
    std::vector<double> with, without;
    for (int r = 0; r < rounds; ++r)
        for (const bool keep : {false, true}) {
            Session s(path, data);
            s.ws.KeepRestorePoints = keep;
            const double anon = AnonymousMb();
            Stopwatch sw;
            SortByColumn(s.ws, r % 2);  // NUME, PRENUME: each round changes the order
            (keep ? with : without).push_back(sw.Ms());
            if (keep && r == 0)
                std::printf("  anonymous memory during the sort with its point: +%.0f MB\n",
                            AnonymousMb() - anon);
        }
    Report("sort without restore point (median)", Median(without));
    Report("sort with restore point (median)", Median(with),
           std::to_string(int((Median(with) / Median(without) - 1) * 100)) + " % slower");

    {
        Session s(path, data);
        std::vector<double> undo, redo;
        for (int r = 0; r < rounds; ++r) {
            Stopwatch u;
            if (!UndoLast(s.ws)) return 1;
            undo.push_back(u.Ms());
            Stopwatch d;
            if (!RedoLast(s.ws)) return 1;
            redo.push_back(d.Ms());
        }
        Report("undo of the sort (median, table reopened)", Median(undo));
        Report("redo of the sort (median, table reopened)", Median(redo));

        std::vector<double> edit;
        for (int r = 0; r < rounds; ++r) {
            Table& t = s.ws.table;
            t.First();
            for (int i = 0; i < 1000 * r; ++i) t.Next();
            t.SetText("NUME", "SCHIMBAT" + std::to_string(r));
            t.Post();
            Stopwatch e;
            if (!UndoLast(s.ws)) return 1;
            edit.push_back(e.Ms());
        }
        Report("undo of an edit (median)", Median(edit));
        s.ws.CloseTable();
    }
    // As `orbelan undo` does it: no table open, the swap alone (its checksum included).
    std::vector<double> undo, redo;
    for (int r = 0; r < rounds; ++r) {
        Stopwatch u;
        if (!RestorePoints(data, path).Undo()) return 1;
        undo.push_back(u.Ms());
        Stopwatch d;
        if (!RestorePoints(data, path).Redo()) return 1;
        redo.push_back(d.Ms());
    }
    Report("undo of the sort, table closed (median)", Median(undo));
    Report("redo of the sort, table closed (median)", Median(redo));
    std::filesystem::remove_all(data);
    std::filesystem::remove(path);
    return 0;
}
