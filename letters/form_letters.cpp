#include "letters/form_letters.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "core/command_guard.h"
#include "core/open_table.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/file_io.h"
#include "engine/utf8_path.h"
#include "letters/rtf_replace.h"

namespace orbelan {
namespace {

const std::string kTitle = "Generare formulare";
constexpr int kLettersWithoutAsking = 1000;  // more are asked for first

// How many letters the mode writes: the current row, every displayed row, or those from the
// current one down.
int LetterCount(Table& table, LetterMode mode) {
    if (mode == LetterMode::OLinie) return 1;
    const int shown = table.RecordCount();
    if (mode == LetterMode::ToateLiniile) return shown;
    return shown - std::max(0, table.CurrentRow());
}

// The row the command started on is current again however the walk ends.
class KeepCurrentRow {
  public:
    explicit KeepCurrentRow(Table& table) : table_(table), row_(table.GetBookmark()) {}
    ~KeepCurrentRow() {
        try {
            if (table_.Active() && row_ >= 0) table_.GotoBookmark(row_);
        } catch (...) {
            // The failure that ended the walk is the one to report.
        }
    }
    KeepCurrentRow(const KeepCurrentRow&) = delete;
    KeepCurrentRow& operator=(const KeepCurrentRow&) = delete;

  private:
    Table& table_;
    Bookmark row_;
};

void ShowFailure(Workspace& ws, const std::string& text) {
    ws.messages.Mesaj(kTitle, text, mkError, mbOK);
}

void NoFreeName(Workspace& ws, const std::string& prefix) {
    const std::string name = FileNamePart(prefix);
    const std::string folder = prefix.substr(0, prefix.size() - name.size());
    ShowFailure(ws, "Nu exista un nume liber pentru document: " + name + "0.rtf ... " + name +
                        "99.rtf din " + folder +
                        " sunt deschise in alte programe.\rInchideti cateva dintre ele si "
                        "incercati din nou.");
}

void WriteFailed(Workspace& ws, const TRTFReplace& rtf, const std::string& reason) {
    ShowFailure(ws, "Documentul " + rtf.RTFDest + " nu a putut fi scris.\r" + reason);
}

// "[NUME]": the field's name in capitals (a to z only) between brackets.
std::vector<std::string> Placeholders(const Table& table) {
    std::vector<std::string> names;
    for (int i = 0; i < table.FieldCount(); ++i) {
        std::string name = table.Field(i).name;
        for (char& c : name) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        names.push_back("[" + name + "]");
    }
    return names;
}

// One record of the document.
void AddRow(Table& table, TRTFReplace& rtf, const std::vector<std::string>& placeholders) {
    for (int i = 0; i < table.FieldCount(); ++i)
        rtf.AddPair(placeholders[static_cast<size_t>(i)], table.AsText(i));
    rtf.MergeBody(1);
}

}  // namespace

bool HasRowsForLetters(Workspace& ws) {
    if (ws.table.Active() && !ws.table.IsEmpty()) return true;
    ws.messages.Mesaj(kTitle, "Nu aveti ce exporta in Word!", mkError, mbOK);
    return false;
}

bool WriteLetters(Workspace& ws, TRTFReplace& rtf, LetterMode mode) {
    ws.PostPendingEdit();
    Table& table = ws.table;
    const int letters = LetterCount(table, mode);
    if (letters > kLettersWithoutAsking &&
        ws.messages.Mesaj(kTitle,
                          "Se vor genera " + GroupedThousands(letters) + " scrisori. Continuati?",
                          mkConfirmation, mbYesNo) != mrYes)
        return false;
    if (!rtf.BeginDocument()) {
        ShowFailure(ws, "Documentul " + rtf.RTFDest + " nu poate fi inceput.\r" + rtf.LastError());
        return false;
    }
    const std::vector<std::string> placeholders = Placeholders(table);
    try {
        if (mode == LetterMode::OLinie) {
            AddRow(table, rtf, placeholders);
        } else {
            CommandGuard guard(ws, {.bar = letters, .stoppable = true});
            {
                KeepCurrentRow keep(table);
                if (mode == LetterMode::ToateLiniile) table.First();
                for (int written = 1; !table.Eof(); ++written) {
                    AddRow(table, rtf, placeholders);
                    table.Next();
                    ws.progress.ProgressSet(written);
                    ws.progress.ProcessMessages();
                    if (ws.progress.StopRequested()) {
                        rtf.Discard();  // a stopped run leaves no document behind
                        return false;
                    }
                    if (!table.Eof()) rtf.PageBreak();
                }
            }
            guard.Finish();
        }
        rtf.EndDocument();
    } catch (const DbfError& e) {
        rtf.Discard();
        if (e.Kind() != ErrorKind::Io) throw;
        WriteFailed(ws, rtf, e.what());
        return false;
    }
    return true;
}

bool WriteHowToTemplate(Workspace& ws, TRTFReplace& rtf, const std::string& scratchPrefix,
                        const std::string& dest) {
    if (!rtf.NextFreeDest(scratchPrefix)) {
        NoFreeName(ws, scratchPrefix);
        return false;
    }
    const std::string scratch = rtf.RTFDest;
    struct RemoveScratch {
        const std::string& path;
        ~RemoveScratch() {
            std::error_code ec;
            std::filesystem::remove(PathFromUtf8(path), ec);
        }
    } removeScratch{scratch};
    try {
        TempFile copy(scratch);
        const std::string_view bytes = ModeleResource();
        copy.Write(bytes.data(), bytes.size());
        copy.Finish();
        copy.RenameOverTarget();
    } catch (const DbfError& e) {
        WriteFailed(ws, rtf, e.what());
        return false;
    }
    rtf.RTFDest = dest;
    rtf.RTFSursa = scratch;
    if (!rtf.BeginDocument()) {
        ShowFailure(ws, "Documentul " + rtf.RTFDest + " nu poate fi inceput.\r" + rtf.LastError());
        return false;
    }
    // One "[CAMP]" per column: the line with [[Camp]] is repeated once for each.
    for (int i = 0; i < ws.table.FieldCount(); ++i) rtf.AddPair("[CAMP]", ws.table.Field(i).name);
    try {
        rtf.MergeBody(1);
        rtf.EndDocument();
    } catch (const DbfError& e) {
        rtf.Discard();
        if (e.Kind() != ErrorKind::Io) throw;
        WriteFailed(ws, rtf, e.what());
        return false;
    }
    return true;
}

std::string TemplateFolder(Workspace& ws) {
    // ProgramDir ends with its separator; the same one joins the names below it.
    const char separator = ws.ProgramDir.empty() ? '/' : ws.ProgramDir.back();
    const std::string modele = ws.ProgramDir + "Modele";
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(modele),
                                        ec);  // a failure shows when a file is written
    return modele + separator;
}

