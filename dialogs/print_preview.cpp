#include "dialogs/print_preview.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "print/page_layout.h"

namespace orbelan {

TPrintPreview::TPrintPreview(PageLayout& layout, QPrinter& printer, QWidget* parent)
    : QDialog(parent),
      layout_(layout),
      printer_(printer),
      givenOrientation_(printer.pageLayout().orientation()) {
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QStringLiteral("Previzualizare tiparire"));
    auto* column = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    column->addLayout(bar);

    const auto button = [this, bar](const char* name, const QString& text, const QString& hint,
                                    auto handler) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        connect(b, &QToolButton::clicked, this, handler);
        bar->addWidget(b);
        return b;
    };
    button("FirstPage", QStringLiteral("|<"), QStringLiteral("Prima pagina"),
           [this] { ShowPage(0); });
    button("PriorPage", QStringLiteral("<"), QStringLiteral("Pagina anterioara"),
           [this] { ShowPage(page_ - 1); });
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("PageLabel"));
    bar->addWidget(pageLabel_);
    button("NextPage", QStringLiteral(">"), QStringLiteral("Pagina urmatoare"),
           [this] { ShowPage(page_ + 1); });
    button("LastPage", QStringLiteral(">|"), QStringLiteral("Ultima pagina"),
           [this] { ShowPage(layout_.PageCount() - 1); });
    zoomBox_ = new QComboBox(this);
    zoomBox_->setObjectName(QStringLiteral("Zoom"));
    for (const int percent : {50, 75, 100, 125, 150, 200})
        zoomBox_->addItem(QStringLiteral("%1%").arg(percent), percent);
    zoomBox_->setCurrentIndex(1);  // a landscape page fits the window at 75%
    connect(zoomBox_, &QComboBox::currentIndexChanged, this, [this] {
        zoom_ = zoomBox_->currentData().toInt() / 100.0;
        Render();
    });
    bar->addWidget(zoomBox_);
    bar->addStretch(1);

    auto* setup = new QPushButton(QStringLiteral("&Configurare pagina..."), this);
    setup->setObjectName(QStringLiteral("PageSetupButton"));
    connect(setup, &QPushButton::clicked, this, &TPrintPreview::AskPageSetup);
    bar->addWidget(setup);
    auto* print = new QPushButton(QStringLiteral("&Tipareste..."), this);
    print->setObjectName(QStringLiteral("PrintButton"));
    connect(print, &QPushButton::clicked, this, &TPrintPreview::AskPrinter);
    bar->addWidget(print);
    auto* pdf = new QPushButton(QStringLiteral("Salveaza ca &PDF..."), this);
    pdf->setObjectName(QStringLiteral("PdfButton"));
    connect(pdf, &QPushButton::clicked, this, [this] { done(SavePdf); });
    bar->addWidget(pdf);
    auto* close = new QPushButton(QStringLiteral("&Inchide"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, [this] { done(Closed); });
    bar->addWidget(close);

    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new QLabel;
    view_->setObjectName(QStringLiteral("PageView"));
    scroll_->setWidget(view_);
    column->addWidget(scroll_, 1);

    resize(900, 700);
    print->setFocus();
    Render();
    // A long table whose rows may wrap is laid out while the first page is already shown.
    layoutTimer_ = new QTimer(this);
    connect(layoutTimer_, &QTimer::timeout, this, [this] {
        if (!layout_.LayOutSome(20000)) return;
        layoutTimer_->stop();
        Render();
    });
    if (!layout_.PagesKnown()) layoutTimer_->start(0);
}

int TPrintPreview::PageCountShown() const {
    return layout_.PagesKnown() ? layout_.PageCount() : -1;
}

void TPrintPreview::ShowPage(int page) {
    page = std::max(0, page);
    // Pages up to the one asked for are laid out now, if they aren't yet.
    if (!layout_.PagesKnown()) layout_.PageRows(page);
    if (layout_.PagesKnown()) page = std::min(page, layout_.PageCount() - 1);
    if (page == page_ && !image_.isNull()) return;
    page_ = page;
    Render();
}

void TPrintPreview::Render() {
    const QRectF paper = layout_.Page().fullRect(QPageLayout::Point);
    // Drawn at the screen's size of the paper: 96 dots to the inch at 100%.
    const double dpi = 96.0 * zoom_;
    image_ =
        QImage(static_cast<int>(std::lround(paper.width() * dpi / 72.0)),
               static_cast<int>(std::lround(paper.height() * dpi / 72.0)), QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    image_.setDotsPerMeterX(dpm);
    image_.setDotsPerMeterY(dpm);
    image_.fill(Qt::white);
    {
        QPainter painter(&image_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        layout_.Paint(painter, page_);
    }
    view_->setPixmap(QPixmap::fromImage(image_));
    view_->resize(image_.size());
    pages_ = layout_.PagesKnown() ? layout_.PageCount() : INT32_MAX;
    pageLabel_->setText(layout_.PagesKnown()
                            ? QStringLiteral(" Pagina %1 din %2 ").arg(page_ + 1).arg(pages_)
                            : QStringLiteral(" Pagina %1 din ... ").arg(page_ + 1));
}

void TPrintPreview::AskPrinter() {
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(QStringLiteral("Tipareste"));
    if (dialog.exec() != QDialog::Accepted) return;
    UsePrinterPaper();
    done(Print);
}

void TPrintPreview::AskPageSetup() {
    QPageSetupDialog dialog(&printer_, this);
    dialog.setWindowTitle(QStringLiteral("Configurare pagina"));
    if (dialog.exec() == QDialog::Accepted) UsePrinterPaper();
}

void TPrintPreview::UsePrinterPaper() {
    const QPageLayout page = printer_.pageLayout();
    // Left as it was given, the orientation stays the one the columns need on the new paper.
    orientationChosen_ = orientationChosen_ || page.orientation() != givenOrientation_;
    layout_.SetPaper(page, orientationChosen_);
    printer_.setPageLayout(layout_.Page());
    givenOrientation_ = layout_.Orientation();
    // The page shown stays, if the new paper still has that many.
    if (!layout_.PagesKnown()) layout_.PageRows(page_);
    if (layout_.PagesKnown()) page_ = std::min(page_, layout_.PageCount() - 1);
    if (!layout_.PagesKnown()) layoutTimer_->start(0);
    Render();
}

void TPrintPreview::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_PageDown:
            ShowPage(page_ + 1);
            return;
        case Qt::Key_PageUp:
            ShowPage(page_ - 1);
            return;
        case Qt::Key_Home:
            ShowPage(0);
            return;
        case Qt::Key_End:
            ShowPage(layout_.PageCount() - 1);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace orbelan
