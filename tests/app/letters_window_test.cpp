// The "Creaza formulare &Word" menu of the main window runs the form-letter command.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <filesystem>

#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "qtcommon/qt_text.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST(LettersWindow, MenuItemFillsTheTemplateFromTheCurrentRowDown) {
    test::TempDir dir;
    test::FakePlatform platform;
    TForm1 form{platform};
    TErori erori;
    TForm2 form2;
    std::vector<std::string> errors;
    form.SetDialogs(&erori, &form2);
    form.errorReportOverride = [&](const std::string& e) { errors.push_back(e); };

    const std::string model = dir.File("model.rtf");
    test::WriteFileBytes(model, "{\\rtf1\r\n\\pard [Nume] [Localitate]\r\n\\par }\r\n");
    std::string answer = dir.CopyData("persoane.dbf");
    form.fileDialogOverride = [&](const FileDialogRequest&) { return std::optional(answer); };
    form.findChild<QPushButton*>(QStringLiteral("LbSpeedButton1"))->click();
    Table& tx = form.ws().table;
    ASSERT_TRUE(tx.Active());
    form.ws().ProgramDir = dir.Path().string() + "/";
    const int rows = tx.RecordCount();
    tx.MoveTo(rows - 2);

    answer = model;
    FileDialogRequest asked;
    form.fileDialogOverride = [&](const FileDialogRequest& dialog) {
        asked = dialog;
        return std::optional(answer);
    };
    test::ModalAnswer yes(
        [](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("BE1"))->click(); });
    form.Menu(QStringLiteral("PopupMenu3"))
        ->findChild<QAction*>(QStringLiteral("TotInJos"))
        ->trigger();
    EXPECT_EQ(yes.Seen(), 1);
    EXPECT_EQ(erori.Title(), QStringLiteral("Generare formulare"));
    EXPECT_EQ(
        asked.title + "|" + asked.filter + "|" + asked.defaultExtension + "|" + asked.initialPath,
        "Alegeti modelul|Word (*.rtf)|*.rtf|*.rtf|" + form.ws().ProgramDir + "Modele/");
    EXPECT_TRUE(asked.mustExist);
    EXPECT_TRUE(std::filesystem::is_directory(form.ws().ProgramDir + "Modele"));
    ASSERT_EQ(platform.opened, std::vector<std::string>{form.ws().ProgramDir + "Rap0.rtf"});
    const std::string doc = test::ReadFileBytes(platform.opened[0]);
    // The last two rows: two pages.
    EXPECT_EQ(doc.find("\\page", doc.find("\\page") + 1), std::string::npos);
    EXPECT_NE(doc.find("\\page"), std::string::npos);
    EXPECT_EQ(tx.CurrentRow(), rows - 2);
    EXPECT_FALSE(tx.ControlsDisabled());
    EXPECT_TRUE(form.findChild<QGroupBox*>(QStringLiteral("Tablou"))->isEnabled());
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orbelan
