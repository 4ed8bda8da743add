#include "print/page_layout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace orbelan {
namespace {

// A4 in points; 10 mm all round.
constexpr double kA4Width = 595.28, kA4Height = 841.89, kMargin = 28.35;
constexpr double kBaseFont = 9.0;
// Smaller than this the text is hard to read: wide columns wrap instead of shrinking further.
constexpr double kMinScale = 0.7;
constexpr double kPadX = 2.5, kPadY = 1.5;
constexpr double kHeadingFont = 9.0;
// Metrics are taken at ten times the point grid, so they don't depend on the device.
constexpr double kMeasureDpi = 720.0;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QFont TableFont(double size, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    // Advances add up: a measured text is as wide as its characters.
    font.setKerning(false);
    font.setPointSizeF(size);
    font.setBold(bold);
    return font;
}

}  // namespace

struct PageLayout::Fonts {
    explicit Fonts(double size)
        : reference(1, 1, QImage::Format_RGB32),
          body(TableFont(size, false)),
          bold(TableFont(size, true)),
          heading(TableFont(kHeadingFont, false)),
          headingBold(TableFont(kHeadingFont + 2, true)) {
        const int dpm = static_cast<int>(std::lround(kMeasureDpi / 0.0254));
        reference.setDotsPerMeterX(dpm);
        reference.setDotsPerMeterY(dpm);
    }
    // Width in points of a text in a font.
    double Width(const QFont& font, const QString& text) const {
        return QFontMetricsF(font, &reference).horizontalAdvance(text) * 72.0 / kMeasureDpi;
    }
    double LineHeight(const QFont& font) const {
        return QFontMetricsF(font, &reference).lineSpacing() * 72.0 / kMeasureDpi;
    }
    // The lines of a text in a width: at blanks where it can, between characters where a word
    // alone is wider than the column.
    std::vector<QString> Wrap(const QFont& font, const QString& text, double width) const {
        std::vector<QString> lines;
        const QFontMetricsF fm(font, &reference);
        const double limit = width * kMeasureDpi / 72.0;
        QString all = text;
        all.remove(QLatin1Char('\r'));
        for (const QString& paragraph : all.split(QLatin1Char('\n'))) {
            if (fm.horizontalAdvance(paragraph) <= limit) {
                lines.push_back(paragraph);
                continue;
            }
            QString line;
            double lineWidth = 0;
            const double blank = fm.horizontalAdvance(QLatin1Char(' '));
            for (const QString& word : paragraph.split(QLatin1Char(' '))) {
                const double w = fm.horizontalAdvance(word);
                if (!line.isEmpty() && lineWidth + blank + w <= limit) {
                    line += QLatin1Char(' ') + word;
                    lineWidth += blank + w;
                    continue;
                }
                if (!line.isEmpty()) lines.push_back(line);
                line.clear();
                lineWidth = 0;
                if (w <= limit) {
                    line = word;
                    lineWidth = w;
                    continue;
                }
                for (const QChar c : word) {
                    const double cw = fm.horizontalAdvance(c);
                    if (!line.isEmpty() && lineWidth + cw > limit) {
                        lines.push_back(line);
                        line.clear();
                        lineWidth = 0;
                    }
                    line += c;
                    lineWidth += cw;
                }
            }
            lines.push_back(line);
        }
        return lines;
    }

    QImage reference;
    QFont body, bold, heading, headingBold;
};

