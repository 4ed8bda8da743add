#pragma once
// The main grid: a table view over TableModel whose current row follows the table's cursor
// and back, with the row indicator, word-wrapped titles and the grid's own keys.
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "app/remembered.h"
#include "app/table_model.h"

namespace orbelan {

class TDataGrid : public QTableView {
    Q_OBJECT
  public:
    explicit TDataGrid(Table& table, QWidget* parent = nullptr);

    TableModel* tableModel() const { return model_; }

    // While a command runs, the grid shows the table but the user can't move or change it.
    void SetBusy(bool busy);
    // Hands a value still in a cell editor to the table, as leaving the cell would.
    void FinishEditing();

    // The width a column gets when a table is shown: its title or its field's text, whichever
    // is wider, at most kMaxColumnWidth.
    int NaturalColumnWidth(int column) const;
    static constexpr int kMaxColumnWidth = 300;

    // The columns in their order on screen with their widths; a layout given back is applied
    // by name (a column it doesn't name keeps its place after those it names).
    std::vector<ColumnPlace> ColumnLayout() const;
    void ApplyColumnLayout(const std::vector<ColumnPlace>& layout);

    // The grid's own question before Ctrl+Delete; replaceable in tests.
    std::function<bool()> confirmDelete;

  signals:
    void titleClicked(int column);
    void contextMenuWanted(const QPoint& globalPos);
    // Enter, F2 or a double-click on a memo cell: its memo window is wanted.
    void memoWanted(int row, int column);
    void failure(const QString& message);
    // The user resized or moved a column (not the grid fitting them to a new table).
    void columnsArranged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    void FollowCursor(int row);
    void QueueFollow();  // follows the cursor once, when the window next repaints
    bool FinishRow();    // posts a pending edit; false when it can't be posted
    void DeleteCurrentRow();
    bool IsMemoColumn(int column) const;
    // Sizes the columns to their fields when the table's structure is new to the grid; a
    // filter or a reopening of the same table keeps the widths the user set.
    void FitColumnsToNewStructure();

    Table& table_;
    TableModel* model_;
    bool syncing_ = false;
    // The model drops rows: the view's own choice of current row then is not the user's.
    bool removing_ = false;
    bool busy_ = false;
    bool followQueued_ = false;
    bool arranging_ = false;      // the grid sizes or moves columns itself
    std::string shownStructure_;  // field names, types and sizes the widths were fitted to
};

}  // namespace orbelan
