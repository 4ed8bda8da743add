#pragma once
// "Tipareste...": the pages as they will come out of the printer, one at a time, painted when
// shown. Its buttons choose the printer (the system's print dialog, where a PDF file is one of
// the choices) or a PDF file, and the paper ("Configurare pagina..."); the main window then
// writes the pages with its progress bar.
#include <QDialog>
#include <QPageLayout>

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QTimer;
class QToolButton;

namespace orbelan {

class PageLayout;

class TPrintPreview : public QDialog {
    Q_OBJECT
  public:
    // What the user chose when the window closed.
    enum Choice { Closed = 0, Print = 1, SavePdf = 2 };

    TPrintPreview(PageLayout& layout, QPrinter& printer, QWidget* parent = nullptr);

    int CurrentPage() const { return page_; }
    // -1 while the pages are still being laid out.
    int PageCountShown() const;
    void ShowPage(int page);
    // Where "Tipareste..." prints; the system's print dialog sets it up.
    QPrinter& Printer() { return printer_; }
    // Lays the pages out on the paper and margins the printer is now set up with (by the print
    // dialog or the page setup); its orientation only once the user has changed it.
    void UsePrinterPaper();
    // The page as drawn on screen.
    const QImage& PageImage() const { return image_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Render();
    void AskPrinter();
    void AskPageSetup();

    PageLayout& layout_;
    QPrinter& printer_;
    int page_ = 0;
    // The orientation last given to the printer, and whether the user has chosen one since.
    QPageLayout::Orientation givenOrientation_;
    bool orientationChosen_ = false;
    int pages_ = INT32_MAX;  // known once every page is laid out
    double zoom_ = 0.75;
    QImage image_;
    QScrollArea* scroll_ = nullptr;
    QLabel* view_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QTimer* layoutTimer_ = nullptr;  // lays out the rest of the pages while one is shown
};

}  // namespace orbelan
