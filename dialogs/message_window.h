#pragma once
// The one window through which every message and question of the program passes.
#include <array>
#include <cstdint>

#include <QDialog>
#include <QLabel>
#include <QScrollArea>

#include "dialogs/color_button.h"
#include "dialogs/gradient_panel.h"
#include "dialogs/rich_label.h"

namespace orbelan {

struct KindColors {
    QColor gradientFrom;
    QColor gradientTo;
    ButtonColors buttons;
};

class TErori : public QDialog {
    Q_OBJECT
  public:
    static constexpr int ButtonWidth = 73;
    static constexpr int ButtonHeight = 25;
    static constexpr int ButtonTop = 144;

    explicit TErori(QWidget* parent = nullptr);

    // Shows the message modally and returns the code of the button that closed it: 6 "DA",
    // 7 "NU", 1 "OK", 2 "RENUNT"; Esc, the close box or an empty button set give 2.
    int Mesaj(const QString& title, const QString& text, uint8_t kind, uint16_t buttons);

    // The caption of a kind; unknown kinds read as errors.
    static QString KindCaption(uint8_t kind);
    static KindColors ColorsOfKind(uint8_t kind);
    // Left edges of n buttons spread evenly across the footer (`spread` pixels, one less than
    // the window's width).
    static std::array<int, 4> ButtonLefts(int n, int spread = 342);

    // ---- read access for tests and the main window
    int Answer() const { return answer_; }
    QString Title() const;
    // The whole text of the last message.
    QString Text() const { return text_; }
    // The body's scrolled part; a text too long for the screen keeps its last line (the
    // question) out of it, in Question(), below the scrolled part.
    const RichLabel* Body() const { return eroText_; }
    const RichLabel* Question() const { return question_; }
    const QScrollArea* BodyScroll() const { return scroll_; }
    const GradientPanel* Header() const { return header_; }
    const GradientPanel* Footer() const { return footer_; }
    // BE1 .. BE4 by number.
    ColorButton* Button(int number) const;
    // A button's rectangle in the window's client coordinates.
    QRect ButtonRect(int number) const;
    QPixmap Icon() const;
    QPixmap KindPicture(uint8_t kind) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Answered(int code);
    // Sizes the window to the text: the designed size for a short one, larger up to most of the
    // available screen, then the body scrolls while the last line and the buttons stay shown.
    void Arrange(const QString& text, int visibleButtons);

    int answer_ = 2;
    GradientPanel* header_;
    GradientPanel* footer_;
    QWidget* body_;
    QLabel* image1_;
    QLabel* label1_;
    QScrollArea* scroll_;
    RichLabel* eroText_;
    RichLabel* question_;
    QString text_;
    std::array<ColorButton*, 4> be_{};
    std::array<QLabel*, 4> pictures_{};  // Image2 .. Image5
};

}  // namespace orbelan
