// "Tabel nou..." and "Structura tabelului..." driven as a user would: the grid filled in, the
// name asked, the values that would not fit shown before anything is written.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>

#include "app/main_window.h"
#include "app/main_window_fixture.h"
#include "dialogs/column_chooser.h"
#include "dialogs/field_grid.h"
#include "dialogs/message_window.h"
#include "dialogs/structure_dialog.h"
#include "editing/startup.h"
#include "engine/table.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

// Acts once on the modal dialog of the given object name, when it shows.
class OnDialog {
  public:
    OnDialog(const char* name, std::function<void(QDialog&)> act)
        : name_(QLatin1String(name)), act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible() || d->objectName() != name_) return;
            timer_.stop();
            ++seen_;
            act_(*d);
        });
        timer_.start();
    }
    int seen_ = 0;

  private:
    QString name_;
    std::function<void(QDialog&)> act_;
    QTimer timer_;
};

void Click(QDialog& d, const char* button) {
    d.findChild<QPushButton*>(QLatin1String(button))->click();
}

class StructureWindowTest : public MainWindowTest {};

TEST_F(StructureWindowTest, NewTableFromTheGridOpensEmpty) {
    std::vector<std::string> asked;
    form.fileDialogOverride = [&](const FileDialogRequest& r) {
        asked.push_back(r.title);
        return std::optional(dir.File("lista"));
    };
    OnDialog structure("Structura", [](QDialog& d) {
        FieldGrid* grid = static_cast<TStructura&>(d).Grid();
        grid->item(0, FieldGrid::ColName)->setText(QStringLiteral("NUME"));
        grid->item(0, FieldGrid::ColWidth)->setText(QStringLiteral("30"));
        grid->AddField();
        grid->item(1, FieldGrid::ColName)->setText(QStringLiteral("DATAN"));
        grid->TypeBox(1)->setCurrentIndex(grid->TypeBox(1)->findData(QChar::fromLatin1('D')));
        Click(d, "Accept");
    });
    form.TabelNouClick();
    EXPECT_EQ(structure.seen_, 1);
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(form.ws().table.Active());
    EXPECT_EQ(form.ws().table.TableName(), dir.File("lista.dbf"));
    ASSERT_EQ(form.ws().table.FieldCount(), 2);
    EXPECT_EQ(form.ws().table.Field(1).type, 'D');
    EXPECT_EQ(form.ws().table.Field(0).size, 30);
    EXPECT_TRUE(errors.empty());
}

TEST_F(StructureWindowTest, MisfitsShownFirstThenLeftEmptyOnlyWhenChosen) {
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    OpenTableFile(form.ws(), path);
    ASSERT_TRUE(form.ws().table.Active());
    const std::string before = test::ReadFileBytes(path);

    int misfitRows = 0;
    std::unique_ptr<OnDialog> misfits, again, info;
    OnDialog structure("Structura", [&](QDialog& d) {
        FieldGrid* grid = static_cast<TStructura&>(d).Grid();
        grid->item(0, FieldGrid::ColWidth)->setText(QStringLiteral("7"));
        // The first time the user goes back to the fields; the second time applies anyway.
        misfits = std::make_unique<OnDialog>("ValoriNepotrivite", [&](QDialog& m) {
            misfitRows = static_cast<TValoriNepotrivite&>(m).List()->rowCount();
            Click(m, "Renunt");
            EXPECT_EQ(test::ReadFileBytes(path), before);
            again = std::make_unique<OnDialog>("ValoriNepotrivite",
                                               [](QDialog& m2) { Click(m2, "Oricum"); });
            info = std::make_unique<OnDialog>("Erori", [](QDialog& e) { e.accept(); });
            Click(d, "Accept");
        });
        Click(d, "Accept");
    });
    form.StructuraTabeluluiClick();
    EXPECT_EQ(misfitRows, 4);  // names longer than 7, two of them in deleted rows
    ASSERT_TRUE(again);
    EXPECT_EQ(again->seen_, 1);
    EXPECT_EQ(form.ws().table.Field(0).size, 7);
    EXPECT_NE(test::ReadFileBytes(path), before);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan
