#pragma once
// The displayed rows of the open table as pages: the grid's columns as the export engine sees
// them, the rows read straight from the table as each page is laid out or painted.
#include <memory>
#include <string>
#include <vector>

#include "print/page_layout.h"

namespace orbelan {

class Table;
class TovCustomExport;
struct TovGrid;

class TablePrintRows : public PrintRows {
  public:
    TablePrintRows(Table& table, std::vector<int> fields);
    int Count() override;
    void Read(int row, std::vector<std::string>& cells, const std::vector<bool>* only) override;

  private:
    Table& table_;
    std::vector<int> fields_;
};

struct TablePages {
    std::unique_ptr<TablePrintRows> rows;
    std::unique_ptr<PageLayout> layout;
    std::string title;
};

// `exp` bound to `grid` (BindExport): its widths, captions and alignments; the header's name,
// filter and date.
TablePages LayOutTable(TovCustomExport& exp, const TovGrid& grid);

}  // namespace orbelan
