#include "dialogs/column_chooser.h"

#include <gtest/gtest.h>

#include <QTest>

#include "dialogs/modal_answer.h"

namespace orbelan {
namespace {

using test::ModalAnswer;

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* n : names) list << QString::fromLatin1(n);
    return list;
}

TEST(ColumnChooser, OnlyAmAlesConfirmsAndEveryOtherWayReturnsFalse) {
    TForm2 f;
    f.SetColumns(Names({"NUME", "CNP", "SUMA"}));

    {
        ModalAnswer a([](QDialog& d) {
            auto* combo = d.findChild<QComboBox*>(QStringLiteral("Coloana"));
            combo->setCurrentIndex(1);
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton2")),
                              Qt::LeftButton);
        });
        EXPECT_TRUE(f.Choose(QStringLiteral("Verificare CNP")));
        EXPECT_EQ(a.Caption(), QStringLiteral("Verificare CNP"));
        EXPECT_EQ(f.ChosenColumn(), QStringLiteral("CNP"));
    }
    const std::pair<const char*, std::function<void(QDialog&)>> cancels[] = {
        {"Renunt",
         [](QDialog& d) {
             QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton1")),
                               Qt::LeftButton);
         }},
        {"close box", [](QDialog& d) { d.close(); }},
        {"Esc in combo",
         [](QDialog& d) {
             QTest::keyClick(d.findChild<QComboBox*>(QStringLiteral("Coloana")), Qt::Key_Escape);
         }},
        {"Esc in value",
         [](QDialog& d) {
             QTest::keyClick(d.findChild<QLineEdit*>(QStringLiteral("ValoareE")), Qt::Key_Escape);
         }},
        {"Esc on Am ales",
         [](QDialog& d) {
             QTest::keyClick(d.findChild<QPushButton*>(QStringLiteral("LbButton2")),
                             Qt::Key_Escape);
         }},
    };
    f.SetValuePanelVisible(true);
    for (const auto& [how, act] : cancels) {
        ModalAnswer a(act);
        EXPECT_FALSE(f.Choose(QStringLiteral("Sterge o coloana"))) << how;
        EXPECT_EQ(a.Seen(), 1) << how;
        EXPECT_FALSE(f.Chosen()) << how;
    }
    // The selection made earlier survives the cancelled calls.
    EXPECT_EQ(f.ChosenColumn(), QStringLiteral("CNP"));
}

TEST(ColumnChooser, CaptionIsTheCallersAndMnemonicsWork) {
    TForm2 f;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Alege coloana"));
    f.SetColumns(Names({"A"}));
    ModalAnswer a([](QDialog& d) { QTest::keyClick(&d, Qt::Key_A, Qt::AltModifier); });
    EXPECT_TRUE(f.Choose(QStringLiteral("Copie valoare in jos")));
    EXPECT_EQ(a.Caption(), QStringLiteral("Copie valoare in jos"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Copie valoare in jos"));
}

TEST(ColumnChooser, RefilledListSelectsFirstAndValueIsKeptBetweenCalls) {
    TForm2 f;
    f.SetColumns(Names({"NUME", "CNP"}));
    f.SetValuePanelVisible(true);
    {
        ModalAnswer a([](QDialog& d) {
            d.findChild<QComboBox*>(QStringLiteral("Coloana"))->setCurrentIndex(1);
            auto* edit = d.findChild<QLineEdit*>(QStringLiteral("ValoareE"));
            EXPECT_TRUE(edit->isVisible());
            QTest::keyClicks(edit, QStringLiteral("1850101"));
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton2")),
                              Qt::LeftButton);
        });
        ASSERT_TRUE(f.Choose(QStringLiteral("Cautare valoare")));
    }
    EXPECT_EQ(f.ChosenColumn(), QStringLiteral("CNP"));
    EXPECT_EQ(f.Value(), QStringLiteral("1850101"));

    // A repeated search: column and value are still there.
    {
        ModalAnswer a([](QDialog& d) {
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("LbButton2")),
                              Qt::LeftButton);
        });
        ASSERT_TRUE(f.Choose(QStringLiteral("Cautare valoare")));
    }
    EXPECT_EQ(f.ChosenColumn(), QStringLiteral("CNP"));
    EXPECT_EQ(f.Value(), QStringLiteral("1850101"));

    // The table reopened with an added column.
    f.SetColumns(Names({"NUME", "CNP", "ANCNP"}));
    EXPECT_EQ(f.Columns(), Names({"NUME", "CNP", "ANCNP"}));
    EXPECT_EQ(f.ChosenColumn(), QStringLiteral("NUME"));
    f.SetColumns({});
    EXPECT_EQ(f.ChosenColumn(), QString());
}

TEST(ColumnChooser, ListTakesNoTypingAndValuePanelStartsHidden) {
    TForm2 f;
    EXPECT_FALSE(f.Coloana()->isEditable());
    EXPECT_FALSE(f.ValuePanelVisible());
    f.SetValuePanelVisible(true);
    EXPECT_TRUE(f.ValuePanelVisible());
}

}  // namespace
}  // namespace orbelan
