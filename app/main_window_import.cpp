// "Importa din CSV sau Excel..." (in the drop-down of "Deschide un DBF") and CSV or workbook
// sources for "Adauga date din alt tabel".
#include <QApplication>
#include <QMenu>

#include "app/command_button.h"
#include "app/main_window.h"
#include "core/open_table.h"
#include "core/restore_points.h"
#include "dialogs/import_window.h"
#include "editing/startup.h"
#include "engine/file_io.h"
#include "importing/import_table.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
std::string ImportSourceFilter() {
    return WorkbooksSupported() ? "Fisiere CSV si Excel|*.csv;*.txt;*.xlsx;*.xls"
                                : "Fisiere CSV|*.csv;*.txt";
}

void TForm1::BuildImportMenu() {
    AddItem(openMenu_, QStringLiteral("ImportaCSV1"),
            QStringLiteral("Importa din CSV sau Excel..."), [this] { ImportaClick(); });
}

void TForm1::ImportaClick() {
    const auto chosen = AskOpenFile(
        {"Alegeti fisierul de importat", ImportSourceFilter(), "*.csv", ws_.CurrentFile, true});
    if (chosen) ImportFile(*chosen);
}

void TForm1::ImportFile(const std::string& path) {
    TImportWindow window(
        Q(path),
        [this, path](const SourceOptions& options, ImportPreview& preview) {
            SetBusyCursor(true);
            auto source = OpenImportSource(path, options);
            try {
                preview = PreviewSource(*source, 100, &ws_.progress);
            } catch (...) {
                SetBusyCursor(false);
                throw;
            }
            SetBusyCursor(false);
            return source;
        },
        this);
    std::string error;
    if (!window.Load(error)) {
        Mesaj("Import", "Fisierul ales, " + path + ", nu poate fi citit!\r" + error, mkError, mbOK);
        return;
    }
    if (window.exec() != QDialog::Accepted) return;
    auto target = AskSaveFile(
        {"Salvati tabelul nou", "Fisiere DBF|*.DBF", "*.dbf", PathWithoutExtension(path) + ".dbf"});
    if (!target) return;
    if (PathWithoutExtension(*target) == *target) *target += ".dbf";
    if (!MayWriteNewTable(ws_.messages, *target)) return;
    if (ws_.table.Active() && SameFile(*target, ws_.table.TableName())) ws_.CloseTable();
    SetBusyCursor(true);
    ImportOutcome outcome;
    try {
        ReplaceWithNewTable(ws_, *target, "Import", [&] {
            outcome = ImportToNewTable(
                window.Source(), window.Columns(), *target, window.Format(),
                [this](const Misfits& m) {
                    SetBusyCursor(false);
                    const bool yes = AskImportAnyway(this, m);
                    SetBusyCursor(true);
                    return yes;
                },
                false, &ws_.progress);
            return outcome.written;
        });
    } catch (...) {
        SetBusyCursor(false);
        throw;
    }
    SetBusyCursor(false);
    if (outcome.written) OpenTableFile(ws_, *target);
}

void TForm1::AppendImported(const std::string& path) {
    AppendFromSource(
        ws_, path, {}, [this](const Misfits& m) { return AskImportAnyway(this, m); },
        [this](const std::string& field, const std::vector<std::string>& columns) {
            return AskWhichColumn(this, field, columns);
        });
}

}  // namespace orbelan
