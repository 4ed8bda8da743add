#pragma once
// "Adauga date din alt tabel" with only the new rows: the rows of the source whose key the open
// table lacks, written to a scratch file that the append reads as it reads any source.
#include <memory>
#include <string>

#include "compare/compare_tables.h"

namespace orbelan {

class Workspace;

struct NewRows {
    size_t rows = 0;      // rows of the source whose key the table lacks
    size_t known = 0;     // rows whose key the table has: left out
    size_t repeated = 0;  // rows whose key is twice on a side: left out
    size_t emptyKey = 0;  // rows with an empty key part: left out
    std::string path;     // the scratch file (a DBF, or a UTF-8 CSV for CSV and workbook sources)
    bool csv = false;

    NewRows() = default;
    NewRows(const NewRows&) = delete;
    NewRows& operator=(const NewRows&) = delete;
    ~NewRows();  // the scratch file (and its memo) removed
    // What was left out, for the closing text.
    std::string LeftOutText() const;
};

// keySpec: "COL[=SOURCECOL],...". Throws ArgumentError for a key column missing on a side,
// DbfError for a source that can't be read. No scratch file when rows is 0.
std::unique_ptr<NewRows> SelectNewRows(Workspace& ws, const std::string& source,
                                       const std::string& keySpec, const TextOptions& text,
                                       const SourceOptions& sheet = {});
// The same with the key's columns by index (of the table's fields and of the source's columns,
// as OpenCompareSource reads them).
std::unique_ptr<NewRows> SelectNewRows(Workspace& ws, const std::string& source,
                                       const std::vector<KeyColumn>& key, const TextOptions& text,
                                       const SourceOptions& sheet = {});

}  // namespace orbelan
