#include "app/table_model.h"

#include <QBrush>
#include <QColor>
#include <QTimer>

namespace orbelan {
namespace {

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

TableModel::TableModel(Table& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
    table_.AddObserver(this);
    DataReset();
}

TableModel::~TableModel() {
    table_.RemoveObserver(this);
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    // The table may have changed while the grid was not following it: ask only what it has.
    if (!index.isValid() || !table_.Active() || index.row() >= rows_ ||
        index.column() >= table_.FieldCount())
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            // Painting must never throw; a value that can't be read shows as empty. A memo cell
            // reads only the start it shows; its tooltip is the whole text.
            try {
                const bool memo = table_.Field(index.column()).IsMemo();
                if (role == Qt::ToolTipRole && !memo) return {};
                const bool whole =
                    role == Qt::EditRole ||
                    (role == Qt::ToolTipRole && table_.Field(index.column()).type == 'M');
                return FromUtf8(whole ? table_.TextAt(index.row(), index.column())
                                      : table_.CellTextAt(index.row(), index.column()));
            } catch (const std::exception&) {
                return {};
            }
        case Qt::ForegroundRole:
            if (table_.ShowingDeleted() && table_.IsDeletedAt(index.row()))
                return QBrush(QColor(0x909090));
            return {};
        case Qt::BackgroundRole:
            return QBrush(QColor(index.row() % 2 ? 0xF5F5F5 : 0xE4E4E4));
        case Qt::TextAlignmentRole: {
            const char type = table_.Field(index.column()).type;
            const bool numeric = type == 'N' || type == 'F' || type == 'I' || type == 'B' ||
                                 type == 'Y' || type == '+' || type == 'O';
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (numeric ? Qt::AlignRight : Qt::AlignLeft));
        }
        default:
            return {};
    }
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !table_.Active()) return false;
    try {
        if (table_.CurrentRow() != index.row()) {
            const auto state = table_.GetState();
            if (state == Table::State::Edit || state == Table::State::Insert) table_.Post();
            table_.MoveTo(index.row());
        }
        const QByteArray text = value.toString().toUtf8();
        if (FromUtf8(table_.AsText(index.column())) == value.toString()) return true;
        table_.SetText(index.column(), std::string_view(text.constData(), size_t(text.size())));
    } catch (const std::exception& e) {
        emit writeFailed(QString::fromUtf8(e.what()));
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !table_.Active()) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns_ || section >= table_.FieldCount()) return {};
        return FromUtf8(table_.Field(section).name);
    }
    // The row indicator: the current row, and how it is being changed; a deleted row on show.
    if (section != table_.CurrentRow())
        return table_.ShowingDeleted() && table_.IsDeletedAt(section) ? QString(QChar(0x00D7))
                                                                      : QString();
    switch (table_.GetState()) {
        case Table::State::Insert:
            return QStringLiteral("*");
        case Table::State::Edit:
            return QStringLiteral("I");
        default:
            return QString(QChar(0x25B8));
    }
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Memo values are changed in the memo window, not in the cell.
    const bool memo = table_.Active() && index.column() < table_.FieldCount() &&
                      table_.Field(index.column()).IsMemo();
    if (memo) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void TableModel::DataReset() {
    beginResetModel();
    rows_ = table_.Active() ? table_.RecordCount() : 0;
    columns_ = table_.Active() ? table_.FieldCount() : 0;
    endResetModel();
}

void TableModel::RowChanged(int row) {
    if (row < 0 || row >= rows_) return;
    emit dataChanged(index(row, 0), index(row, columns_ - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void TableModel::RowsInserted(int row, int count) {
    if (count <= 0) return;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    rows_ += count;
    endInsertRows();
}

void TableModel::RowsRemoved(int row, int count) {
    if (count <= 0 || row < 0 || row + count > rows_) {
        DataReset();
        return;
    }
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    rows_ -= count;
    endRemoveRows();
}

void TableModel::CursorMoved(int row) {
    emit cursorMoved(row);
    // A command walking a million rows moves the cursor a million times: the indicator is
    // repainted once, when the window next handles its events.
    if (indicatorQueued_) return;
    indicatorQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        indicatorQueued_ = false;
        MoveIndicator();
    });
}

void TableModel::MoveIndicator() {
    const int row = table_.Active() ? table_.CurrentRow() : -1;
    if (row == indicatorRow_) return;
    if (indicatorRow_ >= 0 && indicatorRow_ < rows_)
        emit headerDataChanged(Qt::Vertical, indicatorRow_, indicatorRow_);
    indicatorRow_ = row;
    if (row >= 0 && row < rows_) emit headerDataChanged(Qt::Vertical, row, row);
}

}  // namespace orbelan
