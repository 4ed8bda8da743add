#pragma once
// "Compara cu alt tabel...": the key (columns of both tables) and the text options, then four
// counts with the rows behind each; the differing values highlighted, this table's beside the
// other's. A group of this table's rows can be shown in the grid, exported or written as a new
// table. TKeyEditor, the key's part, is shared with "Completeaza din alt tabel...".
#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/compare_tables.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace orbelan {

class TKeyEditor : public QWidget {
    Q_OBJECT
  public:
    explicit TKeyEditor(QWidget* parent = nullptr);
    // The columns of both tables; the key starts as CNP when both have it, else as the first
    // column of this table the other has by name.
    void SetSources(const CompareSource& here, const CompareSource& there);
    std::vector<KeyColumn> Key() const;
    TextOptions Options() const;

    QTableWidget* Pairs() const { return pairs_; }
    QCheckBox* IgnoreCase() const { return ignoreCase_; }
    QCheckBox* IgnoreDiacritics() const { return ignoreDiacritics_; }
    QCheckBox* Trim() const { return trim_; }
    void AddPair(int here, int there);

  signals:
    void Changed();

  private:
    QStringList hereNames_, thereNames_;
    QTableWidget* pairs_;
    QCheckBox* ignoreCase_;
    QCheckBox* ignoreDiacritics_;
    QCheckBox* trim_;
};

class TCompareWindow : public QDialog {
    Q_OBJECT
  public:
    enum Group {
        OnlyHere,
        OnlyThere,
        Same,
        Differ,
        RepeatedHere,
        RepeatedThere,
        EmptyHere,
        EmptyThere
    };
    struct Actions {
        // The rows of the group (this table's, by record) shown in the grid as this condition.
        std::function<void(const std::string& condition)> filter;
        // The rows written through the export engine / as a new table (the window asks where).
        std::function<void(const CompareSource& side, const std::vector<uint32_t>& rows)>
            exportRows;
        std::function<void(const CompareSource& side, const std::vector<uint32_t>& rows)> newTable;
    };

    TCompareWindow(QWidget* parent, std::unique_ptr<CompareSource> here,
                   std::unique_ptr<CompareSource> there, Actions actions);

    // Compares with the key and options set; false (said) when the key is empty.
    bool Run();
    void ShowGroup(int group);
    const std::optional<CompareResult>& Result() const { return result_; }

    TKeyEditor* KeyEditor() const { return key_; }
    QListWidget* Groups() const { return groups_; }
    QTableWidget* Rows() const { return rows_; }
    QPushButton* FilterButton() const { return filterButton_; }
    QPushButton* ExportButton() const { return exportButton_; }
    QPushButton* NewTableButton() const { return newTableButton_; }

  private:
    const CompareSource& SideOf(int group) const;
    std::vector<uint32_t> RowsOf(int group) const;
    void UpdateButtons();

    static constexpr int kShownRows = 10000;  // the export and the new table take them all

    std::unique_ptr<CompareSource> here_, there_;
    Actions actions_;
    std::optional<CompareResult> result_;
    CompareSpec spec_;
    TKeyEditor* key_;
    QPushButton* compareButton_;
    QLabel* otherLabel_;
    QListWidget* groups_;
    QTableWidget* rows_;
    QLabel* note_;
    QPushButton* filterButton_;
    QPushButton* exportButton_;
    QPushButton* newTableButton_;
};

// The condition that keeps a group's rows: COMPARARE(KEY)='diferite', through a filter function
// registered with the groups of the last comparison; empty for groups the grid can't show (the
// other table's rows, or a key of several columns).
std::string GroupCondition(const CompareSource& here, const CompareSpec& request,
                           const CompareResult& result, int group);

}  // namespace orbelan
