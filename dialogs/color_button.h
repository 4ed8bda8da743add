#pragma once
// A flat push button that paints its own face, pressed and hover colours and a 3D edge.
#include <QColor>
#include <QPushButton>
#include <QTimer>

namespace orbelan {

struct ButtonColors {
    QColor face;
    QColor pressed;
    QColor hot;
    QColor light;
    QColor shadow;
};

class ColorButton : public QPushButton {
    Q_OBJECT
  public:
    static constexpr int FadeSteps = 10;
    static constexpr int FadeIntervalMs = 30;

    explicit ColorButton(QWidget* parent = nullptr);
    explicit ColorButton(const QString& text, QWidget* parent = nullptr);

    void SetColors(const ButtonColors& colors);
    const ButtonColors& Colors() const { return colors_; }

    void SetTextColor(const QColor& color);
    QColor TextColor() const { return textColor_; }

    // With fading on, the hover colour comes and goes over FadeSteps ticks.
    void SetFading(bool fading);
    bool Fading() const { return fading_; }

    bool Hovered() const { return hovered_; }
    // 0 = face colour, FadeSteps = hot colour.
    int FadeLevel() const { return fadeLevel_; }
    // The colour the button is painted with now.
    QColor CurrentFaceColor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void SetHovered(bool hovered);
    void FadeTick();

    ButtonColors colors_;
    QColor textColor_{Qt::white};
    bool fading_ = false;
    bool hovered_ = false;
    int fadeLevel_ = 0;
    QTimer fadeTimer_;
};

}  // namespace orbelan
