#include "core/workspace.h"

#include <optional>

#include "core/open_table.h"

namespace orbelan {
namespace {

// Opens the table; what went wrong, if anything.
std::optional<ErrorKind> OpenFailure(Table& table) {
    try {
        table.Open();
        return std::nullopt;
    } catch (const DbfError& e) {
        return e.Kind();
    } catch (const std::exception&) {
        return ErrorKind::CannotOpen;
    }
}

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
    Tx.AfterOpen = [this](Table&) { TxAfterOpen(); };
    Tx.AfterClose = [this](Table&) { TxAfterClose(); };
    AttachAfterPost();
    SetFormatSettings(format_);
}

Workspace::~Workspace() {
    // The notifications point back here; a table closed during destruction must not call them.
    Tx.AfterOpen = nullptr;
    Tx.AfterClose = nullptr;
    Tx.AfterPost = nullptr;
}

void Workspace::SetFormatSettings(const FormatSettings& settings) {
    format_ = settings;
    Tx.SetFormatSettings(settings);
    Sursa.SetFormatSettings(settings);
    Sx.SetFormatSettings(settings);
}

void Workspace::OpenTable(bool atStartUp) {
    if (Tx.Active()) CloseTable();
    progress.ProcessMessages();
    Tx.SetTableName(CurrentFile);
    progress.ProcessMessages();
    // A missing production index is the one fault repaired here; a failure of the repair
    // itself is not an unreadable file but an error of its own.
    std::optional<ErrorKind> failure = OpenFailure(Tx);
    if (failure == ErrorKind::MissingIndex) DetachIndex(CurrentFile);
    progress.ProcessMessages();
    if (failure) failure = OpenFailure(Tx);
    if (failure) {
        messages.Mesaj("Deschidere DBF", "Fisierul ales, " + CurrentFile + ", nu poate fi citit!",
                       mkError, mbOK);
        CurrentFile.clear();
        Tx.SetTableName("");
        window.SetStatusText("Nici un DBF deschis.");
        if (atStartUp) window.Terminate();
        return;
    }
    CurrentFile = Tx.TableName();
    window.SetStatusText(CurrentFile);
    window.SetApplicationTitle(FileNamePart(CurrentFile));
}

void Workspace::CloseTable() {
    if (!Tx.Active()) return;
    FinishPendingEdit();
    Tx.Close();
    Tx.SetTableName("");
    progress.ProcessMessages();
}

void Workspace::PostPendingEdit() {
    if (Tx.Active() && Tx.GetState() != Table::State::Browse) Tx.Post();
}

void Workspace::FinishPendingEdit() {
    try {
        PostPendingEdit();
    } catch (const DbfError&) {
        Tx.Cancel();
    }
}

void Workspace::TxAfterOpen() {
    window.SetTableGroupVisible(true);
    progress.ProcessMessages();
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(Tx.FieldCount()));
    for (int i = 0; i < Tx.FieldCount(); ++i) names.push_back(Tx.Field(i).name);
    window.SetColumnList(names);
    window.SetRowCounter(std::to_string(Tx.RecordCount()));
    // A filter that no longer fits the reopened table (its column gone) is off: the button
    // must not claim otherwise, and the user must hear of it.
    if (FilterOn && !Tx.Filtered()) {
        FilterOn = false;
        window.SetFilterButtonDown(false);
        messages.ShowProblem("Filtru incorect!", UiControl::FilterEdit);
    }
}

void Workspace::TxAfterClose() {
    window.SetTableGroupVisible(false);
    window.SetRowCounter("0");
}

void Workspace::TxAfterPost() {
    window.SetRowCounter(std::to_string(Tx.RecordCount()));
}

void Workspace::AttachAfterPost() {
    Tx.AfterPost = [this](Table&) { TxAfterPost(); };
}

void Workspace::DetachAfterPost() {
    Tx.AfterPost = nullptr;
}

std::string Workspace::ProgramCodePage() const {
    const std::string& chosen = Tx.CodePageOverride();
    return chosen.empty() ? Tx.DefaultCodePage() : chosen;
}

}  // namespace orbelan
