#include "dialogs/kind_icons.h"

#include <QPainter>
#include <QPainterPath>

#include "core/ui.h"

namespace orbelan {

namespace {

void DrawDisc(QPainter& p, const QRectF& r, const QColor& light, const QColor& dark) {
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.7);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(140), r.width() / 24));
    p.setBrush(g);
    p.drawEllipse(r);
}

void DrawGlyph(QPainter& p, const QRectF& r, const QString& glyph, const QColor& color) {
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    f.setPixelSize(qRound(r.height() * 0.68));
    p.setFont(f);
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter, glyph);
}

}  // namespace

QPixmap DrawKindIcon(uint8_t kind, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF disc(s * 0.06, s * 0.06, s * 0.88, s * 0.88);

    switch (kind) {
        case mkWarning: {
            QPainterPath tri;
            tri.moveTo(s / 2, s * 0.05);
            tri.lineTo(s * 0.97, s * 0.92);
            tri.lineTo(s * 0.03, s * 0.92);
            tri.closeSubpath();
            p.setPen(
                QPen(QColor(0x80, 0x60, 0x00), s / 24, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(QColor(0xFF, 0xD0, 0x20));
            p.drawPath(tri);
            DrawGlyph(p, QRectF(0, s * 0.3, s, s * 0.62), QStringLiteral("!"), Qt::black);
            break;
        }
        case mkInformation:
            DrawDisc(p, disc, QColor(0x9D, 0x9D, 0xFF), QColor(0x00, 0x00, 0xBB));
            DrawGlyph(p, disc, QStringLiteral("i"), Qt::white);
            break;
        case mkConfirmation:
            DrawDisc(p, disc, QColor(0xB0, 0xC8, 0xEE), QColor(0x36, 0x5F, 0x9C));
            DrawGlyph(p, disc, QStringLiteral("?"), Qt::white);
            break;
        default: {  // error and anything unknown
            DrawDisc(p, disc, QColor(0xFF, 0x9B, 0x9B), QColor(0xC0, 0x00, 0x00));
            const qreal a = s * 0.33, b = s * 0.67;
            p.setPen(QPen(Qt::white, s / 9, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(a, a), QPointF(b, b));
            p.drawLine(QPointF(b, a), QPointF(a, b));
            break;
        }
    }
    return pm;
}

QPixmap DrawColumnIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const int cell = size / 5;
    const int cols = 3, rows = 4;
    const QRect table(2, 2, cols * cell + cell / 2, rows * cell);
    p.fillRect(table, Qt::white);
    // Header row, then the picked column.
    p.fillRect(QRect(table.left(), table.top(), table.width(), cell), QColor(0x36, 0x5F, 0x9C));
    const int colW = table.width() / cols;
    p.fillRect(QRect(table.left() + colW, table.top() + cell, colW, table.height() - cell),
               QColor(0xFF, 0xD0, 0x20));
    p.setPen(QColor(0x70, 0x70, 0x70));
    for (int c = 1; c < cols; ++c)
        p.drawLine(table.left() + c * colW, table.top(), table.left() + c * colW, table.bottom());
    for (int r = 1; r < rows; ++r)
        p.drawLine(table.left(), table.top() + r * cell, table.right(), table.top() + r * cell);
    p.drawRect(table);
    return pm;
}

}  // namespace orbelan
