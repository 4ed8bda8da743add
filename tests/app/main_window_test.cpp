// The main window off-screen: its controls, opening tables, start-up and the grid.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTranslator>

#include "app/command_button.h"
#include "app/data_grid.h"
#include "app/dialog_texts.h"
#include "app/main_window.h"
#include "app/main_window_fixture.h"
#include "app/window_fixture.h"
#include "dialogs/balloon_hint.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "dialogs/select2col.h"
#include "qtcommon/qt_text.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST_F(MainWindowTest, ControlsStandWhereAndAsTheyShould) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("DBF Orbelan ver.1.12 - 27.08.2019"));
    EXPECT_EQ(form.size(), QSize(800, 600));
    auto* open = Find<QPushButton>("LbSpeedButton1");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QStringLiteral("Deschide un DBF"));
    EXPECT_EQ(open->geometry(), QRect(8, 8, 105, 31));
    EXPECT_EQ(Text("Label1"), QStringLiteral("Linii:"));
    EXPECT_EQ(Text("Label2"), QStringLiteral("0"));
    EXPECT_EQ(Find<QWidget>("Panel2")->height(), 97);
    EXPECT_EQ(Find<QWidget>("Panel1")->height(), 41);
    EXPECT_EQ(Find<QGroupBox>("Tablou")->geometry(), QRect(160, 0, 449, 97));
    EXPECT_FALSE(Find<QGroupBox>("Tablou")->isVisibleTo(&form));
    EXPECT_EQ(Text("Label3"), QStringLiteral("Click dreapta pe tabel pentru alte actiuni."));
    EXPECT_EQ(Text("Label4"), QStringLiteral("Filtrare"));
    EXPECT_EQ(Find<QLineEdit>("FiltruE")->geometry().topLeft(), QPoint(48, 8));
    EXPECT_EQ(Find<QLineEdit>("FiltruE")->width(), 225);
    auto* filtru1 = Find<QToolButton>("Filtru1");
    EXPECT_TRUE(filtru1->isCheckable());
    EXPECT_EQ(filtru1->toolTip(), QStringLiteral("exemple: NUME='IONEL*' sau SUMA=12"));
    EXPECT_EQ(filtru1->toolTipDuration(), 10000);
    EXPECT_EQ(Find<QToolButton>("FindBut")->toolTip(), QStringLiteral("Cauta o valoare in tabel"));
    EXPECT_EQ(Find<QProgressBar>("Bar1")->geometry().topLeft(), QPoint(352, 8));
    EXPECT_FALSE(Find<QProgressBar>("Bar1")->isVisibleTo(&form));
    EXPECT_EQ(Text("StatusBar1"), QStringLiteral("Nici un DBF deschis."));
    EXPECT_EQ(Find<QLabel>("Image2")->size(), QSize(144, 95));
    EXPECT_EQ(Find<QLabel>("Image2")->toolTip().count(QLatin1Char('\n')), 2);

    const std::pair<const char*, QRect> buttons[] = {
        {"LbButton1", {8, 8, 137, 23}},   {"LbButton8", {152, 8, 121, 23}},
        {"LbButton3", {280, 8, 161, 23}}, {"LbButton2", {8, 32, 137, 23}},
        {"LbButton6", {280, 32, 81, 23}}, {"LbButton7", {360, 32, 81, 23}},
        {"LbButton4", {8, 56, 137, 23}},  {"LbButton5", {280, 56, 161, 23}}};
    for (const auto& [name, rect] : buttons) {
        auto* b = Find<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->geometry(), rect) << name;
    }
    EXPECT_EQ(Find<QPushButton>("LbButton1")->text(), QStringLiteral("&C.N.P."));
    EXPECT_EQ(Find<QPushButton>("LbButton7")->text(), QStringLiteral("S&terge linie"));

    auto* grid = form.Grid1();
    EXPECT_EQ(grid->horizontalHeader()->height(), 24);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 17);
    EXPECT_EQ(grid->verticalHeader()->width(), 11);
    EXPECT_TRUE(grid->tabKeyNavigation());
}

