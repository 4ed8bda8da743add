#include "dialogs/select2col.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "dialogs/balloon_hint.h"
#include "dialogs/modal_answer.h"

namespace orbelan {
namespace {

using test::ModalAnswer;

const QStringList kNames = {QStringLiteral("NUME"), QStringLiteral("CNP"),
                            QStringLiteral("ADRESA")};

void ClickAmAles(QDialog& d) {
    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton2")), Qt::LeftButton);
}

TEST(Select2Col, LayoutAndSortedListsWithoutSelection) {
    TSelect2Col f;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Inversare coloane"));
    EXPECT_EQ(f.size(), QSize(349, 192));
    EXPECT_EQ(f.Col1()->geometry().topLeft(), QPoint(128, 72));
    EXPECT_EQ(f.Col2()->geometry().topLeft(), QPoint(128, 96));
    EXPECT_EQ(f.Col1()->width(), 193);
    EXPECT_EQ(f.findChild<QPushButton*>(QStringLiteral("LbButton2"))->geometry(),
              QRect(232, 8, 100, 23));
    EXPECT_EQ(f.findChild<QPushButton*>(QStringLiteral("LbButton1"))->text(),
              QStringLiteral("&Renunt"));

    ModalAnswer a([](QDialog& d) {
        auto& s = static_cast<TSelect2Col&>(d);
        EXPECT_EQ(s.Col1()->currentIndex(), -1);
        EXPECT_EQ(s.Col2()->currentIndex(), -1);
        EXPECT_EQ(s.Col2()->itemText(0), QStringLiteral("ADRESA"));
        EXPECT_EQ(s.Col2()->itemText(2), QStringLiteral("NUME"));
        QTest::keyClick(s.Col2(), Qt::Key_Escape);
    });
    EXPECT_EQ(f.Choose(kNames), std::nullopt);
    EXPECT_EQ(a.Seen(), 1);
}

TEST(Select2Col, AmAlesComplainsInBalloonsUntilTwoDifferentColumns) {
    TSelect2Col f;
    ModalAnswer a([](QDialog& d) {
        auto& s = static_cast<TSelect2Col&>(d);
        struct Step {
            int first, second;
            const char* text;
            QComboBox* at;
        };
        const Step steps[] = {
            {-1, -1, "Nu ati ales nimic!", s.Col1()},
            {0, -1, "Nu ati ales nimic!", s.Col2()},
            {1, 1, "Alegeti doua coloane diferite!", s.Col2()},
        };
        for (const Step& step : steps) {
            s.Col1()->setCurrentIndex(step.first);
            s.Col2()->setCurrentIndex(step.second);
            ClickAmAles(d);
            EXPECT_TRUE(d.isVisible()) << step.text;
            EXPECT_EQ(s.Balloon()->Text(), QString::fromLatin1(step.text));
            EXPECT_EQ(s.Balloon()->Header(), QStringLiteral("Problema !"));
            EXPECT_EQ(s.Balloon()->TargetPoint(), step.at->mapToGlobal(QPoint(10, 10)));
        }
        s.Col2()->setCurrentIndex(2);
        ClickAmAles(d);
    });
    const auto chosen = f.Choose(kNames);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->first, QStringLiteral("CNP"));
    EXPECT_EQ(chosen->second, QStringLiteral("NUME"));

    ModalAnswer renunt([](QDialog& d) {
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton1")), Qt::LeftButton);
    });
    EXPECT_EQ(f.Choose(kNames), std::nullopt);
}

}  // namespace
}  // namespace orbelan
