// The window beyond its buttons: recent tables, remembered column layouts, dropped files, the
// search again, the keyboard's way through the controls and their names for screen readers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "app/command_button.h"
#include "app/data_grid.h"
#include "app/main_window.h"
#include "app/main_window_fixture.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "qtcommon/qt_text.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

class WindowPlacesTest : public MainWindowTest {
  protected:
    std::string Table(const std::string& name,
                      std::vector<std::vector<std::string>> rows = {{"A", "B", "C"}}) {
        const std::string path = dir.File(name);
        test::WriteDbf(path, {{"NUME", 'C', 10}, {"PRENUME", 'C', 10}, {"ORAS", 'C', 10}}, rows);
        return path;
    }

    void Open(const std::string& path) {
        form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
        form.findChild<QPushButton*>(QStringLiteral("LbSpeedButton1"))->click();
        ASSERT_TRUE(form.ws().table.Active()) << path;
    }

    static QString Canonical(const std::string& path) {
        return QFileInfo(Q(path)).canonicalFilePath();
    }
};

TEST_F(WindowPlacesTest, RecentTablesKeepTheLastTenAndDropAMissingOneWithAMessage) {
    std::vector<std::string> tables;
    for (int i = 0; i < 12; ++i) tables.push_back(Table("t" + std::to_string(i) + ".dbf"));
    for (const std::string& t : tables) Open(t);
    Open(tables[5]);  // opened again: first, and only once
    QStringList recent = form.Places().RecentTables();
    ASSERT_EQ(recent.size(), Remembered::kRecentTables);
    EXPECT_EQ(recent[0], Canonical(tables[5]));
    EXPECT_EQ(recent[1], Canonical(tables[11]));
    EXPECT_EQ(recent.count(Canonical(tables[5])), 1);
    EXPECT_FALSE(recent.contains(Canonical(tables[1])));

    // Chosen from the menu once it is gone: a message, out of the list, the open table kept.
    const QString gone = Canonical(tables[11]);
    std::filesystem::remove(tables[11]);
    QMenu* menu = form.findChild<QMenu*>(QStringLiteral("TabeleRecente"));
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QAction* item = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == gone) item = a;
    ASSERT_NE(item, nullptr);
    test::ModalAnswer said([](QDialog& d) { d.reject(); });
    item->trigger();
    EXPECT_EQ(said.Seen(), 1);
    EXPECT_TRUE(erori.Body()->PlainText().contains(QStringLiteral("nu mai exista")));
    EXPECT_FALSE(form.Places().RecentTables().contains(gone));
    EXPECT_EQ(Canonical(form.ws().CurrentFile), Canonical(tables[5]));
    EXPECT_TRUE(errors.empty());
}

// A place kept on a larger screen comes back whole inside this one.
TEST_F(WindowPlacesTest, RememberedPlaceOffTheScreenIsMovedIntoIt) {
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    QByteArray kept;
    {
        TForm1 elsewhere(platform);
        elsewhere.setGeometry(room.right() - 100, room.bottom() - 80, 800, 600);
        kept = elsewhere.saveGeometry();
    }
    form.Places().SetWindowGeometry(kept);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(room.contains(form.frameGeometry()))
        << form.frameGeometry().x() << "," << form.frameGeometry().y();
}

TEST_F(WindowPlacesTest, ColumnOrderAndWidthsComeBackWithTheTable) {
    const std::string first = Table("a.dbf"), second = Table("b.dbf");
    Open(first);
    QHeaderView* titles = form.Grid1()->horizontalHeader();
    titles->moveSection(2, 0);  // ORAS first
    titles->resizeSection(1, 177);
    Open(second);
    EXPECT_EQ(titles->logicalIndex(0), 0) << "another table keeps its own layout";
    Open(first);
    EXPECT_EQ(titles->logicalIndex(0), 2);
    EXPECT_EQ(titles->sectionSize(1), 177);
    // The export follows the order on screen.
    EXPECT_EQ(form.GridColumns().columns.front().field, 2);
}

