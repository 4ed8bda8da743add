#include "dialogs/color_button.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QTest>

#include "support/wait_for.h"

namespace orbelan {
namespace {

const ButtonColors Red{QColor(0xFF, 0x00, 0x00), QColor(0xA6, 0x00, 0x00), QColor(0xFF, 0x9B, 0x9B),
                       QColor(0xFF, 0xD9, 0xD9), QColor(0x00, 0x00, 0xFF)};

void Enter(ColorButton& b) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &e);
}

void Leave(ColorButton& b) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&b, &e);
}

using test::WaitFor;

TEST(ColorButton, PaintsFaceWithLightAndShadowEdgesAndSinksWhenPressed) {
    ColorButton b;  // no text, so every inner pixel is the face
    b.resize(73, 25);
    b.SetColors(Red);

    QImage img = b.grab().toImage();
    EXPECT_EQ(QColor(img.pixel(36, 12)), Red.face);
    EXPECT_EQ(QColor(img.pixel(10, 0)), Red.light);
    EXPECT_EQ(QColor(img.pixel(0, 12)), Red.light);
    EXPECT_EQ(QColor(img.pixel(10, 24)), Red.shadow);
    EXPECT_EQ(QColor(img.pixel(72, 12)), Red.shadow);

    b.setDown(true);
    img = b.grab().toImage();
    EXPECT_EQ(QColor(img.pixel(36, 12)), Red.pressed);
    EXPECT_EQ(QColor(img.pixel(10, 0)), Red.shadow);
    EXPECT_EQ(QColor(img.pixel(10, 24)), Red.light);
}

TEST(ColorButton, HoverShowsHotColourAtOnceWithoutFading) {
    ColorButton b;
    b.SetColors(Red);
    Enter(b);
    EXPECT_TRUE(b.Hovered());
    EXPECT_EQ(b.CurrentFaceColor(), Red.hot);
    Leave(b);
    EXPECT_EQ(b.CurrentFaceColor(), Red.face);
}

TEST(ColorButton, FadeMovesStepByStepToTheHotColourAndBack) {
    ColorButton b;
    b.SetColors(Red);
    b.SetFading(true);
    Enter(b);
    EXPECT_EQ(b.CurrentFaceColor(), Red.face);  // nothing changes before the first tick

    ASSERT_TRUE(WaitFor([&] { return b.FadeLevel() > 0; }));
    const int level = b.FadeLevel();
    if (level < ColorButton::FadeSteps) {
        const QColor mid = b.CurrentFaceColor();
        EXPECT_GT(mid.green(), Red.face.green());
        EXPECT_LT(mid.green(), Red.hot.green());
    }
    ASSERT_TRUE(WaitFor([&] { return b.FadeLevel() == ColorButton::FadeSteps; }));
    EXPECT_EQ(b.CurrentFaceColor(), Red.hot);

    Leave(b);
    ASSERT_TRUE(WaitFor([&] { return b.FadeLevel() == 0; }));
    EXPECT_EQ(b.CurrentFaceColor(), Red.face);
}

}  // namespace
}  // namespace orbelan
