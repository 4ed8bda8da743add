// "In diverse formate" on the main window: the grid's columns and the chooser.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "dialogs/selection_window.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "tests/export/biff_reader.h"

namespace orbelan {
namespace {

TEST(ExportMenu, ExportsTheGridsVisibleColumnsToAnOpenedWorkbook) {
    test::TempDir dir;
    test::FakePlatform platform;
    platform.tempFolder = dir.Path().string() + "/";
    TForm1 form{platform};
    TErori erori;
    TForm2 form2;
    form.SetDialogs(&erori, &form2);
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 5}, {"OBS", 'C', 5}},
                   {{"POP", "1", "a"}, {"ANA", "2", "b"}});
    form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
    form.BOpenClick();
    ASSERT_TRUE(form.ws().table.Active());
    form.Grid1()->setColumnHidden(2, true);

    const TovGrid grid = form.GridColumns();
    ASSERT_EQ(grid.columns.size(), 3u);
    EXPECT_EQ(grid.columns[0].title, "NUME");
    EXPECT_EQ(grid.columns[0].alignment, 1);
    EXPECT_EQ(grid.columns[1].alignment, 2);
    EXPECT_FALSE(grid.columns[2].visible);

    form.Exp1().Options.Remove(xoShowProgress);
    test::ModalAnswer choose([](QDialog& d) {
        auto& s = static_cast<Tfrm_Selection&>(d);
        EXPECT_EQ(s.SelectionCombo->currentText(), QStringLiteral("Microsoft Excel"));
        EXPECT_TRUE(s.rdo_View->isChecked());
        s.btn_Selection->click();
    });
    form.Menu(QStringLiteral("PopupMenu6"))
        ->findChild<QAction*>(QStringLiteral("Indiverseformate1"))
        ->trigger();
    EXPECT_EQ(choose.Seen(), 1);
    ASSERT_EQ(platform.opened, std::vector<std::string>{dir.File("ZUQ1.XLS")});
    const auto cells = test::BiffCells(test::ReadFileBytes(platform.opened[0]));
    EXPECT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells.at({2, 0}).text, "ANA");
    EXPECT_TRUE(form.isEnabled());
}

TEST(ExportMenu, CaptionsOfAnEmptyTableAreAlignedByFieldType) {
    test::TempDir dir;
    test::FakePlatform platform;
    TForm1 form{platform};
    const std::string path = dir.File("gol.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"NR", 'N', 5}, {"SUMA", 'F', 8}, {"DATAN", 'D', 8}},
                   {});
    form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
    form.BOpenClick();
    ASSERT_TRUE(form.ws().table.Active());
    std::vector<int> alignments;
    for (const TovGridColumn& column : form.GridColumns().columns)
        alignments.push_back(column.alignment);
    EXPECT_EQ(alignments, (std::vector<int>{1, 2, 2, 1}));
}

}  // namespace
}  // namespace orbelan
