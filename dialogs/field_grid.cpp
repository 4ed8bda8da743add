#include "dialogs/field_grid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include "dialogs/balloon_hint.h"
#include "engine/field_list.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

constexpr int SourceRole = Qt::UserRole;        // the field's index in the table; -1 new
constexpr int OriginalRole = Qt::UserRole + 1;  // the field as the table had it

const char* TypeTitle(char type) {
    switch (type) {
        case 'C':
            return "C - text";
        case 'N':
            return "N - numar";
        case 'F':
            return "F - numar real";
        case 'D':
            return "D - data";
        case 'L':
            return "L - logic (DA/NU)";
        case 'M':
            return "M - memo (text lung)";
        case 'I':
            return "I - intreg";
        case 'B':
            return "B - numar dublu";
        case 'Y':
            return "Y - valuta";
        case 'T':
            return "T - data si ora";
        case 'V':
            return "V - text variabil";
        default:
            return nullptr;
    }
}

int ColumnOf(FieldProblem::Part part) {
    switch (part) {
        case FieldProblem::Part::Type:
            return FieldGrid::ColType;
        case FieldProblem::Part::Width:
            return FieldGrid::ColWidth;
        case FieldProblem::Part::Decimals:
            return FieldGrid::ColDecimals;
        case FieldProblem::Part::Null:
            return FieldGrid::ColNull;
        default:
            return FieldGrid::ColName;
    }
}

}  // namespace

// Cells are checked while they are typed, not only when the editor closes.
class FieldGridDelegate : public QStyledItemDelegate {
  public:
    explicit FieldGridDelegate(FieldGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("FieldEditor"));
        const int row = index.row();
        const int column = index.column();
        if (column == FieldGrid::ColWidth || column == FieldGrid::ColDecimals)
            edit->setValidator(new QIntValidator(0, 999, edit));
        QObject::connect(
            edit, &QLineEdit::textEdited, grid_,
            [this, row, column](const QString& t) { grid_->CheckCell(row, column, t); });
        return edit;
    }

  private:
    FieldGrid* grid_;
};

FieldGrid::FieldGrid(QWidget* parent) : QTableWidget(0, ColumnCount, parent) {
    setObjectName(QStringLiteral("FieldGrid"));
    setHorizontalHeaderLabels({QStringLiteral("Nume"), QStringLiteral("Tip"),
                               QStringLiteral("Lungime"), QStringLiteral("Zecimale"),
                               QStringLiteral("Nul")});
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setItemDelegate(new FieldGridDelegate(this));
    horizontalHeader()->setSectionResizeMode(ColType, QHeaderView::Stretch);
    setColumnWidth(ColName, 110);
    setColumnWidth(ColWidth, 70);
    setColumnWidth(ColDecimals, 70);
    setColumnWidth(ColNull, 40);
    setColumnHidden(ColNull, true);
    balloon_ = new BalloonHint(this);
    anchor_ = new QWidget(viewport());
    anchor_->setAttribute(Qt::WA_TransparentForMouseEvents);
    anchor_->hide();
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_) return;
        if (item->column() != ColNull) CheckCell(item->row(), item->column(), item->text());
        emit FieldsChanged();
    });
}

void FieldGrid::SetFamily(DbfFamily family) {
    family_ = family;
    setColumnHidden(ColNull, family != DbfFamily::VisualFoxPro);
    // Each row offers the family's types; a table's own odd type stays on its row.
    for (int row = 0; row < rowCount(); ++row) {
        const FieldDef f = FieldAt(row);
        QComboBox* box = TypeBox(row);
        const QSignalBlocker block(box);
        box->clear();
        for (char t : FieldTypesOf(family)) box->addItem(Q(TypeTitle(t)), QChar::fromLatin1(t));
        if (box->findData(QChar::fromLatin1(f.type)) < 0)
            box->addItem(QString(QChar::fromLatin1(f.type)), QChar::fromLatin1(f.type));
        box->setCurrentIndex(box->findData(QChar::fromLatin1(f.type)));
        TypeChosen(row);
    }
}

void FieldGrid::SetFields(const std::vector<FieldDef>& fields) {
    setRowCount(0);
    for (size_t i = 0; i < fields.size(); ++i)
        InsertRow(static_cast<int>(i), fields[i], static_cast<int>(i));
}

