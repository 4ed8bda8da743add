// "Tabel nou..." and "Structura tabelului...": in the drop-down of "Deschide un DBF", and Ctrl+N.
#include <QMenu>
#include <QShortcut>

#include "app/main_window.h"
#include "core/argument_error.h"
#include "dialogs/structure_dialog.h"
#include "editing/startup.h"
#include "editing/structure_commands.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/table.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

constexpr const char* kNewTitle = "Tabel nou";
constexpr const char* kStructureTitle = "Structura tabelului";

std::string WithDbfExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path + ".dbf"
                                                                                   : path;
}

}  // namespace

void TForm1::BuildStructureMenu() {
    AddItem(openMenu_, QStringLiteral("TabelNou"), QStringLiteral("Tabel nou...\tCtrl+N"),
            [this] { TabelNouClick(); });
    AddItem(openMenu_, QStringLiteral("StructuraTabelului"),
            QStringLiteral("Structura tabelului..."), [this] { StructuraTabeluluiClick(); });
    connect(openMenu_, &QMenu::aboutToShow, this, [this] {
        openMenu_->findChild<QAction*>(QStringLiteral("StructuraTabelului"))
            ->setEnabled(ws_.table.Active());
    });

    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this);
    shortcut->setObjectName(QStringLiteral("ShortcutNew"));
    connect(shortcut, &QShortcut::activated, this, [this] { Run([this] { TabelNouClick(); }); });
}

void TForm1::TabelNouClick() {
    TStructura dialog(TStructura::Mode::NewTable, this);
    dialog.SetNewTable();
    std::string created;
    dialog.onAccept = [&]() -> bool {
        // In the open table's folder, under a name that is not taken yet.
        const size_t slash = ws_.CurrentFile.find_last_of("/\\");
        const std::string folder =
            slash == std::string::npos ? std::string() : ws_.CurrentFile.substr(0, slash + 1);
        const auto chosen = AskSaveFile(
            {"Unde se salveaza tabelul nou?", "Fisiere DBF|*.DBF", "*.dbf", folder + "nou.dbf"});
        if (!chosen) return false;
        const std::string path = WithDbfExtension(*chosen);
        try {
            CreateTable({path, dialog.Family(), dialog.CodePageName(), dialog.Grid()->Fields()});
        } catch (const std::exception& e) {
            Mesaj(kNewTitle, e.what(), mkWarning, mbOK);
            return false;
        }
        created = path;
        return true;
    };
    if (dialog.exec() == QDialog::Accepted && !created.empty()) OpenTableFile(ws_, created);
}

void TForm1::StructuraTabeluluiClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    const DbfFile& file = ws_.table.Data();
    const std::vector<FieldDef> old = file.Fields();
    TStructura dialog(TStructura::Mode::ChangeTable, this);
    dialog.SetTable(file.Layout().family, file.Page().Name(), old);
    dialog.onAccept = [&]() -> bool {
        NewStructure structure;
        structure.fields = dialog.Grid()->Fields();
        structure.sources = dialog.Grid()->Sources();
        try {
            CheckNewStructure(ws_.table, structure);
            const Misfits check = CheckStructureFit(ws_, structure);
            if (check.count > 0) {
                TValoriNepotrivite misfits(check, &dialog);
                misfits.onSave = [this](const std::string& csv) {
                    const auto path = AskSaveFile(
                        {"Salvati lista valorilor", "Fisiere CSV|*.CSV", "*.csv", ws_.ProgramDir});
                    if (!path) return;
                    try {
                        TempFile out(*path);
                        out.Write(csv.data(), csv.size());
                        out.Finish();
                        out.RenameOverTarget();
                    } catch (const std::exception& e) {
                        ShowError(e.what());
                    }
                };
                if (misfits.exec() != QDialog::Accepted) return false;  // back to the fields
            }
            ChangeStructure(ws_, structure, true);
        } catch (const ArgumentError& e) {
            Mesaj(kStructureTitle, e.what(), mkWarning, mbOK);
            return false;
        } catch (const std::exception& e) {
            // The rewrite failed: the table is open again as it was.
            ShowError(e.what());
        }
        return true;
    };
    dialog.exec();
}

}  // namespace orbelan
