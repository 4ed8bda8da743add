#include "dialogs/balloon_hint.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include "support/wait_for.h"

namespace orbelan {
namespace {

using test::WaitFor;

// The off-screen platform can't fade or shape windows and says so on every step.
class QuietPlatform : public ::testing::Environment {
  public:
    void SetUp() override {
        previous_ = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
                if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
                previous_(type, ctx, msg);
            });
    }
    void TearDown() override { qInstallMessageHandler(previous_); }

  private:
    static inline QtMessageHandler previous_ = nullptr;
};
const auto* const quietPlatform = ::testing::AddGlobalTestEnvironment(new QuietPlatform);

struct Window {
    QWidget top;
    QLineEdit* edit;
    Window() {
        top.setGeometry(100, 120, 400, 300);
        edit = new QLineEdit(&top);
        edit->setGeometry(30, 200, 150, 22);
        top.show();
    }
};

TEST(BalloonHint, PointsAtTheControlWithHeaderAndText) {
    Window win;
    BalloonHint b;
    EXPECT_EQ(b.HideInterval(), 5000);
    b.Show(&win.top, QStringLiteral("Nu aveti ce filtra!"));
    EXPECT_TRUE(b.isVisible());
    EXPECT_EQ(b.Header(), QStringLiteral("Problema !"));
    EXPECT_EQ(b.Text(), QStringLiteral("Nu aveti ce filtra!"));
    EXPECT_EQ(b.TargetPoint(), win.top.mapToGlobal(QPoint(10, 10)));
    EXPECT_EQ(b.width(), BalloonHint::PreferredWidth);
    // The tail's tip is on the target: the balloon's top or bottom edge touches it.
    const QRect g = b.geometry();
    EXPECT_TRUE(g.top() == b.TargetPoint().y() || g.bottom() == b.TargetPoint().y());
    EXPECT_GE(b.TargetPoint().x(), g.left());
    EXPECT_LE(b.TargetPoint().x(), g.right());
    // Waiting to hide, its time counted from now (however late this line runs).
    const int left = b.RemainingTime();
    EXPECT_GT(left, 0);
    EXPECT_LE(left, 5000);
}

TEST(BalloonHint, ANewBalloonReplacesTheOldAndRestartsItsTime) {
    Window win;
    BalloonHint b;
    const int interval = 1000;
    b.SetHideInterval(interval);
    b.Show(&win.top, QStringLiteral("Nu aveti unde cauta!"));
    ASSERT_TRUE(WaitFor([&] { return b.RemainingTime() <= interval / 2; }));
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    b.Show(win.edit, QStringLiteral("Filtru incorect!"));
    EXPECT_EQ(b.Text(), QStringLiteral("Filtru incorect!"));
    EXPECT_EQ(b.TargetPoint(), win.edit->mapToGlobal(QPoint(10, 10)));
    // Hidden a whole interval after the second balloon, not when the first one's time ran out
    // (a late wake-up only makes it later).
    ASSERT_TRUE(WaitFor([&] { return !b.isVisible(); }));
    EXPECT_GE(sinceSecond.elapsed(), interval);
}

TEST(BalloonHint, FadesInAndHidesItselfAfterTheInterval) {
    Window win;
    BalloonHint b;
    // Long enough that the fade ends first however slow the machine.
    b.SetHideInterval(10 * 60 * 1000);
    b.Show(win.edit, QStringLiteral("Filtru incorect!"));
    EXPECT_LT(b.windowOpacity(), 0.1);
    EXPECT_TRUE(b.Fading());
    ASSERT_TRUE(WaitFor([&] { return !b.Fading(); }));
    EXPECT_DOUBLE_EQ(b.windowOpacity(), 1.0);
    EXPECT_TRUE(b.isVisible());
    b.SetHideInterval(100);  // restarts the running timer
    ASSERT_TRUE(WaitFor([&] { return !b.isVisible(); }));
    EXPECT_EQ(b.RemainingTime(), -1);
}

TEST(BalloonHint, LongTextWrapsWithinThePreferredWidth) {
    Window win;
    BalloonHint b;
    b.Show(&win.top, QStringLiteral("Nu aveti ce filtra!"));
    const int shortHeight = b.height();
    QString longText;
    for (int i = 0; i < 30; ++i) longText += QStringLiteral("cuvant ");
    b.Show(&win.top, longText);
    EXPECT_EQ(b.width(), BalloonHint::PreferredWidth);
    EXPECT_GT(b.height(), shortHeight);
}

}  // namespace
}  // namespace orbelan
