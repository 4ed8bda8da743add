#pragma once
// "Completeaza din alt tabel...": the key, the columns to take and the mode; "Calculeaza" lists
// what would change (rows, keys not found, keys found twice, values that won't fit) and nothing
// is written until "Aplica". Beside it, the key of "Adauga doar liniile noi...".
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "compare/fill_table.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace orbelan {

class TKeyEditor;

class TFillWindow : public QDialog {
    Q_OBJECT
  public:
    // Writes the plan (the main window's rewrite); false when it failed (said there).
    using Apply = std::function<bool(const CompareSource& there, const FillPlan& plan)>;

    TFillWindow(QWidget* parent, std::unique_ptr<CompareSource> here,
                std::unique_ptr<CompareSource> there, const CodePage& page, Apply apply);

    // Plans with the choices made and lists the counts; false (said) when nothing is chosen.
    bool Plan();

    TKeyEditor* KeyEditor() const { return key_; }
    QListWidget* Columns() const { return columns_; }
    QRadioButton* Always() const { return always_; }
    QRadioButton* Keep() const { return keep_; }
    QPushButton* PlanButton() const { return planButton_; }
    QPushButton* ApplyButton() const { return applyButton_; }
    QPlainTextEdit* Report() const { return report_; }
    const std::optional<FillPlan>& Planned() const { return plan_; }

  private:
    void Invalidate();

    std::unique_ptr<CompareSource> here_, there_;
    const CodePage& page_;
    Apply apply_;
    std::optional<FillPlan> plan_;
    TKeyEditor* key_;
    QListWidget* columns_;
    QRadioButton* whenEmpty_;
    QRadioButton* always_;
    QRadioButton* keep_;
    QPushButton* planButton_;
    QPushButton* applyButton_;
    QPlainTextEdit* report_;
};

// "Adauga doar liniile noi...": the key by which a row of the source is new.
class TAppendChoice : public QDialog {
    Q_OBJECT
  public:
    TAppendChoice(QWidget* parent, const CompareSource& here, const CompareSource& there);
    std::vector<KeyColumn> Key() const;
    TextOptions Options() const;

    TKeyEditor* KeyEditor() const { return key_; }

  private:
    TKeyEditor* key_;
};

}  // namespace orbelan
