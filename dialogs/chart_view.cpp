#include "dialogs/chart_view.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>

namespace orbelan {

TChartView::TChartView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Grafic"));
}

void TChartView::SetChart(ChartData chart) {
    chart_ = std::move(chart);
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

QPoint TChartView::BarCentre(int index, bool second) const {
    // Rows are spread evenly from the top of the bars: search the row's middle by hit test.
    for (int y = 0; y < height(); ++y) {
        bool side = false;
        const int x = chart_.kind == ChartKind::Pyramid ? (second ? width() * 3 / 4 : width() / 4)
                                                        : width() / 2;
        if (ChartBarAt(chart_, rect(), QPointF(x, y), &side) == index && side == second) {
            int end = y;
            while (end + 1 < height() &&
                   ChartBarAt(chart_, rect(), QPointF(x, end + 1), &side) == index)
                ++end;
            return QPoint(x, (y + end) / 2);
        }
    }
    return {};
}

void TChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawChart(painter, rect(), chart_);
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
    const double scale =
        std::min(page.width() / size.width(), page.height() / size.height());
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
    const QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Salveaza graficul"), QString(),
        QStringLiteral("Imagine PNG (*.png);;Document PDF (*.pdf)"));
    if (path.isEmpty()) return;
    try {
        SaveChart(chart_, path.toStdString());
    } catch (const std::exception& e) {
        QMessageBox::warning(parent, QStringLiteral("Salveaza graficul"), QString::fromUtf8(e.what()));
    }
}

}  // namespace orbelan
