#include "compare/compare_tables.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/argument_error.h"
#include "core/text_util.h"

namespace orbelan {
namespace {

constexpr uint32_t kTickRows = 1u << 16;

struct KeyPart {
    int column;
    ValueClass cls;
};

struct Entry {
    size_t hash;
    uint32_t row;
    bool operator<(const Entry& o) const { return hash != o.hash ? hash < o.hash : row < o.row; }
};

// One side's keys: their bytes one after another (each part's length, then its typed form),
// and a sorted list of the rows whose key is whole.
struct SideKeys {
    std::string bytes;
    std::vector<size_t> at;  // row r's key is bytes[at[r], at[r + 1])
    std::vector<Entry> entries;
    std::vector<uint32_t> empty;

    std::string_view Key(uint32_t row) const {
        return std::string_view(bytes).substr(at[row], at[row + 1] - at[row]);
    }
};

SideKeys BuildKeys(const CompareSource& side, const std::vector<KeyPart>& parts,
                   const TextOptions& options, const std::function<void()>& tick) {
    SideKeys k;
    const uint32_t rows = side.Rows();
    k.at.resize(static_cast<size_t>(rows) + 1);
    k.entries.reserve(rows);
    std::string part;
    for (uint32_t r = 0; r < rows; ++r) {
        if (tick && r % kTickRows == 0) tick();
        const size_t start = k.bytes.size();
        k.at[r] = start;
        if (side.Skipped(r)) continue;
        bool whole = true;
        for (const KeyPart& p : parts) {
            side.Canonical(r, p.column, p.cls, options, part);
            if (part.empty()) {
                whole = false;
                break;
            }
            const auto n = static_cast<uint32_t>(part.size());
            k.bytes.append(reinterpret_cast<const char*>(&n), sizeof n);
            k.bytes += part;
        }
        if (!whole) {
            k.bytes.resize(start);
            k.empty.push_back(r);
            continue;
        }
        k.entries.push_back(
            {std::hash<std::string_view>{}(std::string_view(k.bytes).substr(start)), r});
    }
    k.at[rows] = k.bytes.size();
    std::sort(k.entries.begin(), k.entries.end());
    return k;
}

// The rows of one hash on both sides, grouped by their whole keys (hashes may collide).
void SettleRun(const SideKeys& a, const std::vector<Entry>& runA, const SideKeys& b,
               const std::vector<Entry>& runB, Matching& m) {
    if (runA.size() == 1 && runB.size() == 1 && a.Key(runA[0].row) == b.Key(runB[0].row)) {
        m.matched.push_back({runA[0].row, runB[0].row});
        return;
    }
    std::vector<bool> doneA(runA.size()), doneB(runB.size());
    for (size_t side = 0; side < 2; ++side) {
        const std::vector<Entry>& run = side == 0 ? runA : runB;
        std::vector<bool>& done = side == 0 ? doneA : doneB;
        for (size_t i = 0; i < run.size(); ++i) {
            if (done[i]) continue;
            const std::string_view key = (side == 0 ? a : b).Key(run[i].row);
            std::vector<uint32_t> rowsA, rowsB;
            for (size_t x = 0; x < runA.size(); ++x)
                if (!doneA[x] && a.Key(runA[x].row) == key) {
                    doneA[x] = true;
                    rowsA.push_back(runA[x].row);
                }
            for (size_t x = 0; x < runB.size(); ++x)
                if (!doneB[x] && b.Key(runB[x].row) == key) {
                    doneB[x] = true;
                    rowsB.push_back(runB[x].row);
                }
            if (rowsA.size() == 1 && rowsB.size() == 1) {
                m.matched.push_back({rowsA[0], rowsB[0]});
            } else if (rowsA.size() > 1 || rowsB.size() > 1) {
                m.repeatedHere.insert(m.repeatedHere.end(), rowsA.begin(), rowsA.end());
                m.repeatedThere.insert(m.repeatedThere.end(), rowsB.begin(), rowsB.end());
            } else if (rowsA.size() == 1) {
                m.onlyHere.push_back(rowsA[0]);
            } else {
                m.onlyThere.push_back(rowsB[0]);
            }
        }
    }
}

// Values of the same field layout in the same page are equal when their bytes are: checked
// first, so most equal rows cost one comparison of bytes a column.
struct ValueCheck {
    SharedColumn column;
    int offset = -1;  // both fields' offset when bytes can be compared, else -1
    int offsetThere = -1;
    int size = 0;
};

std::vector<ValueCheck> PlanChecks(const CompareSource& here, const CompareSource& there,
                                   const std::vector<SharedColumn>& shared) {
    std::vector<ValueCheck> checks;
    const DbfFile* a = here.Dbf();
    const DbfFile* b = there.Dbf();
    const bool sameBytes = a && b && a->Page().Name() == b->Page().Name() &&
                           a->Layout().nullFlagsField < 0 && b->Layout().nullFlagsField < 0 &&
                           a->Layout().BigEndianIntegers() == b->Layout().BigEndianIntegers();
    for (const SharedColumn& s : shared) {
        ValueCheck c{s};
        if (sameBytes) {
            const FieldDef& fa = a->FieldAt(s.here).def;
            const FieldDef& fb = b->FieldAt(s.there).def;
            if (!fa.IsMemo() && fa.type == fb.type && fa.size == fb.size &&
                fa.decimals == fb.decimals) {
                c.offset = fa.offset;
                c.offsetThere = fb.offset;
                c.size = fa.size;
            }
        }
        checks.push_back(c);
    }
    return checks;
}

}  // namespace

std::vector<KeyColumn> ParseKeySpec(std::string_view request, const CompareSource& here,
                                    const CompareSource& there) {
    std::vector<KeyColumn> key;
    size_t start = 0;
    while (start <= request.size()) {
        size_t comma = request.find(',', start);
        if (comma == std::string_view::npos) comma = request.size();
        const std::string_view item = Trim(request.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        const std::string_view mine = Trim(item.substr(0, eq));
        const std::string_view theirs =
            eq == std::string_view::npos ? mine : Trim(item.substr(eq + 1));
        KeyColumn k{here.ColumnIndex(mine), there.ColumnIndex(theirs)};
        if (k.here < 0)
            throw ArgumentError("Tabelul " + here.Path() + " nu are coloana " + std::string(mine) +
                                ".");
        if (k.there < 0)
            throw ArgumentError("Tabelul " + there.Path() + " nu are coloana " +
                                std::string(theirs) + ".");
        key.push_back(k);
    }
    if (key.empty()) throw ArgumentError("Cheia nu numeste nicio coloana.");
    return key;
}

Matching MatchRows(const CompareSource& here, const CompareSource& there,
                   const CompareSpec& request, const std::function<void()>& tick) {
    std::vector<KeyPart> partsA, partsB;
    for (const KeyColumn& k : request.key) {
        const ValueClass cls = ClassOf(here.Fields()[static_cast<size_t>(k.here)].Kind(),
                                       there.Fields()[static_cast<size_t>(k.there)].Kind());
        partsA.push_back({k.here, cls});
        partsB.push_back({k.there, cls});
    }
    const SideKeys a = BuildKeys(here, partsA, request.text, tick);
    const SideKeys b = BuildKeys(there, partsB, request.text, tick);
    Matching m;
    m.emptyHere = a.empty;
    m.emptyThere = b.empty;
    m.matched.reserve(std::min(a.entries.size(), b.entries.size()));
    std::vector<Entry> runA, runB;
    size_t i = 0, j = 0;
    while (i < a.entries.size() || j < b.entries.size()) {
        size_t hash;
        if (i == a.entries.size())
            hash = b.entries[j].hash;
        else if (j == b.entries.size())
            hash = a.entries[i].hash;
        else
            hash = std::min(a.entries[i].hash, b.entries[j].hash);
        runA.clear();
        runB.clear();
        while (i < a.entries.size() && a.entries[i].hash == hash) runA.push_back(a.entries[i++]);
        while (j < b.entries.size() && b.entries[j].hash == hash) runB.push_back(b.entries[j++]);
        if (runA.size() == 1 && runB.empty())
            m.onlyHere.push_back(runA[0].row);
        else if (runB.size() == 1 && runA.empty())
            m.onlyThere.push_back(runB[0].row);
        else
            SettleRun(a, runA, b, runB, m);
    }
    std::sort(m.matched.begin(), m.matched.end(),
              [](const RowPair& x, const RowPair& y) { return x.here < y.here; });
    for (auto* v : {&m.onlyHere, &m.onlyThere, &m.repeatedHere, &m.repeatedThere})
        std::sort(v->begin(), v->end());
    return m;
}

std::vector<SharedColumn> SharedColumns(const CompareSource& here, const CompareSource& there,
                                        const std::vector<KeyColumn>& key) {
    std::set<int> keyHere, keyThere, taken;
    for (const KeyColumn& k : key) {
        keyHere.insert(k.here);
        keyThere.insert(k.there);
    }
    std::vector<SharedColumn> shared;
    for (int h = 0; h < here.ColumnCount(); ++h) {
        if (keyHere.count(h)) continue;
        const int t = there.ColumnIndex(here.Names()[static_cast<size_t>(h)]);
        if (t < 0 || keyThere.count(t) || !taken.insert(t).second) continue;
        shared.push_back({h, t,
                          ClassOf(here.Fields()[static_cast<size_t>(h)].Kind(),
                                  there.Fields()[static_cast<size_t>(t)].Kind())});
    }
    return shared;
}

CompareResult CompareTables(const CompareSource& here, const CompareSource& there,
                            const CompareSpec& request, const std::function<void()>& tick) {
    Matching m = MatchRows(here, there, request, tick);
    CompareResult r;
    r.shared = SharedColumns(here, there, request.key);
    r.onlyHere = std::move(m.onlyHere);
    r.onlyThere = std::move(m.onlyThere);
    r.repeatedHere = std::move(m.repeatedHere);
    r.repeatedThere = std::move(m.repeatedThere);
    r.emptyHere = std::move(m.emptyHere);
    r.emptyThere = std::move(m.emptyThere);
    r.same.reserve(m.matched.size());
    const std::vector<ValueCheck> checks = PlanChecks(here, there, r.shared);
    const DbfFile* a = here.Dbf();
    const DbfFile* b = there.Dbf();
    std::string x, y;
    size_t n = 0;
    for (const RowPair& p : m.matched) {
        if (tick && ++n % kTickRows == 0) tick();
        const size_t before = r.differColumns.size();
        for (size_t c = 0; c < checks.size(); ++c) {
            const ValueCheck& check = checks[c];
            if (check.offset >= 0 && std::memcmp(a->Record(p.here) + check.offset,
                                                 b->Record(p.there) + check.offsetThere,
                                                 static_cast<size_t>(check.size)) == 0)
                continue;
            here.Canonical(p.here, check.column.here, check.column.cls, request.text, x);
            there.Canonical(p.there, check.column.there, check.column.cls, request.text, y);
            if (x != y) r.differColumns.push_back(static_cast<uint16_t>(c));
        }
        if (r.differColumns.size() == before) {
            r.same.push_back(p);
        } else {
            r.differ.push_back(p);
            r.differFrom.push_back(static_cast<uint32_t>(r.differColumns.size()));
        }
    }
    return r;
}

}  // namespace orbelan
