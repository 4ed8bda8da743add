#include "editing/filter_commands.h"

#include "core/text_util.h"

namespace orbelan {
namespace {

bool ShowFilterState(Workspace& ws, bool on) {
    ws.FilterOn = on;
    ws.window.SetFilterButtonDown(on);
    ws.window.SetRowCounter(std::to_string(ws.table.RecordCount()));
    return on;
}

}  // namespace

bool SwitchFilter(Workspace& ws, bool on, const std::string& text) {
    ws.progress.ProcessMessages();
    if (!ws.table.Active()) {
        ws.messages.ShowProblem("Nu aveti ce filtra!", UiControl::Grid);
        ws.FilterOn = false;
        ws.window.SetFilterButtonDown(false);
        return false;
    }
    try {
        ws.PostPendingEdit();
    } catch (...) {
        // The filter stays as it was, and so must the button that shows it.
        ws.window.SetFilterButtonDown(ws.table.Filtered());
        throw;
    }
    if (!on || Trim(text).empty()) {
        ws.table.SetFiltered(false);
        return ShowFilterState(ws, false);
    }
    try {
        ws.table.SetFilterText(text);
        ws.table.SetFiltered(true);
    } catch (const DbfError&) {
        ws.table.SetFiltered(false);
        ShowFilterState(ws, false);
        ws.messages.ShowProblem("Filtru incorect!", UiControl::FilterEdit);
        return false;
    }
    return ShowFilterState(ws, true);
}

bool ReadyToFind(Workspace& ws) {
    if (!ws.table.Active()) {
        ws.messages.ShowProblem("Nu aveti unde cauta!", UiControl::Grid);
        return false;
    }
    ws.PostPendingEdit();
    return true;
}

void FindValue(Workspace& ws, const std::string& column, const std::string& value) {
    ws.table.Locate(column, value);
}

bool FindNextValue(Workspace& ws, const std::string& column, const std::string& value) {
    return ws.table.Locate(column, value, ws.table.CurrentRow() + 1) ||
           ws.table.Locate(column, value);
}

}  // namespace orbelan
