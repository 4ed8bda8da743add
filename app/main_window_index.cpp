// The table's index files in the window: "Verifica indexul", "Reface indexul" and "Ataseaza
// index..." in the drop-down of "Deschide un DBF"; "Ordine dupa index" in the grid's menu.
#include <QMenu>

#include "app/main_window.h"
#include "qtcommon/qt_text.h"
#include "core/command_guard.h"
#include "core/table_indexes.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/table.h"

namespace orbelan {
namespace {

constexpr const char* kIndexTitle = "Index";
constexpr size_t kProblemsShown = 15;

}  // namespace

void TForm1::BuildIndexItems() {
    openMenu_->addSeparator();
    AddItem(openMenu_, QStringLiteral("VerificaIndexul"), QStringLiteral("Verifica indexul"),
            [this] { VerificaIndexulClick(); });
    AddItem(openMenu_, QStringLiteral("RefaceIndexul"), QStringLiteral("Reface indexul"),
            [this] { RefaceIndexulClick(); });
    AddItem(openMenu_, QStringLiteral("AtaseazaIndex"), QStringLiteral("Ataseaza index..."),
            [this] { AtaseazaIndexClick(); });
    connect(openMenu_, &QMenu::aboutToShow, this, [this] {
        for (const char* name : {"VerificaIndexul", "RefaceIndexul", "AtaseazaIndex"})
            openMenu_->findChild<QAction*>(QLatin1String(name))->setEnabled(ws_.table.Active());
    });

    indexOrderMenu_ = gridMenu_->addMenu(QStringLiteral("Ordine dupa index"));
    indexOrderMenu_->setObjectName(QStringLiteral("OrdineDupaIndex"));
    connect(indexOrderMenu_, &QMenu::aboutToShow, this, &TForm1::FillIndexOrderMenu);
}

void TForm1::FillIndexOrderMenu() {
    indexOrderMenu_->clear();
    const IndexSet* set = ws_.table.Active() ? ws_.table.Data().Indexes() : nullptr;
    const auto add = [this](const QString& caption, const std::string& tag) {
        QAction* action = indexOrderMenu_->addAction(caption);
        action->setObjectName(QStringLiteral("Ordine_") + Q(tag));
        connect(action, &QAction::triggered, this, [this, tag] {
            Run([this, tag] {
                ws_.PostPendingEdit();
                ws_.table.SetIndexOrder(tag);
            });
        });
    };
    add(QStringLiteral("Ordinea din fisier"), "");
    if (!set) return;
    indexOrderMenu_->addSeparator();
    for (const IndexFileInfo& f : set->Files())
        for (const IndexTagInfo& t : f.tags) add(Q(t.name + "  (" + t.expression + ")"), t.name);
}

void TForm1::VerificaIndexulClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    std::vector<IndexProblem> problems;
    {
        CommandGuard guard(ws_, {.busyCursor = true, .freezeGrid = false});
        problems = CheckIndexes(ws_);
        guard.Finish();
    }
    if (problems.empty()) {
        Mesaj(kIndexTitle, "Indexul se potriveste cu tabelul.", mkInformation, mbOK);
        return;
    }
    std::string text = "Indexul nu se potriveste cu tabelul:";
    for (size_t i = 0; i < problems.size() && i < kProblemsShown; ++i)
        text += "\r" + problems[i].file + (problems[i].tag.empty() ? "" : " " + problems[i].tag) +
                ": " + problems[i].what;
    if (problems.size() > kProblemsShown)
        text += "\r... si inca " + std::to_string(problems.size() - kProblemsShown) + ".";
    Mesaj(kIndexTitle, text, mkWarning, mbOK);
}

void TForm1::RefaceIndexulClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    {
        CommandGuard guard(ws_,
                           {.disableWindow = true, .busyCursor = true, .name = "Reface indexul"});
        RebuildIndexes(ws_);
        guard.Finish();
    }
    Mesaj(kIndexTitle, "Indexul a fost refacut.", mkInformation, mbOK);
}

void TForm1::AtaseazaIndexClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    const size_t slash = ws_.CurrentFile.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? std::string() : ws_.CurrentFile.substr(0, slash + 1);
    const auto chosen =
        AskOpenFile({"Ataseaza index", "Fisiere index|*.NTX;*.NDX;*.IDX", "*.ntx", folder, true});
    if (!chosen) return;
    AttachIndex(ws_, *chosen);
    Mesaj(kIndexTitle, "Indexul " + *chosen + " a fost atasat.", mkInformation, mbOK);
}

}  // namespace orbelan
