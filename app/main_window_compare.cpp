// The main window's two-table parts: "Compara cu alt tabel...", "Completeaza din alt tabel..."
// and the choice of only the new rows in "Adauga date din alt tabel".
#include "app/main_window.h"
#include "cleaning/append_table.h"
#include "compare/append_new.h"
#include "compare/fill_table.h"
#include "core/file_dialog.h"
#include "core/text_util.h"
#include "dialogs/compare_window.h"
#include "dialogs/fill_window.h"
#include "dialogs/import_window.h"
#include "export/export_command.h"
#include "importing/import_table.h"

namespace orbelan {
namespace {

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext;
}

}  // namespace

void TForm1::ComparaClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    FileDialogRequest request{"Alegeti tabelul de comparat", "Fisiere DBF|*.DBF", "*.dbf",
                              ws_.CurrentFile};
    request.otherFilter = ImportSourceFilter();
    const auto chosen = AskOpenFile(request);
    if (!chosen) return;
    auto here = OpenCompareSource(ws_.table.TableName(), FileOptionsOf(ws_.table), ws_.Format());
    auto there = OpenCompareSource(*chosen, {}, ws_.Format());
    const std::string page = ws_.table.Data().Page().Name();
    TCompareWindow::Actions actions;
    actions.filter = [this](const std::string& condition) {
        try {
            FilterFromProfile(condition);
        } catch (const std::exception& e) {
            ShowError(e.what());
        }
    };
    actions.exportRows = [this, page](const CompareSource& side,
                                      const std::vector<uint32_t>& rows) {
        const auto out = AskSaveFile(
            {"Exporta liniile",
             "Excel 2007 (*.xlsx)|*.xlsx|Excel (*.xls)|*.xls|HTML (*.html)|*.html|"
             "Word (*.doc)|*.doc|Text (*.txt)|*.txt|CSV (*.csv)|*.csv|Text cu tab (*.tab)|*.tab|"
             "RTF (*.rtf)|*.rtf|DIF (*.dif)|*.dif|SYLK (*.slk)|*.slk",
             "*.xlsx",
             {}});
        if (!out) return;
        TovExportType type = xtExcel;
        if (!ExportTypeFromName(LowerExtension(*out), type) || type == xtPDF) {
            ShowError("Alegeti un fisier .xlsx .xls .html .doc .txt .csv .tab .rtf .dif sau .slk.");
            return;
        }
        try {
            ExportWindows none;
            TovDBGridExport exp(*this, none, ws_.platform);
            const int leftOut =
                ExportMadeTable(ws_, exp, type, *out, "Comparare",
                                [&](const std::string& path) { side.WriteRows(rows, path, page); });
            if (leftOut > 0) ShowError(RowsLeftOutText(leftOut));
        } catch (const std::exception& e) {
            ShowError(e.what());
        }
    };
    actions.newTable = [this, page](const CompareSource& side, const std::vector<uint32_t>& rows) {
        const auto out = AskSaveFile({"Tabel nou cu liniile", "Fisiere DBF|*.DBF", "*.dbf", {}});
        if (!out) return;
        try {
            const long lost = side.WriteRows(rows, *out, page);
            std::string text = "Am scris " + GroupedThousands(static_cast<long long>(rows.size())) +
                               " linii in " + *out + ".";
            if (lost > 0)
                text += "\r" + GroupedThousands(lost) + " valori nu au incaput si au ramas goale.";
            Mesaj("Compara cu alt tabel", text, mkInformation, mbOK);
        } catch (const std::exception& e) {
            ShowError(e.what());
        }
    };
    TCompareWindow window(this, std::move(here), std::move(there), std::move(actions));
    window.exec();
}

void TForm1::CompleteazaClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    FileDialogRequest request{"Alegeti tabelul din care se completeaza", "Fisiere DBF|*.DBF",
                              "*.dbf", ws_.CurrentFile};
    request.otherFilter = ImportSourceFilter();
    const auto chosen = AskOpenFile(request);
    if (!chosen) return;
    auto here = OpenCompareSource(ws_.table.TableName(), FileOptionsOf(ws_.table), ws_.Format());
    auto there = OpenCompareSource(*chosen, {}, ws_.Format());
    TFillWindow window(this, std::move(here), std::move(there), ws_.table.Data().Page(),
                       [this](const CompareSource& source, const FillPlan& plan) {
                           try {
                               ApplyFill(ws_, source, plan);
                           } catch (const std::exception& e) {
                               ShowError(e.what());
                               return false;
                           }
                           return true;
                       });
    window.exec();
}

void TForm1::AdaugaLiniiNoiClick() {
    if (!ws_.table.Active()) return;
    ws_.PostPendingEdit();
    FileDialogRequest request{"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf",
                              ws_.CurrentFile};
    request.otherFilter = ImportSourceFilter();
    const auto chosen = AskOpenFile(request);
    if (chosen) AppendOnlyNew(*chosen);
}

void TForm1::AppendOnlyNew(const std::string& path) {
    std::vector<KeyColumn> key;
    TextOptions options;
    {
        const auto here =
            OpenCompareSource(ws_.table.TableName(), FileOptionsOf(ws_.table), ws_.Format());
        const auto there = OpenCompareSource(path, {}, ws_.Format());
        TAppendChoice choice(this, *here, *there);
        if (choice.exec() != QDialog::Accepted) return;
        key = choice.Key();
        options = choice.Options();
    }
    const std::unique_ptr<NewRows> rows = SelectNewRows(ws_, path, key, options);
    std::string text = rows->LeftOutText();
    if (rows->rows == 0) {
        text += std::string(text.empty() ? "" : "\r") + "Nicio linie noua de adaugat.";
        Mesaj("Lipire tabele", text, mkInformation, mbOK);
        return;
    }
    if (rows->csv) {
        SourceOptions csv;
        csv.delimiter = ',';
        csv.encoding = "utf-8";
        AppendFromSource(
            ws_, rows->path, csv, [this](const Misfits& m) { return AskImportAnyway(this, m); },
            [this](const std::string& field, const std::vector<std::string>& columns) {
                return AskWhichColumn(this, field, columns);
            });
    } else {
        AppendFromTable(ws_, rows->path);
    }
    if (!text.empty()) Mesaj("Lipire tabele", text, mkInformation, mbOK);
}

}  // namespace orbelan