TEST_F(MainWindowTest, MenusHoldEveryItemWithItsCaption) {
    const std::vector<std::pair<const char*, std::vector<QString>>> menus = {
        {"PopupMenu1",
         {QStringLiteral("Copie valoare in jos"), QStringLiteral("Renumerotare in jos"),
          QStringLiteral("Tipareste...\tCtrl+P"), QString(), QStringLiteral("Citeste ca..."),
          QStringLiteral("Converteste in alt cod...")}},
        {"PopupMenu2",
         {QStringLiteral("Verifica C.N.P."), QStringLiteral("Extrage Anul din C.N.P."),
          QStringLiteral("Extrage Data din C.N.P.")}},
        {"PopupMenu3",
         {QStringLiteral("Numai linia selectata"), QStringLiteral("Toate liniile afisate"),
          QStringLiteral("De la linia selectata in jos")}},
        {"PopupMenu4",
         {QStringLiteral("Adauga date din alt tabel"), QStringLiteral("Adauga doar liniile noi..."),
          QStringLiteral("Compara cu alt tabel..."), QStringLiteral("Completeaza din alt tabel..."),
          QStringLiteral("Sterge liniile dublate"), QStringLiteral("Sterge liniile afisate"),
          QStringLiteral("Sterge Index")}},
        {"PopupMenu5",
         {QStringLiteral("Separa Nume de Prenume"),
          QStringLiteral("Transforma Coloana Date in Numeric"),
          QStringLiteral("Inverseaza doua coloane")}},
        {"PopupMenu6",
         {QStringLiteral("In diverse formate"), QStringLiteral("In format CSV"),
          QStringLiteral("Tipareste...\tCtrl+P"), QStringLiteral("In format CSV (UTF-8)")}},
    };
    for (const auto& [name, captions] : menus) {
        QMenu* menu = form.Menu(QLatin1String(name));
        ASSERT_NE(menu, nullptr) << name;
        std::vector<QString> actual;
        for (QAction* a : menu->actions()) actual.push_back(a->text());
        EXPECT_EQ(actual, captions) << name;
    }
}

TEST_F(MainWindowTest, OpeningTablesFollowsTheTableInEveryControl) {
    const std::string path = dir.CopyData("persoane.dbf");
    OpenWithButton(path);
    EXPECT_TRUE(form.ws().table.Active());
    EXPECT_TRUE(Find<QGroupBox>("Tablou")->isVisibleTo(&form));
    EXPECT_EQ(Text("Label2"), QStringLiteral("30"));
    EXPECT_EQ(Text("StatusBar1"), Q(path));
    EXPECT_EQ(form.windowIconText(), QStringLiteral("persoane.dbf"));
    // The task-bar text must not end up in the captions of the other windows.
    EXPECT_NE(QApplication::applicationDisplayName(), QStringLiteral("persoane.dbf"));
    EXPECT_EQ(form.Grid1()->model()->rowCount(), 30);
    EXPECT_EQ(form.Grid1()->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("NUME"));
    EXPECT_EQ(form2.Columns().first(), QStringLiteral("NUME"));

    // A missing production index is repaired silently.
    const std::string broken = dir.CopyData("missing_production_index.dbf");
    OpenWithButton(broken);
    EXPECT_TRUE(form.ws().table.Active());
    EXPECT_EQ(Text("Label2"), QStringLiteral("3"));
    EXPECT_EQ(test::ReadFileBytes(broken)[28], '\0');
    EXPECT_EQ(form2.Columns(), (QStringList{QStringLiteral("NUME"), QStringLiteral("NR")}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, NonTableFileShowsTheMessageWindowAndLeavesNothingOpen) {
    const std::string path = dir.File("poza.dbf");
    const std::string bytes = "GIF89a\x01\x00\x01\x00 not a table at all";
    test::WriteFileBytes(path, bytes);
    OpenWithButton(dir.CopyData("persoane.dbf"));

    test::ModalAnswer answer(
        [](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("BE4"))->click(); });
    OpenWithButton(path);
    EXPECT_EQ(answer.Seen(), 1);
    EXPECT_EQ(answer.Caption(), QStringLiteral("Eroare"));
    EXPECT_EQ(erori.Title(), QStringLiteral("Deschidere DBF"));
    EXPECT_EQ(erori.Body()->PlainText(), Q("Fisierul ales, " + path + ", nu poate fi citit!"));
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
    EXPECT_FALSE(form.ws().table.Active());
    EXPECT_EQ(form.ws().CurrentFile, "");
    EXPECT_EQ(Text("StatusBar1"), QStringLiteral("Nici un DBF deschis."));
    EXPECT_EQ(Text("Label2"), QStringLiteral("0"));
    EXPECT_FALSE(Find<QGroupBox>("Tablou")->isVisibleTo(&form));
    EXPECT_FALSE(form.TerminateRequested());
}

TEST_F(MainWindowTest, StartWithArgumentOpensTheFileAndFailedStartEndsTheProgram) {
    const std::string path = dir.CopyData("persoane.dbf");
    form.SetArguments({path});
    form.show();
    EXPECT_TRUE(form.ws().table.Active());
    EXPECT_TRUE(platform.registrations.empty());
    EXPECT_FALSE(form.TerminateRequested());

    TForm1 second(platform);
    second.SetDialogs(&erori, &form2);
    const std::string text = dir.File("text.dbf");
    test::WriteFileBytes(text, "nu este un tabel");
    second.SetArguments({text});
    test::ModalAnswer answer([](QDialog& d) { d.reject(); });
    second.show();
    EXPECT_EQ(answer.Seen(), 1);
    EXPECT_TRUE(second.TerminateRequested());

    // The same file chosen with the button later: the message, and the window stays.
    test::ModalAnswer again([](QDialog& d) { d.reject(); });
    OpenWithButton(text);
    EXPECT_EQ(again.Seen(), 1);
    EXPECT_FALSE(form.TerminateRequested());
    EXPECT_FALSE(form.ws().table.Active());
}

TEST_F(MainWindowTest, StartWithoutArgumentWritesTheAssociation) {
    form.show();
    ASSERT_EQ(platform.registrations.size(), 1u);
    EXPECT_EQ(platform.registrations[0].first, "dbf");
    EXPECT_EQ(platform.registrations[0].second, S(QCoreApplication::applicationFilePath()));
    EXPECT_FALSE(form.ws().ProgramDir.empty());
    EXPECT_EQ(form.ws().ProgramDir.back(), '/');
}

TEST_F(MainWindowTest, GridEditsPostWhenMovingToAnotherRow) {
    const std::string path = dir.CopyData("persoane.dbf");
    OpenWithButton(path);
    auto* grid = form.Grid1();
    QAbstractItemModel* model = grid->model();
    ASSERT_TRUE(model->setData(model->index(0, 0), QStringLiteral("SCHIMBAT"), Qt::EditRole));
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Edit);
    grid->setCurrentIndex(model->index(2, 0));
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Browse);
    EXPECT_EQ(form.ws().table.RecNo(), 3);
    EXPECT_EQ(model->data(model->index(0, 0), Qt::DisplayRole).toString(),
              QStringLiteral("SCHIMBAT"));

    // A value the field can't take is reported and leaves the row unchanged.
    const int suma = form.ws().table.FieldIndex("SUMA");
    EXPECT_FALSE(model->setData(model->index(2, suma), QStringLiteral("abc"), Qt::EditRole));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(MainWindowTest, CtrlDeleteAsksTheGridQuestionAndDeletes) {
    OpenWithButton(dir.CopyData("persoane.dbf"));
    auto* grid = form.Grid1();
    int asked = 0;
    grid->confirmDelete = [&] { return ++asked == 2; };
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(grid->model()->rowCount(), 30);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(grid->model()->rowCount(), 29);
}

