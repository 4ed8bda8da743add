#include "cleaning/profile_chart_data.h"

#include <stdexcept>

#include "core/text_util.h"

namespace orbelan {
namespace {

std::string Title(const ColumnProfile& p, const char* what) {
    return std::string(what) + " - " + p.column;
}

std::string RowsNote(const ColumnProfile& p) {
    std::string note =
        GroupedThousands(p.rows) + " linii, " + GroupedThousands(p.filled) + " completate";
    if (p.approximate) note += "; numarare aproximativa (peste 1.000.000 de valori distincte)";
    return note;
}

}  // namespace

ChartData ChartOfProfile(const ColumnProfile& p, ChartKind kind) {
    ChartData c;
    c.kind = kind;
    c.note = RowsNote(p);
    switch (kind) {
        case ChartKind::Bars:
            c.title = Title(p, "Cele mai frecvente valori");
            for (const ValueCount& v : p.top) c.bars.push_back({v.text, v.count, 0});
            break;
        case ChartKind::Histogram:
            if (p.histogram.empty())
                throw std::invalid_argument("Coloana " + p.column +
                                            " nu are numere sau date: nu are histograma.");
            c.title = Title(p, "Histograma");
            for (const HistogramBin& b : p.histogram) c.bars.push_back({b.label, b.count, 0});
            break;
        case ChartKind::Pyramid:
            if (!p.cnp)
                throw std::invalid_argument("Coloana " + p.column + " nu contine coduri CNP.");
            c.title = Title(p, "Piramida varstelor (din CNP)");
            // The oldest on top, as a pyramid stands.
            for (int g = kAgeGroups - 1; g >= 0; --g)
                c.bars.push_back({AgeGroupLabel(g), p.cnp->ageMale[static_cast<size_t>(g)],
                                  p.cnp->ageFemale[static_cast<size_t>(g)]});
            break;
        case ChartKind::Counties:
            if (!p.cnp)
                throw std::invalid_argument("Coloana " + p.column + " nu contine coduri CNP.");
            c.title = Title(p, "Judetele (din CNP)");
            for (const ValueCount& v : p.cnp->counties) c.bars.push_back({v.text, v.count, 0});
            break;
    }
    return c;
}

ChartData ChartOfCounts(const GroupCounts& counts, size_t maxBars) {
    ChartData c;
    c.kind = ChartKind::Bars;
    std::string columns;
    for (const std::string& col : counts.columns) columns += (columns.empty() ? "" : ", ") + col;
    c.title = "Numarare pe valori - " + columns;
    c.note = GroupedThousands(counts.rows) + " linii, " +
             GroupedThousands(static_cast<long long>(counts.groups.size())) + " grupuri";
    if (counts.groups.size() > maxBars)
        c.note += "; primele " + std::to_string(maxBars) + " in grafic";
    if (counts.approximate) c.note += "; numarare aproximativa";
    for (size_t i = 0; i < counts.groups.size() && i < maxBars; ++i) {
        const GroupCount& g = counts.groups[i];
        std::string label;
        for (const std::string& k : g.keys)
            label += (label.empty() ? "" : " / ") + (k.empty() ? std::string("(gol)") : k);
        c.bars.push_back({label.empty() ? "(gol)" : label, g.count, 0});
    }
    return c;
}

}  // namespace orbelan
