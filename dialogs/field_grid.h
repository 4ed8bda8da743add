#pragma once
// The fields of a table as rows to edit: name, type, width, decimals and (Visual FoxPro) whether
// the field may be null. Every cell is checked as it is typed, with a balloon on the cell at
// fault; the rules are those of engine/field_list.h. A row filled from a table remembers the
// field it came from, through moves and renames, so a structure change knows whose values each
// field keeps.
#include <QTableWidget>
#include <vector>

#include "engine/dbf_header.h"
#include "engine/field_def.h"
#include "engine/field_list.h"

class QComboBox;

namespace orbelan {

class BalloonHint;

class FieldGrid : public QTableWidget {
    Q_OBJECT
  public:
    enum Column { ColName, ColType, ColWidth, ColDecimals, ColNull, ColumnCount };

    explicit FieldGrid(QWidget* parent = nullptr);

    // The types offered and the null column follow the table's format.
    void SetFamily(DbfFamily family);
    DbfFamily Family() const { return family_; }

    // One row per field; each row remembers its field's index (a table's structure).
    void SetFields(const std::vector<FieldDef>& fields);
    std::vector<FieldDef> Fields() const;
    // For each row, the index of the field it was filled from; -1 for a row added since.
    std::vector<int> Sources() const;
    FieldDef FieldAt(int row) const;

    // A new C(10) row after the current one (at the end when none), its name open for typing.
    int AddField();
    void RemoveCurrent();
    void MoveCurrent(int delta);  // -1 up, +1 down
    QComboBox* TypeBox(int row) const;

    // A cell being typed keeps what was typed in it.
    void FinishEditing();
    // Every row checked in order (the cell being typed first finished): at the first fault the cell
    // becomes current and the balloon shows the reason; false then.
    bool Check();
    BalloonHint* Balloon() const { return balloon_; }

  signals:
    void FieldsChanged();

  private:
    friend class FieldGridDelegate;
    void InsertRow(int row, const FieldDef& field, int source);
    void TypeChosen(int row);
    // The check of one cell with the text being typed; a fault shows the balloon.
    bool CheckCell(int row, int column, const QString& typed);
    void ShowProblem(int row, int column, const QString& text);
    int RowOf(const QWidget* typeBox) const;
    // For each row, the field it was filled from (type 0 for a new row).
    std::vector<FieldDef> Originals() const;
    FieldProblem Judge(const std::vector<FieldDef>& fields, int* at) const;

    DbfFamily family_ = DbfFamily::DBase3;
    BalloonHint* balloon_;
    QWidget* anchor_;  // an invisible widget over the cell the balloon points at
    bool filling_ = false;
};

}  // namespace orbelan
