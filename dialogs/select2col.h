#pragma once
// The two-column chooser of the swap: two lists of the open table's columns and "&Am ales",
// which complains in a balloon until two different columns are chosen.
#include <QComboBox>
#include <QDialog>
#include <optional>
#include <utility>

#include "dialogs/color_button.h"

namespace orbelan {

class BalloonHint;

class TSelect2Col : public QDialog {
    Q_OBJECT
  public:
    explicit TSelect2Col(QWidget* parent = nullptr);

    // Fills both lists (alphabetically, nothing selected) and shows the dialog modally; the two
    // columns after "&Am ales", nothing after "&Renunt", the close box or Esc.
    std::optional<std::pair<QString, QString>> Choose(const QStringList& names);

    void LbButton2Click();

    QComboBox* Col1() const { return col1_; }
    QComboBox* Col2() const { return col2_; }
    BalloonHint* Balloon() const { return balloon_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QComboBox* col1_;
    QComboBox* col2_;
    ColorButton* lbButton1_;
    ColorButton* lbButton2_;
    BalloonHint* balloon_;
};

}  // namespace orbelan
