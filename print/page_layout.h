#pragma once
// The displayed rows on paper, as the preview, the printer and the PDF export all show them:
// the grid's columns scaled to the page's width (landscape when they don't fit upright), a value
// wider than its column wrapped inside it, the captions repeated on every page, a header with the
// table's name, its filter and the date, and "Pagina N din M" at the foot.
#include <QPageLayout>
#include <QPageSize>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace orbelan {

struct PrintColumn {
    std::string caption;
    int chars = 10;         // the width the column's values take, in characters
    int alignment = 1;      // 1 left, 2 right, 3 centre
    bool fitsChars = true;  // no value is longer than `chars` or holds a line break
};

// The rows to print, read by number (from 0) while pages are laid out and painted.
class PrintRows {
  public:
    virtual ~PrintRows() = default;
    virtual int Count() = 0;
    // One text per column; with `only`, the columns it marks (the others may be left as they were).
    virtual void Read(int row, std::vector<std::string>& cells, const std::vector<bool>* only) = 0;
};

struct PrintHeading {
    std::string title;    // the table's name
    std::string filter;   // the filter's expression; empty when none is on
    std::string created;  // "Creat la ..."
};

class PageLayout {
  public:
    PageLayout(std::vector<PrintColumn> columns, PrintRows& rows, PrintHeading heading);
    ~PageLayout();
    PageLayout(const PageLayout&) = delete;
    PageLayout& operator=(const PageLayout&) = delete;

    // The paper, its orientation and margins, in points: A4 with 10 mm margins until SetPaper.
    QPageLayout Page() const;
    // Lays the pages out again on `page`'s paper and margins (as a print dialog or page setup
    // left them); its orientation when `keepOrientation`, else the one the columns need.
    void SetPaper(const QPageLayout& page, bool keepOrientation);
    QPageLayout::Orientation Orientation() const { return orientation_; }
    // Widths on paper in points, and the size of the table's text.
    const std::vector<double>& ColumnWidths() const { return widths_; }
    double FontSize() const { return fontSize_; }

    // Pages are laid out as far as they are asked for; the count needs all of them (at once
    // when no value can take more than one line).
    int PageCount();
    // Lays out up to `rows` more rows; true once every page is known. A page painted before then
    // says "Pagina N" without the count.
    bool LayOutSome(int rows);
    bool PagesKnown() const;
    // The rows of a page: first and past-the-last.
    std::pair<int, int> PageRows(int page);
    // Paints a page on a painter whose device is set up as Page(), at any resolution.
    void Paint(QPainter& painter, int page);
    // Every page; `progress(pagesDone, pages)` returning false stops (then false).
    bool PaintAll(QPagedPaintDevice& device, const std::function<bool(int, int)>& progress);

  private:
    struct Fonts;
    void Arrange(std::optional<QPageLayout::Orientation> orientation);
    int LinesOf(const std::vector<std::string>& cells, bool caption);
    void LayOutTo(int page, int rowLimit);
    double RowHeight(int lines) const;

    std::vector<PrintColumn> columns_;
    PrintRows& rows_;
    PrintHeading heading_;
    std::unique_ptr<Fonts> fonts_;
    std::vector<double> naturalWidths_;  // the columns' content at the natural font size
    QPageSize paper_;
    QMarginsF margins_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    double pageWidth_ = 0, pageHeight_ = 0;
    std::vector<double> widths_;
    std::vector<bool> wraps_;  // the column's values may take more than one line
    double fontSize_ = 0, lineHeight_ = 0;
    double bodyTop_ = 0, bodyBottom_ = 0;
    int captionLines_ = 1;
    int maxRowLines_ = 1;
    bool oneLineRows_ = true;  // every row one line high: pages follow from the count
    int rowCount_ = 0;
    // Measured pages: the first row of each page laid out so far; the next row to measure.
    std::vector<int> pageStarts_{0};
    int measuredRows_ = 0;
    double measuredY_ = 0;
    bool allMeasured_ = false;
    std::vector<std::string> cells_;
    std::vector<std::string_view> lineViews_;
};

}  // namespace orbelan
