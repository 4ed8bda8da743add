#pragma once
// The export engine bound to the grid: the displayed rows of the open table, the grid's columns
// with their captions, visibility and alignments.
#include <string>
#include <vector>

#include "engine/field_value.h"
#include "engine/table.h"
#include "export/custom_export.h"

namespace orbelan {

// What the export needs of the grid, without Qt: one entry per grid column.
struct TovGridColumn {
    int field = -1;     // the table's field shown, -1 for none
    std::string title;  // the column's title caption; empty: the field's name
    bool visible = true;
    int alignment = 0;  // 1 left, 2 right, 3 centre, 0 none
};

struct TovGrid {
    Table* table = nullptr;
    std::vector<TovGridColumn> columns;
    bool rowSelect = false;  // dgRowSelect
    std::vector<Bookmark> selectedRows;
};

// How the grid aligns a field of this type: 2 (right) for numbers, else 1 (left).
int FieldAlignment(char type);

// A cell's text as the export writes it, appended; a value that can't be read is one blank.
void AppendGridCell(Table& table, const uint8_t* record, int field, std::string& text);

// The grid of a table shown without column definitions of its own: every field, names as
// titles, numbers right-aligned.
TovGrid GridOfTable(Table& table);

class TovDBGridExport : public TovCustomExport {
  public:
    TovDBGridExport(orbelan::Messages& messages, ExportWindows& windows, Platform& platform);

    TovGrid DBGrid;  // table == nullptr: no grid

  protected:
    void PrepareSource() override;
    void RestoreSource() override;
    void FirstRecord() override;
    int GetColumnAlignment(int column) override;
    bool SourceReady() override;
    bool AllRecordsRead() override;
    bool IsColumnVisible(int column) override;
    bool IsRecordSelected() override;
    int GetColumnWidth(int column) override;
    std::string GetColumnCaption(int column) override;
    int GetColumnCount() override;
    void ReadRecord(TovValues& values) override;
    int CountRecords() override;
    std::string ClassName() const override { return "TovDBGridExport"; }

  public:
    // The table's file name without folder and extension.
    std::string DocumentName() const override;
    std::string ShownFilter() const override;
    // The table's folder.
    std::string DocumentFolder() const override;

  private:
    const TovGridColumn* Column(int i) const;
    void ReadCell(const uint8_t* record, int field, std::optional<std::string>& value);
    void ReadTyped(const uint8_t* record, size_t column, TovTypedValue& value) const;
    // One reader per column whose field has a type beyond text; made at the first record.
    std::vector<std::optional<FieldReader>> readers_;
    Bookmark bookmark_ = -1;
    bool prepared_ = false;
    int readSinceRelease_ = 0;
};

}  // namespace orbelan