// Every way of deleting leaves the cursor on the row that took the deleted one's place, so a
// second delete takes the row the user now sees as current.
TEST_F(MainWindowTest, DeletingTwiceDeletesTheRowsInTurn) {
    struct Way {
        const char* name;
        std::function<void()> remove;
    };
    const std::vector<Way> ways = {
        {"Ctrl+Delete",
         [this] {
             form.Grid1()->confirmDelete = [] { return true; };
             QTest::keyClick(form.Grid1(), Qt::Key_Delete, Qt::ControlModifier);
         }},
        {"Sterge linie",
         [this] {
             test::ModalAnswer yes([](QDialog& d) {
                 d.findChild<QPushButton*>(QStringLiteral("BE1"))->click();  // "DA"
             });
             Find<QPushButton>("LbButton7")->click();
             EXPECT_EQ(yes.Seen(), 1);
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        OpenWithButton(dir.CopyData("persoane.dbf"));
        auto* grid = form.Grid1();
        QAbstractItemModel* model = grid->model();
        for (const bool first : {true, false}) {  // the first row, and the last but one
            const int rows = model->rowCount();
            const int start = first ? 0 : rows - 2;
            SCOPED_TRACE(start);
            grid->setCurrentIndex(model->index(start, 0));
            QApplication::processEvents();
            const QString second = model->index(start + 1, 0).data().toString();
            way.remove();
            QApplication::processEvents();
            EXPECT_EQ(grid->currentIndex().row(), start);
            EXPECT_EQ(form.ws().table.CurrentRow(), start);
            EXPECT_EQ(model->index(start, 0).data().toString(), second);
            way.remove();
            QApplication::processEvents();
            EXPECT_EQ(model->rowCount(), rows - 2);
            // The row after the two deleted ones, or the new last row when none follows.
            EXPECT_EQ(form.ws().table.CurrentRow(), std::min(start, rows - 3));
            EXPECT_EQ(grid->currentIndex().row(), form.ws().table.CurrentRow());
        }
    }
}

TEST_F(MainWindowTest, UnchangedNewRowIsDroppedWhenTheFocusLeavesTheGrid) {
    OpenWithButton(dir.CopyData("persoane.dbf"));
    auto* grid = form.Grid1();
    auto* add = Find<QPushButton>("LbButton6");
    EXPECT_FALSE(add->focusPolicy() & Qt::ClickFocus);  // Tab reaches it, a click doesn't
    add->click();
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 31);

    QFocusEvent messageWindow(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(grid, &messageWindow);
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Insert);

    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(grid, &tabbedAway);
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 30);

    // A row with a value typed in stays and is posted when the user moves on.
    add->click();
    QApplication::processEvents();  // the grid follows the cursor when the window repaints
    grid->model()->setData(grid->model()->index(30, 0), QStringLiteral("NOU"), Qt::EditRole);
    QApplication::sendEvent(grid, &tabbedAway);
    EXPECT_EQ(grid->model()->rowCount(), 31);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    EXPECT_EQ(Text("Label2"), QStringLiteral("31"));
}

