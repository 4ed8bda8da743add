#include "cleaning/cnp_commands.h"

#include "cleaning/add_column.h"
#include "cleaning/cnp.h"
#include "core/frozen_grid.h"
#include "core/workspace.h"
#include "engine/date_util.h"

namespace orbelan {
namespace {

using WriteBirth = std::function<void(Table& table, int field, int dayNumber)>;

void ExtractFromCnp(Workspace& ws, const std::string& title, const std::string& column,
                    const std::string& sqlType, const WriteBirth& write) {
    ws.PostPendingEdit();
    if (!ws.ui.Choose(title)) return;
    // Read now: reopening the table after adding the column selects the chooser's first name.
    const std::string source = ws.ui.ChosenColumn();
    if (ws.Tx.FieldIndex(column) < 0) AddColumn(ws, column, sqlType);

    Table& tx = ws.Tx;
    const int from = tx.FieldIndexOrThrow(source);
    const int to = tx.FieldIndexOrThrow(column);
    FrozenGrid frozen(tx);
    tx.First();
    while (!tx.Eof()) {
        const int day = CnpNascutLa(tx.AsText(from));
        tx.Edit();
        write(tx, to, day);
        tx.Post();
        ws.ui.ProcessMessages();
        tx.Next();
    }
    frozen.Unfreeze();
    ws.ui.ProcessMessages();
    ws.ui.Mesaj(title, "Extragere incheiata cu succes.", mkInformation, mbOK);
}

}  // namespace

bool WalkInvalidCnp(Table& table, int field,
                    const std::function<bool(int row, const std::string& code)>& onInvalid,
                    const std::function<void()>& afterRow) {
    table.First();
    while (!table.Eof()) {
        const std::string code = table.AsText(field);
        if (!CnpCorect(code, false) && !onInvalid(table.RecNo(), code)) return false;
        if (afterRow) afterRow();
        table.Next();
    }
    return true;
}

std::vector<std::pair<int, std::string>> FindInvalidCnp(Table& table, int field) {
    std::vector<std::pair<int, std::string>> invalid;
    WalkInvalidCnp(table, field, [&](int row, const std::string& code) {
        invalid.emplace_back(row, code);
        return true;
    });
    return invalid;
}

void CNPCheck(Workspace& ws) {
    const std::string title = "Verificare CNP";
    ws.PostPendingEdit();
    if (!ws.ui.Choose(title)) return;
    const int field = ws.Tx.FieldIndexOrThrow(ws.ui.ChosenColumn());
    // The grid is not frozen: it follows the rows, and stays on the code the user stops at.
    const bool finished = WalkInvalidCnp(
        ws.Tx, field,
        [&](int, const std::string& code) {
            return ws.ui.Mesaj(title, "CNP " + code + " incorect!\rContinuam?", mkWarning,
                               mbYesNo) == mrYes;
        },
        [&] { ws.ui.ProcessMessages(); });
    if (finished) ws.ui.Mesaj(title, "Verificare incheiata.", mkInformation, mbOK);
}

void AnDinCNP(Workspace& ws) {
    ExtractFromCnp(ws, "Anul din CNP", "ANCNP", "DECIMAL(6,0)",
                   [](Table& table, int field, int day) {
                       table.SetText(field, std::to_string(CivilFromDayNumber(day).year));
                   });
}

void ExtrageDatadinCNP(Workspace& ws) {
    ExtractFromCnp(ws, "Data din CNP", "DATACNP", "DATE", [](Table& table, int field, int day) {
        // A date column takes the day number itself, which a two-digit-year short date format
        // could not carry; a column of another type gets the date as text.
        if (table.Field(field).type == 'D') {
            table.SetDate(field, day);
        } else {
            table.SetText(field, FormatDate(day, table.Format().shortDateFormat));
        }
    });
}

}  // namespace orbelan
