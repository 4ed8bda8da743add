#include "print/page_layout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "engine/utf8.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

// 10 mm all round, in points, until the paper is set up otherwise.
constexpr double kMargin = 28.35;
constexpr double kBaseFont = 9.0;
// Smaller than this the text is hard to read: wide columns wrap instead of shrinking further.
constexpr double kMinScale = 0.7;
constexpr double kPadX = 2.5, kPadY = 1.5;
constexpr double kHeadingFont = 9.0;
// Metrics are taken at ten times the point grid, so they don't depend on the device.
constexpr double kMeasureDpi = 720.0;
// Columns take the width of their values in these many rows, spread over the table (all of a
// smaller one). A longer value the sample missed is narrowed to fit, never cut.
constexpr int kSampleRows = 5000;
// Columns whose values wrap (memos) share at most this part of the line before the other
// columns have their width; what is left over goes back to them.
constexpr double kWrapShare = 0.5;

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

// Widths of one font in points. Kerning is off, so a text is as wide as its characters, and
// the common ones are measured once: a million rows are measured without shaping a text.
class Measure {
  public:
    Measure(const QFont& font, const QPaintDevice* reference) : fm_(font, reference) {
        cache_.fill(-1);
        lineHeight_ = fm_.lineSpacing() * kPoint;
        ascent_ = fm_.ascent() * kPoint;
    }
    double LineHeight() const { return lineHeight_; }
    double Ascent() const { return ascent_; }
    double Char(char32_t c) {
        if (c >= cache_.size()) return Advance(c);
        float& w = cache_[c];
        if (w < 0) w = static_cast<float>(Advance(c));
        return w;
    }
    double Text(std::string_view s) {
        double w = 0;
        for (size_t i = 0; i < s.size();) w += Char(Next(s, i));
        return w;
    }
    // The lines of a text in a width: at blanks where it can, between characters where a word
    // alone is wider; line breaks kept. Views into the text.
    void Wrap(std::string_view text, double width, std::vector<std::string_view>& lines) {
        lines.clear();
        size_t from = 0;
        while (from <= text.size()) {
            size_t end = text.find_first_of("\r\n", from);
            if (end == std::string_view::npos) end = text.size();
            WrapParagraph(text.substr(from, end - from), width, lines);
            if (end == text.size()) break;
            from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
    }

  private:
    static constexpr double kPoint = 72.0 / kMeasureDpi;
    static char32_t Next(std::string_view s, size_t& i) {
        const long cp = utf8::NextCodePoint(s, i);
        return cp < 0 ? U'?' : static_cast<char32_t>(cp);
    }
    double Advance(char32_t c) const {
        return fm_.horizontalAdvance(QString::fromUcs4(&c, 1)) * kPoint;
    }
    void WrapParagraph(std::string_view p, double width, std::vector<std::string_view>& lines) {
        size_t start = 0, blank = std::string_view::npos;
        double w = 0;
        for (size_t i = 0; i < p.size();) {
            size_t next = i;
            const char32_t c = Next(p, next);
            const double cw = Char(c);
            if (w + cw > width && i > start) {
                if (blank != std::string_view::npos && blank > start) {
                    lines.push_back(p.substr(start, blank - start));
                    start = blank + 1;
                    w = Text(p.substr(start, i - start));
                } else {
                    lines.push_back(p.substr(start, i - start));
                    start = i;
                    w = 0;
                }
                blank = std::string_view::npos;
            }
            if (c == U' ') blank = i;
            w += cw;
            i = next;
        }
        lines.push_back(p.substr(start));
    }

    QFontMetricsF fm_;
    std::array<float, 0x300> cache_;
    double lineHeight_ = 0, ascent_ = 0;
};

struct PageLayout::Fonts {
    explicit Fonts(double size)
        : reference(MeasuringImage()),
          body(TableFont(size, false)),
          bold(TableFont(size, true)),
          heading(TableFont(kHeadingFont, false)),
          headingBold(TableFont(kHeadingFont + 2, true)),
          bodyWidths(body, &reference),
          boldWidths(bold, &reference),
          headingWidths(heading, &reference),
          titleWidths(headingBold, &reference) {}

    static QImage MeasuringImage() {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dpm = static_cast<int>(std::lround(kMeasureDpi / 0.0254));
        image.setDotsPerMeterX(dpm);
        image.setDotsPerMeterY(dpm);
        return image;
    }

