#pragma once
// "Cauta si inlocuieste": the text to find and its replacement, one column or every text column,
// whole value or part, match case or not; "Numara", "Inlocuieste tot" and "&Renunt". It only
// gathers the choices: the main window runs the count and the replace.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orbelan {

class TReplaceForm : public QDialog {
    Q_OBJECT
  public:
    explicit TReplaceForm(QWidget* parent = nullptr);

    // The text columns offered; the first entry stands for all of them.
    void SetColumns(const QStringList& names);
    QString FindText() const;
    QString ReplacementText() const;
    QString Column() const;  // empty: every text column
    bool WholeValue() const;
    bool MatchCase() const;
    // The count's answer, shown under the fields.
    void ShowCount(const QString& text);

    QLineEdit* FindEdit() const { return find_; }
    QLineEdit* ReplacementEdit() const { return replacement_; }
    QComboBox* Columns() const { return columns_; }
    QCheckBox* WholeBox() const { return whole_; }
    QCheckBox* CaseBox() const { return matchCase_; }
    QPushButton* CountButton() const { return count_; }
    QPushButton* ReplaceButton() const { return replaceAll_; }
    QLabel* CountLabel() const { return countLabel_; }

  signals:
    void countWanted();
    void replaceWanted();

  private:
    QLineEdit* find_;
    QLineEdit* replacement_;
    QComboBox* columns_;
    QCheckBox* whole_;
    QCheckBox* matchCase_;
    QLabel* countLabel_;
    QPushButton* count_;
    QPushButton* replaceAll_;
    QPushButton* cancel_;
};

}  // namespace orbelan
