#include "dialogs/chart_view.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>

namespace orbelan {

TChartView::TChartView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Grafic"));
}

void TChartView::SetChart(ChartData chart) {
    chart_ = std::move(chart);
    focusBar_ = 0;
    focusSecond_ = false;
    setMinimumHeight(ChartSize(chart_).height());
    updateGeometry();
    update();
}

void TChartView::SetClickable(bool on) {
    clickable_ = on;
    setCursor(Qt::ArrowCursor);
}

QSize TChartView::sizeHint() const {
    return ChartSize(chart_);
}

void TChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawChart(painter, rect(), chart_);
    if (hasFocus() && clickable_ && focusBar_ < static_cast<int>(chart_.bars.size())) {
        // The chosen bar's row, framed: found by asking which row each line belongs to.
        int top = -1, bottom = -1;
        const double x = chart_.kind == ChartKind::Pyramid
                             ? (focusSecond_ ? width() * 0.75 : width() * 0.25)
                             : width() / 2.0;
        for (int y = 0; y < height(); ++y) {
            bool second = false;
            if (ChartBarAt(chart_, rect(), QPointF(x, y), &second) == focusBar_) {
                if (top < 0) top = y;
                bottom = y;
            }
        }
        if (top >= 0) {
            painter.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRect(2, top, width() - 5, bottom - top));
        }
    }
}

void TChartView::keyPressEvent(QKeyEvent* event) {
    const int bars = static_cast<int>(chart_.bars.size());
    if (!clickable_ || bars == 0) return QWidget::keyPressEvent(event);
    switch (event->key()) {
        case Qt::Key_Up:
            focusBar_ = std::max(0, focusBar_ - 1);
            break;
        case Qt::Key_Down:
            focusBar_ = std::min(bars - 1, focusBar_ + 1);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            focusSecond_ = chart_.kind == ChartKind::Pyramid && event->key() == Qt::Key_Right;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            emit barClicked(std::min(focusBar_, bars - 1), focusSecond_);
            return;
        default:
            return QWidget::keyPressEvent(event);
    }
    update();
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
    const bool over = clickable_ && ChartBarAt(chart_, rect(), event->position()) >= 0;
    setCursor(over ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!clickable_ || event->button() != Qt::LeftButton) return;
    bool second = false;
    const int bar = ChartBarAt(chart_, rect(), event->position(), &second);
    if (bar >= 0) emit barClicked(bar, second);
}

void PaintChartPage(QPrinter& printer, const ChartData& chart) {
    QPainter painter(&printer);
    const QRectF page = painter.viewport();
    const QSize size = ChartSize(chart);
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.translate((page.width() - size.width() * scale) / 2, 0);
    painter.scale(scale, scale);
    DrawChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), chart);
}

void TChartView::Print(QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromUtf8(chart_.title.c_str()));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Tiparire grafic"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
            [this](QPrinter* p) { PaintChartPage(*p, chart_); });
    preview.exec();
}

void TChartView::SaveAs(QWidget* parent) {
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Salveaza graficul"), QString(),
                                     QStringLiteral("Imagine PNG (*.png);;Document PDF (*.pdf)"));
    if (path.isEmpty()) return;
    try {
        SaveChart(chart_, path.toStdString());
    } catch (const std::exception& e) {
        QMessageBox::warning(parent, QStringLiteral("Salveaza graficul"),
                             QString::fromUtf8(e.what()));
    }
}

}  // namespace orbelan