TEST_F(MainWindowTest, GridAsksOnlyForColumnsTheTableHas) {
    OpenWithButton(dir.CopyData("persoane.dbf"));
    QAbstractItemModel* model = form.Grid1()->model();
    Table& tx = form.ws().table;
    // A command freezes the grid and reopens the table with fewer columns.
    tx.DisableControls();
    tx.Close();
    test::WriteDbf(dir.File("ingust.dbf"), {{"NUME", 'C', 10}, {"NR", 'N', 3}}, {{"A", "1"}});
    tx.SetTableName(dir.File("ingust.dbf"));
    tx.Open();
    EXPECT_FALSE(model->data(model->index(0, 5), Qt::TextAlignmentRole).isValid());
    EXPECT_FALSE(model->headerData(5, Qt::Horizontal, Qt::DisplayRole).isValid());
    form.Grid1()->grab();  // paints without throwing
    tx.EnableControls();
    EXPECT_EQ(model->columnCount(), 2);
}

TEST_F(MainWindowTest, WhileACommandRunsOtherCommandsAreRefused) {
    OpenWithButton(dir.CopyData("persoane.dbf"));
    int dialogsOpened = 0;
    form.fileDialogOverride = [&](const FileDialogRequest&) {
        ++dialogsOpened;
        return std::optional<std::string>();
    };
    bool openEnabledDuringCommand = true;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (modal == &form2) {
            form2.Coloana()->setCurrentText(QStringLiteral("CNP"));
            form2.ChooseButton()->click();
        } else if (modal == &erori) {
            // The question about the first invalid code: try to open another table meanwhile.
            auto* open = Find<QPushButton>("LbSpeedButton1");
            openEnabledDuringCommand = open->isEnabled();
            open->click();
            erori.findChild<QPushButton*>(QStringLiteral("BE2"))->click();  // "NU"
        }
    });
    answer.start();
    form.Menu(QStringLiteral("PopupMenu2"))
        ->findChild<QAction*>(QStringLiteral("VerificaCNP1"))
        ->trigger();
    answer.stop();
    EXPECT_FALSE(openEnabledDuringCommand);
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_TRUE(Find<QPushButton>("LbSpeedButton1")->isEnabled());
    EXPECT_EQ(erori.Title(), QStringLiteral("Verificare CNP"));
    EXPECT_GT(form.ws().table.RecNo(), 1);  // stopped on the first invalid code
}

TEST_F(MainWindowTest, SwapThroughTheTwoColumnChooserAndTheWindowIsUsableAfter) {
    TSelect2Col select2col;
    form.SetSelect2Col(&select2col);
    OpenWithButton(dir.CopyData("persoane.dbf"));
    const QString first = form.Grid1()->model()->index(0, 0).data().toString();
    QStringList seen;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        seen << modal->windowTitle();
        if (modal == &select2col) {
            select2col.Col1()->setCurrentText(QStringLiteral("NUME"));
            select2col.Col2()->setCurrentText(QStringLiteral("PRENUME"));
            select2col.findChild<QPushButton*>(QStringLiteral("LbButton2"))->click();
        } else if (modal == &erori) {
            auto* da = erori.findChild<QPushButton*>(QStringLiteral("BE1"));
            (da->isVisible() ? da : erori.findChild<QPushButton*>(QStringLiteral("BE4")))->click();
        }
    });
    answer.start();
    form.Menu(QStringLiteral("PopupMenu5"))
        ->findChild<QAction*>(QStringLiteral("Schimbadouacoloaneintreele1"))
        ->trigger();
    answer.stop();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Inversare coloane"), QStringLiteral("Confirmare"),
                                 QStringLiteral("Informatie")}));
    EXPECT_EQ(erori.Body()->PlainText(), QStringLiteral("Coloanele au fost inversate cu succes!"));
    EXPECT_EQ(form.Grid1()->model()->index(0, 1).data().toString(), first);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_FALSE(Find<QProgressBar>("Bar1")->isVisible());
    EXPECT_TRUE(Find<QPushButton>("LbSpeedButton1")->isEnabled());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, FilterByEnterAndBalloonWithoutTable) {
    QTest::keyClick(Find<QLineEdit>("FiltruE"), Qt::Key_Return);
    EXPECT_FALSE(Find<QToolButton>("Filtru1")->isChecked());
    auto* balloon = form.findChild<BalloonHint*>();
    ASSERT_NE(balloon, nullptr);
    EXPECT_EQ(balloon->Header(), QStringLiteral("Problema !"));
    EXPECT_EQ(balloon->Text(), QStringLiteral("Nu aveti ce filtra!"));
    EXPECT_EQ(balloon->TargetPoint(), form.Grid1()->mapToGlobal(QPoint(10, 10)));

    OpenWithButton(dir.CopyData("persoane.dbf"));
    Find<QLineEdit>("FiltruE")->setText(QStringLiteral("ACTIV=.F."));
    QTest::keyClick(Find<QLineEdit>("FiltruE"), Qt::Key_Return);
    EXPECT_TRUE(Find<QToolButton>("Filtru1")->isChecked());
    const int shown = form.Grid1()->model()->rowCount();
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 30);
    EXPECT_EQ(Text("Label2"), QString::number(shown));

    Find<QToolButton>("Filtru1")->click();
    EXPECT_EQ(form.Grid1()->model()->rowCount(), 30);
    EXPECT_EQ(Text("Label2"), QStringLiteral("30"));
}

