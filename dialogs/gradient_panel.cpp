#include "dialogs/gradient_panel.h"

#include <algorithm>

#include <QPainter>

namespace orbelan {

namespace {

int Blend(int a, int b, int step, int last) {
    return last <= 0 ? a : a + (b - a) * step / last;
}

}  // namespace

QColor GradientStepColor(const QColor& from, const QColor& to, int step, int steps) {
    const int last = steps - 1;
    step = std::clamp(step, 0, std::max(last, 0));
    return QColor(Blend(from.red(), to.red(), step, last),
                  Blend(from.green(), to.green(), step, last),
                  Blend(from.blue(), to.blue(), step, last));
}

QRect GradientBandRect(const QRect& area, int step, int steps, bool rightToLeft) {
    if (steps <= 0) return area;
    const int w = area.width();
    // Edges from the band index so that rounding never leaves a gap between bands.
    const int start = w * step / steps;
    const int end = w * (step + 1) / steps;
    if (rightToLeft) return QRect(area.left() + w - end, area.top(), end - start, area.height());
    return QRect(area.left() + start, area.top(), end - start, area.height());
}

GradientPanel::GradientPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::SetColors(const QColor& from, const QColor& to) {
    from_ = from;
    to_ = to;
    update();
}

void GradientPanel::SetSteps(int steps) {
    steps_ = std::max(steps, 1);
    update();
}

void GradientPanel::SetRightToLeft(bool rightToLeft) {
    rightToLeft_ = rightToLeft;
    update();
}

void GradientPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < steps_; ++i) {
        const QRect band = GradientBandRect(rect(), i, steps_, rightToLeft_);
        if (!band.isEmpty()) painter.fillRect(band, GradientStepColor(from_, to_, i, steps_));
    }
}

}  // namespace orbelan