void FieldGrid::InsertRow(int row, const FieldDef& field, int source) {
    filling_ = true;
    insertRow(row);
    auto* name = new QTableWidgetItem(Q(field.name));
    name->setData(SourceRole, source);
    if (source >= 0)
        name->setData(OriginalRole, QVariantList{Q(field.name), QChar::fromLatin1(field.type),
                                                 field.size, field.decimals, int(field.flags)});
    setItem(row, ColName, name);
    setItem(row, ColWidth, new QTableWidgetItem(QString::number(field.size)));
    setItem(row, ColDecimals, new QTableWidgetItem(QString::number(field.decimals)));
    auto* null = new QTableWidgetItem();
    null->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    null->setCheckState((field.flags & 0x02) ? Qt::Checked : Qt::Unchecked);
    setItem(row, ColNull, null);

    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("FieldType"));
    for (char t : FieldTypesOf(family_)) box->addItem(Q(TypeTitle(t)), QChar::fromLatin1(t));
    if (box->findData(QChar::fromLatin1(field.type)) < 0)
        box->addItem(QString(QChar::fromLatin1(field.type)), QChar::fromLatin1(field.type));
    box->setCurrentIndex(box->findData(QChar::fromLatin1(field.type)));
    setCellWidget(row, ColType, box);
    connect(box, &QComboBox::currentIndexChanged, this, [this, box] {
        const int r = RowOf(box);
        if (r < 0) return;
        TypeChosen(r);
        emit FieldsChanged();
    });
    filling_ = false;
    TypeChosen(row);
}

int FieldGrid::RowOf(const QWidget* typeBox) const {
    for (int row = 0; row < rowCount(); ++row)
        if (cellWidget(row, ColType) == typeBox) return row;
    return -1;
}

QComboBox* FieldGrid::TypeBox(int row) const {
    return static_cast<QComboBox*>(cellWidget(row, ColType));
}

void FieldGrid::TypeChosen(int row) {
    const char type = FieldAt(row).type;
    const int fixed = FixedFieldSize(type, family_);
    const bool decimals = type == 'N' || type == 'F' || type == 'B';
    filling_ = true;
    QTableWidgetItem* width = item(row, ColWidth);
    QTableWidgetItem* dec = item(row, ColDecimals);
    const Qt::ItemFlags editable = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    const Qt::ItemFlags fixedFlags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (fixed) {
        width->setText(QString::number(fixed));
    } else if (width->text().toInt() <= 0 || (width->flags() & Qt::ItemIsEditable) == 0) {
        width->setText(QStringLiteral("10"));  // a width that was the old type's fixed one
    }
    width->setFlags(fixed ? fixedFlags : editable);
    if (type == 'Y')
        dec->setText(QStringLiteral("4"));
    else if (!decimals)
        dec->setText(QStringLiteral("0"));
    dec->setFlags(decimals ? editable : fixedFlags);
    filling_ = false;
}

FieldDef FieldGrid::FieldAt(int row) const {
    FieldDef f;
    f.name = S(item(row, ColName)->text().trimmed());
    if (QComboBox* box = TypeBox(row)) {
        const QString t = box->currentData().toString();
        if (!t.isEmpty()) f.type = t.at(0).toLatin1();
    }
    f.size = item(row, ColWidth)->text().toInt();
    f.decimals = item(row, ColDecimals)->text().toInt();
    if (family_ == DbfFamily::VisualFoxPro && item(row, ColNull)->checkState() == Qt::Checked)
        f.flags = 0x02;
    return f;
}

std::vector<FieldDef> FieldGrid::Fields() const {
    std::vector<FieldDef> fields;
    for (int row = 0; row < rowCount(); ++row) fields.push_back(FieldAt(row));
    return fields;
}

std::vector<int> FieldGrid::Sources() const {
    std::vector<int> sources;
    for (int row = 0; row < rowCount(); ++row)
        sources.push_back(item(row, ColName)->data(SourceRole).toInt());
    return sources;
}

