#pragma once
// "Completeaza din alt tabel...": columns of another table brought into the open one by a key.
// A column the open table lacks is added with the other table's type; one it has gets the other
// table's values as the mode says. Planned first (what changes, the keys not found or found
// twice, the values that won't fit), then written in one rewrite with a restore point.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare/compare_tables.h"
#include "core/misfits.h"

namespace orbelan {

class Workspace;

enum class FillMode {
    WhenEmpty,  // the other value goes where this one is empty
    Always,     // the other value replaces this one (an empty other value changes nothing)
    Keep,       // existing columns keep their values; only added columns are filled
};

struct FillSpec {
    std::vector<KeyColumn> key;
    TextOptions text;
    std::vector<int> take;  // columns of the other table
    FillMode mode = FillMode::WhenEmpty;
};

// "COL,COL2": columns of the other table. Throws ArgumentError naming a missing one.
std::vector<int> ParseTakeSpec(std::string_view request, const CompareSource& there);

struct FillTarget {
    int source = -1;  // column of the other table
    int field = -1;   // field of this table; -1: added at the end
    FieldDef def;     // the field written (this table's, or the one added)
};

struct FillChange {
    uint32_t here = 0;
    uint32_t there = 0;
    uint64_t targets = 0;  // bit t: targets[t] takes the other value
};

struct FillPlan {
    std::vector<FillTarget> targets;
    std::vector<FillChange> changes;  // by this table's row, ascending
    long values = 0;                  // values that change
    uint32_t rows = 0;                // this table's records when planned
    std::vector<uint32_t> notFound;   // rows of this table whose key the other lacks
    std::vector<uint32_t> repeatedHere, repeatedThere, emptyHere;
    Misfits misfits;  // other values this table can't take: left as they are

    bool AddsColumns() const;
    // The counts as the window and the command line say them.
    std::string Summary(const CompareSource& here, const CompareSource& there) const;
};

// here: the open table's file read as a source; page: its code page.
FillPlan PlanFill(const CompareSource& here, const CompareSource& there, const FillSpec& request,
                  const CodePage& page, const std::function<void()>& tick = {});

// Writes the plan into the open table in one rewrite, undoable. Throws DbfError when the table
// changed since the plan (nothing written) or the rewrite fails (then the table is as it was).
void ApplyFill(Workspace& ws, const CompareSource& there, const FillPlan& plan);

}  // namespace orbelan
