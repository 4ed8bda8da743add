// The main window's code-page parts: the page in the status bar, "Citeste ca..." and
// "Converteste in alt cod...".
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

#include "app/main_window.h"
#include "cleaning/quick_csv.h"
#include "dialogs/codepage_chooser.h"
#include "editing/recode_command.h"
#include "engine/codepage.h"
#include "engine/codepage_detect.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

// The pages a table is converted into: those of the guess, but UTF-8, which few DBF readers take.
std::vector<std::string> TargetPages() {
    std::vector<std::string> pages;
    for (const std::string& p : GuessCandidates())
        if (!CodePage::Get(p)->IsUtf8()) pages.push_back(p);
    return pages;
}

}  // namespace

void TForm1::BuildCodePageParts() {
    pageStatus_ = new QPushButton(this);
    pageStatus_->setObjectName(QStringLiteral("PageStatus"));
    pageStatus_->setFlat(true);
    // Flat, it would take the Tab focus without a sign of it.
    pageStatus_->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid transparent; padding: 1px 4px; }"
                       "QPushButton:focus { border: 1px dotted palette(text); }"));
    pageStatus_->setToolTip(QStringLiteral("Codul de pagina al tabelului; clic: citeste ca..."));
    pageStatus_->setAccessibleName(QStringLiteral("Codul de pagina"));
    pageStatus_->setAccessibleDescription(
        QStringLiteral("Codul de pagina in care se citeste tabelul si cum a fost ales; apasati "
                       "pentru a-l citi in alt cod"));
    pageStatus_->hide();
    statusBar()->addPermanentWidget(pageStatus_);
    connect(pageStatus_, &QPushButton::clicked, this,
            [this] { Run([this] { CitesteCa1Click(); }); });
    pageChooser_ = new TCodePageChooser(this);

    popupMenu1_->addSeparator();
    AddItem(popupMenu1_, QStringLiteral("CitesteCa1"), QStringLiteral("Citeste ca..."),
            [this] { CitesteCa1Click(); });
    AddItem(popupMenu1_, QStringLiteral("ConvertesteInAltCod1"),
            QStringLiteral("Converteste in alt cod..."), [this] { ConvertesteInAltCod1Click(); });
    if (QMenu* exports = Menu(QStringLiteral("PopupMenu6")))
        AddItem(exports, QStringLiteral("InformatCVSUtf81"),
                QStringLiteral("In format CSV (UTF-8)"), [this] { ShowQuickCsv(ws_, true); });
}

void TForm1::ShowPageStatus() {
    if (!pageStatus_) return;
    const bool open = ws_.table.Active();
    pageStatus_->setVisible(open);
    if (open) pageStatus_->setText(Q(PageText(ws_.table.Header())));
}

void TForm1::CitesteCa1Click() {
    Table& tx = ws_.table;
    if (!tx.Active()) return;
    std::vector<PageChoice> pages;
    for (const std::string& p : GuessCandidates()) pages.push_back({p, TextPreview(tx, p)});
    const auto chosen = pageChooser_->Choose(
        QStringLiteral("Citeste ca..."),
        QStringLiteral("Alegeti codul de pagina in care primele linii se citesc corect. Fisierul "
                       "nu se schimba."),
        pages, tx.Header().codePage);
    if (!chosen) return;
    ReadTableAs(ws_, *chosen);
    ShowPageStatus();
}

void TForm1::ConvertesteInAltCod1Click() {
    Table& tx = ws_.table;
    if (!tx.Active()) return;
    std::vector<PageChoice> pages;
    for (const std::string& p : TargetPages()) pages.push_back({p, {}});
    const auto chosen =
        pageChooser_->Choose(QStringLiteral("Converteste in alt cod"),
                             Q("Textul tabelului este citit acum in " + tx.Header().codePage +
                               ". In ce cod de pagina il rescriem?"),
                             pages, tx.Header().codePage == "cp1250" ? "cp852" : "cp1250");
    if (!chosen) return;
    ConvertTable(ws_, *chosen);
    ShowPageStatus();
}

}  // namespace orbelan
