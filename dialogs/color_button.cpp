#include "dialogs/color_button.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "dialogs/gradient_panel.h"

namespace orbelan {

ColorButton::ColorButton(QWidget* parent) : ColorButton(QString(), parent) {}

ColorButton::ColorButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    colors_ = {QColor(0x2C, 0x29, 0x1B), QColor(0x07, 0x07, 0x05), QColor(0x73, 0x77, 0x53),
               QColor(0xDE, 0xDF, 0xD2), QColor(0x00, 0x00, 0x00)};
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    fadeTimer_.setInterval(FadeIntervalMs);
    connect(&fadeTimer_, &QTimer::timeout, this, &ColorButton::FadeTick);
}

void ColorButton::SetColors(const ButtonColors& colors) {
    colors_ = colors;
    update();
}

void ColorButton::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void ColorButton::SetFading(bool fading) {
    fading_ = fading;
    if (!fading_) {
        fadeTimer_.stop();
        fadeLevel_ = hovered_ ? FadeSteps : 0;
        update();
    }
}

QColor ColorButton::CurrentFaceColor() const {
    if (isDown()) return colors_.pressed;
    return GradientStepColor(colors_.face, colors_.hot, fadeLevel_, FadeSteps + 1);
}

void ColorButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    SetHovered(true);
}

void ColorButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    SetHovered(false);
}

void ColorButton::SetHovered(bool hovered) {
    hovered_ = hovered;
    if (fading_) {
        if (!fadeTimer_.isActive()) fadeTimer_.start();
    } else {
        fadeLevel_ = hovered_ ? FadeSteps : 0;
    }
    update();
}

void ColorButton::FadeTick() {
    const int target = hovered_ ? FadeSteps : 0;
    if (fadeLevel_ < target) ++fadeLevel_;
    if (fadeLevel_ > target) --fadeLevel_;
    if (fadeLevel_ == target) fadeTimer_.stop();
    update();
}

void ColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    p.fillRect(r, CurrentFaceColor());

    // Raised: light top-left, shadow bottom-right; sunk when pressed.
    const QColor topLeft = down ? colors_.shadow : colors_.light;
    const QColor bottomRight = down ? colors_.light : colors_.shadow;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    QRect textRect = r.adjusted(2, 2, -2, -2);
    if (down) textRect.translate(1, 1);
    p.setPen(isEnabled() ? textColor_ : colors_.light);
    p.setFont(font());
    style()->drawItemText(&p, textRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(3, 3, -3, -3);
        focus.backgroundColor = CurrentFaceColor();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace orbelan