// Faults a new user met in the window: each case is what they tried.
TEST_F(MainWindowTest, NewRowShowsWhenAddedFromTheFilterBox) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    OpenWithButton(dir.CopyData("persoane.dbf"));
    auto* filtruE = Find<QLineEdit>("FiltruE");
    filtruE->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), filtruE);
    Find<QPushButton>("LbButton6")->click();
    QApplication::processEvents();
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Insert);
    EXPECT_EQ(form.Grid1()->model()->rowCount(), 31);
    EXPECT_EQ(QApplication::focusWidget(), form.Grid1());
}

TEST_F(MainWindowTest, SmallWindowKeepsTheLogoOffTheButtonsAndTheGridHasNoVerticalBar) {
    form.show();
    OpenWithButton(dir.CopyData("persoane.dbf"));
    QApplication::processEvents();  // the first showing has settled the window's size
    form.resize(300, 200);          // as small as the user can drag it
    QApplication::processEvents();
    const QRect logo = Find<QLabel>("Image2")->geometry();
    EXPECT_FALSE(logo.intersects(Find<QGroupBox>("Tablou")->geometry())) << logo.x();
    EXPECT_GT(form.Grid1()->model()->rowCount() * 17, form.Grid1()->viewport()->height());
    EXPECT_FALSE(form.Grid1()->verticalScrollBar()->isVisible());
}

TEST_F(MainWindowTest, MenuMarksLeaveTheCaptionsClear) {
    form.show();
    OpenWithButton(dir.CopyData("persoane.dbf"));
    int withMenu = 0;
    for (auto* b : Find<QGroupBox>("Tablou")->findChildren<TLbButton*>()) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        const int text = b->fontMetrics().horizontalAdvance(QString(b->text()).remove(u'&'));
        EXPECT_LE(text, room.width()) << S(b->objectName());  // no letter cut off
        if (!b->DropMenu()) continue;
        ++withMenu;
        EXPECT_LE(room.center().x() + text / 2, b->MarkRect().left()) << S(b->objectName());
    }
    EXPECT_EQ(withMenu, 5);
}

TEST_F(MainWindowTest, ColumnsAsWideAsTheirFieldsUntilTheUserResizesThem) {
    OpenWithButton(dir.CopyData("persoane.dbf"));
    TDataGrid* grid = form.Grid1();
    const int nume = grid->columnWidth(0), adresa = grid->columnWidth(3),
              activ = grid->columnWidth(7);
    EXPECT_GT(adresa, nume);  // C(40) against C(30)
    EXPECT_LT(activ, nume);
    EXPECT_GE(activ, grid->fontMetrics().horizontalAdvance(QStringLiteral("ACTIV")));
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        EXPECT_LE(grid->columnWidth(c), TDataGrid::kMaxColumnWidth);

    grid->setColumnWidth(0, 40);
    Find<QLineEdit>("FiltruE")->setText(QStringLiteral("ACTIV=.F."));
    QTest::keyClick(Find<QLineEdit>("FiltruE"), Qt::Key_Return);
    EXPECT_EQ(grid->columnWidth(0), 40);

    const std::string wide = dir.File("lat.dbf");
    test::WriteDbf(wide, {{"OBS", 'C', 254}, {"NR", 'N', 3}}, {{"x", "1"}});
    OpenWithButton(wide);
    EXPECT_EQ(grid->columnWidth(0), TDataGrid::kMaxColumnWidth);
    EXPECT_EQ(grid->columnWidth(1), grid->NaturalColumnWidth(1));
}

