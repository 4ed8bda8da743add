#include "dialogs/balloon_hint.h"

#include <algorithm>

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "core/ui.h"
#include "dialogs/kind_icons.h"

namespace orbelan {

namespace {

constexpr int Margin = 8;
constexpr int IconSize = 16;
constexpr int TailHeight = 14;
constexpr int TailWidth = 14;
constexpr int TailInset = 16;  // from the bubble's left edge to the tail's tip
constexpr int Radius = 6;

QFont HeaderFont(const QFont& base) {
    QFont f = base;
    f.setBold(true);
    return f;
}

}  // namespace

BalloonHint::BalloonHint(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("BalloonHint"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    header_ = QStringLiteral("Problema !");
    icon_ = DrawKindIcon(mkError, IconSize);

    hideTimer_.setSingleShot(true);
    hideTimer_.setTimerType(Qt::PreciseTimer);
    hideTimer_.setInterval(DefaultHideMs);
    connect(&hideTimer_, &QTimer::timeout, this, [this] {
        fadeTimer_.stop();
        hide();
    });
    fadeTimer_.setInterval(FadeIntervalMs);
    connect(&fadeTimer_, &QTimer::timeout, this, &BalloonHint::FadeTick);
}

void BalloonHint::Show(QWidget* control, const QString& text) {
    text_ = text;
    target_ = control ? control->mapToGlobal(QPoint(10, 10)) : QCursor::pos();
    hide();
    Layout();

    fadeStep_ = 0;
    setWindowOpacity(0.0);
    show();
    raise();
    fadeTimer_.start();
    hideTimer_.start();
}

void BalloonHint::Layout() {
    const QFontMetrics textMetrics(font());
    const QFontMetrics headerMetrics(HeaderFont(font()));

    const int textLeft = Margin + IconSize + 6;
    const int textWidth = PreferredWidth - textLeft - Margin;
    const QRect wrapped =
        textMetrics.boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, text_);
    const int headerHeight = std::max(headerMetrics.height(), IconSize);
    const int bubbleHeight = Margin + headerHeight + 4 + wrapped.height() + Margin;

    // Below the point when there is room on the screen, above it otherwise.
    const QScreen* screen = QGuiApplication::screenAt(target_);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    const int totalHeight = bubbleHeight + TailHeight;
    tailOnTop_ =
        target_.y() + totalHeight <= avail.bottom() || target_.y() - totalHeight < avail.top();

    int left = target_.x() - TailInset;
    left = std::clamp(left, avail.left(), std::max(avail.left(), avail.right() - PreferredWidth));
    tailX_ = target_.x() - left;
    const int top = tailOnTop_ ? target_.y() : target_.y() - totalHeight;

    bubble_ = QRect(0, tailOnTop_ ? TailHeight : 0, PreferredWidth, bubbleHeight);
    iconRect_ = QRect(Margin, bubble_.top() + Margin, IconSize, IconSize);
    headerRect_ = QRect(textLeft, bubble_.top() + Margin, textWidth, headerHeight);
    textRect_ = QRect(textLeft, headerRect_.bottom() + 1 + 4, textWidth, wrapped.height());

    const int tipY = tailOnTop_ ? 0 : totalHeight - 1;
    const int baseY = tailOnTop_ ? bubble_.top() + 1 : bubble_.bottom() - 1;
    const int baseLeft = std::clamp(tailX_, Radius, PreferredWidth - Radius - TailWidth);
    shape_ = QPainterPath();
    shape_.addRoundedRect(QRectF(bubble_).adjusted(0, 0, -1, -1), Radius, Radius);
    QPainterPath tail;
    tail.moveTo(tailX_, tipY);
    tail.lineTo(baseLeft, baseY);
    tail.lineTo(baseLeft + TailWidth, baseY);
    tail.closeSubpath();
    shape_ = shape_.united(tail).simplified();

    setFixedSize(PreferredWidth, totalHeight);
    move(left, top);
    setMask(QRegion(shape_.toFillPolygon().toPolygon()));
}

void BalloonHint::FadeTick() {
    ++fadeStep_;
    setWindowOpacity(std::min(1.0, double(fadeStep_) / FadeSteps));
    if (fadeStep_ >= FadeSteps) fadeTimer_.stop();
}

void BalloonHint::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0xFF, 0xFF, 0xE1));
    p.setPen(QPen(QColor(0x76, 0x76, 0x76), 1));
    p.setBrush(QColor(0xFF, 0xFF, 0xE1));
    p.drawPath(shape_);

    p.drawPixmap(iconRect_, icon_);
    p.setPen(Qt::black);
    p.setFont(HeaderFont(font()));
    p.drawText(headerRect_, Qt::AlignLeft | Qt::AlignVCenter, header_);
    p.setFont(font());
    p.drawText(textRect_, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
}

void BalloonHint::mousePressEvent(QMouseEvent*) {
    hideTimer_.stop();
    fadeTimer_.stop();
    hide();
}

}  // namespace orbelan
