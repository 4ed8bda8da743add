// "Tipareste..." on the main window: the preview shows the pages the printer and the PDF get,
// and a long print is announced with its page count.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QToolButton>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "app/window_fixture.h"
#include "core/text_util.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/modal_answer.h"
#include "dialogs/print_preview.h"
#include "qtcommon/qt_text.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

std::string PdfText(const std::string& path, const char* tool) {
    std::string out;
    if (FILE* pipe = popen(
            (std::string(tool) + " '" + path + "'" + (std::string(tool) == "pdftotext" ? " -" : ""))
                .c_str(),
            "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

class PrintWindowTest : public test::MainWindowFixture {
  protected:
    void Open(int rows) {
        const std::string path = dir.File("lista.dbf");
        std::vector<std::vector<std::string>> values;
        // NOTA is too wide for any page: its values wrap, and pages hold fewer rows.
        for (int r = 0; r < rows; ++r)
            values.push_back({"NUME" + std::to_string(r), std::to_string(r), "ASCUNS",
                              r % 3 ? "" : "o nota lunga " + std::string(200, 'x')});
        test::WriteDbf(
            path, {{"NUME", 'C', 20}, {"NR", 'N', 5}, {"OBS", 'C', 8}, {"NOTA", 'C', 254}}, values);
        form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
        form.BOpenClick();
        ASSERT_TRUE(form.ws().table.Active());
        form.Grid1()->setColumnHidden(2, true);
    }
};

TEST_F(PrintWindowTest, PreviewPagesAreThePdfsPages) {
    Open(150);
    const std::string pdf = dir.File("lista.pdf");
    form.fileDialogOverride = [pdf](const FileDialogRequest&) { return std::optional(pdf); };
    int shown = 0;
    test::ModalAnswer preview([&](QDialog& d) {
        auto& p = static_cast<TPrintPreview&>(d);
        // Pages as far as the one shown, then the last one: the count is the PDF's.
        p.ShowPage(1);
        p.findChild<QToolButton*>(QStringLiteral("LastPage"))->click();
        shown = p.CurrentPage() + 1;
        EXPECT_EQ(p.PageCountShown(), shown);
        p.findChild<QPushButton*>(QStringLiteral("PdfButton"))->click();
    });
    // The same item in the export drop-down and on the right-click menu.
    for (const char* menu : {"PopupMenu6", "PopupMenu1"})
        ASSERT_NE(form.Menu(QLatin1String(menu))->findChild<QAction*>(QStringLiteral("Tiparire1")),
                  nullptr);
    form.Menu(QStringLiteral("PopupMenu1"))
        ->findChild<QAction*>(QStringLiteral("Tiparire1"))
        ->trigger();
    ASSERT_EQ(preview.Seen(), 1);
    ASSERT_GT(shown, 1);
    EXPECT_NE(PdfText(pdf, "pdfinfo").find("Pages:           " + std::to_string(shown) + "\n"),
              std::string::npos);
    const std::string text = PdfText(pdf, "pdftotext");
    EXPECT_NE(text.find("NUME149"), std::string::npos);
    EXPECT_EQ(text.find("ASCUNS"), std::string::npos);  // the hidden column stays hidden
}

TEST_F(PrintWindowTest, ALongPrintIsAnnouncedAndRefusedPrintsNothing) {
    Open(3000);
    const std::string pdf = dir.File("tiparit.pdf");
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        int pages = 0;
        QString question;
        std::optional<test::ModalAnswer> answer;
        test::ModalAnswer preview([&](QDialog& d) {
            auto& p = static_cast<TPrintPreview&>(d);
            p.findChild<QToolButton*>(QStringLiteral("LastPage"))->click();
            pages = p.PageCountShown();
            // As the system's print dialog leaves it when "PDF" is chosen.
            p.Printer().setOutputFormat(QPrinter::PdfFormat);
            p.Printer().setOutputFileName(Q(pdf));
            p.done(TPrintPreview::Print);
            // The question comes once the preview has closed.
            answer.emplace([&, yes](QDialog& m) {
                question = static_cast<TErori&>(m).Body()->PlainText();
                m.findChild<QPushButton*>(QLatin1String(yes ? "BE1" : "BE2"))->click();
            });
        });
        form.Tiparire1Click();
        ASSERT_GT(pages, 50);
        EXPECT_EQ(question, Q("Se vor tipari " + GroupedThousands(pages) + " pagini. Continuati?"));
        EXPECT_EQ(std::filesystem::exists(pdf), yes);
    }
    EXPECT_NE(PdfText(pdf, "pdftotext").find("NUME2999"), std::string::npos);
}

TEST_F(PrintWindowTest, PaperSetUpOnThePrinterLaysThePagesOutAgain) {
    Open(150);
    struct Step {
        QPageSize::PageSizeId paper;
        std::optional<QPageLayout::Orientation> chosen;
        bool wide;  // the page shown is wider than tall
    };
    // NOTA wraps on any paper: the pages turn sideways until the user turns them upright.
    const std::vector<Step> steps = {{QPageSize::A4, std::nullopt, true},
                                     {QPageSize::A3, std::nullopt, true},
                                     {QPageSize::A3, QPageLayout::Portrait, false},
                                     {QPageSize::Letter, std::nullopt, false}};
    // The pages then printed to a file, or saved as PDF, are on the paper last set up.
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "saved" : "printed");
        const std::string pdf = dir.File(save ? "saved.pdf" : "printed.pdf");
        form.fileDialogOverride = [pdf](const FileDialogRequest&) { return std::optional(pdf); };
        std::vector<int> counts;
        test::ModalAnswer preview([&](QDialog& d) {
            auto& p = static_cast<TPrintPreview&>(d);
            ASSERT_NE(p.findChild<QPushButton*>(QStringLiteral("PageSetupButton")), nullptr);
            for (const Step& step : steps) {
                p.Printer().setPageSize(QPageSize(step.paper));
                if (step.chosen) p.Printer().setPageOrientation(*step.chosen);
                p.UsePrinterPaper();
                p.findChild<QToolButton*>(QStringLiteral("LastPage"))->click();
                counts.push_back(p.PageCountShown());
                const QSizeF paper = QPageSize(step.paper).size(QPageSize::Point);
                EXPECT_NEAR(
                    double(p.PageImage().width()) / p.PageImage().height(),
                    step.wide ? paper.height() / paper.width() : paper.width() / paper.height(),
                    0.01)
                    << QPageSize(step.paper).key().toStdString();
            }
            if (save) {
                p.findChild<QPushButton*>(QStringLiteral("PdfButton"))->click();
                return;
            }
            p.Printer().setOutputFormat(QPrinter::PdfFormat);
            p.Printer().setOutputFileName(Q(pdf));
            p.done(TPrintPreview::Print);
        });
        form.Tiparire1Click();
        ASSERT_EQ(counts.size(), steps.size());
        EXPECT_GT(counts[0], counts[1]);  // A3 holds more rows than A4
        const std::string info = PdfText(pdf, "pdfinfo");
        EXPECT_NE(info.find("612 x 792"), std::string::npos) << info;
        EXPECT_NE(info.find("Pages:           " + std::to_string(counts.back()) + "\n"),
                  std::string::npos)
            << info;
    }
}

}  // namespace
}  // namespace orbelan
