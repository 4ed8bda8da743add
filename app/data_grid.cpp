#include "app/data_grid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

#include "app/field_delegate.h"

namespace orbelan {
namespace {

constexpr QAbstractItemView::EditTriggers kEditTriggers = QAbstractItemView::DoubleClicked |
                                                          QAbstractItemView::EditKeyPressed |
                                                          QAbstractItemView::AnyKeyPressed;

}  // namespace

TDataGrid::TDataGrid(Table& table, QWidget* parent)
    : QTableView(parent), table_(table), model_(new TableModel(table, this)) {
    setObjectName(QStringLiteral("Grid1"));
    setModel(model_);
    setItemDelegate(new FieldDelegate(table, this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(kEditTriggers);
    setTabKeyNavigation(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the keys and the wheel move the rows
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: #C0C0C0; background: #F5F5F5; }"));

    QHeaderView* titles = horizontalHeader();
    titles->setFixedHeight(24);
    titles->setDefaultAlignment(
        Qt::Alignment::fromInt(int(Qt::AlignCenter) | int(Qt::TextWordWrap)));
    titles->setSectionsClickable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setSectionsMovable(true);  // a title dragged moves its column; a click still sorts
    QHeaderView* indicator = verticalHeader();
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setDefaultSectionSize(17);
    indicator->setMinimumSectionSize(17);
    indicator->setFixedWidth(11);
    indicator->setDefaultAlignment(Qt::AlignCenter);

    confirmDelete = [this] {
        return QMessageBox::question(this, QStringLiteral("Confirm"),
                                     QStringLiteral("Delete record?")) == QMessageBox::Yes;
    };

    connect(titles, &QHeaderView::sectionClicked, this, &TDataGrid::titleClicked);
    const auto arranged = [this] {
        if (!arranging_) emit columnsArranged();
    };
    connect(titles, &QHeaderView::sectionResized, this, arranged);
    connect(titles, &QHeaderView::sectionMoved, this, arranged);
    connect(model_, &TableModel::cursorMoved, this, &TDataGrid::QueueFollow);
    connect(model_, &TableModel::writeFailed, this, &TDataGrid::failure);
    // Connected after the selection model: its choice of current row is made by then.
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
        removing_ = false;
        FollowCursor(table_.Active() ? table_.CurrentRow() : -1);
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        FitColumnsToNewStructure();
        FollowCursor(table_.Active() ? table_.CurrentRow() : -1);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!busy_ && index.isValid() && IsMemoColumn(index.column()))
            emit memoWanted(index.row(), index.column());
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuWanted(viewport()->mapToGlobal(pos)); });
}

void TDataGrid::FollowCursor(int row) {
    if (row < 0 || row >= model_->rowCount()) return;
    // After a reset the scroll range still fits the old row count until the delayed layout
    // runs; scrolling to a row the table has just grown by would stop short of it.
    executeDelayedItemsLayout();
    syncing_ = true;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(model_->index(row, column));
    syncing_ = false;
}

int TDataGrid::NaturalColumnWidth(int column) const {
    if (!table_.Active() || column < 0 || column >= table_.FieldCount()) return 0;
    const FieldDef& f = table_.Field(column);
    int chars = f.size;
    switch (f.type) {
        case 'D':
            chars = 10;
            break;
        case 'T':
        case '@':
            chars = 19;
            break;
        case 'M':
        case 'G':
        case 'P':
            chars = 10;
            break;
        case 'L':
            chars = 5;
            break;
        default:
            break;
    }
    const QFontMetrics cells(font());
    const QFontMetrics titles(horizontalHeader()->font());
    const int text = cells.horizontalAdvance(QLatin1Char('0')) * chars;
    const int title = titles.horizontalAdvance(QString::fromStdString(f.name));
    return std::min(kMaxColumnWidth, std::max(text, title) + 12);
}

void TDataGrid::FitColumnsToNewStructure() {
    std::string structure;
    if (table_.Active()) {
        for (int i = 0; i < table_.FieldCount(); ++i) {
            const FieldDef& f = table_.Field(i);
            structure += f.name + ' ' + f.type + std::to_string(f.size) + ';';
        }
    }
    if (structure == shownStructure_) return;
    shownStructure_ = structure;
    arranging_ = true;
    QHeaderView* titles = horizontalHeader();
    for (int i = 0; i < model_->columnCount(); ++i) {
        titles->moveSection(titles->visualIndex(i), i);
        setColumnWidth(i, NaturalColumnWidth(i));
    }
    arranging_ = false;
}

std::vector<ColumnPlace> TDataGrid::ColumnLayout() const {
    std::vector<ColumnPlace> layout;
    if (!table_.Active()) return layout;
    const QHeaderView* titles = horizontalHeader();
    for (int visual = 0; visual < titles->count(); ++visual) {
        const int logical = titles->logicalIndex(visual);
        if (logical < 0 || logical >= table_.FieldCount()) continue;
        layout.push_back(
            {QString::fromStdString(table_.Field(logical).name), titles->sectionSize(logical)});
    }
    return layout;
}

void TDataGrid::ApplyColumnLayout(const std::vector<ColumnPlace>& layout) {
    if (!table_.Active()) return;
    arranging_ = true;
    QHeaderView* titles = horizontalHeader();
    int place = 0;
    for (const ColumnPlace& c : layout) {
        const int logical = table_.FieldIndex(c.name.toStdString());
        if (logical < 0 || logical >= titles->count()) continue;
        titles->moveSection(titles->visualIndex(logical), place++);
        setColumnWidth(logical, std::clamp(c.width, 8, 4 * kMaxColumnWidth));
    }
    arranging_ = false;
}

void TDataGrid::SetBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    setEditTriggers(busy ? NoEditTriggers : kEditTriggers);
}

