// A column's profile, counts by value and their charts on the large table.
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cleaning/column_profile.h"
#include "cleaning/profile_chart_data.h"
#include "engine/table.h"
#include "print/pdf_export.h"
#include "print/profile_chart.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

const char* g_only = nullptr;  // run only the cases whose description holds this text
bool Skip(const std::string& what) {
    return g_only && what.find(g_only) == std::string::npos;
}

// The processor time beside the wall time: on a shared machine the wall time says more about the
// others.
std::string Cpu(std::clock_t since) {
    return "cpu " +
           std::to_string(static_cast<long>((std::clock() - since) * 1000 / CLOCKS_PER_SEC)) +
           " ms, ";
}

ColumnProfile TimeProfile(Table& t, const char* column) {
    if (Skip(std::string("profile ") + column)) return {};
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    ColumnProfile p = ProfileColumn(t, t.FieldIndex(column));
    Report(("profile " + std::string(column)).c_str(), sw.Ms(),
           Cpu(cpu) + std::to_string(p.distinct) + " distinct" +
               (p.approximate ? " (approximate)" : "") + (p.cnp ? ", CNP" : "") + ", anon " +
               std::to_string(int(AnonymousMb())) + " MB");
    return p;
}

void TimeCount(Table& t, const std::vector<const char*>& columns, const char* sum) {
    std::vector<int> fields;
    std::string what = "count by";
    for (const char* c : columns) {
        fields.push_back(t.FieldIndex(c));
        what += std::string(" ") + c;
    }
    if (sum) what += std::string(" + sum ") + sum;
    if (Skip(what)) return;
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    const GroupCounts g =
        CountByValues(t, fields, sum ? t.FieldIndex(sum) : -1, CountOrder::ByCount);
    Report(what.c_str(), sw.Ms(), Cpu(cpu) + std::to_string(g.groups.size()) + " groups");
}

void TimeChart(const ColumnProfile& p, ChartKind kind, const char* what) {
    if (Skip(what) || p.rows == 0) return;
    const ChartData chart = ChartOfProfile(p, kind);
    const QSize size = ChartSize(chart);
    QImage image(size, QImage::Format_RGB32);
    Stopwatch sw;
    const std::clock_t cpu = std::clock();
    QPainter painter(&image);
    DrawChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), chart);
    painter.end();
    Report(what, sw.Ms(), Cpu(cpu) + std::to_string(chart.bars.size()) + " bars");
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (argc > 2) g_only = argv[2];
    const std::string path = BenchFolder() + "/orbelan_bench_profile.dbf";
    WritePersonsTable(path, rows);
    EnsurePdfApplication();  // fonts for the charts
    Table t;
    t.SetTableName(path);
    t.SetFormatSettings({',', "dd.MM.yyyy"});
    t.Open();
    std::printf("%ld rows\n", rows);
    TimeProfile(t, "LOCALITATE");
    TimeProfile(t, "NUME");
    const ColumnProfile suma = TimeProfile(t, "SUMA");
    TimeProfile(t, "DATANASTER");
    const ColumnProfile cnp = TimeProfile(t, "CNP");
    TimeCount(t, {"LOCALITATE"}, nullptr);
    TimeCount(t, {"LOCALITATE"}, "SUMA");
    TimeCount(t, {"LOCALITATE", "NUME"}, "SUMA");
    TimeCount(t, {"CNP"}, nullptr);
    TimeChart(cnp, ChartKind::Bars, "chart: 20 most frequent");
    TimeChart(suma, ChartKind::Histogram, "chart: histogram");
    TimeChart(cnp, ChartKind::Pyramid, "chart: age pyramid");
    TimeChart(cnp, ChartKind::Counties, "chart: counties");
    std::remove(path.c_str());
    return 0;
}