bool WriteFormLetters(Workspace& ws, const std::string& templatePath, LetterMode mode) {
    ws.PostPendingEdit();
    if (!HasRowsForLetters(ws)) return false;
    TRTFReplace rtf(ws.platform, ws.ProgramCodePage());
    rtf.RTFSursa = templatePath;
    const std::string prefix = ws.ProgramDir + "Rap";
    if (!rtf.NextFreeDest(prefix)) {
        NoFreeName(ws, prefix);
        return false;
    }
    if (!WriteLetters(ws, rtf, mode)) return false;
    rtf.OpenResult();
    return true;
}

bool WriteLettersTo(Workspace& ws, const std::string& templatePath, const std::string& dest,
                    LetterMode mode, long row) {
    if (!HasRowsForLetters(ws)) return false;
    if (row > 0) MoveToDisplayedRow(ws, row);
    TRTFReplace rtf(ws.platform, ws.ProgramCodePage());
    rtf.RTFSursa = templatePath;
    rtf.RTFDest = dest;
    return WriteLetters(ws, rtf, mode);
}

bool WriteHowToTemplateTo(Workspace& ws, const std::string& dest) {
    TRTFReplace rtf(ws.platform, ws.ProgramCodePage());
    return WriteHowToTemplate(ws, rtf, ws.platform.TempFolder() + "orbelan-model", dest);
}

bool WriteHowToTemplateFile(Workspace& ws) {
    ws.PostPendingEdit();
    if (!HasRowsForLetters(ws)) return false;
    // Never over an existing template.
    const std::string base = TemplateFolder(ws) + "Model";
    std::string dest;
    std::error_code ec;
    for (long n = 0;; ++n) {
        dest = base + std::to_string(n) + ".rtf";
        if (!std::filesystem::exists(PathFromUtf8(dest), ec)) break;
    }
    TRTFReplace rtf(ws.platform, ws.ProgramCodePage());
    if (!WriteHowToTemplate(ws, rtf, ws.ProgramDir + "Model", dest)) return false;
    rtf.OpenResult();
    return true;
}

}  // namespace orbelan
