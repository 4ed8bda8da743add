#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/command_button.h"
#include "app/data_grid.h"
#include "app/logo.h"
#include "app/table_model.h"
#include "cleaning/append_table.h"
#include "cleaning/cnp_commands.h"
#include "cleaning/column_transforms.h"
#include "cleaning/quick_csv.h"
#include "cleaning/row_set_commands.h"
#include "core/restore_points.h"
#include "dialogs/balloon_hint.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/progress_window.h"
#include "dialogs/select2col.h"
#include "dialogs/selection_window.h"
#include "editing/filter_commands.h"
#include "editing/row_commands.h"
#include "editing/sort_command.h"
#include "editing/startup.h"
#include "export/export_command.h"
#include "importing/import_source.h"
#include "letters/form_letters.h"
#include "platform/qt_platform.h"
#include "print/pdf_export.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

constexpr int kMessageIntervalMs = 30;   // how often long loops let the window repaint
constexpr QSize kOuterSize(800, 600);    // the whole window, frame and caption included
constexpr int kTablouRight = 160 + 449;  // the command group's right edge in the top panel
constexpr int kLogoWidth = 144;
// The program's dialogs have a close box only.
constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QWidget* MakeWhitePanel(QWidget* parent, const QString& name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setFixedHeight(height);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel->setPalette(pal);
    return panel;
}

void SetHint(QWidget* w, const QString& hint) {
    w->setToolTip(hint);
    w->setToolTipDuration(10000);
}

