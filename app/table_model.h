#pragma once
// A thin adapter between the grid and the open table: it reads the table by visible row and
// never copies it. While the table's controls are disabled it ignores changes.
#include <QAbstractTableModel>

#include "engine/table.h"

namespace orbelan {

class TableModel : public QAbstractTableModel, private TableObserver {
    Q_OBJECT
  public:
    explicit TableModel(Table& table, QObject* parent = nullptr);
    ~TableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Table& table() const { return table_; }

  signals:
    // The table's cursor moved to a row (-1: none); the grid follows it.
    void cursorMoved(int row);
    // A value could not be written into the table.
    void writeFailed(const QString& message);

  private:
    void DataReset() override;
    void RowChanged(int row) override;
    void RowsInserted(int row, int count) override;
    void RowsRemoved(int row, int count) override;
    void CursorMoved(int row) override;
    void MoveIndicator();

    Table& table_;
    int rows_ = 0;  // rows as last announced to the view
    int columns_ = 0;
    int indicatorRow_ = -1;  // the row whose indicator was last drawn as current
    bool indicatorQueued_ = false;
};

}  // namespace orbelan
