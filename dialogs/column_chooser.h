#pragma once
// The dialog through which a command asks for one column of the open table (and, for the
// search, a value).
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/color_button.h"

namespace orbelan {

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the dialog modally under the caller's caption; true only after "&Am ales".
    bool Choose(const QString& caption);
    bool Chosen() const { return chosen_; }
    QString ChosenColumn() const;
    QString Value() const;

    void SetValuePanelVisible(bool visible);
    bool ValuePanelVisible() const;
    // Replaces the list and selects the first name.
    void SetColumns(const QStringList& names);
    QStringList Columns() const;

    QComboBox* Coloana() const { return coloana_; }
    QLineEdit* ValoareE() const { return valoareE_; }
    ColorButton* CancelButton() const { return lbButton1_; }
    ColorButton* ChooseButton() const { return lbButton2_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    bool chosen_ = false;
    QComboBox* coloana_;
    QWidget* valoareP_;
    QLineEdit* valoareE_;
    ColorButton* lbButton1_;
    ColorButton* lbButton2_;
};

}  // namespace orbelan