TEST_F(MainWindowTest, FileDialogsSpeakRomanianAndHaveACloseBoxOnly) {
    QTranslator* texts = InstallDialogTexts(*qApp);
    ASSERT_NE(texts, nullptr);
    Qt::WindowFlags flags;
    QStringList shown;
    test::ModalAnswer answer([&](QDialog& dialog) {
        flags = dialog.windowFlags();
        for (const char* label : {"lookInLabel", "fileNameLabel"})
            shown << dialog.findChild<QLabel*>(QLatin1String(label))->text();
        auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        shown << buttons->button(QDialogButtonBox::Open)->text().remove(u'&')
              << buttons->button(QDialogButtonBox::Cancel)->text();
        dialog.reject();
    });
    EXPECT_FALSE(form.AskOpenFile({"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf", ""}));
    QCoreApplication::removeTranslator(texts);
    delete texts;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Cauta in:"), QStringLiteral("&Nume fisier:"),
                                  QStringLiteral("Deschide"), QStringLiteral("Renunt")}));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

// A file type's patterns show once, in both letter cases (Linux names are case-sensitive).
TEST_F(MainWindowTest, SaveDialogFiltersShowEachPatternOnce) {
    const std::pair<const char*, const char*> kFilters[] = {
        {"Excel Files (*.xls)|*.XLS", "Excel Files (*.XLS *.xls)"},
        {"Fisiere DBF|*.DBF", "Fisiere DBF (*.DBF *.dbf)"},
        {"Word (*.rtf)|*.rtf", "Word (*.rtf)"},
    };
    for (const auto& [given, shown] : kFilters) {
        QStringList filters;
        test::ModalAnswer answer([&](QDialog& dialog) {
            filters = static_cast<QFileDialog&>(dialog).nameFilters();
            dialog.reject();
        });
        EXPECT_FALSE(form.AskSaveFile({"Save document", given, "", ""}));
        EXPECT_EQ(filters, QStringList{QString::fromLatin1(shown)}) << given;
    }
}

TEST_F(MainWindowTest, AppendAndQuickCsvMenuItemsRunTheirCommands) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}});
    const std::string source = dir.File("s.dbf");
    OpenWithButton(path);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ws().ProgramDir = dir.Path().string() + "/";

    // Far more rows than the grid shows: it must still end on the last one.
    std::vector<std::vector<std::string>> rows(100, {"B"});
    test::WriteDbf(source, {{"nume", 'C', 10}}, rows);
    form.fileDialogOverride = [source](const FileDialogRequest&) { return std::optional(source); };
    form.Menu(QStringLiteral("PopupMenu4"))
        ->findChild<QAction*>(QStringLiteral("Adaugadatedinalttabel1"))
        ->trigger();
    QApplication::processEvents();
    EXPECT_EQ(Text("Label2"), QStringLiteral("101"));
    TDataGrid* grid = form.Grid1();
    EXPECT_EQ(grid->currentIndex().row(), 100);
    EXPECT_TRUE(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    EXPECT_TRUE(form.isEnabled());
    EXPECT_FALSE(Find<QProgressBar>("Bar1")->isVisibleTo(&form));

    form.Menu(QStringLiteral("PopupMenu6"))
        ->findChild<QAction*>(QStringLiteral("InformatCVS1"))
        ->trigger();
    const std::string csv = dir.File("DBF0.CSV");
    EXPECT_EQ(platform.opened, std::vector<std::string>{csv});
    EXPECT_EQ(test::ReadFileBytes(csv).substr(0, 15), "NUME\r\nA\r\nB\r\nB\r\n");
    EXPECT_EQ(test::ReadFileBytes(csv).size(), 6 + 101 * 3u);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

TEST_F(MainWindowTest, ColumnCommandsAskForTheirColumnUnderTheirOwnCaption) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"CNP", 'C', 13}}, {{"A", "1"}});
    OpenWithButton(path);
    const std::string before = test::ReadFileBytes(path);
    const struct {
        const char *menu, *item, *caption;
    } items[] = {
        {"PopupMenu1", "CopieV", "Copie valoare in jos"},
        {"PopupMenu1", "Renum1", "Renumeroteaza in jos"},
        {"PopupMenu2", "VerificaCNP1", "Verificare CNP"},
        {"PopupMenu2", "ExtrageanuldinCNP1", "Anul din CNP"},
        {"PopupMenu2", "ExtrageDatadinCNP1", "Data din CNP"},
        {"PopupMenu4", "Stergeliniileselectate1", "Sterg linii dublate"},
        {"PopupMenu5", "SeparaNumedePrenume1", "Separa nume de prenume"},
        {"PopupMenu5", "ransformaColoanaDateinNumeric1", "Transforma DATE in NUMERIC"},
    };
    TDataGrid* grid = form.Grid1();
    grid->setCurrentIndex(grid->model()->index(0, 1));  // in the CNP column
    for (const auto& i : items) {
        // The chooser opens on the current cell's column; closed without a choice, nothing runs.
        QString offered;
        test::ModalAnswer close([&](QDialog& d) {
            offered = form2.Coloana()->currentText();
            d.reject();
        });
        form.Menu(QLatin1String(i.menu))->findChild<QAction*>(QLatin1String(i.item))->trigger();
        EXPECT_EQ(close.Seen(), 1) << i.item;
        EXPECT_EQ(S(close.Caption()), i.caption);
        EXPECT_EQ(offered, QStringLiteral("CNP")) << i.item;
        EXPECT_FALSE(form2.ValuePanelVisible()) << i.item;
    }
    test::ModalAnswer close([](QDialog& d) { d.reject(); });
    Find<QPushButton>("LbButton3")->click();
    EXPECT_EQ(S(close.Caption()), "Sterge o coloana");
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, SearchAsksColumnAndValueThenFindsTheRow) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}, {"B"}, {"C"}});
    OpenWithButton(path);
    test::ModalAnswer choose([this](QDialog&) {
        form2.Coloana()->setCurrentIndex(0);
        form2.ValoareE()->setText(QStringLiteral("B"));
        form2.ChooseButton()->click();
    });
    Find<QToolButton>("FindBut")->click();
    EXPECT_EQ(S(choose.Caption()), "Cautare valoare");
    EXPECT_EQ(form.ws().table.RecNo(), 2);
    EXPECT_FALSE(form2.ValuePanelVisible());
}

