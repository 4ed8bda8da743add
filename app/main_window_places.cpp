// The window as people drive it beyond the buttons: recent tables, remembered places, dropped
// files, the search again.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/command_button.h"
#include "app/data_grid.h"
#include "app/main_window.h"
#include "editing/filter_commands.h"
#include "editing/startup.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

bool HasSuffix(const QString& path, std::initializer_list<const char*> suffixes) {
    const QString suffix = QFileInfo(path).suffix();
    for (const char* s : suffixes)
        if (suffix.compare(QLatin1String(s), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The local file a drag brings, when it is one the window opens (a table) or imports.
QString DroppedTable(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return HasSuffix(path, {"dbf", "csv", "txt", "xlsx", "xls"}) ? path : QString();
}

}  // namespace

void TForm1::BuildOpenMenu() {
    openMenu_ = AddMenu(QStringLiteral("PopupMenuDeschide"));
    AddItem(openMenu_, QStringLiteral("DeschideDBF"), QStringLiteral("Deschide un DBF...\tCtrl+O"),
            [this] { BOpenClick(); });
    openButton_->SetSplitMenu(openMenu_);
}

void TForm1::AddRecentTablesMenu() {
    openMenu_->addSeparator();
    recentMenu_ = openMenu_->addMenu(QStringLiteral("Tabele recente"));
    recentMenu_->setObjectName(QStringLiteral("TabeleRecente"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &TForm1::FillRecentMenu);
}

void TForm1::AddSortItem() {
    gridMenu_->addSeparator();
    QAction* sort = gridMenu_->addAction(QStringLiteral("Ordoneaza dupa coloana curenta"));
    sort->setObjectName(QStringLiteral("OrdoneazaColoana1"));
    // The title click runs the command itself (it asks first), as a click on the title would.
    connect(sort, &QAction::triggered, this, [this] {
        const QModelIndex current = grid_->currentIndex();
        if (ws_.table.Active() && current.isValid()) Grid1TitleClick(current.column());
    });
}

void TForm1::FillRecentMenu() {
    recentMenu_->clear();
    const QStringList tables = remembered_.RecentTables();
    if (tables.isEmpty())
        recentMenu_->addAction(QStringLiteral("(niciun tabel)"))->setEnabled(false);
    for (const QString& path : tables) {
        QAction* action =
            recentMenu_->addAction(QString(path).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(action, &QAction::triggered, this,
                [this, path] { Run([this, path] { OpenRecent(path); }); });
    }
}

void TForm1::OpenRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        remembered_.RemoveRecentTable(path);
        Mesaj("Tabele recente", "Fisierul " + S(path) + " nu mai exista; l-am scos din lista.",
              mkWarning, mbOK);
        return;
    }
    OpenTableFile(ws_, S(path));
}

void TForm1::TableShown() {
    if (!ws_.table.Active()) return;
    const QString table = Q(ws_.CurrentFile);
    if (table != lastShownTable_) {
        lastShownTable_ = table;
        remembered_.AddRecentTable(table);
        // Said once, when the table is shown, not again after each rewrite reopens it.
        if (ws_.table.OpenElsewhere())
            QTimer::singleShot(0, this, [this, table] {
                if (table == lastShownTable_)
                    Mesaj("Deschidere DBF",
                          "Tabelul " + S(table) +
                              " este deschis si in alta fereastra a programului. Apasati F5 ca "
                              "sa vedeti ce s-a schimbat acolo.",
                          mkInformation, mbOK);
            });
    }
    grid_->ApplyColumnLayout(remembered_.Columns(table));
}

void TForm1::FindAgain() {
    if (!lastFind_) {
        FindButClick();
        return;
    }
    if (!ReadyToFind(ws_)) return;
    FindNextValue(ws_, lastFind_->first, lastFind_->second);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy_ && !DroppedTable(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DroppedTable(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Opened once the drop is over: the source program is not kept waiting by our questions.
    const bool table = HasSuffix(path, {"dbf"});
    QMetaObject::invokeMethod(
        this,
        [this, path, table] {
            Run([this, path, table] {
                if (table)
                    OpenTableFile(ws_, S(path));
                else
                    ImportFile(S(path));
            });
        },
        Qt::QueuedConnection);
}

}  // namespace orbelan
