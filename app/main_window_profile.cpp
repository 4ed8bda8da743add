// The main window's profile parts: "Profilul coloanei..." and "Numara pe valori..." in the grid's
// menu and on the column titles' menu; a click in their windows filters the grid.
#include <QHeaderView>
#include <QMenu>
#include <QToolButton>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "cleaning/cnp.h"
#include "cleaning/column_profile.h"
#include "dialogs/count_window.h"
#include "dialogs/profile_window.h"
#include "editing/filter_commands.h"
#include "export/export_command.h"
#include "qtcommon/qt_text.h"

namespace orbelan {

void TForm1::BuildProfileParts() {
    // The conditions a click in these windows puts in the filter box, also typed by hand.
    RegisterCnpFilterFunctions();
    gridMenu_->addSeparator();
    const auto current = [this] { return grid_->currentIndex().column(); };
    AddItem(gridMenu_, QStringLiteral("ProfilulColoanei1"), QStringLiteral("Profilul coloanei..."),
            [this, current] { ProfilulColoanei1Click(current()); });
    AddItem(gridMenu_, QStringLiteral("NumaraPeValori1"), QStringLiteral("Numara pe valori..."),
            [this, current] { NumaraPeValori1Click(current()); });

    titleMenu_ = AddMenu(QStringLiteral("TitleMenu"));
    AddItem(titleMenu_, QStringLiteral("ProfilulColoaneiTitlu"),
            QStringLiteral("Profilul coloanei..."),
            [this] { ProfilulColoanei1Click(titleMenuColumn_); });
    AddItem(titleMenu_, QStringLiteral("NumaraPeValoriTitlu"),
            QStringLiteral("Numara pe valori..."),
            [this] { NumaraPeValori1Click(titleMenuColumn_); });
    QHeaderView* titles = grid_->horizontalHeader();
    titles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(titles, &QWidget::customContextMenuRequested, this, [this, titles](const QPoint& pos) {
        titleMenuColumn_ = titles->logicalIndexAt(pos);
        if (titleMenuColumn_ >= 0 && ws_.table.Active())
            titleMenu_->popup(titles->viewport()->mapToGlobal(pos));
    });
}

// The filter box shows the condition and the filter is on, as if typed and Enter pressed.
void TForm1::FilterFromProfile(const std::string& condition) {
    SetFilterText(condition);
    filtru1_->setChecked(true);
    SwitchFilter(ws_, true, condition);
}

void TForm1::ProfilulColoanei1Click(int column) {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    if (column < 0 || column >= ws_.table.FieldCount()) column = 0;
    auto profile = ProfileColumnShown(ws_, column, false);
    if (!profile) return;
    if (!profileWindow_) profileWindow_ = new TProfileWindow(this);
    const auto chosen = profileWindow_->Choose(
        ws_.table, column, std::move(*profile),
        [this, column](bool forceCnp) { return ProfileColumnShown(ws_, column, forceCnp); });
    if (chosen) FilterFromProfile(*chosen);
}

void TForm1::NumaraPeValori1Click(int column) {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    if (column < 0 || column >= ws_.table.FieldCount()) column = 0;
    if (!countWindow_) countWindow_ = new TCountWindow(this);
    const auto chosen = countWindow_->Choose(
        ws_.table, column,
        [this](const std::vector<int>& fields, int sum, CountOrder order) {
            return CountByValuesShown(ws_, fields, sum, order);
        },
        [this](const GroupCounts& counts) {
            try {
                ExportCounts(counts);
            } catch (const std::exception& e) {
                ShowError(e.what());
            }
        });
    if (chosen) FilterFromProfile(*chosen);
}

void TForm1::ExportCounts(const GroupCounts& counts) {
    const auto out = AskSaveFile(
        {"Exporta numararea",
         "Excel 2007 (*.xlsx)|*.xlsx|Excel (*.xls)|*.xls|HTML (*.html)|*.html|"
         "Word (*.doc)|*.doc|Text (*.txt)|*.txt|CSV (*.csv)|*.csv|Text cu tab (*.tab)|*.tab|"
         "RTF (*.rtf)|*.rtf|DIF (*.dif)|*.dif|SYLK (*.slk)|*.slk|PDF (*.pdf)|*.pdf",
         "*.xlsx",
         {}});
    if (!out) return;
    const size_t dot = out->find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : out->substr(dot + 1);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    TovExportType type = xtExcel;
    if (!ExportTypeFromName(ext, type)) {
        ShowError(
            "Alegeti un fisier .xlsx .xls .html .doc .txt .csv .tab .rtf .dif .slk sau .pdf.");
        return;
    }
    ExportWindows none;
    TovDBGridExport exp(*this, none, ws_.platform);
    const std::string page = ws_.table.Header().codePage;
    const int leftOut =
        ExportMadeTable(ws_, exp, type, *out, "Numarare pe valori", [&](const std::string& path) {
            WriteCountsTable(counts, path, page.empty() ? "cp1250" : page);
        });
    if (leftOut > 0) ShowError(RowsLeftOutText(leftOut));
}

}  // namespace orbelan
