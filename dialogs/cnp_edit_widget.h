#pragma once
// A one-line edit holding a personal numeric code (CNP). It answers whether the code is valid,
// when its holder was born and which sex it states, and lets only digits be typed.
#include <QDate>
#include <QLineEdit>
#include <QString>

namespace orbelan {

class TCNPEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool Corect READ GetCorect)
    Q_PROPERTY(QString Sex READ GetSex)
    Q_PROPERTY(int NascutLa READ GetNascutLa)
    Q_PROPERTY(bool AcceptGol READ AcceptGol WRITE SetAcceptGol)

  public:
    // Virtual key codes that KeyDown understands.
    static constexpr int kVkBack = 8;
    static constexpr int kVkDelete = 46;
    static constexpr int kVk0 = 0x30;
    static constexpr int kVkNumpad0 = 0x60;
    // Typing stops here. QLineEdit's own limit is left alone on purpose: it would cut a longer
    // text set by a caller to 13 characters and so turn a 14-character code into a valid one.
    static constexpr int kMaxLength = 13;

    explicit TCNPEdit(QWidget* parent = nullptr);

    bool GetCorect() const;
    QString GetSex() const;
    int GetNascutLa() const;  // day number, 0 (30 December 1899) when the text holds no date
    QDate NascutLaDate() const;
    bool AcceptGol() const { return acceptGol_; }
    void SetAcceptGol(bool accept) { acceptGol_ = accept; }

    // Applies one key to the text. A keypad digit is rewritten to the main-keyboard digit.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers shift);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void SetTextAndCaret(const QString& text, int caret);
    bool RemoveSelection();

    bool acceptGol_ = false;
};

}  // namespace orbelan
