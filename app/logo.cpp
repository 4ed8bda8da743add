#include "app/logo.h"

#include <QLinearGradient>
#include <QPainter>

namespace orbelan {

TLogo::TLogo(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void TLogo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disk(10, 10, 56, 75);
    QLinearGradient g(disk.topLeft(), disk.bottomRight());
    g.setColorAt(0, QColor(0x81, 0xA2, 0xD3));
    g.setColorAt(1, QColor(0x36, 0x5F, 0x9C));
    // A stack of three disks: a table on disk.
    for (int i = 2; i >= 0; --i) {
        const QRectF layer(14, 18 + i * 20, 48, 18);
        p.setPen(QPen(QColor(0x20, 0x3A, 0x60), 1));
        p.setBrush(g);
        p.drawRoundedRect(layer, 8, 8);
    }
    p.setPen(QColor(0x36, 0x5F, 0x9C));
    QFont f(QStringLiteral("Arial"), 13, QFont::Bold);
    p.setFont(f);
    p.drawText(QRectF(68, 22, 76, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("DBF"));
    f.setPointSize(10);
    p.setFont(f);
    p.drawText(QRectF(68, 48, 76, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orbelan"));
}

}  // namespace orbelan
