#pragma once
// "Numara pe valori...": the displayed rows counted by the values of one or two columns, with a
// sum of a numeric column, as a table and a bar chart. A double click on a row or a click on a
// bar closes it with the filter condition that keeps those rows.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cleaning/column_profile.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace orbelan {

class TChartView;
class Table;

class TCountWindow : public QDialog {
    Q_OBJECT
  public:
    // The counts of the displayed rows; nullopt when the user stopped the walk.
    using Count = std::function<std::optional<GroupCounts>(const std::vector<int>& fields,
                                                           int sumField, CountOrder order)>;
    // Asks for a file and exports the counts there.
    using Export = std::function<void(const GroupCounts& counts)>;

    explicit TCountWindow(QWidget* parent = nullptr);

    // Shown modally, the first column preset to `field`; the condition chosen, or nullopt.
    std::optional<std::string> Choose(const Table& table, int field, Count count,
                                      Export exportCounts);

    QComboBox* FirstColumn() const { return col1_; }
    QComboBox* SecondColumn() const { return col2_; }
    QComboBox* SumColumn() const { return sum_; }
    QRadioButton* ByValue() const { return byValue_; }
    QPushButton* CountButton() const { return countButton_; }
    QTableWidget* Results() const { return results_; }
    TChartView* ChartView() const { return chart_; }
    const std::optional<GroupCounts>& Counts() const { return counts_; }

  private:
    void Run();
    void Pick(size_t group);

    static constexpr int kShownRows = 10000;  // the export writes them all

    const Table* table_ = nullptr;
    Count count_;
    Export export_;
    std::vector<int> fields_;  // of the counts shown
    std::optional<GroupCounts> counts_;
    std::optional<std::string> chosen_;
    QComboBox* col1_;
    QComboBox* col2_;
    QComboBox* sum_;
    QRadioButton* byCount_;
    QRadioButton* byValue_;
    QPushButton* countButton_;
    QLabel* note_;
    QTableWidget* results_;
    TChartView* chart_;
    QPushButton* exportButton_;
    QPushButton* save_;
    QPushButton* print_;
};

}  // namespace orbelan
