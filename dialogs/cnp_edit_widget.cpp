#include "dialogs/cnp_edit_widget.h"

#include <QKeyEvent>

#include "cleaning/cnp.h"
#include "engine/date_util.h"

namespace orbelan {
namespace {

// The key code KeyDown works with, or 0 for a key it leaves alone.
int VirtualKey(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int base =
            event.modifiers().testFlag(Qt::KeypadModifier) ? TCNPEdit::kVkNumpad0 : TCNPEdit::kVk0;
        return base + (key - Qt::Key_0);
    }
    if (key == Qt::Key_Backspace) return TCNPEdit::kVkBack;
    if (key == Qt::Key_Delete) return TCNPEdit::kVkDelete;
    return 0;
}

}  // namespace

TCNPEdit::TCNPEdit(QWidget* parent) : QLineEdit(parent) {
    // Read-only so that the edit never inserts typed or pasted text by itself; KeyDown does.
    setReadOnly(true);
}

bool TCNPEdit::GetCorect() const {
    return CnpCorect(text().toStdString(), acceptGol_);
}

QString TCNPEdit::GetSex() const {
    return QString::fromStdString(CnpSex(text().toStdString()));
}

int TCNPEdit::GetNascutLa() const {
    return CnpNascutLa(text().toStdString());
}

QDate TCNPEdit::NascutLaDate() const {
    const CivilDate c = CivilFromDayNumber(GetNascutLa());
    return QDate(c.year, c.month, c.day);
}

void TCNPEdit::keyPressEvent(QKeyEvent* event) {
    int key = VirtualKey(*event);
    // Navigation and selection stay the edit's own; being read-only it changes no text.
    QLineEdit::keyPressEvent(event);
    if (key == 0) return;
    KeyDown(key, event->modifiers());
    event->accept();
}

void TCNPEdit::SetTextAndCaret(const QString& newText, int caret) {
    setText(newText);
    setCursorPosition(caret);
}

bool TCNPEdit::RemoveSelection() {
    if (!hasSelectedText()) return false;
    const int start = selectionStart();
    SetTextAndCaret(text().remove(start, selectedText().size()), start);
    return true;
}

void TCNPEdit::KeyDown(int& key, Qt::KeyboardModifiers /*shift*/) {
    if (key >= kVkNumpad0 && key <= kVkNumpad0 + 9) key = kVk0 + (key - kVkNumpad0);

    const int caret = cursorPosition();
    if (key == kVkBack) {
        if (RemoveSelection() || caret == 0) return;
        SetTextAndCaret(text().remove(caret - 1, 1), caret - 1);
        return;
    }
    if (key == kVkDelete) {
        if (RemoveSelection() || caret >= text().size()) return;
        SetTextAndCaret(text().remove(caret, 1), caret);
        return;
    }
    if (key < kVk0 || key > kVk0 + 9) return;

    RemoveSelection();
    QString t = text();
    if (t == QStringLiteral("0")) {
        // A lone leading zero gives way to the next digit.
        setText(QString());
        t.clear();
    }
    if (t.size() >= kMaxLength) return;
    const int at = cursorPosition();
    if (!t.isEmpty() && at < t.size() && t.at(at) == QLatin1Char('-')) return;
    const QChar digit(static_cast<char16_t>(u'0' + (key - kVk0)));
    if (t.isEmpty()) {
        SetTextAndCaret(QString(digit), 1);
    } else {
        SetTextAndCaret(t.insert(at, digit), at + 1);
    }
}

}  // namespace orbelan
