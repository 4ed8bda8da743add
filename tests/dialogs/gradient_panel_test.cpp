#include "dialogs/gradient_panel.h"

#include <gtest/gtest.h>

#include <QImage>

namespace orbelan {
namespace {

TEST(GradientStep, EndsAreTheTwoColoursAndChannelsMoveMonotonically) {
    const QColor from(0xFF, 0xD5, 0xD5), to(0xFF, 0x00, 0x00);
    EXPECT_EQ(GradientStepColor(from, to, 0, 64), from);
    EXPECT_EQ(GradientStepColor(from, to, 63, 64), to);
    // Halfway on a 3-step ramp: the change, -0xD5 / 2, is truncated toward zero.
    EXPECT_EQ(GradientStepColor(from, to, 1, 3), QColor(0xFF, 0x6B, 0x6B));
    // Out-of-range steps stay on the ends; a single step is the "from" colour.
    EXPECT_EQ(GradientStepColor(from, to, -5, 64), from);
    EXPECT_EQ(GradientStepColor(from, to, 99, 64), to);
    EXPECT_EQ(GradientStepColor(from, to, 0, 1), from);

    int prevGreen = 256;
    for (int i = 0; i < 64; ++i) {
        const QColor c = GradientStepColor(from, to, i, 64);
        EXPECT_EQ(c.red(), 0xFF);
        EXPECT_LE(c.green(), prevGreen) << "step " << i;
        prevGreen = c.green();
    }
    // Rising channels interpolate the same way.
    const QColor dark(0x38, 0x36, 0x23), light(0xB7, 0xB1, 0x8A);
    EXPECT_EQ(GradientStepColor(dark, light, 32, 64).red(), 0x38 + (0xB7 - 0x38) * 32 / 63);
}

TEST(GradientStep, BandsTileTheAreaWithoutGapsInEitherDirection) {
    const QRect area(0, 0, 343, 49);
    for (bool rtl : {false, true}) {
        int covered = 0;
        std::vector<int> owner(343, -1);
        for (int i = 0; i < 64; ++i) {
            const QRect band = GradientBandRect(area, i, 64, rtl);
            EXPECT_EQ(band.height(), 49);
            for (int x = band.left(); x <= band.right(); ++x) {
                ASSERT_EQ(owner[x], -1) << "x " << x << " in two bands";
                owner[x] = i;
                ++covered;
            }
        }
        EXPECT_EQ(covered, 343);
        EXPECT_EQ(owner.front(), rtl ? 63 : 0);
        EXPECT_EQ(owner.back(), rtl ? 0 : 63);
    }
}

TEST(GradientPanel, PaintsFromColourAtTheRightAndToColourAtTheLeft) {
    GradientPanel panel;
    panel.resize(343, 49);
    panel.SetColors(QColor(0x81, 0xA2, 0xD3), QColor(0x36, 0x5F, 0x9C));
    const QImage img = panel.grab().toImage();
    EXPECT_EQ(QColor(img.pixel(342, 20)), QColor(0x81, 0xA2, 0xD3));
    EXPECT_EQ(QColor(img.pixel(0, 20)), QColor(0x36, 0x5F, 0x9C));
    const QColor middle(img.pixel(171, 20));
    EXPECT_GT(middle.red(), 0x36);
    EXPECT_LT(middle.red(), 0x81);

    panel.SetRightToLeft(false);
    const QImage flipped = panel.grab().toImage();
    EXPECT_EQ(QColor(flipped.pixel(0, 20)), QColor(0x81, 0xA2, 0xD3));
}

}  // namespace
}  // namespace orbelan
