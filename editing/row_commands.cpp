#include "editing/row_commands.h"

#include "core/frozen_grid.h"
#include "engine/text_parse.h"

namespace orbelan {

void AddRow(Workspace& ws) {
    if (ws.Tx.Active()) ws.Tx.Append();  // a row being edited is posted first
}

void DeleteRow(Workspace& ws) {
    if (!ws.Tx.Active()) return;
    if (ws.Tx.IsEmpty()) {
        ws.ui.Mesaj("Stergere linie", "Nu mai aveti ce sterge!", mkError, mbOK);
        return;
    }
    const int answer = ws.ui.Mesaj(
        "Sterge linie", "Doriti sa stergeti linia ?\r(puteti sterge o linie si cu Ctrl+Delete)",
        mkConfirmation, mbYesNo);
    if (answer == mrYes) ws.Tx.Delete();
}

namespace {

// Writes the value (or the running number) into every displayed row from the current one down.
void FillDown(Workspace& ws, int field, CopyDownMode mode, const std::string& value,
              double number) {
    Table& tx = ws.Tx;
    while (!tx.Eof()) {
        tx.Edit();
        if (mode == CopyDownMode::Renumber) {
            tx.SetFloat(field, number);
            number += 1;
        } else {
            tx.SetText(field, value);
        }
        tx.Post();
        ws.ui.ProcessMessages();
        tx.Next();
    }
}

}  // namespace

void CopyDown(Workspace& ws, CopyDownMode mode) {
    Table& tx = ws.Tx;
    if (!tx.Active()) return;
    ws.PostPendingEdit();
    if (tx.IsEmpty()) return;
    ws.ui.SetValuePanelVisible(false);
    if (!ws.ui.Choose(mode == CopyDownMode::Copy ? "Copie valoare in jos" : "Renumeroteaza in jos"))
        return;
    const int field = tx.FieldIndexOrThrow(ws.ui.ChosenColumn());
    const std::string value = tx.AsText(field);
    double number = 0;
    if (mode == CopyDownMode::Renumber)
        number = ParseNumberText(value, ws.Format().decimalSeparator).value_or(0);

    // A row that can't be posted ends the command there, with the grid following again.
    FrozenGrid frozen(tx);
    const Bookmark start = tx.GetBookmark();
    FillDown(ws, field, mode, value, number);
    frozen.Unfreeze();
    tx.GotoBookmark(start);
}

}  // namespace orbelan