TEST_F(MainWindowTest, OpenAndAppendAskForADbfFile) {
    std::vector<FileDialogRequest> asked;
    form.fileDialogOverride = [&](const FileDialogRequest& dialog) {
        asked.push_back(dialog);
        return std::optional<std::string>();
    };
    Find<QPushButton>("LbSpeedButton1")->click();
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}});
    OpenWithButton(path);
    form.fileDialogOverride = [&](const FileDialogRequest& dialog) {
        asked.push_back(dialog);
        return std::optional<std::string>();  // cancelled: nothing changes
    };
    form.Menu(QStringLiteral("PopupMenu4"))
        ->findChild<QAction*>(QStringLiteral("Adaugadatedinalttabel1"))
        ->trigger();
    ASSERT_EQ(asked.size(), 2u);
    for (const FileDialogRequest& dialog : asked) {
        EXPECT_EQ(dialog.title, "Alegeti DBF-ul de citit!");
        EXPECT_EQ(dialog.filter, "Fisiere DBF|*.DBF");
    }
    EXPECT_EQ(asked[1].initialPath, path);
    EXPECT_EQ(form.ws().table.RecordCount(), 1);
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

TEST_F(MainWindowTest, CellEditorTakesNoMoreThanTheFieldHolds) {
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 5}, {"SUMA", 'N', 6, 2}, {"NR", 'N', 3}},
                   {{"A", "1.00", "1"}});
    OpenWithButton(path);
    form.ws().SetFormatSettings({',', "dd.MM.yyyy"});
    TDataGrid* grid = form.Grid1();
    std::vector<std::unique_ptr<QWidget>> editors;
    const auto editorOf = [&](int column) {
        editors.emplace_back(grid->itemDelegate()->createEditor(
            grid->viewport(), QStyleOptionViewItem(), grid->model()->index(0, column)));
        return qobject_cast<QLineEdit*>(editors.back().get());
    };
    QLineEdit* text = editorOf(0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->maxLength(), 5);
    QTest::keyClicks(text, QStringLiteral("ABCDEFGH"));
    EXPECT_EQ(text->text(), QStringLiteral("ABCDE"));  // the field's 5 characters, no more

    // Numbers: the field's width, its decimals after either separator, digits only.
    const struct {
        int column;
        const char* typed;
        bool accepted;
    } numbers[] = {{1, "123,45", true}, {1, "1.5", true}, {1, "1,234", false},
                   {1, "12a", false},   {2, "-12", true}, {2, "1,5", false}};
    for (const auto& n : numbers) {
        QLineEdit* number = editorOf(n.column);
        ASSERT_NE(number, nullptr);
        QString typed = QString::fromLatin1(n.typed);
        int position = 0;
        EXPECT_EQ(number->validator()->validate(typed, position) == QValidator::Acceptable,
                  n.accepted)
            << n.typed;
    }
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

TEST_F(MainWindowTest, KeysOpenReopenAddARowFocusTheFilterAndListThemselves) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}});
    form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(form.ws().table.Active());

    // Another program adds a row; F5 reads the file again.
    form.ws().CloseTable();
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}, {"B"}});
    form.ws().CurrentFile = path;
    form.ws().OpenTable();
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"A"}, {"B"}, {"C"}});
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_EQ(Text("Label2"), QStringLiteral("3"));

    form.Grid1()->setFocus();
    QTest::keyClick(&form, Qt::Key_Insert);
    EXPECT_EQ(form.ws().table.GetState(), Table::State::Insert);
    form.ws().table.Cancel();

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(Find<QLineEdit>("FiltruE")->hasFocus());

    QString listed;
    test::ModalAnswer help([&](QDialog& d) {
        listed = qobject_cast<QMessageBox*>(&d)->text();
        d.reject();
    });
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_EQ(help.Seen(), 1);
    EXPECT_EQ(help.Caption(), QStringLiteral("Taste"));
    EXPECT_TRUE(listed.contains(QStringLiteral("Ctrl+O - Deschide un DBF")));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// Ctrl+Tab leaves the grid, forward to the filter box and with Shift back to the buttons, from a
