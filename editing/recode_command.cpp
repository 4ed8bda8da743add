#include "editing/recode_command.h"

#include <algorithm>

#include "core/argument_error.h"
#include "core/command_guard.h"
#include "core/misfits.h"
#include "core/open_table.h"
#include "core/replace_table.h"
#include "engine/dbf_file.h"
#include "engine/field_value.h"
#include "engine/recode.h"

namespace orbelan {
namespace {

constexpr const char* kTitle = "Converteste in alt cod";

// listed: how many of the values to name (the message window shows a few lines only).
std::string LackingText(const Misfits& lacking, const RecodeCheck& check, const std::string& page,
                        size_t listed = Misfits::kListed) {
    std::string text;
    if (lacking.count > 0)
        text += "Codul de pagina " + page + " nu are toate caracterele tabelului (" +
                std::to_string(lacking.count) + " valori):\n" + lacking.Text(listed);
    if (!check.fits.empty()) {
        text += "Se scriu echivalentele:";
        for (const std::string& fit : check.fits) text += " " + fit;
        text += "\n";
    }
    return text;
}

}  // namespace

std::string PageText(const HeaderInfo& h, bool detailed) {
    std::string how;
    switch (h.pageSource) {
        case PageSource::Header:
            how = "din antet";
            break;
        case PageSource::CpgFile:
            how = detailed ? "din " + FileNamePart(h.cpgFile) : "din .cpg";
            break;
        case PageSource::Detected:
            how =
                detailed ? "detectat, " + std::to_string(h.pageConfidence) + "% sigur" : "detectat";
            break;
        case PageSource::Ascii:
            how = "implicit, text ASCII";
            break;
        case PageSource::Default:
            how = "implicit";
            break;
        case PageSource::Override:
            how = "ales";
            break;
    }
    return h.codePage + " (" + how + ")";
}

std::vector<std::string> TextPreview(const Table& table, const std::string& page, int rows) {
    std::vector<std::string> lines;
    if (!table.Active()) return lines;
    const DbfFile& file = table.Data();
    const auto cp = CodePage::Get(page);
    for (uint32_t r = 0; r < file.RecordCount() && static_cast<int>(lines.size()) < rows; ++r) {
        std::string line;
        for (int i = 0; i < file.FieldCount(); ++i) {
            const FieldLayout& f = file.FieldAt(i);
            if (f.def.type != 'C' && f.def.type != 'V') continue;
            const std::string_view text = FieldReader(file.Layout(), f).Text(file.Record(r));
            if (text.empty()) continue;
            if (!line.empty()) line += " | ";
            cp->AppendDecoded(text, line);
        }
        lines.push_back(line);
    }
    return lines;
}

void ReadTableAs(Workspace& ws, const std::string& page) {
    Table& table = ws.table;
    if (!page.empty()) CodePage::Get(page);  // an unknown name fails before anything closes
    const std::string before = table.CodePageOverride();
    ws.PostPendingEdit();
    const std::string path = table.TableName();
    ws.CloseTable();
    const auto open = [&](const std::string& chosen) {
        table.SetCodePageOverride(chosen);
        ws.CurrentFile = path;
        table.SetTableName(path);
        OpenWithIndexRepair(table);
    };
    try {
        open(page);
    } catch (...) {
        try {
            open(before);
        } catch (const std::exception&) {
            // The first failure is the one to report.
        }
        throw;
    }
}

bool ConvertTable(Workspace& ws, const std::string& page, bool dryRun) {
    Table& table = ws.table;
    if (!table.Active()) return false;
    const auto target = CodePage::Get(page);
    if (target->IsUtf8())
        throw ArgumentError(
            "Conversia in UTF-8 nu este oferita: putine programe citesc un DBF in UTF-8.");
    ws.PostPendingEdit();
    const std::string from = table.Header().codePage;
    if (from == target->Name() && table.Header().languageDriver == target->LanguageDriver()) {
        ws.messages.Mesaj(kTitle, "Tabelul este deja in codul de pagina " + from + ".",
                          mkInformation, mbOK);
        return false;
    }
    const DbfFile& file = table.Data();
    Misfits lacking;
    const RecodeCheck check =
        CheckRecode(file, *target, [&](uint32_t record, int field, std::string_view bytes) {
            const bool shown = lacking.listed.size() < Misfits::kListed;
            lacking.Add({static_cast<long>(record) + 1,
                         file.FieldAt(field).def.name,
                         shown ? file.Page().Decode(bytes) : std::string(),
                         {}});
        });
    const std::string listed = LackingText(lacking, check, target->Name());
    if (dryRun) {
        ws.messages.Mesaj(
            kTitle,
            listed + (lacking.Empty() ? "Tabelul se poate converti din " + from + " in " +
                                            target->Name() + " fara pierderi."
                                      : std::string("Nimic nu a fost scris.")),
            mkInformation, mbOK);
        return false;
    }
    if (!lacking.Empty() &&
        ws.messages.Mesaj(kTitle,
                          "Convertiti oricum? DA: caracterele care lipsesc devin \"?\"; "
                          "RENUNT: nu se scrie nimic.\n" +
                              LackingText(lacking, check, target->Name(), 4),
                          mkWarning, mbYes | mbCancel) != mrYes)
        return false;

    CommandGuard guard(ws, {.disableWindow = true, .busyCursor = true, .name = kTitle});
    const std::string override = table.CodePageOverride();
    ReplaceAndReopen(ws, [&](const std::string& path) {
        const DbfOpenOptions options = FileOptionsOf(table);
        auto file = DbfFile::Open(path, options);
        // From now on the header names the page: nothing is forced any more.
        DbfOpenOptions reopen = options;
        reopen.codePageOverride.clear();
        table.SetCodePageOverride("");
        try {
            RecodeFile(*file, *target, reopen);
        } catch (...) {
            table.SetCodePageOverride(override);
            throw;
        }
    });
    guard.Finish();
    ws.messages.Mesaj(
        kTitle, "Tabelul a fost convertit din " + from + " in " + target->Name() + ".\n" + listed,
        mkInformation, mbOK);
    return true;
}

}  // namespace orbelan
