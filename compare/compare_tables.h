#pragma once
// Two tables compared by a key of one or more columns: the rows only in this table, only in the
// other, in both with equal values and in both with different values (and which columns differ).
// A key found more than once on either side is never matched by chance: all its rows are listed
// apart, as are the rows with an empty key part.
//
// Both sides' keys are hashed into a sorted list (16 bytes a row, plus the keys' bytes) and the
// two lists merged, so memory grows with the rows, never with their product.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/compare_source.h"

namespace orbelan {

struct KeyColumn {
    int here = -1;   // column of this table
    int there = -1;  // column of the other
};

struct CompareSpec {
    std::vector<KeyColumn> key;
    TextOptions text;
};

// "COL[=OTHERCOL],...": each column of this table, matched by name (case and diacritics
// ignored) in the other unless named after '='. Throws ArgumentError naming a missing column.
std::vector<KeyColumn> ParseKeySpec(std::string_view request, const CompareSource& here,
                                    const CompareSource& there);

struct RowPair {
    uint32_t here = 0;
    uint32_t there = 0;
};

// The rows of both tables sorted by key. Row indexes are the sources' (from 0), ascending.
struct Matching {
    std::vector<RowPair> matched;  // one row each side with the key
    std::vector<uint32_t> onlyHere, onlyThere;
    std::vector<uint32_t> repeatedHere, repeatedThere;  // their key is on a side more than once
    std::vector<uint32_t> emptyHere, emptyThere;        // a part of their key is empty
};

// tick: called now and then, for a window to stay alive.
Matching MatchRows(const CompareSource& here, const CompareSource& there,
                   const CompareSpec& request, const std::function<void()>& tick = {});

// A column both tables have (same name, case and diacritics ignored), key columns excepted.
struct SharedColumn {
    int here = -1;
    int there = -1;
    ValueClass cls = ValueClass::Text;
};
std::vector<SharedColumn> SharedColumns(const CompareSource& here, const CompareSource& there,
                                        const std::vector<KeyColumn>& key);

struct CompareResult {
    std::vector<SharedColumn> shared;
    std::vector<uint32_t> onlyHere, onlyThere;
    std::vector<RowPair> same, differ;
    std::vector<uint32_t> repeatedHere, repeatedThere, emptyHere, emptyThere;
    // differ[i]'s differing columns (indexes into shared) are
    // differColumns[differFrom[i] .. differFrom[i + 1]).
    std::vector<uint32_t> differFrom{0};
    std::vector<uint16_t> differColumns;

    std::vector<uint16_t> Differing(size_t i) const {
        return {differColumns.begin() + differFrom[i], differColumns.begin() + differFrom[i + 1]};
    }
    // Equal on the key and the shared columns: every row matched once, with equal values.
    bool Equal() const {
        return onlyHere.empty() && onlyThere.empty() && differ.empty() && repeatedHere.empty() &&
               repeatedThere.empty() && emptyHere.empty() && emptyThere.empty();
    }
};

CompareResult CompareTables(const CompareSource& here, const CompareSource& there,
                            const CompareSpec& request, const std::function<void()>& tick = {});

}  // namespace orbelan
