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

}  // namespace

Workspace::Workspace(Ui& ui_, Platform& platform_) : ui(ui_), platform(platform_) {
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

void Workspace::OpenTable() {
    if (Tx.Active()) CloseTable();
    ui.ProcessMessages();
    Tx.SetTableName(CurrentFile);
    ui.ProcessMessages();
    // A missing production index is the one fault repaired here; a failure of the repair
    // itself is not an unreadable file but an error of its own.
    std::optional<ErrorKind> failure = OpenFailure(Tx);
    if (failure == ErrorKind::MissingIndex) DetachIndex(CurrentFile);
    ui.ProcessMessages();
    if (failure) failure = OpenFailure(Tx);
    if (failure) {
        ui.Mesaj("Deschidere DBF", "Fisierul ales, " + CurrentFile + ", nu poate fi citit!",
                 mkError, mbOK);
        CurrentFile.clear();
        Tx.SetTableName("");
        ui.SetStatusText("Nici un DBF deschis.");
        if (StartedWithArgument) ui.Terminate();
        return;
    }
    CurrentFile = Tx.TableName();
    ui.SetStatusText(CurrentFile);
    ui.SetApplicationTitle(FileNamePart(CurrentFile));
}

void Workspace::CloseTable() {
    if (!Tx.Active()) return;
    FinishPendingEdit();
    Tx.Close();
    Tx.SetTableName("");
    ui.ProcessMessages();
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
    ui.SetTableGroupVisible(true);
    ui.ProcessMessages();
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(Tx.FieldCount()));
    for (int i = 0; i < Tx.FieldCount(); ++i) names.push_back(Tx.Field(i).name);
    ui.SetColumnList(names);
    ui.SetRowCounter(std::to_string(Tx.RecordCount()));
    // A filter that no longer fits the reopened table (its column gone) is off: the button
    // must not claim otherwise, and the user must hear of it.
    if (ui.FilterButtonDown() && !Tx.Filtered()) {
        ui.SetFilterButtonDown(false);
        ui.ShowProblem("Filtru incorect!", UiControl::FilterEdit);
    }
}

void Workspace::TxAfterClose() {
    ui.SetTableGroupVisible(false);
    ui.SetRowCounter("0");
}

void Workspace::TxAfterPost() {
    ui.SetRowCounter(std::to_string(Tx.RecordCount()));
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
