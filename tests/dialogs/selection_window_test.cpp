// The format chooser and the progress window, off-screen.
#include "dialogs/selection_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/modal_answer.h"
#include "dialogs/progress_window.h"
#include "export/export_types.h"

namespace orbelan {
namespace {

ExportChooserRequest Request(std::vector<int> types, int type, bool view) {
    ExportChooserRequest r;
    r.caption = "Export Grila";
    r.exportCaption = "&Export";
    r.cancelCaption = "&Renunt";
    r.selectFormat = " Formatul e&xportat: ";
    r.viewOnly = "&Numai vizualizare";
    r.exportToFile = "Export &in fisier";
    r.types = std::move(types);
    r.type = type;
    r.view = view;
    return r;
}

TEST(SelectionWindow, ClipboardGreysTheStylesAndIconsFollowTheFormat) {
    Tfrm_Selection w;
    std::vector<int> all(std::begin(kChooserOrder), std::end(kChooserOrder));
    w.Fill(Request(all, xtExcel, false));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Export Grila"));
    EXPECT_EQ(w.GroupBox->title(), QStringLiteral(" Formatul e&xportat: "));
    EXPECT_EQ(w.SelectionCombo->count(), 12);
    EXPECT_EQ(w.SelectionCombo->itemText(3), QStringLiteral("Microsoft Excel (.xlsx)"));
    EXPECT_EQ(w.SelectionCombo->itemText(11), QStringLiteral("PDF"));
    EXPECT_EQ(w.SelectionCombo->currentText(), QStringLiteral("Microsoft Excel"));
    EXPECT_EQ(w.IconNumber(), 5);
    EXPECT_TRUE(w.rdo_File->isChecked());

    w.SelectionCombo->setCurrentText(QStringLiteral("Clipboard"));
    EXPECT_FALSE(w.rdo_View->isEnabled());
    EXPECT_FALSE(w.rdo_File->isEnabled());
    EXPECT_EQ(w.ExportType(), xtClipboard);
    EXPECT_EQ(w.IconNumber(), 7);
    w.SelectionCombo->setCurrentText(QStringLiteral("Rich Text"));
    EXPECT_TRUE(w.rdo_View->isEnabled());
    EXPECT_TRUE(w.rdo_File->isChecked());
    EXPECT_FALSE(w.View());
    EXPECT_EQ(w.IconNumber(), 0);
    int icons[3];
    int i = 0;
    for (const char* text : {"Tab-Separated Text", "Data Interchange Format", "SYLK Format"}) {
        w.SelectionCombo->setCurrentText(QLatin1String(text));
        icons[i++] = w.IconNumber();
    }
    EXPECT_EQ(icons[0], 6);
    EXPECT_EQ(icons[1], 6);
    EXPECT_EQ(icons[2], 6);
    EXPECT_FALSE(w.IconImage->pixmap().isNull());
}

TEST(SelectionWindow, OnlyOfferedFormatsAndTheChoiceComesBack) {
    Tfrm_Selection w;
    ExportChooserRequest r = Request({xtHTML, xtExcel, xtCSV}, xtCSV, true);
    test::ModalAnswer cancel(
        [](QDialog& d) { static_cast<Tfrm_Selection&>(d).btn_Cancel->click(); });
    EXPECT_FALSE(w.Run(r));
    EXPECT_EQ(r.type, xtCSV);

    test::ModalAnswer choose([](QDialog& d) {
        auto& s = static_cast<Tfrm_Selection&>(d);
        EXPECT_EQ(s.SelectionCombo->itemText(0), QStringLiteral("HTML"));
        EXPECT_EQ(s.SelectionCombo->itemText(2), QStringLiteral("Comma-Separated Text"));
        s.SelectionCombo->setCurrentIndex(0);
        s.rdo_File->click();
        s.btn_Selection->click();
    });
    EXPECT_TRUE(w.Run(r));
    EXPECT_EQ(w.SelectionCombo->count(), 3);
    EXPECT_EQ(r.type, xtHTML);
    EXPECT_FALSE(r.view);
}

TEST(ProgressWindow, BarRunsToTheTotalAndStops) {
    Tfrm_ProgressForm w;
    ExportProgressRequest r;
    r.caption = "Export Grila";
    r.text = "Prelucrez...";
    r.total = 120;
    w.Prepare(r);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.ProgressBar->maximum(), 120);
    EXPECT_EQ(w.ProgressBar->width(), w.width() - 16);
    EXPECT_EQ(w.ProgressLabel->text(), QStringLiteral("Prelucrez..."));
    EXPECT_GT(w.ProgressBar->y(), w.ProgressLabel->geometry().bottom());
    w.SetPosition(60);
    EXPECT_FALSE(w.CancelRequested());
    w.CancelButton->click();
    EXPECT_TRUE(w.CancelRequested());
    w.Prepare(r);  // a new run starts uncancelled
    EXPECT_FALSE(w.CancelRequested());
}

}  // namespace
}  // namespace orbelan