PageLayout::PageLayout(std::vector<PrintColumn> columns, PrintRows& rows, PrintHeading heading)
    : columns_(std::move(columns)), rows_(rows), heading_(std::move(heading)) {
    const Fonts natural(kBaseFont);
    const double charWidth = natural.Width(natural.body, QStringLiteral("0"));
    // What the values and captions need, without the cells' padding, which doesn't scale.
    std::vector<double> content;
    for (const PrintColumn& c : columns_) {
        const double caption = natural.Width(natural.bold, Q(c.caption));
        // A hair more than measured: the device's own rounding must not push a caption to two
        // lines.
        content.push_back(std::max(std::max(1, c.chars) * charWidth, caption) * 1.01);
    }
    const double padding = 2 * kPadX * static_cast<double>(columns_.size());
    const double total = std::accumulate(content.begin(), content.end(), 0.0) + padding;
    const double portrait = kA4Width - 2 * kMargin, landscape = kA4Height - 2 * kMargin;
    orientation_ = total <= portrait ? QPageLayout::Portrait : QPageLayout::Landscape;
    const double room =
        std::max(1.0, (orientation_ == QPageLayout::Portrait ? portrait : landscape) - padding);
    double scale = std::min(1.0, room / std::max(total - padding, 1.0));
    wraps_.assign(columns_.size(), false);
    if (scale >= kMinScale) {
        for (double& w : content) w *= scale;
    } else {
        // The widest columns give up width to the others, down to a common cap, and wrap.
        scale = kMinScale;
        for (double& w : content) w *= scale;
        std::vector<double> sorted = content;
        std::sort(sorted.begin(), sorted.end());
        double cap = room / static_cast<double>(sorted.size()), below = 0;
        for (size_t i = 0; i < sorted.size(); ++i) {
            const double c = (room - below) / static_cast<double>(sorted.size() - i);
            if (sorted[i] > c) {
                cap = c;
                break;
            }
            below += sorted[i];
        }
        for (size_t i = 0; i < content.size(); ++i) {
            if (content[i] > cap) {
                content[i] = cap;
                wraps_[i] = true;
            }
        }
    }
    widths_.clear();
    for (const double w : content) widths_.push_back(w + 2 * kPadX);
    for (size_t i = 0; i < columns_.size(); ++i) wraps_[i] = wraps_[i] || !columns_[i].fitsChars;
    fontSize_ = kBaseFont * scale;
    fonts_ = std::make_unique<Fonts>(fontSize_);
    lineHeight_ = fonts_->LineHeight(fonts_->body);
    oneLineRows_ = std::none_of(wraps_.begin(), wraps_.end(), [](bool w) { return w; });

    pageWidth_ = orientation_ == QPageLayout::Portrait ? kA4Width : kA4Height;
    pageHeight_ = orientation_ == QPageLayout::Portrait ? kA4Height : kA4Width;
    const double headingLine = fonts_->LineHeight(fonts_->heading);
    bodyTop_ = kMargin + fonts_->LineHeight(fonts_->headingBold) +
               (heading_.filter.empty() ? 0 : headingLine) + headingLine * 0.5;
    bodyBottom_ = pageHeight_ - kMargin - headingLine * 1.5;

    std::vector<std::string> captions;
    for (const PrintColumn& c : columns_) captions.push_back(c.caption);
    captionLines_ = LinesOf(captions, true);
    const double room_ = bodyBottom_ - bodyTop_ - RowHeight(captionLines_);
    maxRowLines_ = std::max(1, static_cast<int>((room_ - 2 * kPadY) / lineHeight_));
    rowCount_ = rows_.Count();
    measuredY_ = bodyTop_ + RowHeight(captionLines_);
}

PageLayout::~PageLayout() = default;

QPageLayout PageLayout::Page() const {
    return QPageLayout(QPageSize(QPageSize::A4), orientation_, QMarginsF(0, 0, 0, 0));
}

double PageLayout::RowHeight(int lines) const {
    return lines * lineHeight_ + 2 * kPadY;
}

int PageLayout::LinesOf(const std::vector<std::string>& cells, bool caption) {
    int lines = 1;
    for (size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
        if (!caption && !wraps_[i]) continue;
        const QFont& font = caption ? fonts_->bold : fonts_->body;
        lines = std::max(
            lines,
            static_cast<int>(fonts_->Wrap(font, Q(cells[i]), widths_[i] - 2 * kPadX).size()));
    }
    return caption ? lines : std::min(lines, maxRowLines_);
}

void PageLayout::LayOutTo(int page) {
    if (oneLineRows_ || allMeasured_) return;
    while (static_cast<int>(pageStarts_.size()) <= page + 1 && measuredRows_ < rowCount_) {
        rows_.Read(measuredRows_, cells_);
        const double h = RowHeight(LinesOf(cells_, false));
        if (measuredY_ + h > bodyBottom_ && pageStarts_.back() < measuredRows_) {
            pageStarts_.push_back(measuredRows_);
            measuredY_ = bodyTop_ + RowHeight(captionLines_);
        }
        measuredY_ += h;
        ++measuredRows_;
    }
    if (measuredRows_ >= rowCount_) allMeasured_ = true;
}

int PageLayout::PageCount() {
    if (oneLineRows_) {
        const int perPage = std::max(
            1,
            static_cast<int>((bodyBottom_ - bodyTop_ - RowHeight(captionLines_)) / RowHeight(1)));
        return std::max(1, (rowCount_ + perPage - 1) / perPage);
    }
    LayOutTo(INT32_MAX - 1);
    return static_cast<int>(pageStarts_.size());
}

std::pair<int, int> PageLayout::PageRows(int page) {
    if (oneLineRows_) {
        const int perPage = std::max(
            1,
            static_cast<int>((bodyBottom_ - bodyTop_ - RowHeight(captionLines_)) / RowHeight(1)));
        const int first = std::min(rowCount_, page * perPage);
        return {first, std::min(rowCount_, first + perPage)};
    }
    LayOutTo(page);
    if (page >= static_cast<int>(pageStarts_.size())) return {rowCount_, rowCount_};
    const int end = page + 1 < static_cast<int>(pageStarts_.size())
                        ? pageStarts_[static_cast<size_t>(page) + 1]
                        : rowCount_;
    return {pageStarts_[static_cast<size_t>(page)], end};
}

