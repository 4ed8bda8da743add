#include "export/export_command.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/workspace.h"
#include "engine/file_io.h"
#include "engine/table.h"
#include "engine/utf8_path.h"

namespace orbelan {

std::string RowsLeftOutText(int rows) {
    return "Foaia Excel se termina la linia 65535: " + std::to_string(rows) +
           " linii nu au incaput si nu au fost exportate.";
}

void BindExport(Workspace& ws, TovDBGridExport& exp, TovGrid grid) {
    exp.DBGrid = std::move(grid);
    exp.CodePageName = ws.ProgramCodePage();
    // Dates are shown in the program's date format: their widths and "Creat la" follow it.
    exp.DateFormat = ws.Format().shortDateFormat;
    exp.TimeFormat = "h:mm AMPM";
    exp.DateTimeFormat = "h:mm AMPM dd.MM.yyyy";
    exp.OnFileExist = [&ws](const std::string& file, bool& canOverWrite) {
        canOverWrite =
            ws.messages.Mesaj("Export", "Fisierul " + file + " exista deja. Il inlocuiti?",
                              mkConfirmation, mbYesNo) == mrYes;
    };
    // After a refused overwrite the export stops without an error: the user chose it.
    exp.OnError = [&ws, &exp, refused = false](TovExportError error) mutable {
        if (error == xeFileExist) {
            refused = true;
        } else if (error == xeGeneralExportError && refused) {
            refused = false;
        } else if (error == xeGeneralExportError)
            ws.messages.Mesaj("Eroare", "Exportul nu a reusit.\n" + exp.LastErrorText(), mkError,
                              mbOK);
        else if (error == xeRowsLeftOut)
            ws.messages.Mesaj("Atentie !", RowsLeftOutText(exp.RowsLeftOut()), mkWarning, mbOK);
    };
    exp.OnEndExport = [&ws, &exp] {
        // A file written to where the user chose says so in the status bar (not the view's
        // scratch file, which opens by itself).
        if (exp.ExportStyle == xsFile && !exp.WrittenFile().empty())
            ws.window.SetStatusText("Exportat in " + exp.WrittenFile() + " (" +
                                    std::to_string(exp.RowsWritten()) + " linii)");
        if (!exp.ClosingNote().empty())
            ws.messages.Mesaj("Informatie", exp.ClosingNote(), mkInformation, mbOK);
    };
}

void ExportInDiverseFormats(Workspace& ws, TovDBGridExport& exp, TovGrid grid) {
    // The row being edited is exported as posted, and the walk may leave it.
    ws.PostPendingEdit();
    BindExport(ws, exp, std::move(grid));
    // Asked every time: a name kept from an earlier export would be overwritten unasked.
    exp.FileName.clear();
    exp.Execute();
}

int ExportToFile(Workspace& ws, TovDBGridExport& exp, TovExportType type, const std::string& out) {
    return ExportTableToFile(ws.table, exp, type, out, ws.ProgramCodePage(),
                             ws.Format().shortDateFormat);
}

int ExportTableToFile(Table& table, TovDBGridExport& exp, TovExportType type,
                      const std::string& out, const std::string& codePage,
                      const std::string& dateFormat) {
    exp.DBGrid = GridOfTable(table);
    exp.CodePageName = codePage;
    exp.DateFormat = dateFormat;
    exp.Options.Remove(xoShowProgress);
    exp.SetExportType(type);
    exp.ExportStyle = xsFile;
    exp.FileName = out;
    // The command line writes exactly the file it was given.
    const auto slash = out.find_last_of('/');
    const auto dot = out.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
        dot + 1 < out.size()) {
        const std::string ext = out.substr(dot + 1);
        exp.OnGetExtension = [ext](std::string& extension) { extension = ext; };
    }
    std::string failure;
    exp.OnError = [&](TovExportError error) {
        if (error == xeGeneralExportError) failure = exp.LastErrorText();
        if (error == xeInvalidFileName) failure = "Lipseste numele fisierului de iesire.";
        if (error == xeComponentIsNull) failure = "Nici un tabel deschis.";
    };
    exp.ExportData();
    if (!failure.empty()) throw std::runtime_error(failure);
    return exp.RowsLeftOut();
}

int ExportMadeTable(Workspace& ws, TovDBGridExport& exp, TovExportType type, const std::string& out,
                    const std::string& name,
                    const std::function<void(const std::string& path)>& write) {
    const std::string path = ws.ProgramDir + name + ".dbf";
    if (!ws.ProgramDir.empty()) {
        std::error_code ec;  // a folder that can't be made fails the write below, with its name
        std::filesystem::create_directories(PathFromUtf8(ws.ProgramDir), ec);
    }
    write(path);
    struct Removed {
        const std::string& path;
        ~Removed() { RemoveFile(path); }
    } removed{path};
    Table made;
    made.SetTableName(path);
    made.SetFormatSettings(ws.Format());
    made.Open();
    return ExportTableToFile(made, exp, type, out, ws.ProgramCodePage(),
                             ws.Format().shortDateFormat);
}

bool ExportTypeFromName(const std::string& name, TovExportType& type) {
    static const std::pair<const char*, TovExportType> kNames[] = {
        {"html", xtHTML}, {"xls", xtExcel}, {"doc", xtWord}, {"txt", xtTXT},
        {"csv", xtCSV},   {"tab", xtTAB},   {"rtf", xtRTF},  {"dif", xtDIF},
        {"slk", xtSYLK},  {"xlsx", xtXLSX}, {"pdf", xtPDF}};
    for (const auto& [n, t] : kNames) {
        if (name == n) {
            type = t;
            return true;
        }
    }
    return false;
}

}  // namespace orbelan
