#include "app/command_button.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyle>
#include <QStyleOptionButton>

namespace orbelan {

TLbButton::TLbButton(const QString& name, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches it, a click doesn't take the focus from the grid.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    setStyleSheet(QStringLiteral(
        "QPushButton { background: #F0F0F0; border: 1px solid #A0A0A0; border-radius: 2px; }"
        "QPushButton:hover { background: #DCE6F4; border-color: #365F9C; }"
        "QPushButton:pressed { background: #B9CBE6; }"
        "QPushButton:focus { border: 2px solid #1F3F7A; }"));
    connect(this, &QPushButton::clicked, this, [this] {
        if (!split_) OpenDropMenu();
    });
}

void TLbButton::SetSplitMenu(QMenu* menu) {
    split_ = true;
    SetDropMenu(menu);
}

void TLbButton::mouseReleaseEvent(QMouseEvent* event) {
    if (split_ && dropMenu_ && event->button() == Qt::LeftButton && isDown() &&
        event->position().x() >= width() - kMarkRoom) {
        setDown(false);
        OpenDropMenu();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

void TLbButton::OpenDropMenu() {
    if (!dropMenu_) return;
    dropMenu_->popup(mapToGlobal(QPoint(0, height())));
    // The first item lit: Enter runs it, the arrows move from it.
    for (QAction* action : dropMenu_->actions()) {
        if (action->isEnabled() && action->isVisible() && !action->isSeparator()) {
            dropMenu_->setActiveAction(action);
            break;
        }
    }
}

void TLbButton::keyPressEvent(QKeyEvent* event) {
    const bool altDown = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    if (dropMenu_ && (altDown || event->key() == Qt::Key_F4)) {
        OpenDropMenu();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void TLbButton::SetDropMenu(QMenu* menu) {
    dropMenu_ = menu;
    // The caption is centred in the room left of the menu mark, so the mark never covers it.
    if (menu)
        setStyleSheet(styleSheet() +
                      QStringLiteral("QPushButton { padding-right: %1px; }").arg(kMarkRoom));
    FitCaption();
    update();
}

void TLbButton::FitCaption() {
    // Where the window's font is missing, a wider one stands in; the caption then shrinks to
    // its room rather than losing letters at both ends.
    QFont f = parentWidget() ? parentWidget()->font() : font();
    const QString caption = QString(text()).remove(QLatin1Char('&'));
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(caption) > room)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    setFont(f);
}

void TLbButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    FitCaption();
}

QRect TLbButton::MarkRect() const {
    return QRect(width() - 12, height() / 2 - 2, 8, 5);
}

void TLbButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!dropMenu_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x36, 0x5F, 0x9C));
    p.setPen(Qt::NoPen);
    const int x = MarkRect().x(), y = MarkRect().y();
    p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + 7, y), QPoint(x + 3, y + 4)}));
}

}  // namespace orbelan