TEST_F(WindowPlacesTest, ADroppedDbfOpensAndOtherFilesAreNotTaken) {
    const std::string table = Table("dropped.dbf");
    const std::string text = dir.File("note.pdf");
    test::WriteFileBytes(text, "x");
    for (const auto& [path, taken] : {std::pair{text, false}, std::pair{table, true}}) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Q(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        EXPECT_EQ(enter.isAccepted(), taken) << path;
        if (!taken) continue;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QTRY_VERIFY(form.ws().table.Active());
        EXPECT_EQ(form.ws().CurrentFile, table);
    }
}

TEST_F(WindowPlacesTest, F3FindsTheNextRowWithTheValueAndStartsOverAtTheEnd) {
    Open(Table("f.dbf", {{"A", "", ""}, {"B", "", ""}, {"C", "", ""}, {"B", "", ""}}));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::ModalAnswer choose([this](QDialog&) {
        form2.Coloana()->setCurrentIndex(0);
        form2.ValoareE()->setText(QStringLiteral("B"));
        form2.ChooseButton()->click();
    });
    QTest::keyClick(&form, Qt::Key_F3);  // nothing searched yet: the search asks
    EXPECT_EQ(choose.Seen(), 1);
    std::vector<long> rows{form.ws().table.RecNo()};
    form.activateWindow();  // back from the chooser (off-screen, nothing gives it back)
    QTRY_COMPARE(QApplication::activeWindow(), &form);
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(&form, Qt::Key_F3);
        QApplication::processEvents();  // the grid follows the table when the window repaints
        rows.push_back(form.ws().table.RecNo());
    }
    EXPECT_EQ(rows, (std::vector<long>{2, 4, 2}));
    EXPECT_EQ(choose.Seen(), 1);
}

TEST_F(WindowPlacesTest, TheKeyboardReachesEveryControlAndEveryMenu) {
    Open(Table("k.dbf"));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // Tab goes from the top buttons to the grid, then the filter box and its buttons.
    std::vector<std::string> order;
    QWidget* w = form.findChild<QWidget*>(QStringLiteral("LbSpeedButton1"));
    for (; order.size() < 12; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(S(w->objectName()));
    EXPECT_EQ(order,
              (std::vector<std::string>{"LbSpeedButton1", "LbButton1", "LbButton8", "LbButton3",
                                        "LbButton2", "LbButton6", "LbButton7", "LbButton4",
                                        "LbButton5", "Grid1", "FiltruE", "Filtru1"}));

    // A drop-down opens on Alt+Down or Space with its first item lit; the open button's too.
    for (const auto& [button, key, modifier] :
         {std::tuple{"LbButton4", Qt::Key_Down, Qt::AltModifier},
          std::tuple{"LbButton1", Qt::Key_Space, Qt::NoModifier},
          std::tuple{"LbSpeedButton1", Qt::Key_F4, Qt::NoModifier}}) {
        auto* b = form.findChild<TLbButton*>(QLatin1String(button));
        b->setFocus();
        QTest::keyClick(b, key, modifier);
        QMenu* menu = b->DropMenu();
        ASSERT_NE(menu, nullptr) << button;
        QTRY_VERIFY2(menu->isVisible(), button);
        EXPECT_EQ(menu->activeAction(), menu->actions().first()) << button;
        menu->close();
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(WindowPlacesTest, EveryControlHasANameAndADescriptionForScreenReaders) {
    Open(Table("n.dbf"));
    QStringList unnamed;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QProgressBar*>(w) || w == form.Grid1();
        // The grid's own parts (headers, corner) are named by Qt's table support.
        if (!control || (w != form.Grid1() && form.Grid1()->isAncestorOf(w))) continue;
        // A button's caption is its name, as screen readers read it.
        const auto* button = qobject_cast<QAbstractButton*>(w);
        const bool named = !w->accessibleName().isEmpty() || (button && !button->text().isEmpty());
        if (!named || w->accessibleDescription().isEmpty()) unnamed << w->objectName();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << S(unnamed.join(QLatin1Char(',')));

    // The message window says its message, and Ctrl+C copies it.
    test::ModalAnswer copy([](QDialog& d) {
        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
        d.reject();
    });
    erori.Mesaj(QStringLiteral("Titlu"), QStringLiteral("Textul mesajului"), mkWarning, mbOK);
    EXPECT_EQ(erori.accessibleName(), QStringLiteral("Titlu"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Titlu\nTextul mesajului"));
}

}  // namespace
}  // namespace orbelan
