#include "print/profile_chart.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPdfWriter>
#include <algorithm>
#include <stdexcept>

#include "core/text_util.h"
#include "engine/file_io.h"
#include "print/pdf_export.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

const QColor kMen(59, 110, 165);
const QColor kWomen(192, 80, 77);
constexpr double kMargin = 12;
constexpr double kTitleHeight = 26, kNoteHeight = 18, kLegendHeight = 20;
constexpr double kRowHeight = 22;

QFont ChartFont(double pointSize, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

// Where the parts of a chart go in an area: one row per bar.
struct Layout {
    double top = 0;        // first bar row
    double row = 0;        // row height
    double labelLeft = 0;  // bars: labels [labelLeft, barLeft); pyramid: labels centred
    double barLeft = 0, barRight = 0;
    double centreLeft = 0, centreRight = 0;  // pyramid: the label column between the sides
};

double Header(const ChartData& chart) {
    return kMargin + kTitleHeight + (chart.note.empty() ? 0 : kNoteHeight) +
           (chart.kind == ChartKind::Pyramid ? kLegendHeight : 0);
}

Layout LayoutOf(const ChartData& chart, const QRectF& area) {
    Layout l;
    l.top = area.top() + Header(chart);
    const double rows = std::max<double>(1, static_cast<double>(chart.bars.size()));
    l.row = std::clamp((area.bottom() - kMargin - l.top) / rows, 6.0, 40.0);
    const QFontMetricsF metrics(ChartFont(9));
    double labels = 0;
    for (const ChartBar& b : chart.bars)
        labels = std::max(labels, metrics.horizontalAdvance(Q(b.label)));
    labels = std::min(labels + 8, area.width() * 0.4);
    if (chart.kind == ChartKind::Pyramid) {
        const double centre = area.center().x();
        l.centreLeft = centre - labels / 2;
        l.centreRight = centre + labels / 2;
        l.barLeft = area.left() + kMargin + 50;  // room for the counts beyond the bars
        l.barRight = area.right() - kMargin - 50;
    } else {
        l.labelLeft = area.left() + kMargin;
        l.barLeft = l.labelLeft + labels;
        l.barRight = area.right() - kMargin - 80;  // room for the count after the bar
    }
    return l;
}

int64_t Largest(const ChartData& chart) {
    int64_t m = 1;
    for (const ChartBar& b : chart.bars) m = std::max({m, b.value, b.second});
    return m;
}

// The rectangles of one row's bars: the first (men, or the only one) and the women's.
void BarRects(const ChartData& chart, const Layout& l, size_t i, QRectF& first, QRectF& second) {
    const double y = l.top + static_cast<double>(i) * l.row + l.row * 0.15;
    const double h = l.row * 0.7;
    const double largest = static_cast<double>(Largest(chart));
    const ChartBar& b = chart.bars[i];
    if (chart.kind == ChartKind::Pyramid) {
        const double side = l.centreLeft - l.barLeft;
        const double men = side * static_cast<double>(b.value) / largest;
        const double women = (l.barRight - l.centreRight) * static_cast<double>(b.second) / largest;
        first = QRectF(l.centreLeft - men, y, men, h);
        second = QRectF(l.centreRight, y, women, h);
        (void)side;
        return;
    }
    const double w = (l.barRight - l.barLeft) * static_cast<double>(b.value) / largest;
    first = QRectF(l.barLeft, y, w, h);
    second = QRectF();
}

}  // namespace

QSize ChartSize(const ChartData& chart) {
    const double rows = std::max<double>(1, static_cast<double>(chart.bars.size()));
    return QSize(760, static_cast<int>(Header(chart) + rows * kRowHeight + kMargin));
}

void DrawChart(QPainter& painter, const QRectF& area, const ChartData& chart) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    double y = area.top() + kMargin;
    painter.setFont(ChartFont(12, true));
    painter.drawText(QRectF(area.left() + kMargin, y, area.width() - 2 * kMargin, kTitleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, Q(chart.title));
    y += kTitleHeight;
    painter.setFont(ChartFont(9));
    if (!chart.note.empty()) {
        painter.setPen(QColor(80, 80, 80));
        painter.drawText(QRectF(area.left() + kMargin, y, area.width() - 2 * kMargin, kNoteHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, Q(chart.note));
        y += kNoteHeight;
    }
    const Layout l = LayoutOf(chart, area);
    if (chart.kind == ChartKind::Pyramid) {
        painter.setPen(kMen);
        painter.drawText(QRectF(l.barLeft, y, l.centreLeft - l.barLeft, kLegendHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Barbati"));
        painter.setPen(kWomen);
        painter.drawText(QRectF(l.centreRight, y, l.barRight - l.centreRight, kLegendHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Femei"));
    }
    if (chart.bars.empty()) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), l.top, area.width(), kRowHeight), Qt::AlignCenter,
                         QStringLiteral("Nicio valoare."));
        painter.restore();
        return;
    }
    QFont font = ChartFont(l.row < 16 ? 7 : 9);
    painter.setFont(font);
    for (size_t i = 0; i < chart.bars.size(); ++i) {
        const ChartBar& b = chart.bars[i];
        QRectF first, second;
        BarRects(chart, l, i, first, second);
        const double rowTop = l.top + static_cast<double>(i) * l.row;
        painter.setPen(Qt::NoPen);
        painter.setBrush(kMen);
        painter.drawRect(first);
        painter.setPen(Qt::black);
        if (chart.kind == ChartKind::Pyramid) {
            painter.setBrush(kWomen);
            painter.setPen(Qt::NoPen);
            painter.drawRect(second);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(l.centreLeft, rowTop, l.centreRight - l.centreLeft, l.row),
                             Qt::AlignCenter, Q(b.label));
            painter.drawText(QRectF(first.left() - 60, rowTop, 56, l.row),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(b.value));
            painter.drawText(QRectF(second.right() + 4, rowTop, 60, l.row),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::number(b.second));
        } else {
            const QString label = QFontMetricsF(font).elidedText(Q(b.label), Qt::ElideRight,
                                                                 l.barLeft - l.labelLeft - 6);
            painter.drawText(QRectF(l.labelLeft, rowTop, l.barLeft - l.labelLeft - 6, l.row),
                             Qt::AlignRight | Qt::AlignVCenter, label);
            painter.drawText(QRectF(first.right() + 4, rowTop, 80, l.row),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             Q(GroupedThousands(static_cast<long long>(b.value))));
        }
    }
    painter.restore();
}

int ChartBarAt(const ChartData& chart, const QRectF& area, const QPointF& point, bool* second) {
    const Layout l = LayoutOf(chart, area);
    if (point.y() < l.top || l.row <= 0) return -1;
    const auto i = static_cast<size_t>((point.y() - l.top) / l.row);
    if (i >= chart.bars.size()) return -1;
    if (chart.kind == ChartKind::Pyramid) {
        if (point.x() < l.barLeft || point.x() > l.barRight) return -1;
        if (point.x() >= l.centreLeft && point.x() <= l.centreRight) return -1;
        if (second) *second = point.x() > l.centreRight;
        return static_cast<int>(i);
    }
    if (second) *second = false;
    // The whole row answers: a short bar is hard to hit.
    return point.x() >= area.left() && point.x() <= area.right() ? static_cast<int>(i) : -1;
}

void SaveChart(const ChartData& chart, const std::string& path) {
    const auto ends = [&](const char* e) {
        const std::string s(e);
        if (path.size() < s.size()) return false;
        std::string tail = path.substr(path.size() - s.size());
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return tail == s;
    };
    const bool pdf = ends(".pdf");
    if (!pdf && !ends(".png"))
        throw std::runtime_error("Graficul se salveaza ca .png sau .pdf: " + path);
    EnsurePdfApplication();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = ChartSize(chart);
    if (pdf) {
        QPdfWriter writer(&buffer);
        writer.setTitle(Q(chart.title));
        writer.setCreator(QStringLiteral("DBF Orbelan"));
        writer.setResolution(96);
        writer.setPageSize(
            QPageSize(QSizeF(size.width() + 40, size.height() + 40), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        const double scale = std::min(painter.viewport().width() / double(size.width()),
                                      painter.viewport().height() / double(size.height()));
        painter.scale(scale, scale);
        DrawChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), chart);
        painter.end();
    } else {
        QImage image(size * 2, QImage::Format_RGB32);
        image.setDevicePixelRatio(2);
        QPainter painter(&image);
        DrawChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), chart);
        painter.end();
        if (!image.save(&buffer, "PNG"))
            throw std::runtime_error("Graficul nu a putut fi desenat ca PNG.");
    }
    buffer.close();
    try {
        TempFile file(path);
        file.Write(bytes.constData(), static_cast<size_t>(bytes.size()));
        file.Finish();
        file.RenameOverTarget();
    } catch (const std::exception& e) {
        throw std::runtime_error("Graficul nu a putut fi scris in " + path + ": " + e.what());
    }
}

}  // namespace orbelan
