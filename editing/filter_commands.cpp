#include "editing/filter_commands.h"

#include "core/text_util.h"

namespace orbelan {
namespace {

void ShowRowCount(Workspace& ws) {
    ws.ui.SetRowCounter(std::to_string(ws.Tx.RecordCount()));
}

}  // namespace

void SwitchFilter(Workspace& ws) {
    ws.ui.ProcessMessages();
    if (!ws.Tx.Active()) {
        ws.ui.ShowProblem("Nu aveti ce filtra!", UiControl::Grid);
        ws.ui.SetFilterButtonDown(false);
        return;
    }
    try {
        ws.PostPendingEdit();
    } catch (...) {
        // The filter stays as it was, and so must the button that shows it.
        ws.ui.SetFilterButtonDown(ws.Tx.Filtered());
        throw;
    }
    if (!ws.ui.FilterButtonDown()) {
        ws.Tx.SetFiltered(false);
    } else {
        const std::string text = ws.ui.FilterText();
        if (Trim(text).empty()) {
            ws.ui.SetFilterButtonDown(false);
            ws.Tx.SetFiltered(false);
            ShowRowCount(ws);
            return;
        }
        try {
            ws.Tx.SetFilterText(text);
            ws.Tx.SetFiltered(true);
        } catch (const DbfError&) {
            ws.ui.SetFilterButtonDown(false);
            ws.Tx.SetFiltered(false);
            ws.ui.ShowProblem("Filtru incorect!", UiControl::FilterEdit);
        }
    }
    ShowRowCount(ws);
}

void FilterKey(Workspace& ws, int key) {
    if (key != 13) return;
    ws.ui.SetFilterButtonDown(true);
    SwitchFilter(ws);
}

void FindValue(Workspace& ws) {
    if (!ws.Tx.Active()) {
        ws.ui.ShowProblem("Nu aveti unde cauta!", UiControl::Grid);
        return;
    }
    ws.PostPendingEdit();
    ws.ui.SetValuePanelVisible(true);
    const bool chosen = ws.ui.Choose("Cautare valoare");
    ws.ui.SetValuePanelVisible(false);
    if (!chosen) return;
    ws.Tx.Locate(ws.ui.ChosenColumn(), ws.ui.ChosenValue());
}

}  // namespace orbelan
