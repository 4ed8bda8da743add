#pragma once
// The memo window: a memo text whole, multi-line, to read and change ("&Salveaza", "&Renunt";
// Esc cancels), or a binary value by its length, with "Salveaza in fisier..." and
// "Incarca din fisier...".
#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orbelan {

class TMemoForm : public QDialog {
    Q_OBJECT
  public:
    explicit TMemoForm(QWidget* parent = nullptr);

    // A text value: the text shown for editing.
    void ShowText(const QString& caption, const QString& text);
    // A binary value: its length shown, the two file buttons instead of the editor.
    void ShowBinary(const QString& caption, qint64 length);
    QString Text() const;

    // What the file buttons do (the window asks for the file); they return the length now held,
    // or -1 when nothing changed.
    std::function<void()> saveToFile;
    std::function<qint64()> loadFromFile;

    QPlainTextEdit* Editor() const { return editor_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* SaveToFileButton() const { return saveToFile_; }
    QPushButton* LoadFromFileButton() const { return loadFromFile_; }

  private:
    QPlainTextEdit* editor_;
    QLabel* length_;
    QPushButton* save_;
    QPushButton* cancel_;
    QPushButton* saveToFile_;
    QPushButton* loadFromFile_;
};

}  // namespace orbelan
