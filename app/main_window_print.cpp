// "Tipareste...": the preview of the displayed rows, then the printer or a PDF file.
#include <QPrinter>
#include <stdexcept>

#include "app/main_window.h"
#include "core/command_guard.h"
#include "core/messages.h"
#include "core/text_util.h"
#include "dialogs/print_preview.h"
#include "export/export_command.h"
#include "print/pdf_export.h"
#include "print/table_print.h"
#include "qtcommon/qt_text.h"

namespace orbelan {

namespace {
// More pages than this and the user is told how many before the printer starts.
constexpr int kAskAbovePages = 50;
}  // namespace

void TForm1::Tiparire1Click() {
    if (!ws_.table.Active()) return;
    // The row being edited is printed as posted.
    ws_.PostPendingEdit();
    BindExport(ws_, *exp1_, GridColumns());
    TablePages pages = LayOutTable(*exp1_, exp1_->DBGrid);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(pages.layout->Page());
    printer.setDocName(Q(pages.title));
    TPrintPreview preview(*pages.layout, printer, this);
    const int choice = preview.exec();
    if (choice == TPrintPreview::Print) PrintPages(*pages.layout, printer, pages.title);
    if (choice == TPrintPreview::SavePdf) {
        // On the paper the preview shows, not the export's A4.
        const QPageLayout page = pages.layout->Page();
        const QRectF sheet = page.fullRect(QPageLayout::Point);
        const QMarginsF m = page.margins(QPageLayout::Point);
        exp1_->PdfPaper = {sheet.width(), sheet.height(), m.left(), m.top(), m.right(), m.bottom()};
        SavePagesAsPdf();
        exp1_->PdfPaper.reset();
    }
}

void TForm1::PrintPages(PageLayout& layout, QPrinter& printer, const std::string& title) {
    const int count = layout.PageCount();
    if (count > kAskAbovePages &&
        Mesaj("Confirmare", "Se vor tipari " + GroupedThousands(count) + " pagini. Continuati?",
              mkConfirmation, mbYesNo) != mrYes)
        return;
    CommandGuard guard(ws_, {.bar = count, .stoppable = true, .name = "Tiparire"});
    const auto progress = [this](int done, int) {
        ProgressSet(done);
        ProcessMessages();
        return !StopRequested();
    };
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // A file chosen in the print dialog is written as the export writes it: whole or not at
        // all, never a half-written file under the chosen name.
        WritePdf(layout, S(printer.outputFileName()), title, progress);
    } else {
        // The layout paints its own margins: the printer's origin is the sheet's corner.
        printer.setFullPage(true);
        if (!layout.PaintAll(printer, progress)) {
            const bool stopped = StopRequested();
            printer.abort();
            if (!stopped)
                throw std::runtime_error("Tiparirea nu a reusit: imprimanta a refuzat paginile.");
        }
    }
    guard.Finish();
}

void TForm1::SavePagesAsPdf() {
    // Through the export engine, as "In diverse formate" would write it: its overwrite question,
    // its progress window, its scratch name.
    const TovExportType type = exp1_->ExportType();
    const TovExportStyle style = exp1_->ExportStyle;
    exp1_->SetExportType(xtPDF);
    exp1_->ExportStyle = xsFile;
    FileDialogRequest request;
    request.title = "Salveaza ca PDF";
    request.filter = exp1_->DialogFilter();
    request.defaultExtension = exp1_->DefaultExtension();
    request.initialPath = exp1_->SuggestedFile();
    if (const auto chosen = AskSaveFile(request)) {
        exp1_->FileName = *chosen;
        exp1_->ExportData();
    }
    exp1_->FileName.clear();
    exp1_->SetExportType(type);
    exp1_->ExportStyle = style;
}

}  // namespace orbelan
