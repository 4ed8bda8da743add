#pragma once
// A chart of a profile or of counts on screen: painted as the files and the printer have it, and
// a click on a bar reported, so the window can filter the grid to that bar's rows.
#include <QWidget>

#include "print/profile_chart.h"

class QPrinter;

namespace orbelan {

class TChartView : public QWidget {
    Q_OBJECT
  public:
    explicit TChartView(QWidget* parent = nullptr);

    void SetChart(ChartData chart);
    const ChartData& Chart() const { return chart_; }
    // Whether a click on a bar is reported (off for pictures whose bars name no rows).
    void SetClickable(bool on);
    QSize sizeHint() const override;

    // Through the print preview, one page with the chart fitted to it.
    void Print(QWidget* parent);
    // Asks for a .png or .pdf file and writes the chart there.
    void SaveAs(QWidget* parent);

  signals:
    void barClicked(int index, bool second);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Up and Down choose a bar (Left and Right the side of the pyramid), Enter or Space picks it,
    // as a click would.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ChartData chart_;
    bool clickable_ = true;
    int focusBar_ = 0;
    bool focusSecond_ = false;
};

// Paints the chart on a printer's page, fitted and centred.
void PaintChartPage(QPrinter& printer, const ChartData& chart);

}  // namespace orbelan