    QImage reference;
    QFont body, bold, heading, headingBold;
    Measure bodyWidths, boldWidths, headingWidths, titleWidths;
};

PageLayout::PageLayout(std::vector<PrintColumn> columns, PrintRows& rows, PrintHeading heading)
    : columns_(std::move(columns)),
      rows_(rows),
      heading_(std::move(heading)),
      paper_(QPageSize::A4),
      margins_(kMargin, kMargin, kMargin, kMargin) {
    Fonts natural(kBaseFont);
    const double charWidth = natural.bodyWidths.Char(U'0');
    rowCount_ = rows_.Count();
    // The widest line of each column's values in a sample of the rows; a column of a value
    // wider than its characters (a memo) wraps, so what the sample holds is what it asks for.
    std::vector<double> values(columns_.size(), 0.0);
    const int step = std::max(1, (rowCount_ + kSampleRows - 1) / kSampleRows);
    std::vector<std::string> cells;
    for (int row = 0; row < rowCount_; row += step) {
        rows_.Read(row, cells, nullptr);
        for (size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
            const std::string_view text = cells[i];
            for (size_t from = 0; from <= text.size();) {
                size_t end = text.find_first_of("\r\n", from);
                if (end == std::string_view::npos) end = text.size();
                values[i] =
                    std::max(values[i], natural.bodyWidths.Text(text.substr(from, end - from)));
                from = end + 1;
            }
        }
    }
    // What the values and captions need, without the cells' padding, which doesn't scale.
    for (size_t i = 0; i < columns_.size(); ++i) {
        const PrintColumn& c = columns_[i];
        const double caption = natural.boldWidths.Text(c.caption);
        // A column that fits its characters needs no more than they take.
        const double content =
            c.fitsChars ? std::min(values[i], std::max(1, c.chars) * charWidth) : values[i];
        // A hair more than measured: the device's own rounding must not push a caption to two
        // lines.
        naturalWidths_.push_back(std::max({content, caption, charWidth}) * 1.01);
    }
    Arrange(std::nullopt);
}

void PageLayout::SetPaper(const QPageLayout& page, bool keepOrientation) {
    paper_ = page.pageSize().isValid() ? page.pageSize() : QPageSize(QPageSize::A4);
    margins_ = page.margins(QPageLayout::Point);
    Arrange(keepOrientation ? std::optional(page.orientation()) : std::nullopt);
}

void PageLayout::Arrange(std::optional<QPageLayout::Orientation> orientation) {
    const QSizeF paper = paper_.size(QPageSize::Point);
    const double shortSide = std::min(paper.width(), paper.height());
    const double longSide = std::max(paper.width(), paper.height());
    const double sides = margins_.left() + margins_.right();
    const double padding = 2 * kPadX * static_cast<double>(columns_.size());
    const double portrait = shortSide - sides, landscape = longSide - sides;
    const auto wrapping = static_cast<double>(std::count_if(
        columns_.begin(), columns_.end(), [](const PrintColumn& c) { return !c.fitsChars; }));
    // The natural widths, the wrapping columns held to their share of `room`.
    const auto capped = [&](double room) {
        std::vector<double> widths = naturalWidths_;
        for (size_t i = 0; i < widths.size(); ++i)
            if (!columns_[i].fitsChars)
                widths[i] = std::min(widths[i], std::max(1.0, room * kWrapShare / wrapping));
        return widths;
    };
    const auto sum = [](const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0);
    };
    orientation_ = orientation.value_or(sum(capped(portrait - padding)) + padding <= portrait
                                            ? QPageLayout::Portrait
                                            : QPageLayout::Landscape);
    const double room =
        std::max(1.0, (orientation_ == QPageLayout::Portrait ? portrait : landscape) - padding);
    std::vector<double> content = capped(room);
    const double total = sum(content) + padding;
    double scale = std::min(1.0, room / std::max(total - padding, 1.0));
    wraps_.assign(columns_.size(), false);
    if (scale >= 1.0) {
        // The line's room left over goes to the wrapping columns, up to what their values ask.
        double left = room - sum(content);
        for (size_t pass = 0; pass < content.size() && left > 0.01; ++pass) {
            std::vector<size_t> wanting;
            for (size_t i = 0; i < content.size(); ++i)
                if (!columns_[i].fitsChars && content[i] < naturalWidths_[i]) wanting.push_back(i);
            if (wanting.empty()) break;
            const double share = left / static_cast<double>(wanting.size());
            for (const size_t i : wanting) {
                const double more = std::min(share, naturalWidths_[i] - content[i]);
                content[i] += more;
                left -= more;
            }
        }
    } else if (scale >= kMinScale) {
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
    lineHeight_ = fonts_->bodyWidths.LineHeight();
    oneLineRows_ = std::none_of(wraps_.begin(), wraps_.end(), [](bool w) { return w; });

    pageWidth_ = orientation_ == QPageLayout::Portrait ? shortSide : longSide;
    pageHeight_ = orientation_ == QPageLayout::Portrait ? longSide : shortSide;
    const double headingLine = fonts_->headingWidths.LineHeight();
    bodyTop_ = margins_.top() + fonts_->titleWidths.LineHeight() +
               (heading_.filter.empty() ? 0 : headingLine) + headingLine * 0.5;
    bodyBottom_ = pageHeight_ - margins_.bottom() - headingLine * 1.5;

    std::vector<std::string> captions;
    for (const PrintColumn& c : columns_) captions.push_back(c.caption);
    captionLines_ = LinesOf(captions, true);
    const double room_ = bodyBottom_ - bodyTop_ - RowHeight(captionLines_);
    maxRowLines_ = std::max(1, static_cast<int>((room_ - 2 * kPadY) / lineHeight_));
    // Pages measured for another paper start again.
    pageStarts_.assign(1, 0);
    measuredRows_ = 0;
    allMeasured_ = false;
    measuredY_ = bodyTop_ + RowHeight(captionLines_);
}

PageLayout::~PageLayout() = default;

QPageLayout PageLayout::Page() const {
    return QPageLayout(paper_, orientation_, margins_, QPageLayout::Point);
}

double PageLayout::RowHeight(int lines) const {
    return lines * lineHeight_ + 2 * kPadY;
}

int PageLayout::LinesOf(const std::vector<std::string>& cells, bool caption) {
    int lines = 1;
    Measure& measure = caption ? fonts_->boldWidths : fonts_->bodyWidths;
    for (size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
        if (!caption && !wraps_[i]) continue;
        const double inner = widths_[i] - 2 * kPadX;
        const std::string& text = cells[i];
        // Most values fit: measured once, not wrapped.
        if (text.find_first_of("\r\n") == std::string::npos && measure.Text(text) <= inner)
            continue;
        measure.Wrap(text, inner, lineViews_);
        lines = std::max(lines, static_cast<int>(lineViews_.size()));
    }
    return caption ? lines : std::min(lines, maxRowLines_);
}

void PageLayout::LayOutTo(int page, int rowLimit) {
    if (oneLineRows_ || allMeasured_) return;
    const int stop = static_cast<int>(
        std::min<int64_t>(rowCount_, static_cast<int64_t>(measuredRows_) + rowLimit));
    while (static_cast<int64_t>(pageStarts_.size()) <= static_cast<int64_t>(page) + 1 &&
           measuredRows_ < stop) {
        rows_.Read(measuredRows_, cells_, &wraps_);
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

bool PageLayout::LayOutSome(int rows) {
    LayOutTo(INT32_MAX - 1, rows);
    return PagesKnown();
}

bool PageLayout::PagesKnown() const {
    return oneLineRows_ || allMeasured_;
}

int PageLayout::PageCount() {
    if (oneLineRows_) {
        const int perPage = std::max(
            1,
            static_cast<int>((bodyBottom_ - bodyTop_ - RowHeight(captionLines_)) / RowHeight(1)));
        return std::max(1, (rowCount_ + perPage - 1) / perPage);
    }
    LayOutTo(INT32_MAX - 1, INT32_MAX);
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
    LayOutTo(page, INT32_MAX);
    if (page >= static_cast<int>(pageStarts_.size())) return {rowCount_, rowCount_};
    const int end = page + 1 < static_cast<int>(pageStarts_.size())
                        ? pageStarts_[static_cast<size_t>(page) + 1]
                        : rowCount_;
    return {pageStarts_[static_cast<size_t>(page)], end};
}

void PageLayout::Paint(QPainter& painter, int page) {
    const auto [first, end] = PageRows(page);
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
    const double marginLeft = margins_.left(), marginTop = margins_.top();
    const double right = pageWidth_ - margins_.right();

    // The header: the table's name and the date, the filter under them.
    Measure& title = fonts_->titleWidths;
    Measure& small = fonts_->headingWidths;
    painter.setPen(Qt::black);
    painter.setFont(headingBold);
    painter.drawText(QPointF(marginLeft, marginTop + title.Ascent()), Q(heading_.title));
    painter.setFont(heading);
    painter.drawText(QPointF(right - small.Text(heading_.created), marginTop + title.Ascent()),
                     Q(heading_.created));
    if (!heading_.filter.empty()) {
        painter.drawText(QPointF(marginLeft, marginTop + title.LineHeight() + small.Ascent()),
                         QStringLiteral("Filtru: ") + Q(heading_.filter));
    }

    const double tableWidth = std::accumulate(widths_.begin(), widths_.end(), 0.0);
    std::vector<std::string_view> lines;
    const auto paintRow = [&](const std::vector<std::string>& cells, double y, double h,
                              bool caption, bool shaded) {
        if (caption || shaded)
            painter.fillRect(QRectF(marginLeft, y, tableWidth, h),
                             caption ? QColor(0xD9, 0xD9, 0xD9) : QColor(0xF0, 0xF0, 0xF0));
        painter.setFont(caption ? bold : body);
        Measure& measure = caption ? fonts_->boldWidths : fonts_->bodyWidths;
        double x = marginLeft;
        for (size_t i = 0; i < columns_.size(); ++i) {
            const double w = widths_[i], inner = w - 2 * kPadX;
            const std::string_view text = i < cells.size() ? std::string_view(cells[i]) : "";
            const int a = caption ? 1 : columns_[i].alignment;
            std::string single;
            bool overflow = false;
            if (caption || wraps_[i]) {
                measure.Wrap(text, inner, lines);
                const auto room = static_cast<size_t>(caption ? captionLines_ : maxRowLines_);
                overflow = lines.size() > room;
                if (overflow) lines.resize(room);
            } else {
                lines.assign(1, text);
                if (text.find_first_of("\r\n") != std::string_view::npos) {
                    single.assign(text);
                    std::replace(single.begin(), single.end(), '\r', ' ');
                    std::replace(single.begin(), single.end(), '\n', ' ');
                    lines[0] = single;
                }
            }
            for (size_t l = 0; l < lines.size(); ++l) {
                const double baseline =
                    y + kPadY + static_cast<double>(l) * lineHeight_ + measure.Ascent();
                QString line = Q(std::string(lines[l]));
                // A row taller than a page ends where the page does, and says so.
                if (overflow && l + 1 == lines.size()) line += QChar(0x2026);
                const double lineWidth = measure.Text(lines[l]);
                if (lineWidth > inner) {
                    // A value wider than its column is narrowed, never cut.
                    painter.save();
                    painter.translate(x + kPadX, baseline);
                    painter.scale(inner / lineWidth, 1.0);
                    painter.drawText(QPointF(0, 0), line);
                    painter.restore();
                    continue;
                }
                const double left = a == 2   ? x + w - kPadX - lineWidth
                                    : a == 3 ? x + (w - lineWidth) / 2
                                             : x + kPadX;
                painter.drawText(QPointF(left, baseline), line);
            }
            x += w;
        }
    };

    std::vector<std::string> captions;
    for (const PrintColumn& c : columns_) captions.push_back(c.caption);
    double y = bodyTop_;
    paintRow(captions, y, RowHeight(captionLines_), true, false);
    y += RowHeight(captionLines_);
    std::vector<QLineF> rules{QLineF(marginLeft, bodyTop_, marginLeft + tableWidth, bodyTop_),
                              QLineF(marginLeft, y, marginLeft + tableWidth, y)};
    for (int row = first; row < end; ++row) {
        rows_.Read(row, cells_, nullptr);
        const double h = oneLineRows_ ? RowHeight(1) : RowHeight(LinesOf(cells_, false));
        paintRow(cells_, y, h, false, row % 2 == 1);
        y += h;
        rules.emplace_back(marginLeft, y, marginLeft + tableWidth, y);
    }
    // The grid's lines once per page, not a box per cell: the pages stay small and quick.
    double x = marginLeft;
    rules.emplace_back(x, bodyTop_, x, y);
    for (const double w : widths_) {
        x += w;
        rules.emplace_back(x, bodyTop_, x, y);
    }
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.4));
    painter.drawLines(rules.data(), static_cast<int>(rules.size()));
    painter.setPen(Qt::black);

    // Until every page is laid out (the preview of a long table) the count is left out.
    const QString footer = PagesKnown()
                               ? QStringLiteral("Pagina %1 din %2").arg(page + 1).arg(PageCount())
                               : QStringLiteral("Pagina %1").arg(page + 1);
    painter.setFont(heading);
    painter.drawText(QPointF((pageWidth_ - small.Text(S(footer))) / 2,
                             pageHeight_ - margins_.bottom() - small.LineHeight() + small.Ascent()),
                     footer);
    painter.restore();
}

bool PageLayout::PaintAll(QPagedPaintDevice& device,
                          const std::function<bool(int, int)>& progress) {
    // The margins are painted by the layout: the device paints on the whole sheet.
    QPageLayout sheet = Page();
    sheet.setMode(QPageLayout::FullPageMode);
    sheet.setMargins(QMarginsF(0, 0, 0, 0));
    if (!device.setPageLayout(sheet)) return false;
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
