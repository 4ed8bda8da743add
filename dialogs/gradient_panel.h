#pragma once
// A panel filled with a banded horizontal gradient, as in the message window's header and footer.
#include <QColor>
#include <QRect>
#include <QWidget>

namespace orbelan {

// Colour of band `step` (0 .. steps-1): band 0 is `from`, the last band is `to`; channels are
// interpolated with integer arithmetic so the bands are reproducible.
QColor GradientStepColor(const QColor& from, const QColor& to, int step, int steps);

// Area covered by band `step` of `steps` across `area`. Right to left puts band 0 at the right
// edge. Neighbouring bands share no pixels and together cover the whole area.
QRect GradientBandRect(const QRect& area, int step, int steps, bool rightToLeft);

class GradientPanel : public QWidget {
    Q_OBJECT
  public:
    explicit GradientPanel(QWidget* parent = nullptr);

    void SetColors(const QColor& from, const QColor& to);
    QColor From() const { return from_; }
    QColor To() const { return to_; }

    void SetSteps(int steps);
    int Steps() const { return steps_; }

    void SetRightToLeft(bool rightToLeft);
    bool RightToLeft() const { return rightToLeft_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor from_{0xB7, 0xB1, 0x8A};
    QColor to_{0x38, 0x36, 0x23};
    int steps_ = 64;
    bool rightToLeft_ = true;
};

}  // namespace orbelan
