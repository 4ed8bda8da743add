#pragma once
// Ordering the records of a file by field values, without copying them: the sort command and
// the local SQL's ORDER BY and GROUP BY.
//
// Key order, ascending:
//   C V       Romanian alphabetical order (engine/romanian_order.h), equal letters by their
//             bytes; trailing blanks ignored (so "POP" == "POP  ")
//   Q         bytes
//   N F       by value, read from the stored digits (exact even beyond a double's precision)
//   I + Y B O by value, from their binary form
//   D         chronologically; T @ by date and time
//   L         empty < False < True
// An empty value (blanks, a null of Visual FoxPro) comes first. A value its type can't hold
// ("12a" in N, "20241340" in D) can't be placed, so it sorts among the empty values. Equal keys
// keep their given order (file order for OrderedRecords): the sort is stable.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbelan {

class DbfFile;

struct SortKey {
    int field = 0;  // index among the file's fields
    bool descending = false;
};

// The physical indexes of the records not marked deleted, ascending by field. Throws
// DbfError(Sql) for a memo field: "Nu se poate ordona dupa campul memo OBS."
std::vector<uint32_t> OrderedRecords(const DbfFile& file, int field);

// The given records (physical indexes) ordered by the keys, the first key first; records with
// equal keys keep their order in `records`.
std::vector<uint32_t> OrderRecords(const DbfFile& file, std::vector<uint32_t> records,
                                   const std::vector<SortKey>& keys);

// GROUP BY over records ordered by fields: the positions in `ordered` where a new combination
// of keys begins (the first is 0), equal keys being those the ordering can't tell apart (text:
// the same bytes).
std::vector<size_t> GroupStarts(const DbfFile& file, const std::vector<uint32_t>& ordered,
                                const std::vector<int>& fields);

}  // namespace orbelan
