#include "app/field_delegate.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "engine/table.h"

namespace orbelan {
namespace {

// A number as the field can hold it: an optional sign, digits, and at most `decimals` digits
// after the program's separator (or a full stop).
QRegularExpression NumberPattern(int decimals, char separator) {
    QString pattern = QStringLiteral("[-+]?[0-9]*");
    if (decimals > 0) {
        const QString separators =
            QRegularExpression::escape(QString(QLatin1Char(separator))) + QStringLiteral("\\.");
        pattern += QStringLiteral("([%1][0-9]{0,%2})?").arg(separators).arg(decimals);
    }
    return QRegularExpression(QStringLiteral("^\\s*") + pattern + QStringLiteral("\\s*$"));
}

}  // namespace

FieldDelegate::FieldDelegate(Table& table, QObject* parent)
    : QStyledItemDelegate(parent), table_(table) {}

QWidget* FieldDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line || !table_.Active() || index.column() >= table_.FieldCount()) return editor;
    const FieldDef& field = table_.Field(index.column());
    switch (field.type) {
        case 'C':
            line->setMaxLength(field.size);
            break;
        case 'N':
        case 'F':
            line->setMaxLength(field.size);
            line->setValidator(new QRegularExpressionValidator(
                NumberPattern(field.decimals, table_.Format().decimalSeparator), line));
            break;
        default:
            break;  // dates, logicals, memo texts and the rest are checked when saved
    }
    return editor;
}

bool FieldDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(watched);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        QWidget* view = editor->parentWidget() ? editor->parentWidget()->parentWidget() : nullptr;
        if (tab && (key->modifiers() & Qt::ControlModifier) && view) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            QKeyEvent again(QEvent::KeyPress, key->key(), key->modifiers());
            QCoreApplication::sendEvent(view, &again);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

}  // namespace orbelan
