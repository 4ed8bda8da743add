#include "dialogs/rich_label.h"

#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QtMath>

namespace orbelan {

RichLabel::RichLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    document_.setDocumentMargin(0);
    document_.setDefaultFont(font());
}

void RichLabel::SetCenteredText(const QString& text) {
    document_.clear();
    document_.setTextWidth(width());
    QTextCursor cursor(&document_);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    QTextCharFormat plain;
    plain.setForeground(palette().color(QPalette::WindowText));

    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineBreak);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == 0)
            cursor.setBlockFormat(centred);
        else
            cursor.insertBlock(centred, plain);
        cursor.insertText(lines[i], plain);
    }
    update();
}

QString RichLabel::PlainText() const {
    return document_.toPlainText();
}

QStringList RichLabel::Lines() const {
    QStringList lines;
    for (QTextBlock b = document_.begin(); b.isValid(); b = b.next()) lines << b.text();
    return lines;
}

bool RichLabel::AllLinesCentered() const {
    for (QTextBlock b = document_.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().alignment() != Qt::AlignHCenter) return false;
    return true;
}

int RichLabel::ContentHeight() const {
    return qCeil(document_.size().height());
}

int RichLabel::NaturalWidth() const {
    const std::unique_ptr<QTextDocument> copy(document_.clone());
    copy->setTextWidth(-1);
    return qCeil(copy->idealWidth());
}

int RichLabel::HeightAtWidth(int width) const {
    const std::unique_ptr<QTextDocument> copy(document_.clone());
    copy->setTextWidth(width);
    return qCeil(copy->size().height());
}

void RichLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    document_.setTextWidth(width());
}

void RichLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) document_.setDefaultFont(font());
}

void RichLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setClipRect(rect());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = rect();
    ctx.palette = palette();
    document_.documentLayout()->draw(&p, ctx);
}

}  // namespace orbelan