int FieldGrid::AddField() {
    const int row = currentRow() < 0 ? rowCount() : currentRow() + 1;
    InsertRow(row, FieldDef{"", 'C', 10}, -1);
    setCurrentCell(row, ColName);
    editItem(item(row, ColName));
    emit FieldsChanged();
    return row;
}

void FieldGrid::RemoveCurrent() {
    const int row = currentRow();
    if (row < 0) return;
    removeRow(row);
    if (rowCount() > 0) setCurrentCell(std::min(row, rowCount() - 1), ColName);
    emit FieldsChanged();
}

void FieldGrid::MoveCurrent(int delta) {
    const int row = currentRow();
    const int to = row + delta;
    if (row < 0 || to < 0 || to >= rowCount()) return;
    const FieldDef field = FieldAt(row);
    const int source = item(row, ColName)->data(SourceRole).toInt();
    const QVariant original = item(row, ColName)->data(OriginalRole);
    removeRow(row);
    InsertRow(to, field, source);
    item(to, ColName)->setData(OriginalRole, original);
    setCurrentCell(to, ColName);
    emit FieldsChanged();
}

std::vector<FieldDef> FieldGrid::Originals() const {
    std::vector<FieldDef> originals;
    for (int row = 0; row < rowCount(); ++row) {
        FieldDef f;
        f.type = 0;  // none: a new field
        const QVariantList was = item(row, ColName)->data(OriginalRole).toList();
        if (was.size() == 5) {
            f.name = S(was[0].toString());
            f.type = was[1].toChar().toLatin1();
            f.size = was[2].toInt();
            f.decimals = was[3].toInt();
            f.flags = static_cast<uint8_t>(was[4].toInt());
        }
        originals.push_back(f);
    }
    return originals;
}

FieldProblem FieldGrid::Judge(const std::vector<FieldDef>& fields, int* at) const {
    const std::vector<FieldDef> kept = Originals();
    std::vector<const FieldDef*> originals;
    for (size_t i = 0; i < fields.size(); ++i)
        originals.push_back(kept[i].type ? &kept[i] : nullptr);
    return CheckChangedFieldList(fields, originals, family_, at);
}

bool FieldGrid::CheckCell(int row, int column, const QString& typed) {
    if (row < 0 || row >= rowCount()) return true;
    FieldDef f = FieldAt(row);
    if (column == ColName) f.name = S(typed.trimmed());
    if (column == ColWidth) f.size = typed.toInt();
    if (column == ColDecimals) f.decimals = typed.toInt();
    // The row being typed alone, then its name against the other rows.
    const FieldDef original = Originals()[static_cast<size_t>(row)];
    FieldProblem p = CheckChangedFieldList({f}, {original.type ? &original : nullptr}, family_);
    for (int r = 0; !p && r < rowCount(); ++r) {
        const std::string other = S(item(r, ColName)->text().trimmed());
        if (r != row && SameFieldName(other, f.name))
            p = {FieldProblem::Part::Name, "Numele " + f.name + " apare de doua ori (ca " + other +
                                               "); literele mari si mici nu conteaza."};
    }
    if (p && ColumnOf(p.part) == column) {
        ShowProblem(row, column, Q(p.text));
        return false;
    }
    balloon_->hide();  // the fault it showed is mended
    return true;
}

void FieldGrid::FinishEditing() {
    if (state() != QAbstractItemView::EditingState) return;
    for (QLineEdit* editor : findChildren<QLineEdit*>(QStringLiteral("FieldEditor"))) {
        if (!editor->isVisible()) continue;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool FieldGrid::Check() {
    FinishEditing();
    int at = -1;
    const FieldProblem p = Judge(Fields(), &at);
    if (!p) {
        balloon_->hide();
        return true;
    }
    ShowProblem(std::max(at, 0), ColumnOf(p.part), Q(p.text));
    return false;
}

void FieldGrid::ShowProblem(int row, int column, const QString& text) {
    if (row >= rowCount() || !isVisible()) {
        if (row < rowCount()) setCurrentCell(row, column);
        balloon_->Show(this, text);
        return;
    }
    if (currentRow() != row || currentColumn() != column) setCurrentCell(row, column);
    scrollTo(model()->index(row, column));
    anchor_->setGeometry(visualRect(model()->index(row, column)));
    balloon_->Show(anchor_, text);
}

}  // namespace orbelan
