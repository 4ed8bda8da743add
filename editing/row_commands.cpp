#include "editing/row_commands.h"

#include "core/command_guard.h"
#include "core/replace_table.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/text_parse.h"

namespace orbelan {

void AddRow(Workspace& ws) {
    if (ws.table.Active()) ws.table.Append();  // a row being edited is posted first
}

void DeleteRow(Workspace& ws) {
    if (!ws.table.Active()) return;
    if (ws.table.IsEmpty()) {
        ws.messages.Mesaj("Stergere linie", "Nu mai aveti ce sterge!", mkError, mbOK);
        return;
    }
    const int answer = ws.messages.Mesaj(
        "Sterge linie", "Doriti sa stergeti linia ?\r(puteti sterge o linie si cu Ctrl+Delete)",
        mkConfirmation, mbYesNo);
    if (answer == mrYes) ws.table.Delete();
}

void RecallRow(Workspace& ws) {
    if (!ws.table.Active()) return;
    ws.PostPendingEdit();
    if (ws.table.CurrentRow() < 0 || !ws.table.IsDeletedAt(ws.table.CurrentRow())) {
        ws.messages.Mesaj("Recupereaza linia", "Linia curenta nu este stearsa.", mkInformation,
                          mbOK);
        return;
    }
    ws.table.Recall();
    ws.window.SetRowCounter(std::to_string(ws.table.RecordCount()));
}

int RecallDisplayedRows(Workspace& ws) {
    if (!ws.table.Active()) return 0;
    ws.PostPendingEdit();
    const int recalled = ws.table.RecallVisible();
    if (recalled > 0) ws.history.WrittenInPlace(ws);
    ws.window.SetRowCounter(std::to_string(ws.table.RecordCount()));
    return recalled;
}

void SetValue(Workspace& ws, long row, const std::string& column, const std::string& value) {
    Table& table = ws.table;
    ws.PostPendingEdit();
    const int field = table.FieldIndexOrThrow(column);
    MoveToDisplayedRow(ws, row);
    table.SetText(field, value);
    try {
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
}

void CopyDown(Workspace& ws, const std::string& column, CopyDownMode mode) {
    Table& table = ws.table;
    if (!table.Active()) return;
    ws.PostPendingEdit();
    if (table.IsEmpty()) return;
    const int field = table.FieldIndexOrThrow(column);
    const std::string value = table.AsText(field);
    double number = 0;
    if (mode == CopyDownMode::Renumber)
        number = ParseNumberText(value, ws.Format().decimalSeparator).value_or(0);

    // The displayed rows from the current one down, in the grid's order; one rewrite writes
    // them all, so a value that doesn't fit leaves every row as it was.
    CommandGuard guard(ws, {.name = mode == CopyDownMode::Renumber ? "Renumerotare in jos"
                                                                   : "Copie valoare in jos"});
    const Bookmark start = table.GetBookmark();
    std::vector<int64_t> position(table.Header().recordCount, -1);
    int64_t count = 0;
    for (; !table.Eof(); table.Next()) {
        const int64_t record = table.PhysicalRecNo();
        if (record >= 0 && static_cast<size_t>(record) < position.size())
            position[static_cast<size_t>(record)] = count++;
    }
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, {}, [&](const DbfFile&, uint32_t record, DbfWriter& w) {
        const int64_t at = position[record];
        if (at < 0) return;
        if (mode == CopyDownMode::Renumber)
            w.SetDouble(field, number + static_cast<double>(at), format);
        else
            w.SetText(field, value, format);
        ws.progress.ProcessMessages();
    });
    guard.Finish();
    table.GotoBookmark(start);
}

}  // namespace orbelan
