// Memo cells and the memo window, deleted rows in the grid, and the find-and-replace window,
// driven in the main window off-screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "app/main_window_fixture.h"
#include "dialogs/column_chooser.h"
#include "dialogs/memo_window.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "dialogs/replace_window.h"
#include "qtcommon/qt_text.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

class MemoWindowTest : public MainWindowTest {
  protected:
    void Open(const std::string& path) {
        form.SetArguments({path});
        form.show();
        QApplication::processEvents();
    }

    QModelIndex Cell(int row, int column) { return form.Grid1()->model()->index(row, column); }
};

TEST_F(MemoWindowTest, CellShowsStartEnterOpensWindowSaveWritesText) {
    Open(dir.CopyData("dbase3_memo_cp1250.dbf"));
    const int obs = form.ws().table.FieldIndex("OBS");
    EXPECT_EQ(Cell(2, obs).data().toString(), QStringLiteral("linia 1..."));
    EXPECT_EQ(Cell(2, obs).data(Qt::ToolTipRole).toString(), QStringLiteral("linia 1\r\nlinia 2"));
    EXPECT_FALSE(Cell(2, obs).flags() & Qt::ItemIsEditable);

    QString shown;
    test::ModalAnswer edit([&](QDialog& d) {
        auto* memo = static_cast<TMemoForm&>(d).Editor();
        shown = memo->toPlainText();
        memo->setPlainText(QStringLiteral("unu \u0219i\ndoi"));
        static_cast<TMemoForm&>(d).SaveButton()->click();
    });
    form.Grid1()->setFocus();
    form.Grid1()->setCurrentIndex(Cell(2, obs));
    QTest::keyClick(form.Grid1(), Qt::Key_Return);
    EXPECT_EQ(edit.Seen(), 1);
    EXPECT_EQ(shown, QStringLiteral("linia 1\nlinia 2"));
    EXPECT_EQ(form.ws().table.TextAt(2, obs), "unu \xC5\x9Fi\r\ndoi");

    test::ModalAnswer cancel([](QDialog& d) {
        static_cast<TMemoForm&>(d).Editor()->setPlainText(QStringLiteral("nu"));
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    QTest::keyClick(form.Grid1(), Qt::Key_F2);
    EXPECT_EQ(cancel.Seen(), 1);
    EXPECT_EQ(form.ws().table.TextAt(2, obs), "unu \xC5\x9Fi\r\ndoi");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MemoWindowTest, DeletedRowsShownGreyedAndRecalled) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 5}}, {{"A"}, {"*B"}});
    Open(path);
    QMenu* menu = form.Menu(QStringLiteral("GridMenu"));
    menu->findChild<QAction*>(QStringLiteral("Aratalinilesterse1"))->trigger();
    ASSERT_EQ(form.Grid1()->model()->rowCount(), 2);
    EXPECT_EQ(form.Grid1()->model()->headerData(1, Qt::Vertical).toString(), QString(QChar(0xD7)));
    EXPECT_TRUE(Cell(1, 0).data(Qt::ForegroundRole).isValid());
    form.Grid1()->setCurrentIndex(Cell(1, 0));
    QApplication::processEvents();
    menu->findChild<QAction*>(QStringLiteral("RecupereazaLinia1"))->trigger();
    EXPECT_FALSE(form.ws().table.IsDeletedAt(1));
    menu->findChild<QAction*>(QStringLiteral("Aratalinilesterse1"))->trigger();
    EXPECT_EQ(form.Grid1()->model()->rowCount(), 2);
}

TEST_F(MemoWindowTest, ReplaceWindowCountsThenReplacesAndCloses) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 8}, {"LOC", 'C', 8}},
                   {{"ION", "deva"}, {"ANA", "Deva"}, {"DEVA", "Brad"}});
    Open(path);
    QString counted;
    std::unique_ptr<test::ModalAnswer> confirm, closing;
    test::ModalAnswer replace([&](QDialog& d) {
        auto& f = static_cast<TReplaceForm&>(d);
        f.FindEdit()->setText(QStringLiteral("deva"));
        f.ReplacementEdit()->setText(QStringLiteral("Hunedoara"));
        f.Columns()->setCurrentText(QStringLiteral("LOC"));
        f.CountButton()->click();
        counted = f.CountLabel()->text();
        f.ReplacementEdit()->setText(QStringLiteral("Hd"));
        confirm = std::make_unique<test::ModalAnswer>([&](QDialog& q) {
            closing = std::make_unique<test::ModalAnswer>(
                [](QDialog& m) { m.findChild<QPushButton*>(QStringLiteral("BE4"))->click(); });
            q.findChild<QPushButton*>(QStringLiteral("BE1"))->click();
        });
        f.ReplaceButton()->click();
    });
    QTest::keyClick(&form, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(replace.Seen(), 1);
    EXPECT_EQ(counted, QStringLiteral("2 valori s-ar schimba. 2 dintre ele nu incap in camp."));
    EXPECT_EQ(erori.Body()->PlainText(), QStringLiteral("2 valori inlocuite."));
    EXPECT_FALSE(form.findChild<TReplaceForm*>()->isVisible());
    EXPECT_EQ(form.ws().table.TextAt(0, 1), "Hd");
    EXPECT_EQ(form.ws().table.TextAt(1, 1), "Hd");
    EXPECT_EQ(form.ws().table.TextAt(2, 0), "DEVA");
}

}  // namespace
}  // namespace orbelan
