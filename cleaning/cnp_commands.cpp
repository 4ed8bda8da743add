#include "cleaning/cnp_commands.h"

#include "cleaning/cnp.h"
#include "core/command_guard.h"
#include "core/replace_table.h"
#include "core/workspace.h"
#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"

namespace orbelan {
namespace {

// Writes the birth day number a code states into the target field of the new row.
using WriteBirth = std::function<void(DbfWriter& row, int field, int dayNumber)>;

// Thrown from the rewrite when not one displayed row holds a valid code: the new file is
// dropped, and the user told that the column holds no codes.
struct NoValidCode {};

// One rewrite adds the target column when missing and fills it for every displayed row: the
// file gets all of it or, after a failure, none of it. A code that is empty or invalid states
// no birth: its row's value is left empty, never an invented date.
void ExtractFromCnp(Workspace& ws, const std::string& source, const std::string& title,
                    const char* command, const FieldDef& target, const WriteBirth& write) {
    Table& table = ws.table;
    if (!table.Active()) return;
    ws.PostPendingEdit();
    const int from = table.FieldIndexOrThrow(source);
    NewStructure structure;
    int to = table.FieldIndex(target.name);
    if (to < 0) {
        structure = KeptStructure(table);
        structure.Add(target);
        to = table.FieldCount();
    }
    int shownCount = 0;
    int valid = 0;
    try {
        CommandGuard guard(ws, {.name = command});
        const Bookmark current = table.GetBookmark();
        const std::vector<bool> shown = DisplayedRecords(table, &shownCount);
        const FormatSettings format = ws.Format();
        ReplaceTable(ws, structure, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
            if (shown[record]) {
                const std::string code = src.Text(src.Record(record), from, format);
                if (CnpCorect(code, false)) {
                    write(w, to, CnpNascutLa(code));
                    ++valid;
                } else {
                    w.SetText(to, "", format);
                }
                ws.progress.ProcessMessages();
            }
            if (record + 1 == src.RecordCount() && shownCount > 0 && valid == 0)
                throw NoValidCode{};
        });
        guard.Finish();
        if (current >= 0) table.GotoBookmark(current);
    } catch (const NoValidCode&) {
        ws.messages.Mesaj(title,
                          "Coloana " + source +
                              " nu contine niciun C.N.P. valid in liniile afisate; nu am scris "
                              "nimic.",
                          mkWarning, mbOK);
        return;
    }
    ws.progress.ProcessMessages();
    std::string text = "Extragere incheiata cu succes.";
    if (const int empty = shownCount - valid; empty > 0)
        text += "\r" + std::to_string(empty) +
                " linii au ramas necompletate: codul lor lipseste sau nu este valid.";
    ws.messages.Mesaj(title, text, mkInformation, mbOK);
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

void CheckCnpCodes(Workspace& ws, const std::string& column) {
    const std::string title = "Verificare CNP";
    ws.PostPendingEdit();
    const int field = ws.table.FieldIndexOrThrow(column);
    // The grid is not frozen: it follows the rows, and stays on the code the user stops at.
    const bool finished = WalkInvalidCnp(
        ws.table, field,
        [&](int, const std::string& code) {
            return ws.messages.Mesaj(title, "CNP " + code + " incorect!\rContinuam?", mkWarning,
                                     mbYesNo) == mrYes;
        },
        [&] { ws.progress.ProcessMessages(); });
    if (finished) ws.messages.Mesaj(title, "Verificare incheiata.", mkInformation, mbOK);
}

void ExtractBirthYear(Workspace& ws, const std::string& column) {
    ExtractFromCnp(
        ws, column, "Anul din CNP", "Extrage Anul din C.N.P.",
        {.name = "ANCNP", .type = 'N', .size = 6}, [&](DbfWriter& row, int field, int day) {
            row.SetText(field, std::to_string(CivilFromDayNumber(day).year), ws.Format());
        });
}

void ExtractBirthDate(Workspace& ws, const std::string& column) {
    ExtractFromCnp(
        ws, column, "Data din CNP", "Extrage Data din C.N.P.",
        {.name = "DATACNP", .type = 'D', .size = 8}, [&](DbfWriter& row, int field, int day) {
            // A date column takes the day number itself, which a two-digit-year short
            // date format could not carry; a column of another type gets the date as
            // text.
            if (row.Fields()[static_cast<size_t>(field)].type == 'D')
                row.SetDate(field, day, ws.Format());
            else
                row.SetText(field, FormatDate(day, ws.Format().shortDateFormat), ws.Format());
        });
}

}  // namespace orbelan
