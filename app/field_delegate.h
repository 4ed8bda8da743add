#pragma once
// The grid's cell editor: it takes no more characters than the field holds, and for numbers no
// more digits after the separator than the field's decimals, as a data-aware grid's editor
// does; a value typed too long is refused as it is typed, never cut when it is saved.
#include <QStyledItemDelegate>

namespace orbelan {

class Table;

class FieldDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    FieldDelegate(Table& table, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

  protected:
    // Ctrl+Tab in an open cell keeps the typed value and leaves the grid, as outside one.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Table& table_;
};

}  // namespace orbelan
