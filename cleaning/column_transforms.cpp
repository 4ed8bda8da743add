#include "cleaning/column_transforms.h"

#include <algorithm>
#include <cstring>

#include "core/argument_error.h"
#include "core/command_guard.h"
#include "core/replace_table.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_value.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

constexpr size_t kFirstNamesWidth = 24;  // PRENUME_ at least as wide as it has always been
constexpr size_t kMaxTextWidth = 254;

// Characters of what the split leaves for the first names.
size_t RestLength(std::string_view value) {
    const auto blank = value.find(' ');
    return blank == std::string_view::npos ? 0 : utf8::CharCount(Trim(value.substr(blank + 1)));
}

}  // namespace

bool DeleteColumn(Workspace& ws, const std::string& column) {
    Table& table = ws.table;
    if (!table.Active()) return false;
    ws.PostPendingEdit();
    if (ws.messages.Mesaj("Stergere coloana",
                          "Sunteti sigur ca vreti sa stergeti coloana " + column + "?", mkWarning,
                          mbYesNo) != mrYes)
        return false;
    const int dropped = table.FieldIndexOrThrow(column);
    if (table.FieldCount() == 1)
        throw DbfError(ErrorKind::State, "Tabelul nu poate ramane fara coloane.");
    CommandGuard guard(ws, {.name = "Sterge o coloana"});
    ReplaceTable(ws, KeptStructure(table, dropped), nullptr);
    guard.Finish();
    return true;
}

std::pair<std::string, std::string> SplitName(const std::string& value) {
    const auto blank = value.find(' ');
    if (blank == std::string::npos) return {std::string(Trim(value)), {}};
    return {std::string(Trim(std::string_view(value).substr(0, blank + 1))),
            std::string(Trim(std::string_view(value).substr(blank + 1)))};
}

void SplitNames(Workspace& ws, const std::string& column) {
    Table& table = ws.table;
    if (!table.Active()) return;
    ws.PostPendingEdit();
    const int names = table.FieldIndexOrThrow(column);
    CommandGuard guard(ws, {.name = "Separa Nume de Prenume"});
    // The displayed rows, and the longest rest among them: it decides PRENUME_'s width, so a
    // name is never cut.
    std::vector<bool> shown(table.Header().recordCount, false);
    size_t longest = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        const int64_t record = table.PhysicalRecNo();
        if (record >= 0 && static_cast<size_t>(record) < shown.size())
            shown[static_cast<size_t>(record)] = true;
        longest = std::max(longest, RestLength(table.AsText(names)));
    }
    const int width =
        static_cast<int>(std::clamp<size_t>(longest, kFirstNamesWidth, kMaxTextWidth));

    // One rewrite adds PRENUME_ when missing (or widens it) and splits every displayed row: the
    // file gets all of it or, after a failure, none of it.
    NewStructure structure;
    int first = table.FieldIndex("PRENUME_");
    if (first < 0) {
        structure = KeptStructure(table);
        structure.Add({.name = "PRENUME_", .size = width});
        first = table.FieldCount();
    } else if (table.Field(first).type == 'C' && table.Field(first).size < width) {
        structure = KeptStructure(table);
        structure.fields[static_cast<size_t>(first)].size = width;
    }
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, structure, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
        if (!shown[record]) return;
        const auto [surname, firstNames] = SplitName(src.Text(src.Record(record), names, format));
        w.SetText(names, surname, format);
        // A name with nothing to split (split already, or a single word) keeps its first names.
        if (!firstNames.empty()) w.SetText(first, firstNames, format);
        ws.progress.ProcessMessages();
    });
    guard.Finish();
    ws.progress.ProcessMessages();
    ws.messages.Mesaj("Separare nume de prenume", "Separarea s-a efectuat cu succes!",
                      mkInformation, mbOK);
}

bool DateColumnToNumber(Workspace& ws, const std::string& column) {
    Table& table = ws.table;
    if (!table.Active()) return false;
    ws.PostPendingEdit();
    const int date = table.FieldIndexOrThrow(column);
    if (table.Field(date).type != 'D') {
        ws.messages.Mesaj("Transformare tip coloana", "Campul " + column + " nu este de tip DATE!",
                          mkError, mbOK);
        return false;
    }
    // Every row of the file gets its day number in one rewrite: the date column is replaced
    // by the number column, last, under the same name, or the file stays as it was.
    NewStructure structure = KeptStructure(table, date);
    structure.Add({.name = table.Field(date).name, .type = 'N', .size = 6});
    const int target = static_cast<int>(structure.fields.size()) - 1;

    const int rows = static_cast<int>(table.Header().recordCount);
    CommandGuard guard(
        ws, {.bar = rows, .disableWindow = true, .name = "Transforma Coloana Date in Numeric"});
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, structure, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
        const FieldValue v = FieldReader(src.Layout(), src.FieldAt(date)).Read(src.Record(record));
        w.SetText(target, std::to_string(v.kind == ValueKind::Date ? v.day : 0), format);
        ws.progress.ProgressSet(static_cast<int>(record) + 1);
        ws.progress.ProcessMessages();
    });
    guard.Finish();
    return true;
}

std::optional<int> SwapColumns(Workspace& ws, const std::string& nameA, const std::string& nameB) {
    Table& table = ws.table;
    if (!table.Active()) return std::nullopt;
    if (SameFieldName(nameA, nameB)) throw ArgumentError("Alegeti doua coloane diferite!");
    ws.PostPendingEdit();
    if (ws.messages.Mesaj("Inversare coloane",
                          "Doriti sa inversam coloana " + nameA + " cu coloana " + nameB + " ?",
                          mkConfirmation, mbYesNo) != mrYes)
        return std::nullopt;
    const int a = table.FieldIndexOrThrow(nameA);
    const int b = table.FieldIndexOrThrow(nameB);

    int rows = 0;
    int failures = 0;
    {
        CommandGuard guard(ws, {.disableWindow = true, .name = "Inverseaza doua coloane"});
        const std::vector<bool> shown = DisplayedRecords(table, &rows);
        guard.ShowBar(rows);
        ws.progress.ProcessMessages();
        // One rewrite: each displayed row takes the other column's value through the field
        // copier; a row whose values don't fit the other column stays as it was and is counted.
        const FormatSettings format = ws.Format();
        int position = 0;
        bool planned = false;
        ReplaceTable(ws, {}, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
            if (!shown[record]) return;
            if (!planned) {
                w.PlanCopy(src, {{b, a}, {a, b}}, format, {});
                planned = true;
            }
            const uint8_t* rec = src.Record(record);
            try {
                w.CopyPlanned(rec);
            } catch (const DbfError& e) {
                if (e.Kind() != ErrorKind::Conversion) throw;
                std::memcpy(w.Row(), rec, src.RecordLength());  // the row as it was
                ++failures;
            }
            ws.progress.ProgressSet(++position);
            ws.progress.ProcessMessages();
        });
        guard.Finish();
        table.Last();
    }
    if (failures > 0)
        ws.messages.Mesaj("Inversare coloane",
                          std::to_string(failures) + "/" + std::to_string(rows) +
                              " valori nu au putut fi inversate.",
                          mkWarning, mbOK);
    ws.messages.Mesaj("Inversare coloane", "Coloanele au fost inversate cu succes!", mkInformation,
                      mbOK);
    return failures;
}

}  // namespace orbelan
