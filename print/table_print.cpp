#include "print/table_print.h"

#include "engine/table.h"
#include "export/grid_export.h"

namespace orbelan {

TablePrintRows::TablePrintRows(Table& table, std::vector<int> fields)
    : table_(table), fields_(std::move(fields)) {}

int TablePrintRows::Count() {
    return table_.RecordCount();
}

void TablePrintRows::Read(int row, std::vector<std::string>& cells, const std::vector<bool>* only) {
    const uint8_t* record = table_.RecordAt(row);
    cells.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (only && !(*only)[i]) continue;
        cells[i].clear();
        AppendGridCell(table_, record, fields_[i], cells[i]);
    }
}

TablePages LayOutTable(TovCustomExport& exp, const TovGrid& grid) {
    std::vector<PrintColumn> columns;
    std::vector<int> fields;
    for (int column = 0; column < static_cast<int>(grid.columns.size()); ++column) {
        if (!exp.ColumnShown(column)) continue;
        const int field = grid.columns[static_cast<size_t>(column)].field;
        // A memo's text is as long as it is, whatever its field's width.
        const bool memo =
            field >= 0 && field < grid.table->FieldCount() && grid.table->Field(field).IsMemo();
        columns.push_back({exp.ColumnCaption(column), exp.ColumnChars(column),
                           exp.ColumnAlignment(column), !memo});
        fields.push_back(field);
    }
    TablePages pages;
    pages.title = exp.DocumentName();
    pages.rows = std::make_unique<TablePrintRows>(*grid.table, std::move(fields));
    pages.layout = std::make_unique<PageLayout>(
        std::move(columns), *pages.rows,
        PrintHeading{pages.title, exp.ShownFilter(), exp.CreatedLine()});
    return pages;
}

}  // namespace orbelan