// cell as from an open editor; the cell keeps what it had, or what was typed into it.
TEST_F(MainWindowTest, CtrlTabLeavesTheGridAndEditsNoCell) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    OpenWithButton(dir.CopyData("persoane.dbf"));
    auto* grid = form.Grid1();
    QAbstractItemModel* model = grid->model();
    const auto editorOpen = [grid] {
        for (const QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) return true;
        return false;
    };
    struct Case {
        bool editing;
        Qt::KeyboardModifiers modifiers;
        const char* lands;  // object name of the control that takes the focus
    };
    for (const Case& c :
         {Case{false, Qt::ControlModifier, "FiltruE"}, Case{true, Qt::ControlModifier, "FiltruE"},
          Case{false, Qt::ControlModifier | Qt::ShiftModifier, "LbButton5"}}) {
        SCOPED_TRACE(c.editing);
        grid->setFocus();
        grid->setCurrentIndex(model->index(0, 1));
        const QString before = model->index(0, 1).data().toString();
        if (c.editing) {
            QTest::keyClick(grid, Qt::Key_F2);
            ASSERT_TRUE(editorOpen());
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Q"));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, c.modifiers);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus->objectName(), QLatin1String(c.lands));
        EXPECT_FALSE(editorOpen());
        EXPECT_EQ(grid->currentIndex(), model->index(0, 1));
        EXPECT_EQ(model->index(0, 1).data().toString(),
                  c.editing ? QStringLiteral("Q") : before);  // F2 selects the whole value
        form.ws().table.Cancel();
    }
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// Two windows on one table: the second says so once, and each one's edits are posted while the
// other stays open (the lock is held only while writing).
TEST_F(MainWindowTest, SecondWindowOnTheSameTableSaysSoAndBothCanWrite) {
    const std::string path = dir.CopyData("persoane.dbf");
    OpenWithButton(path);
    QAbstractItemModel* model = form.Grid1()->model();
    ASSERT_TRUE(model->setData(model->index(0, 0), QStringLiteral("PRIMA"), Qt::EditRole));
    form.ws().PostPendingEdit();

    TForm1 second(platform);
    second.SetDialogs(&erori, &form2);
    second.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
    test::ModalAnswer told([](QDialog& d) { d.reject(); });
    second.findChild<QPushButton*>(QStringLiteral("LbSpeedButton1"))->click();
    QTest::qWait(50);
    EXPECT_EQ(told.Seen(), 1);
    EXPECT_NE(erori.Body()->PlainText().indexOf(QStringLiteral("deschis si in alta fereastra")),
              -1);
    QAbstractItemModel* other = second.Grid1()->model();
    ASSERT_TRUE(other->setData(other->index(3, 0), QStringLiteral("A DOUA"), Qt::EditRole));
    EXPECT_NO_THROW(second.ws().PostPendingEdit());
    ASSERT_TRUE(model->setData(model->index(5, 0), QStringLiteral("IAR PRIMA"), Qt::EditRole));
    EXPECT_NO_THROW(form.ws().PostPendingEdit());
    EXPECT_EQ(second.ws().table.TextAt(5, 0), "IAR PRIMA");
    EXPECT_EQ(form.ws().table.TextAt(3, 0), "A DOUA");

    // Reopened from disk (F5) the same table is not announced again.
    test::ModalAnswer again([](QDialog& d) { d.reject(); });
    emit second.findChild<QShortcut*>(QStringLiteral("ShortcutReopen"))->activated();
    QTest::qWait(50);
    EXPECT_EQ(again.Seen(), 0);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// Beside the counter, where the current row stands, with thousands grouped.
TEST_F(MainWindowTest, PositionShowsTheCurrentRowAmongThoseShown) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 1500; ++i) rows.push_back({"N" + std::to_string(i)});
    const std::string path = dir.File("lung.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, rows);
    OpenWithButton(path);
    const std::pair<int, const char*> kRows[] = {
        {0, "Linia 1 din 1.500"}, {999, "Linia 1.000 din 1.500"}, {1499, "Linia 1.500 din 1.500"}};
    for (const auto& [row, shown] : kRows) {
        form.ws().table.MoveTo(row);
        QApplication::processEvents();
        EXPECT_EQ(Text("LabelPozitie"), QLatin1String(shown));
    }
}

}  // namespace
}  // namespace orbelan
