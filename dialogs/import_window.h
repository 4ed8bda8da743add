#pragma once
// "Importa din CSV sau Excel...": the preview of a CSV file or a workbook sheet, its first rows
// as they will be stored below the proposed fields (name, type, width, decimals, each editable
// and checked as typed); the CSV's delimiter and encoding or the workbook's sheet, changeable.
#include <QDialog>
#include <functional>
#include <memory>

#include "importing/import_table.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace orbelan {

class FieldGrid;

class TImportWindow : public QDialog {
    Q_OBJECT
  public:
    // load: opens the source with the options and reads it whole (the proposals need every
    // value); it throws DbfError for a source that can't be read.
    using Loader =
        std::function<std::unique_ptr<ImportSource>(const SourceOptions&, ImportPreview&)>;
    TImportWindow(const QString& sourceName, Loader load, QWidget* parent = nullptr);
    ~TImportWindow() override;

    // Reads the source with its detected options. False (with the reason) when it can't.
    bool Load(std::string& error);

    // The fields as the user left them (names in capitals); throws ArgumentError with the
    // first field list rule one of them breaks.
    std::vector<ColumnField> Columns() const;
    NewTableFormat Format() const;
    ImportSource& Source() { return *source_; }
    const ImportPreview& Preview() const { return preview_; }

    // The proposed fields, one row per source column; the current field's column is the
    // preview's current column.
    FieldGrid* ProposedFields() const { return fields_; }
    QTableWidget* RowGrid() const { return rows_; }

  private:
    void Reload();
    void ShowSource();
    void ShowRows();
    void FollowField(int field);

    Loader load_;
    std::unique_ptr<ImportSource> source_;
    ImportPreview preview_;
    SourceOptions options_;
    bool filling_ = false;
    QLabel* info_ = nullptr;
    QWidget* csvBox_ = nullptr;
    QWidget* sheetBox_ = nullptr;
    QComboBox* delimiter_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QComboBox* sheet_ = nullptr;
    QComboBox* format_ = nullptr;
    QComboBox* codePage_ = nullptr;
    FieldGrid* fields_ = nullptr;
    QTableWidget* rows_ = nullptr;
};

// The values that don't fit, listed, with "Renunt" and "Importa oricum": true for the second.
bool AskImportAnyway(QWidget* parent, const Misfits& misfits);
// Source columns that go to one field: a button for each and "Renunt"; the index of the column
// chosen, -1 for "Renunt".
int AskWhichColumn(QWidget* parent, const std::string& field,
                   const std::vector<std::string>& columns);

}  // namespace orbelan
