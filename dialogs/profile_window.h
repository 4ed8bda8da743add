#pragma once
// "Profilul coloanei...": what the current column holds over the displayed rows, its figures and
// pictures. A double click on a value, or a click on a bar, closes it with the filter condition
// that keeps those rows; the main window puts it in the filter box.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "cleaning/column_profile.h"
#include "print/profile_chart.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace orbelan {

class TChartView;
class Table;

class TProfileWindow : public QDialog {
    Q_OBJECT
  public:
    // profileAgain(forceCnp): the figures again, when the user marks the column as CNP or not;
    // nullopt when stopped.
    using Reprofile = std::function<std::optional<ColumnProfile>(bool forceCnp)>;

    explicit TProfileWindow(QWidget* parent = nullptr);

    // Shows the figures modally; the condition chosen by a click, or nullopt when closed.
    std::optional<std::string> Choose(const Table& table, int field, ColumnProfile profile,
                                      Reprofile profileAgain);

    QTableWidget* Figures() const { return figures_; }
    QTableWidget* TopValues() const { return top_; }
    QTabWidget* Tabs() const { return tabs_; }
    // The chart of the tab shown; nullptr on the values' tab.
    TChartView* ShownChart() const;

  private:
    void Fill();
    void AddChart(const QString& title, ChartData chart,
                  std::function<std::string(int bar, bool second)> condition);
    void Pick(std::string condition);
    std::string Within(const std::string& condition) const;

    const Table* table_ = nullptr;
    int field_ = -1;
    ColumnProfile profile_;
    Reprofile profileAgain_;
    std::optional<std::string> chosen_;
    QLabel* heading_;
    QLabel* note_;
    QTableWidget* figures_;
    QTableWidget* top_;
    QTabWidget* tabs_;
    QCheckBox* cnp_;
    QPushButton* invalid_;
    QPushButton* save_;
    QPushButton* print_;
};

}  // namespace orbelan