// "Fisiere DBF|*.DBF" -> "Fisiere DBF (*.DBF *.dbf)": Linux file names are case-sensitive.
QString QtFilter(const std::string& filter) {
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    if (parts.size() < 2) return Q(filter);
    QStringList patterns = parts[1].split(QLatin1Char(';'));
    const qsizetype given = patterns.size();
    for (const QString& p : QStringList(patterns)) {
        if (!patterns.contains(p.toLower())) patterns << p.toLower();
    }
    // "Word (*.rtf)|*.rtf" already shows its patterns; "Excel Files (*.xls)|*.XLS" shows them
    // once, all of them.
    QString label = parts[0];
    if (label.endsWith(QLatin1Char(')'))) {
        if (patterns.size() == given) return label;
        const qsizetype open = label.lastIndexOf(QStringLiteral(" ("));
        if (open > 0) label.truncate(open);
    }
    return label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

TForm1::TForm1(Platform& platform, QWidget* parent) : QMainWindow(parent), ws_(*this, platform) {
    setObjectName(QStringLiteral("Form1"));
    // Numbers show with their field's decimals, so a column of sums lines up.
    FormatSettings format = ws_.Format();
    format.declaredDecimals = true;
    ws_.SetFormatSettings(format);
    setWindowTitle(QStringLiteral("DBF Orbelan ver.1.12 - 27.08.2019"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(kOuterSize);
    // Narrower, the logo would cover the command buttons; lower, the grid would vanish.
    setMinimumSize(kTablouRight + 8 + kLogoWidth + 1, 97 + 41 + 24 + 5 * 17 + 30);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);

    BuildTopPanel();
    grid_ = new TDataGrid(ws_.table, central);
    BuildBottomPanel();
    layout->addWidget(panel2_);
    layout->addWidget(grid_, 1);
    layout->addWidget(panel1_);

    status_ = new QLabel(QStringLiteral("Nici un DBF deschis."), this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    connect(grid_->tableModel(), &QAbstractItemModel::modelReset, this, &TForm1::QueuePosition);
    connect(grid_->tableModel(), &QAbstractItemModel::rowsInserted, this, &TForm1::QueuePosition);
    connect(grid_->tableModel(), &QAbstractItemModel::rowsRemoved, this, &TForm1::QueuePosition);
    connect(grid_->tableModel(), &TableModel::cursorMoved, this, &TForm1::QueuePosition);
    BuildMenus();
    BuildOpenMenu();
    BuildStructureMenu();
    BuildImportMenu();
    AddRecentTablesMenu();
    BuildCodePageParts();
    BuildShortcuts();
    SetTabOrder();
    NameForScreenReaders();
    setAcceptDrops(true);
    connect(grid_->tableModel(), &QAbstractItemModel::modelReset, this, &TForm1::TableShown);
    connect(grid_, &TDataGrid::columnsArranged, this, [this] {
        if (ws_.table.Active()) remembered_.SetColumns(Q(ws_.CurrentFile), grid_->ColumnLayout());
    });
    BuildMemoItems();
    AddSortItem();
    BuildProfileParts();
    BuildIndexItems();  // before the undo items, which stay the grid menu's last
    BuildUndo();
    connect(grid_, &TDataGrid::titleClicked, this, &TForm1::Grid1TitleClick);
    connect(grid_, &TDataGrid::contextMenuWanted, this,
            [this](const QPoint& pos) { gridMenu_->popup(pos); });
    connect(grid_, &TDataGrid::failure, this, [this](const QString& text) { ShowError(S(text)); });
    balloon_ = new BalloonHint(this);
    exp1_ = std::make_unique<TovDBGridExport>(*this, *this, platform);
    InstallPdfExport();
    selection_ = new Tfrm_Selection(this);
    progress_ = new Tfrm_ProgressForm(this);
    sinceMessages_.start();
}

TForm1::~TForm1() {
    // The grid watches the table, which is destroyed before the base class deletes children.
    delete grid_;
    grid_ = nullptr;
}

void TForm1::SetDialogs(TErori* erori, TForm2* form2) {
    erori_ = erori;
    form2_ = form2;
}

void TForm1::BuildTopPanel() {
    panel2_ = MakeWhitePanel(centralWidget(), QStringLiteral("Panel2"), 97);

    openButton_ =
        new TLbButton(QStringLiteral("LbSpeedButton1"), QStringLiteral("Deschide un DBF"), panel2_);
    openButton_->setGeometry(8, 8, 105, 31);
    connect(openButton_, &QPushButton::clicked, this, [this] { Run([this] { BOpenClick(); }); });

    MakeLabel(panel2_, QStringLiteral("Label1"), QStringLiteral("Linii:"), 8, 48);
    label2_ = MakeLabel(panel2_, QStringLiteral("Label2"), QStringLiteral("0"), 40, 48);
    label2_->setMinimumWidth(110);
    // The grid has no vertical bar: where the current row stands among the rows shown.
    position_ = MakeLabel(panel2_, QStringLiteral("LabelPozitie"), QString(), 8, 68);
    position_->setMinimumWidth(145);

    tablou_ = new QGroupBox(panel2_);
    tablou_->setObjectName(QStringLiteral("Tablou"));
    tablou_->setGeometry(160, 0, 449, 97);
    tablou_->setFlat(true);
    tablou_->hide();
    auto* label3 =
        new QLabel(QStringLiteral("Click dreapta pe tabel pentru alte actiuni."), tablou_);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setAlignment(Qt::AlignCenter);
    label3->setGeometry(2, 80, 445, 15);
    label3->setStyleSheet(QStringLiteral("color: navy; background: #F5F5F5;"));

    image2_ = new TLogo(panel2_);
    image2_->setObjectName(QStringLiteral("Image2"));
    image2_->setFixedSize(kLogoWidth, 95);
    image2_->setCursor(Qt::PointingHandCursor);
    image2_->installEventFilter(this);
    panel2_->installEventFilter(this);
    SetHint(image2_, Q(kMakerContact));
}

void TForm1::BuildBottomPanel() {
    panel1_ = MakeWhitePanel(centralWidget(), QStringLiteral("Panel1"), 41);

    MakeLabel(panel1_, QStringLiteral("Label4"), QStringLiteral("Filtrare"), 8, 12);
    filtruE_ = new QLineEdit(panel1_);
    filtruE_->setObjectName(QStringLiteral("FiltruE"));
    filtruE_->setGeometry(48, 8, 225, 21);
    filtruE_->setStyleSheet(QStringLiteral("color: navy;"));
    filtruE_->installEventFilter(this);

    filtru1_ = new QToolButton(panel1_);
    filtru1_->setObjectName(QStringLiteral("Filtru1"));
    filtru1_->setGeometry(280, 8, 23, 22);
    filtru1_->setCheckable(true);
    filtru1_->setText(QStringLiteral("F"));
    SetHint(filtru1_, QStringLiteral("exemple: NUME='IONEL*' sau SUMA=12"));
    connect(filtru1_, &QToolButton::clicked, this, [this] { Run([this] { Filtru1Click(); }); });

    findBut_ = new QToolButton(panel1_);
    findBut_->setObjectName(QStringLiteral("FindBut"));
    findBut_->setGeometry(304, 8, 23, 22);
    findBut_->setText(QStringLiteral("?"));
    SetHint(findBut_, QStringLiteral("Cauta o valoare in tabel"));
    connect(findBut_, &QToolButton::clicked, this, [this] { Run([this] { FindButClick(); }); });

    bar1_ = new QProgressBar(panel1_);
    bar1_->setObjectName(QStringLiteral("Bar1"));
    bar1_->setGeometry(352, 8, 417, 17);
    bar1_->setTextVisible(false);
    bar1_->hide();

    stop_ = new QPushButton(QStringLiteral("&Renunt"), panel1_);
    stop_->setObjectName(QStringLiteral("Renunt"));
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
}

QMenu* TForm1::AddMenu(const QString& name) {
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    menu->setWindowTitle(name);  // names the menu's window for tools that drive the program
    return menu;
}

QMenu* TForm1::Menu(const QString& name) const {
    return findChild<QMenu*>(name);
}

void TForm1::AddItem(QMenu* menu, const QString& name, const QString& caption,
                     std::function<void()> handler) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
}

void TForm1::BuildMenus() {
    popupMenu1_ = AddMenu(QStringLiteral("PopupMenu1"));
    AddItem(popupMenu1_, QStringLiteral("CopieV"), QStringLiteral("Copie valoare in jos"),
            [this] { CopieVClick(popupMenu1_->findChild<QAction*>(QStringLiteral("CopieV"))); });
    AddItem(popupMenu1_, QStringLiteral("Renum1"), QStringLiteral("Renumerotare in jos"),
            [this] { CopieVClick(popupMenu1_->findChild<QAction*>(QStringLiteral("Renum1"))); });

    QMenu* cnp = AddMenu(QStringLiteral("PopupMenu2"));
    AddItem(cnp, QStringLiteral("VerificaCNP1"), QStringLiteral("Verifica C.N.P."),
            [this] { CNPCheck(); });
    AddItem(cnp, QStringLiteral("ExtrageanuldinCNP1"), QStringLiteral("Extrage Anul din C.N.P."),
            [this] { AnDinCNP(); });
    AddItem(cnp, QStringLiteral("ExtrageDatadinCNP1"), QStringLiteral("Extrage Data din C.N.P."),
            [this] { ExtrageDatadinCNP1Click(); });

    QMenu* word = AddMenu(QStringLiteral("PopupMenu3"));
    for (const auto& [name, caption] : {std::pair{"OLinie", "Numai linia selectata"},
                                        std::pair{"ToateLiniile", "Toate liniile afisate"},
                                        std::pair{"TotInJos", "De la linia selectata in jos"}}) {
        const QString item = QLatin1String(name);
        AddItem(word, item, QLatin1String(caption),
                [this, word, item] { ExpRTF(word->findChild<QAction*>(item)); });
    }

    QMenu* data = AddMenu(QStringLiteral("PopupMenu4"));
    AddItem(data, QStringLiteral("Adaugadatedinalttabel1"),
            QStringLiteral("Adauga date din alt tabel"), [this] { AddTabla(); });
    AddItem(data, QStringLiteral("AdaugaLiniiNoi1"), QStringLiteral("Adauga doar liniile noi..."),
            [this] { AdaugaLiniiNoiClick(); });
    AddItem(data, QStringLiteral("ComparaCuAltTabel1"), QStringLiteral("Compara cu alt tabel..."),
            [this] { ComparaClick(); });
    AddItem(data, QStringLiteral("CompleteazaDinAltTabel1"),
            QStringLiteral("Completeaza din alt tabel..."), [this] { CompleteazaClick(); });
    AddItem(data, QStringLiteral("Stergeliniileselectate1"),
            QStringLiteral("Sterge liniile dublate"), [this] { Stergeliniileselectate1Click(); });
    AddItem(data, QStringLiteral("Stergetoateliniileinjos1"),
            QStringLiteral("Sterge liniile afisate"), [this] { Stergetoateliniileinjos1Click(); });
    AddItem(data, QStringLiteral("StergeIndex1"), QStringLiteral("Sterge Index"),
            [this] { StergeIndex1Click(); });

    QMenu* columns = AddMenu(QStringLiteral("PopupMenu5"));
    AddItem(columns, QStringLiteral("SeparaNumedePrenume1"),
            QStringLiteral("Separa Nume de Prenume"), [this] { SeparaNumePrenume(); });
    AddItem(columns, QStringLiteral("ransformaColoanaDateinNumeric1"),
            QStringLiteral("Transforma Coloana Date in Numeric"),
            [this] { ransformaColoanaDateinNumeric1Click(); });
    AddItem(columns, QStringLiteral("Schimbadouacoloaneintreele1"),
            QStringLiteral("Inverseaza doua coloane"),
            [this] { Schimbadouacoloaneintreele1Click(); });

    QMenu* exports = AddMenu(QStringLiteral("PopupMenu6"));
    AddItem(exports, QStringLiteral("Indiverseformate1"), QStringLiteral("In diverse formate"),
            [this] { ExportTabelP(); });
    AddItem(exports, QStringLiteral("InformatCVS1"), QStringLiteral("In format CSV"),
            [this] { InformatCVS1Click(); });
    for (QMenu* menu : {exports, popupMenu1_})
        AddItem(menu, QStringLiteral("Tiparire1"), QStringLiteral("Tipareste...\tCtrl+P"),
                [this] { Tiparire1Click(); });

    struct ButtonSpec {
        const char* name;
        const char* caption;
        QRect geometry;
        QMenu* menu;
        std::function<void()> handler;
    };
    const ButtonSpec buttons[] = {
        {"LbButton1", "&C.N.P.", {8, 8, 137, 23}, cnp, nullptr},
        {"LbButton8", "Modificari Date", {152, 8, 121, 23}, data, nullptr},
        {"LbButton3",
         "&Sterge o coloana",
         {280, 8, 161, 23},
         nullptr,
         [this] { LbButton3Click(); }},
        {"LbButton2", "Creaza formulare &Word", {8, 32, 137, 23}, word, nullptr},
        {"LbButton6", "&Adauga linie", {280, 32, 81, 23}, nullptr, [this] { LbButton6Click(); }},
        {"LbButton7", "S&terge linie", {360, 32, 81, 23}, nullptr, [this] { LbButton7Click(); }},
        {"LbButton4", "Exp&orta tabelul", {8, 56, 137, 23}, exports, nullptr},
        {"LbButton5", "Transformari de coloane", {280, 56, 161, 23}, columns, nullptr},
    };
    for (const ButtonSpec& b : buttons) {
        auto* button =
            new TLbButton(QLatin1String(b.name), QString::fromLatin1(b.caption), tablou_);
        button->setGeometry(b.geometry);
        if (b.menu) button->SetDropMenu(b.menu);
        if (b.handler) {
            auto handler = b.handler;
            connect(button, &QPushButton::clicked, this, [this, handler] { Run(handler); });
        }
    }
}

// The keys people expect beside the buttons' own accelerators; F1 lists them all.
constexpr const char* kShortcutHelp =
    "Ctrl+O - Deschide un DBF\r"
    "Ctrl+N - Tabel nou\r"
    "F5 - Citeste din nou tabelul de pe disc\r"
    "Ctrl+P - Tipareste tabelul afisat\r"
    "Ctrl+F - Caseta de filtrare\r"
    "F3 - Cauta din nou valoarea cautata ultima data\r"
    "Ctrl+H - Cauta si inlocuieste\r"
    "Enter, F2 sau dublu clic (pe un camp memo) - Fereastra textului memo\r"
    "Enter (in caseta de filtrare) - Porneste filtrul\r"
    "Ins - Adauga linie\r"
    "Ctrl+Delete - Sterge linia curenta\r"
    "Esc - Renunta la modificarea liniei\r"
    "Ctrl+Z / Ctrl+Y - Anuleaza / reface ultima modificare sau comanda\r"
    "Alt + litera subliniata - Butonul sau meniul cu acea litera\r"
    "Tab - Urmatorul buton; Ctrl+Tab iese din tabel\r"
    "Spatiu sau Alt+Jos (pe un buton cu meniu) - Deschide meniul\r"
    "F1 - Aceasta lista";

void TForm1::BuildShortcuts() {
    const auto add = [this](const QKeySequence& keys, const QString& name,
                            std::function<void()> handler) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setObjectName(name);
        connect(shortcut, &QShortcut::activated, this, [this, handler] { Run(handler); });
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_O), QStringLiteral("ShortcutOpen"),
        [this] { BOpenClick(); });
    add(QKeySequence(Qt::Key_F5), QStringLiteral("ShortcutReopen"), [this] { ReopenFromDisk(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("ShortcutPrint"),
        [this] { Tiparire1Click(); });
    add(QKeySequence(Qt::Key_Insert), QStringLiteral("ShortcutAddRow"),
        [this] { LbButton6Click(); });
    add(QKeySequence(Qt::Key_F3), QStringLiteral("ShortcutFindAgain"), [this] { FindAgain(); });
    add(QKeySequence(Qt::Key_F1), QStringLiteral("ShortcutHelp"), [this] {
        // A window of its own: the list is longer than the message window's text area.
        QMessageBox help(QMessageBox::Information, QStringLiteral("Taste"),
                         Q(kShortcutHelp).replace(QLatin1Char('\r'), QLatin1Char('\n')),
                         QMessageBox::Ok, this);
        help.exec();
    });
    // Focus moves at once, not as a command: nothing runs.
    auto* filter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    filter->setObjectName(QStringLiteral("ShortcutFilter"));
    connect(filter, &QShortcut::activated, this, [this] {
        if (busy_) return;
        filtruE_->setFocus(Qt::ShortcutFocusReason);
        filtruE_->selectAll();
    });
}

void TForm1::SetTabOrder() {
    QList<QWidget*> chain{openButton_};
    for (const char* name : {"LbButton1", "LbButton8", "LbButton3", "LbButton2", "LbButton6",
                             "LbButton7", "LbButton4", "LbButton5"})
        if (auto* button = tablou_->findChild<TLbButton*>(QLatin1String(name))) chain << button;
    chain << grid_ << filtruE_ << filtru1_ << findBut_;
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::NameForScreenReaders() {
    const auto describe = [](QWidget* w, const QString& name, const QString& description) {
        if (!name.isEmpty()) w->setAccessibleName(name);
        w->setAccessibleDescription(description);
    };
    describe(openButton_, QString(),
             QStringLiteral("Alegeti un tabel DBF de deschis; sageata arata tabelele recente"));
    const std::pair<const char*, const char*> buttons[] = {
        {"LbButton1", "Verificarea codurilor numerice personale si extragerea anului sau datei"},
        {"LbButton8",
         "Adauga date din alt tabel, sterge liniile dublate sau afisate, sterge indexul"},
        {"LbButton3", "Sterge din tabel coloana aleasa"},
        {"LbButton2", "Creaza scrisori in Word dupa un model RTF, cu datele liniilor"},
        {"LbButton6", "Adauga o linie noua in tabel"},
        {"LbButton7", "Sterge linia curenta din tabel"},
        {"LbButton4", "Exporta liniile afisate in alte formate sau in CSV"},
        {"LbButton5", "Separa numele de prenume, transforma datele in numere, inverseaza coloane"},
    };
    for (const auto& [name, description] : buttons)
        if (auto* button = tablou_->findChild<TLbButton*>(QLatin1String(name)))
            describe(button, QString(), QString::fromLatin1(description));
    describe(grid_, QStringLiteral("Tabelul"),
             QStringLiteral("Liniile tabelului deschis; F2 modifica celula, clic dreapta sau "
                            "tasta meniu pentru alte actiuni"));
    describe(filtruE_, QStringLiteral("Filtrare"),
             QStringLiteral("Conditia liniilor afisate, de exemplu NUME='IONEL*' sau SUMA=12; "
                            "Enter porneste filtrul"));
    describe(filtru1_, QStringLiteral("Filtru pornit sau oprit"),
             QStringLiteral("Porneste sau opreste filtrul scris in caseta de filtrare"));
    describe(findBut_, QStringLiteral("Cauta"), QStringLiteral("Cauta o valoare in tabel"));
    describe(label2_, QStringLiteral("Linii"), QStringLiteral("Numarul de linii afisate"));
    describe(position_, QStringLiteral("Pozitie"),
             QStringLiteral("Linia curenta si cate linii sunt afisate"));
    describe(image2_, QStringLiteral("Despre program"), Q(kMakerContact));
    describe(bar1_, QStringLiteral("Progres"), QStringLiteral("Cat a lucrat comanda in curs"));
    describe(stop_, QStringLiteral("Renunt"), QStringLiteral("Opreste comanda in curs"));
    describe(status_, QStringLiteral("Bara de stare"),
             QStringLiteral("Tabelul deschis si starea lui"));
}

void TForm1::ReopenFromDisk() {
    if (ws_.CurrentFile.empty()) return;
    ws_.FinishPendingEdit();
    ws_.OpenTable();
}

void TForm1::Run(const std::function<void()>& command) {
    if (busy_) return;
    SetBusy(true);
    try {
        grid_->FinishEditing();
        command();
    } catch (const CommandDeclined&) {
        // the user said NU: nothing ran
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    SetBusy(false);
}

void TForm1::SetBusy(bool busy) {
    busy_ = busy;
    grid_->SetBusy(busy);
    if (busy) focusBeforeCommand_ = QApplication::focusWidget();
    for (QWidget* w : {static_cast<QWidget*>(tablou_), static_cast<QWidget*>(openButton_),
                       static_cast<QWidget*>(filtruE_), static_cast<QWidget*>(filtru1_),
                       static_cast<QWidget*>(findBut_)})
        w->setEnabled(!busy);
    if (busy) return;
    // A new row is typed in the grid: giving the focus back to the filter box would drop it.
    if (ws_.table.Active() && ws_.table.GetState() == Table::State::Insert)
        grid_->setFocus(Qt::OtherFocusReason);
    // Disabling the control that had the focus moved it elsewhere; give it back.
    else if (focusBeforeCommand_ && focusBeforeCommand_->isEnabled())
        focusBeforeCommand_->setFocus();
}

// ---- window events

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    sinceShown_.start();
    // The place and size the user left the window in, else the first-run size, centred.
    if (!restoreGeometry(remembered_.WindowGeometry())) {
        FitOuterSize();
        QTimer::singleShot(0, this, &TForm1::FitWhenFramed);
    } else if (const QScreen* screen = this->screen()) {
        // A place kept on a larger screen: moved (and shrunk) into this one, so the close box,
        // the filter box and the status bar stay within reach.
        const QRect room = screen->availableGeometry();
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        resize(size().boundedTo(room.size() - frameExtra));
        const QRect frame = frameGeometry();
        move(std::clamp(frame.left(), room.left(),
                        std::max(room.left(), room.right() + 1 - frame.width())),
             std::clamp(frame.top(), room.top(),
                        std::max(room.top(), room.bottom() + 1 - frame.height())));
    }
    Run([this] { FormShow(); });
    grid_->setFocus(Qt::OtherFocusReason);  // the keys move the rows from the start
}

void TForm1::FitWhenFramed() {
    // The window manager frames the window some time after it is shown, and says nothing when
    // it has; look a few times, then fit once.
    if (frameGeometry().size() != geometry().size()) {
        FitOuterSize();
        return;
    }
    if (sinceShown_.elapsed() < 1500) QTimer::singleShot(50, this, &TForm1::FitWhenFramed);
}

void TForm1::FitOuterSize() {
    const QSize frame = frameGeometry().size() - geometry().size();
    if (size() + frame != kOuterSize) resize(kOuterSize - frame);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() -
             QPoint(kOuterSize.width() / 2, kOuterSize.height() / 2));
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (busy_) {  // the running command still needs the table
        event->ignore();
        return;
    }
    remembered_.SetWindowGeometry(saveGeometry());
    Run([this] { FormClose(); });
    QMainWindow::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOutBar();
}

void TForm1::LayOutBar() {
    if (!bar1_) return;
    // The stop button, when shown, takes the bar's right end.
    const int room = panel1_->width() - 352 - 23;
    const int stopWidth = stop_->isVisibleTo(panel1_) ? 80 : 0;
    bar1_->resize(std::max(50, room - stopWidth), 17);
    stop_->setGeometry(352 + bar1_->width() + 4, 5, std::max(0, stopWidth - 4), 23);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel2_ && event->type() == QEvent::Resize)
        // Right-aligned, but never over the command buttons (a window manager may ignore the
        // minimum size).
        image2_->move(std::max(panel2_->width() - image2_->width() - 1, kTablouRight + 8), 1);
    if (watched == image2_ && event->type() == QEvent::MouseButtonRelease) {
        Image2Click();
        return true;
    }
    if (watched == filtruE_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Run([this] { FiltruEKeyDown(13); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- handlers: each asks what its command needs, then runs it

void TForm1::PreselectCurrentColumn() {
    // The chooser opens on the column the user is in, not on the first one.
    const QModelIndex current = grid_->currentIndex();
    if (current.isValid() && current.column() < form2_->Coloana()->count())
        form2_->Coloana()->setCurrentIndex(current.column());
}

std::optional<std::string> TForm1::AskDbfFile() {
    return AskOpenFile({"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf", ws_.CurrentFile});
}

std::optional<std::string> TForm1::AskColumn(const QString& caption) {
    if (!ws_.table.Active() || !form2_) return std::nullopt;
    ws_.PostPendingEdit();
    form2_->SetValuePanelVisible(false);
    PreselectCurrentColumn();
    if (!form2_->Choose(caption)) return std::nullopt;
    return S(form2_->ChosenColumn());
}

void TForm1::FormShow() {
    StartUp(ws_, args_, S(QCoreApplication::applicationFilePath()));
}
void TForm1::FormClose() {
    ws_.CloseTable();
}
void TForm1::BOpenClick() {
    if (const auto chosen = AskDbfFile()) OpenTableFile(ws_, *chosen);
}
void TForm1::Image2Click() {
    ws_.platform.ShellOpen(kMakerWebPage);
}
void TForm1::Filtru1Click() {
    SwitchFilter(ws_, filtru1_->isChecked(), S(filtruE_->text()));
}
void TForm1::FiltruEKeyDown(int key) {
    if (key != 13) return;
    filtru1_->setChecked(true);
    SwitchFilter(ws_, true, S(filtruE_->text()));
}
void TForm1::FindButClick() {
    if (!ReadyToFind(ws_) || !form2_) return;
    form2_->SetValuePanelVisible(true);
    PreselectCurrentColumn();
    const bool chosen = form2_->Choose(QStringLiteral("Cautare valoare"));
    form2_->SetValuePanelVisible(false);
    if (!chosen) return;
    lastFind_ = {S(form2_->ChosenColumn()), S(form2_->Value())};
    FindValue(ws_, lastFind_->first, lastFind_->second);
}
void TForm1::Grid1TitleClick(int column) {
    Run([this, column] { SortByColumn(ws_, column); });
}
void TForm1::CNPCheck() {
    if (const auto column = AskColumn(QStringLiteral("Verificare CNP")))
        CheckCnpCodes(ws_, *column);
}
void TForm1::AnDinCNP() {
    if (const auto column = AskColumn(QStringLiteral("Anul din CNP")))
        ExtractBirthYear(ws_, *column);
}
void TForm1::ExtrageDatadinCNP1Click() {
    if (const auto column = AskColumn(QStringLiteral("Data din CNP")))
        ExtractBirthDate(ws_, *column);
}
void TForm1::LbButton3Click() {
    if (const auto column = AskColumn(QStringLiteral("Sterge o coloana")))
        DeleteColumn(ws_, *column);
}
void TForm1::LbButton6Click() {
    AddRow(ws_);
}
void TForm1::LbButton7Click() {
    DeleteRow(ws_);
}
void TForm1::CopieVClick(QObject* sender) {
    const bool renumber = sender && sender->objectName() == QStringLiteral("Renum1");
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    if (ws_.table.IsEmpty()) return;
    const auto column = AskColumn(renumber ? QStringLiteral("Renumeroteaza in jos")
                                           : QStringLiteral("Copie valoare in jos"));
    if (column) CopyDown(ws_, *column, renumber ? CopyDownMode::Renumber : CopyDownMode::Copy);
}
void TForm1::SeparaNumePrenume() {
    if (const auto column = AskColumn(QStringLiteral("Separa nume de prenume")))
        SplitNames(ws_, *column);
}
void TForm1::ransformaColoanaDateinNumeric1Click() {
    if (const auto column = AskColumn(QStringLiteral("Transforma DATE in NUMERIC")))
        DateColumnToNumber(ws_, *column);
}
void TForm1::Schimbadouacoloaneintreele1Click() {
    if (!ws_.table.Active() || !select2col_) return;
    ws_.PostPendingEdit();
    QStringList names;
    for (int i = 0; i < ws_.table.FieldCount(); ++i) names << Q(ws_.table.Field(i).name);
    const auto chosen = select2col_->Choose(names);
    if (chosen) SwapColumns(ws_, S(chosen->first), S(chosen->second));
}
void TForm1::Stergeliniileselectate1Click() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    if (!HasRowsToDelete(ws_)) return;
    if (const auto column = AskColumn(QStringLiteral("Sterg linii dublate")))
        DeleteDuplicateRows(ws_, *column);
}
void TForm1::Stergetoateliniileinjos1Click() {
    DeleteDisplayedRows(ws_);
}
void TForm1::StergeIndex1Click() {
    DeleteIndex(ws_);
}

void TForm1::ExpRTF(QObject* sender) {
    const QString item = sender ? sender->objectName() : QString();
    const LetterMode mode = item == QStringLiteral("OLinie")     ? LetterMode::OLinie
                            : item == QStringLiteral("TotInJos") ? LetterMode::TotInJos
                                                                 : LetterMode::ToateLiniile;
    ws_.PostPendingEdit();
    if (!HasRowsForLetters(ws_)) return;
    const std::string folder = TemplateFolder(ws_);
    if (Mesaj("Generare formulare", "Aveti deja un model in Word de tip RTF gata facut?",
              mkConfirmation, mbYesNo) != mrYes) {
        WriteHowToTemplateFile(ws_);
        return;
    }
    ProcessMessages();
    FileDialogRequest dialog{"Alegeti modelul", "Word (*.rtf)|*.rtf", "*.rtf", folder};
    dialog.mustExist = true;
    if (const auto chosen = AskOpenFile(dialog)) WriteFormLetters(ws_, *chosen, mode);
}

void TForm1::ExportTabelP() {
    ExportInDiverseFormats(ws_, *exp1_, GridColumns());
}

TovGrid TForm1::GridColumns() {
    TovGrid grid;
    grid.table = &ws_.table;
    if (!ws_.table.Active()) return grid;
    const QHeaderView* header = grid_->horizontalHeader();
    QAbstractItemModel* model = grid_->model();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || logical >= ws_.table.FieldCount()) continue;
        TovGridColumn column;
        column.field = logical;
        column.title = S(model->headerData(logical, Qt::Horizontal).toString());
        column.visible = !grid_->isColumnHidden(logical);
        if (model->rowCount() > 0) {
            const int align = model->data(model->index(0, logical), Qt::TextAlignmentRole).toInt();
            column.alignment = (align & Qt::AlignHCenter) ? 3 : (align & Qt::AlignRight) ? 2 : 1;
        } else {
            // No row to ask: the captions still line up as the column's values would.
            column.alignment = FieldAlignment(ws_.table.Field(logical).type);
        }
        grid.columns.push_back(column);
    }
    return grid;
}

void TForm1::AddTabla() {
    if (!ws_.table.Active()) return;
    FileDialogRequest request{"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf",
                              ws_.CurrentFile};
    request.otherFilter = ImportSourceFilter();
    const auto chosen = AskOpenFile(request);
    if (!chosen) return;
    SourceKind kind;
    if (SourceKindOf(*chosen, kind))
        AppendImported(*chosen);
    else
        AppendFromTable(ws_, *chosen);
}

void TForm1::InformatCVS1Click() {
    ShowQuickCsv(ws_);
}

// ---- Ui

int TForm1::Mesaj(const std::string& title, const std::string& text, uint8_t kind,
                  uint16_t buttons) {
    if (!erori_) return mrCancel;
    return erori_->Mesaj(Q(title), Q(text), kind, buttons);
}

void TForm1::SetColumnList(const std::vector<std::string>& names) {
    if (!form2_) return;
    QStringList list;
    for (const auto& n : names) list << Q(n);
    form2_->SetColumns(list);
}

void TForm1::ShowProblem(const std::string& text, UiControl control) {
    QWidget* target = control == UiControl::FilterEdit ? static_cast<QWidget*>(filtruE_) : grid_;
    balloon_->Show(target, Q(text));
}

std::optional<std::string> TForm1::AskOpenFile(const FileDialogRequest& request) {
    if (fileDialogOverride) return fileDialogOverride(request);
    QFileDialog dialog(this, Q(request.title), QString(), QtFilter(request.filter));
    if (!request.otherFilter.empty())
        dialog.setNameFilters({QtFilter(request.filter), QtFilter(request.otherFilter)});
    dialog.setWindowFlags(kDialogFlags);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Unless asked otherwise the file need not exist.
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    dialog.setDefaultSuffix(Q(request.defaultExtension).remove(QStringLiteral("*.")));
    QString initial = Q(request.initialPath);
    if (initial.isEmpty()) initial = remembered_.LastFolder(Q(request.title));
    if (initial.endsWith(QLatin1Char('/')) || initial.endsWith(QLatin1Char('\\')))
        dialog.setDirectory(initial);  // a folder to start in
    else if (!initial.isEmpty())
        dialog.selectFile(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    remembered_.SetLastFolder(Q(request.title), dialog.selectedFiles().first());
    return S(dialog.selectedFiles().first());
}

std::optional<std::string> TForm1::AskSaveFile(const FileDialogRequest& request) {
    if (fileDialogOverride) return fileDialogOverride(request);
    QFileDialog dialog(this, Q(request.title), QString(), QtFilter(request.filter));
    dialog.setWindowFlags(kDialogFlags);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The export asks itself, about the name it writes (its extension may be added after).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A full path opens the dialog in its folder with its name typed in.
    if (!request.initialPath.empty())
        dialog.selectFile(Q(request.initialPath));
    else if (const QString folder = remembered_.LastFolder(Q(request.title)); !folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    remembered_.SetLastFolder(Q(request.title), dialog.selectedFiles().first());
    return S(dialog.selectedFiles().first());
}

void TForm1::ShowError(const std::string& text) {
    if (errorReportOverride) {
        errorReportOverride(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("DBF Orbelan"), Q(text));
}

void TForm1::SetTableGroupVisible(bool visible) {
    tablou_->setVisible(visible);
}

namespace {
QString Grouped(int n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char('.'));
    return digits;
}
}  // namespace

void TForm1::QueuePosition() {
    // A command walking every row moves the cursor each time: the label follows once, later.
    if (positionQueued_) return;
    positionQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        positionQueued_ = false;
        ShowPosition();
    });
}

void TForm1::ShowPosition() {
    const int row = ws_.table.Active() ? ws_.table.CurrentRow() : -1;
    position_->setText(row < 0 ? QString()
                               : QStringLiteral("Linia %1 din %2")
                                     .arg(Grouped(row + 1), Grouped(ws_.table.RecordCount())));
}

void TForm1::SetRowCounter(const std::string& text) {
    label2_->setText(Q(text));
    label2_->adjustSize();
}

void TForm1::SetStatusText(const std::string& text) {
    status_->setText(Q(text));
    ShowPageStatus();
}

void TForm1::SetApplicationTitle(const std::string& text) {
    // The task-bar text; Qt's application display name would be added to every caption.
    setWindowIconText(Q(text));
}

void TForm1::SetFilterText(const std::string& text) {
    filtruE_->setText(Q(text));
}
void TForm1::SetFilterButtonDown(bool down) {
    filtru1_->setChecked(down);
}

void TForm1::Terminate() {
    terminateRequested_ = true;
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TForm1::ProcessMessages() {
    // Repainting on every row would make a loop over a million rows crawl.
    if (sinceMessages_.elapsed() < kMessageIntervalMs) return;
    QCoreApplication::processEvents();
    sinceMessages_.restart();
}

void TForm1::ProgressShow(int maximum) {
    bar1_->setRange(0, std::max(1, maximum));
    bar1_->setValue(0);
    bar1_->show();
}

void TForm1::ProgressSet(int position) {
    bar1_->setValue(position);
}
void TForm1::ProgressHide() {
    bar1_->hide();
}
void TForm1::SetStopButtonVisible(bool visible) {
    stopRequested_ = false;
    stop_->setVisible(visible);
    LayOutBar();
}

void TForm1::SetMainWindowEnabled(bool enabled) {
    setEnabled(enabled);
}

bool TForm1::ChooseExportFormat(ExportChooserRequest& request) {
    return selection_->Run(request);
}

void TForm1::ExportProgressShow(const ExportProgressRequest& request) {
    progress_->Prepare(request);
}

bool TForm1::ExportProgressSet(int position) {
    progress_->SetPosition(position);
    // Lets the stop button be clicked; throttled like every long loop.
    ProcessMessages();
    return !progress_->CancelRequested();
}

void TForm1::ExportProgressHide() {
    progress_->hide();
}

void TForm1::SetBusyCursor(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace orbelan
