#include "core/workspace.h"

#include <optional>

#include "core/argument_error.h"
#include "core/open_table.h"
#include "core/restore_points.h"
#include "core/table_indexes.h"
#include "engine/codepage.h"

namespace orbelan {
namespace {

// Progress and window state for a caller that has neither.
Progress& SilentProgress() {
    static Progress none;
    return none;
}
WindowState& NoWindow() {
    static WindowState none;
    return none;
}

}  // namespace

Workspace::Workspace(Ui& ui, Platform& platform_) : Workspace(ui, ui, ui, platform_) {}

Workspace::Workspace(Messages& messages_, Platform& platform_)
    : Workspace(messages_, SilentProgress(), NoWindow(), platform_) {}

Workspace::Workspace(Messages& messages_, Progress& progress_, WindowState& window_,
                     Platform& platform_)
    : messages(messages_), progress(progress_), window(window_), platform(platform_) {
    table.AfterOpen = [this](Table&) { TableAfterOpen(); };
    table.AfterClose = [this](Table&) { TableAfterClose(); };
    table.AfterRecordWrite = [this](Table&, uint32_t record, std::string_view before,
                                    std::string_view after) {
        history.Record(*this, record, std::string(before), std::string(after));
    };
    AttachAfterPost();
    SetFormatSettings(format_);
    SetUpIndexes(*this);
}

Workspace::~Workspace() {
    // The notifications point back here; a table closed during destruction must not call them.
    table.AfterOpen = nullptr;
    table.AfterClose = nullptr;
    table.AfterPost = nullptr;
    table.AfterRecordWrite = nullptr;
}

void Workspace::SetFormatSettings(const FormatSettings& settings) {
    format_ = settings;
    table.SetFormatSettings(settings);
    secondTable.SetFormatSettings(settings);
    query.SetFormatSettings(settings);
}

void Workspace::OpenTable(bool atStartUp) {
    if (table.Active()) CloseTable();
    progress.ProcessMessages();
    FinishPendingSwap(*this, CurrentFile);
    table.SetTableName(CurrentFile);
    progress.ProcessMessages();
    // A missing production index is the one fault repaired here; a failure of the repair
    // itself is not an unreadable file but an error of its own.
    std::optional<ErrorKind> failure;
    OpenWithIndexRepair(table, &failure);
    progress.ProcessMessages();
    if (failure) {
        messages.Mesaj("Deschidere DBF", "Fisierul ales, " + CurrentFile + ", nu poate fi citit!",
                       mkError, mbOK);
        CurrentFile.clear();
        table.SetTableName("");
        window.SetStatusText("Nici un DBF deschis.");
        if (atStartUp) window.Terminate();
        return;
    }
    CurrentFile = table.TableName();
    history.Reset(CurrentFile);
    window.SetStatusText(CurrentFile + IndexSummary(table.Data()));
    window.SetApplicationTitle(FileNamePart(CurrentFile));
}

void Workspace::CloseTable() {
    if (!table.Active()) return;
    FinishPendingEdit();
    const std::string path = table.TableName();
    const bool settle = history.WrittenOnlyByUs(path);
    table.Close();
    table.SetTableName("");
    progress.ProcessMessages();
    // The restore points learn the file as this program's edits left it; a file someone else
    // wrote meanwhile keeps the old record, so nothing is restored over it.
    if (settle) {
        try {
            history.Settle(*this, path);
        } catch (const std::exception&) {
            // the points stay as they were and refuse a file they don't know
        }
    }
}

void Workspace::PostPendingEdit() {
    if (table.Active() && table.GetState() != Table::State::Browse) table.Post();
}

void Workspace::FinishPendingEdit() {
    try {
        PostPendingEdit();
    } catch (const DbfError&) {
        table.Cancel();
    }
}

void Workspace::TableAfterOpen() {
    window.SetTableGroupVisible(true);
    progress.ProcessMessages();
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(table.FieldCount()));
    for (int i = 0; i < table.FieldCount(); ++i) names.push_back(table.Field(i).name);
    window.SetColumnList(names);
    window.SetRowCounter(std::to_string(table.RecordCount()));
    // A filter that no longer fits the reopened table (its column gone) is off: the button
    // must not claim otherwise, and the user must hear of it.
    if (FilterOn && !table.Filtered()) {
        FilterOn = false;
        window.SetFilterButtonDown(false);
        messages.ShowProblem("Filtru incorect!", UiControl::FilterEdit);
    }
}

void Workspace::TableAfterClose() {
    window.SetTableGroupVisible(false);
    window.SetRowCounter("0");
}

void Workspace::TableAfterPost() {
    window.SetRowCounter(std::to_string(table.RecordCount()));
}

void Workspace::AttachAfterPost() {
    table.AfterPost = [this](Table&) { TableAfterPost(); };
}

void Workspace::DetachAfterPost() {
    table.AfterPost = nullptr;
}

std::string Workspace::ProgramCodePage() const {
    const std::string& chosen = table.CodePageOverride();
    // A table read as UTF-8 does not make exports UTF-8: that is the export's own choice.
    const bool eightBit = !chosen.empty() && !CodePage::Get(chosen)->IsUtf8();
    return eightBit ? chosen : table.DefaultCodePage();
}

void MoveToDisplayedRow(Workspace& ws, long row) {
    const int shown = ws.table.RecordCount();
    if (row < 1 || row > shown)
        throw ArgumentError("Linia " + std::to_string(row) + " nu exista: sunt afisate " +
                            std::to_string(shown) + " linii.");
    ws.table.MoveTo(static_cast<int>(row - 1));
}

}  // namespace orbelan