void PageLayout::Paint(QPainter& painter, int page) {
    const auto [first, end] = PageRows(page);
    const int pages = PageCount();
    painter.save();
    const double dpi = painter.device()->logicalDpiY();
    painter.scale(dpi / 72.0, dpi / 72.0);
    // Fonts are sized for the device, then scaled with everything else.
    const auto sized = [dpi](QFont font) {
        font.setPointSizeF(font.pointSizeF() * 72.0 / dpi);
        return font;
    };
    const QFont body = sized(fonts_->body), bold = sized(fonts_->bold);
    const QFont heading = sized(fonts_->heading), headingBold = sized(fonts_->headingBold);
    const double right = pageWidth_ - kMargin;

    // The header: the table's name and the date, the filter under them.
    const double titleHeight = fonts_->LineHeight(fonts_->headingBold);
    painter.setPen(Qt::black);
    painter.setFont(headingBold);
    painter.drawText(QRectF(kMargin, kMargin, right - kMargin, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(heading_.title));
    painter.setFont(heading);
    painter.drawText(QRectF(kMargin, kMargin, right - kMargin, titleHeight),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, Q(heading_.created));
    if (!heading_.filter.empty()) {
        painter.drawText(QRectF(kMargin, kMargin + titleHeight, right - kMargin,
                                fonts_->LineHeight(fonts_->heading)),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QStringLiteral("Filtru: ") + Q(heading_.filter));
    }

    const QPen grid(QColor(0x80, 0x80, 0x80), 0.4);
    const auto paintRow = [&](const std::vector<std::string>& cells, double y, double h,
                              bool caption, bool shaded) {
        double x = kMargin;
        const double width = std::accumulate(widths_.begin(), widths_.end(), 0.0);
        if (caption || shaded)
            painter.fillRect(QRectF(x, y, width, h),
                             caption ? QColor(0xD9, 0xD9, 0xD9) : QColor(0xF0, 0xF0, 0xF0));
        painter.setFont(caption ? bold : body);
        const QFont& measureFont = caption ? fonts_->bold : fonts_->body;
        for (size_t i = 0; i < columns_.size(); ++i) {
            const double w = widths_[i], inner = w - 2 * kPadX;
            const QString text = i < cells.size() ? Q(cells[i]) : QString();
            const int a = columns_[i].alignment;
            const Qt::Alignment align = (caption || a == 1 || a == 0) ? Qt::AlignLeft
                                        : a == 2                      ? Qt::AlignRight
                                                                      : Qt::AlignHCenter;
            std::vector<QString> lines;
            if (caption || wraps_[i]) {
                lines = fonts_->Wrap(measureFont, text, inner);
                const int room = caption ? captionLines_ : maxRowLines_;
                if (static_cast<int>(lines.size()) > room) {
                    lines.resize(static_cast<size_t>(room));
                    lines.back() += QChar(0x2026);
                }
            } else {
                QString one = text;
                one.replace(QLatin1Char('\r'), QLatin1Char(' '));
                one.replace(QLatin1Char('\n'), QLatin1Char(' '));
                lines.push_back(one);
            }
            for (size_t l = 0; l < lines.size(); ++l) {
                const QRectF box(x + kPadX, y + kPadY + static_cast<double>(l) * lineHeight_, inner,
                                 lineHeight_);
                const double textWidth =
                    wraps_[i] || caption ? 0 : fonts_->Width(measureFont, lines[l]);
                if (textWidth > inner) {
                    // A value wider than its column is narrowed, never cut.
                    painter.save();
                    painter.translate(box.left(), box.top());
                    painter.scale(inner / textWidth, 1.0);
                    painter.drawText(QRectF(0, 0, textWidth, lineHeight_),
                                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                     lines[l]);
                    painter.restore();
                } else {
                    painter.drawText(
                        box, align | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                        lines[l]);
                }
            }
            x += w;
        }
        painter.setPen(grid);
        painter.drawRect(QRectF(kMargin, y, width, h));
        double line = kMargin;
        for (size_t i = 0; i + 1 < widths_.size(); ++i) {
            line += widths_[i];
            painter.drawLine(QPointF(line, y), QPointF(line, y + h));
        }
        painter.setPen(Qt::black);
    };

    std::vector<std::string> captions;
    for (const PrintColumn& c : columns_) captions.push_back(c.caption);
    double y = bodyTop_;
    paintRow(captions, y, RowHeight(captionLines_), true, false);
    y += RowHeight(captionLines_);
    for (int row = first; row < end; ++row) {
        rows_.Read(row, cells_);
        const double h = oneLineRows_ ? RowHeight(1) : RowHeight(LinesOf(cells_, false));
        paintRow(cells_, y, h, false, row % 2 == 1);
        y += h;
    }

    painter.setFont(heading);
    painter.drawText(
        QRectF(kMargin, bodyBottom_, right - kMargin, pageHeight_ - kMargin - bodyBottom_),
        Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
        QStringLiteral("Pagina %1 din %2").arg(page + 1).arg(pages));
    painter.restore();
}

bool PageLayout::PaintAll(QPagedPaintDevice& device,
                          const std::function<bool(int, int)>& progress) {
    device.setPageLayout(Page());
    const int pages = PageCount();
    QPainter painter;
    if (!painter.begin(&device)) return false;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) return false;
        Paint(painter, page);
        if (progress && !progress(page + 1, pages)) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

}  // namespace orbelan
