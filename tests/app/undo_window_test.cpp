// Anuleaza / Reface in the main window: the grid's menu names the command, Ctrl+Z and Ctrl+Y
// undo and redo it and an edit.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST(UndoWindow, GridMenuNamesTheCommandAndKeysUndoAndRedo) {
    test::TempDir dir, data;
    test::FakePlatform platform;
    TForm1 form{platform};
    TErori erori;
    TForm2 form2;
    std::vector<std::string> errors;
    form.SetDialogs(&erori, &form2);
    form.errorReportOverride = [&](const std::string& e) { errors.push_back(e); };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();

    const std::string path = dir.File("u.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"B"}, {"A"}});
    Workspace& ws = form.ws();
    ws.ProgramDir = data.Path().string() + "/";
    ws.CurrentFile = path;
    ws.OpenTable();
    const std::string unsorted = test::ReadFileBytes(path);
    {
        test::ModalAnswer yes(
            [](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("BE1"))->click(); });
        form.Grid1TitleClick(0);
        EXPECT_EQ(yes.Seen(), 1);
    }
    const std::string sorted = test::ReadFileBytes(path);
    ASSERT_NE(sorted, unsorted);

    QMenu* menu = form.Menu(QStringLiteral("GridMenu"));
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    const auto actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions[actions.size() - 2]->text(), QStringLiteral("Anuleaza: Ordonare"));
    EXPECT_TRUE(actions[actions.size() - 2]->isEnabled());
    EXPECT_FALSE(actions.back()->isEnabled());

    form.activateWindow();  // back from the question
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.Grid1()->setFocus();
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(test::ReadFileBytes(path), unsorted);
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(test::ReadFileBytes(path), sorted);

    // An edit, undone from the menu: the grid is on its row, with its old value.
    ws.table.MoveTo(1);
    ws.table.SetText(0, "C");
    ws.table.Post();
    ws.table.First();
    emit menu->aboutToShow();
    EXPECT_EQ(actions[actions.size() - 2]->text(), QStringLiteral("Anuleaza"));
    actions[actions.size() - 2]->trigger();
    EXPECT_EQ(ws.table.CurrentRow(), 1);
    EXPECT_EQ(ws.table.AsText(0), "B");
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan
