#pragma once
// A short complaint that needs no answer: a balloon pointing at the control concerned.
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace orbelan {

class BalloonHint : public QWidget {
    Q_OBJECT
  public:
    static constexpr int PreferredWidth = 300;
    static constexpr int DefaultHideMs = 5000;
    static constexpr int FadeSteps = 50;
    static constexpr int FadeIntervalMs = 5;

    explicit BalloonHint(QWidget* parent = nullptr);

    // Points the balloon at point 10,10 of `control`; a balloon already shown is replaced.
    void Show(QWidget* control, const QString& text);

    QString Header() const { return header_; }
    QString Text() const { return text_; }
    // The tail's tip, in global coordinates.
    QPoint TargetPoint() const { return target_; }
    bool TailOnTop() const { return tailOnTop_; }

    void SetHideInterval(int ms) { hideTimer_.setInterval(ms); }
    int HideInterval() const { return hideTimer_.interval(); }
    // Milliseconds before the balloon hides itself; -1 when it is not waiting to hide.
    int RemainingTime() const { return hideTimer_.isActive() ? hideTimer_.remainingTime() : -1; }
    bool Fading() const { return fadeTimer_.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void Layout();
    void FadeTick();

    QString header_;
    QString text_;
    QPoint target_;
    bool tailOnTop_ = true;
    int tailX_ = 0;  // the tip's x inside the balloon
    QRect bubble_;
    QRect iconRect_;
    QRect headerRect_;
    QRect textRect_;
    QPainterPath shape_;
    QPixmap icon_;
    int fadeStep_ = 0;
    QTimer hideTimer_;
    QTimer fadeTimer_;
};

}  // namespace orbelan
