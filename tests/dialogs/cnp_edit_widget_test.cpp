#include "dialogs/cnp_edit_widget.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QVariant>

namespace orbelan {
namespace {

QString Q(const char* s) {
    return QString::fromUtf8(s);
}

class CnpEditTest : public ::testing::Test {
  protected:
    void Type(const char* digits) {
        for (const char* p = digits; *p; ++p)
            QTest::keyClick(&edit, static_cast<Qt::Key>(Qt::Key_0 + (*p - '0')));
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&edit, key, mods);
    }

    TCNPEdit edit;
};

TEST_F(CnpEditTest, StartsReadOnlyAndEmptyCodesAreRejectedByDefault) {
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_FALSE(edit.AcceptGol());
    EXPECT_FALSE(edit.GetCorect());
    edit.SetAcceptGol(true);
    EXPECT_TRUE(edit.property("Corect").toBool());
    EXPECT_EQ(edit.GetSex(), QString());
}

TEST_F(CnpEditTest, PropertiesFollowTheText) {
    edit.setText(Q("1000101990013"));
    EXPECT_TRUE(edit.GetCorect());
    EXPECT_EQ(edit.property("Sex").toString(), Q("masculin"));
    EXPECT_EQ(edit.property("NascutLa").toInt(), 2);
    EXPECT_EQ(edit.NascutLaDate(), QDate(1900, 1, 1));

    edit.setText(Q("6001231990031"));  // nothing is cached
    EXPECT_TRUE(edit.GetCorect());
    EXPECT_EQ(edit.GetSex(), Q("feminin"));
    EXPECT_EQ(edit.NascutLaDate(), QDate(2000, 12, 31));

    edit.setText(Q("1000229990011"));
    EXPECT_FALSE(edit.GetCorect());
    EXPECT_EQ(edit.GetNascutLa(), 0);
    EXPECT_EQ(edit.NascutLaDate(), QDate(1899, 12, 30));

    // A longer text set by a caller is kept whole, so it stays invalid.
    edit.setText(Q("10001019900133"));
    EXPECT_EQ(edit.text().size(), 14);
    EXPECT_FALSE(edit.GetCorect());
}

TEST_F(CnpEditTest, ALoneZeroIsReplacedByTheNextDigit) {
    Type("0");
    EXPECT_EQ(edit.text(), Q("0"));
    Type("7");
    EXPECT_EQ(edit.text(), Q("7"));
    Type("0");
    EXPECT_EQ(edit.text(), Q("70"));
    Type("5");
    EXPECT_EQ(edit.text(), Q("705"));
    EXPECT_EQ(edit.cursorPosition(), 3);
}

TEST_F(CnpEditTest, DigitsGoInAtTheCaretUpToThirteen) {
    Type("1000101990013");
    EXPECT_EQ(edit.text(), Q("1000101990013"));
    EXPECT_TRUE(edit.GetCorect());
    Type("4");
    EXPECT_EQ(edit.text(), Q("1000101990013"));
    edit.setCursorPosition(3);
    Type("4");
    EXPECT_EQ(edit.text(), Q("1000101990013"));

    edit.setText(Q("12"));
    edit.setCursorPosition(1);
    Type("9");
    EXPECT_EQ(edit.text(), Q("192"));
    EXPECT_EQ(edit.cursorPosition(), 2);
}

TEST_F(CnpEditTest, ADigitIsRefusedJustBeforeADash) {
    edit.setText(Q("12-3"));
    edit.setCursorPosition(2);
    Type("5");
    EXPECT_EQ(edit.text(), Q("12-3"));
    edit.setCursorPosition(3);
    Type("5");
    EXPECT_EQ(edit.text(), Q("12-53"));
}

TEST_F(CnpEditTest, BackspaceAndDeleteRemoveOneCharacterOrNothing) {
    edit.setText(Q("12345"));
    edit.setCursorPosition(0);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), Q("12345"));
    edit.setCursorPosition(5);
    Press(Qt::Key_Delete);
    EXPECT_EQ(edit.text(), Q("12345"));

    edit.setCursorPosition(2);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), Q("1345"));
    EXPECT_EQ(edit.cursorPosition(), 1);
    Press(Qt::Key_Delete);
    EXPECT_EQ(edit.text(), Q("145"));
    EXPECT_EQ(edit.cursorPosition(), 1);
}

TEST_F(CnpEditTest, ASelectionIsRemovedWholeByEveryEditingKey) {
    edit.setText(Q("1234567"));
    edit.setSelection(1, 3);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), Q("1567"));
    EXPECT_EQ(edit.cursorPosition(), 1);

    edit.setSelection(3, -2);  // selected backwards: "56"
    Press(Qt::Key_Delete);
    EXPECT_EQ(edit.text(), Q("17"));
    EXPECT_EQ(edit.cursorPosition(), 1);

    edit.setText(Q("1000101990013"));
    edit.setSelection(7, 6);
    Type("8");  // full before, room again once the selection goes
    EXPECT_EQ(edit.text(), Q("10001018"));
    EXPECT_EQ(edit.cursorPosition(), 8);

    // Selecting with the keyboard still works on the read-only edit.
    edit.setCursorPosition(0);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Type("5");
    EXPECT_EQ(edit.text(), Q("5001018"));
}

TEST_F(CnpEditTest, KeypadDigitsTypeLikeDigits) {
    Press(Qt::Key_5, Qt::KeypadModifier);
    Press(Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(edit.text(), Q("50"));

    int key = TCNPEdit::kVkNumpad0 + 9;
    edit.KeyDown(key, Qt::NoModifier);
    EXPECT_EQ(key, 0x39);  // rewritten, not cleared
    EXPECT_EQ(edit.text(), Q("509"));
}

TEST_F(CnpEditTest, OtherKeysChangeNothing) {
    edit.setText(Q("123"));
    QTest::keyClicks(&edit, Q("abc -+.,"));
    Press(Qt::Key_V, Qt::ControlModifier);
    Press(Qt::Key_Insert, Qt::ShiftModifier);
    Press(Qt::Key_QuoteLeft);  // same code as keypad 0 among the virtual keys
    EXPECT_EQ(edit.text(), Q("123"));

    int key = 'A';
    edit.KeyDown(key, Qt::NoModifier);
    EXPECT_EQ(edit.text(), Q("123"));
}

}  // namespace
}  // namespace orbelan