void TDataGrid::QueueFollow() {
    if (followQueued_) return;
    followQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        followQueued_ = false;
        if (table_.Active()) FollowCursor(table_.CurrentRow());
    });
}

void TDataGrid::FinishEditing() {
    if (state() != EditingState) return;
    QWidget* editor = QApplication::focusWidget();
    if (!editor || !isAncestorOf(editor)) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool TDataGrid::FinishRow() {
    const auto state = table_.GetState();
    if (state != Table::State::Edit && state != Table::State::Insert) return true;
    try {
        table_.Post();
        return true;
    } catch (const std::exception& e) {
        emit failure(QString::fromUtf8(e.what()));
        return false;
    }
}

void TDataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncing_ || removing_ || !current.isValid() || !table_.Active()) return;
    if (current.row() == table_.CurrentRow()) return;
    if (busy_) {  // the running command owns the cursor
        QueueFollow();
        return;
    }
    if (!FinishRow()) {
        FollowCursor(table_.CurrentRow());
        return;
    }
    try {
        table_.MoveTo(current.row());
    } catch (const std::exception& e) {
        emit failure(QString::fromUtf8(e.what()));
    }
}

void TDataGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The view makes the row after a removed current one current, while the table already
    // stands on the row that took its place: the grid follows the table, never the other way.
    removing_ = true;
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void TDataGrid::keyPressEvent(QKeyEvent* event) {
    if (busy_) return;
    // Ctrl+Tab leaves the grid (the view itself would take it for Tab and move a cell on).
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab &&
                                    !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
        if (table_.Active() && !table_.IsEmpty() && confirmDelete && confirmDelete())
            DeleteCurrentRow();
        return;
    }
    const bool opens = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                       event->key() == Qt::Key_F2;
    if (opens && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        currentIndex().isValid() && IsMemoColumn(currentIndex().column())) {
        emit memoWanted(currentIndex().row(), currentIndex().column());
        return;
    }
    if (event->key() == Qt::Key_Escape && table_.Active() &&
        table_.GetState() != Table::State::Browse) {
        table_.Cancel();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool TDataGrid::IsMemoColumn(int column) const {
    return table_.Active() && column >= 0 && column < table_.FieldCount() &&
           table_.Field(column).IsMemo();
}

void TDataGrid::DeleteCurrentRow() {
    try {
        if (table_.GetState() == Table::State::Insert) {
            table_.Cancel();
            return;
        }
        table_.Delete();
    } catch (const std::exception& e) {
        emit failure(QString::fromUtf8(e.what()));
    }
}

void TDataGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    // A new row the user hasn't typed into is dropped when the focus leaves the grid for
    // another control; another window coming up (a message, a menu) leaves it alone.
    const bool leftForAnotherControl =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (leftForAnotherControl && table_.Active() && table_.GetState() == Table::State::Insert &&
        state() != EditingState && !table_.Modified())
        table_.Cancel();
}

}  // namespace orbelan
