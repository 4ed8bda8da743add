#include "cleaning/column_transforms.h"

#include <cstring>

#include "cleaning/replace_table.h"
#include "core/frozen_grid.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_value.h"

namespace orbelan {
namespace {

// The progress bar and the disabled main window of a long command, undone however it ends.
class BusyWindow {
  public:
    BusyWindow(Ui& ui, int rows) : ui_(ui) {
        ui_.ProgressShow(rows);
        ui_.SetMainWindowEnabled(false);
    }
    ~BusyWindow() {
        ui_.ProgressHide();
        ui_.SetMainWindowEnabled(true);
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

  private:
    Ui& ui_;
};

std::string TrimmedText(std::string_view s) {
    return std::string(Trim(s));
}

}  // namespace

void DeleteColumn(Workspace& ws) {
    Table& tx = ws.Tx;
    if (!tx.Active()) return;
    ws.PostPendingEdit();
    if (!ws.ui.Choose("Sterge o coloana")) return;
    const std::string column = ws.ui.ChosenColumn();
    if (ws.ui.Mesaj("Stergere coloana",
                    "Sunteti sigur ca vreti sa stergeti coloana " + column + "?", mkWarning,
                    mbYesNo) != mrYes)
        return;
    const int dropped = tx.FieldIndexOrThrow(column);
    if (tx.FieldCount() == 1)
        throw DbfError(ErrorKind::State, "Tabelul nu poate ramane fara coloane.");
    NewStructure structure;
    for (int i = 0; i < tx.FieldCount(); ++i) {
        if (i == dropped) continue;
        structure.fields.push_back(tx.Field(i));
        structure.sources.push_back(i);
    }
    FrozenGrid frozen(tx);
    ReplaceTable(ws, structure, nullptr);
    frozen.Unfreeze();
}

std::pair<std::string, std::string> SplitName(const std::string& value) {
    const auto blank = value.find(' ');
    if (blank == std::string::npos) return {TrimmedText(value), {}};
    return {TrimmedText(std::string_view(value).substr(0, blank + 1)),
            TrimmedText(std::string_view(value).substr(blank + 1))};
}

void SeparaNumePrenume(Workspace& ws) {
    Table& tx = ws.Tx;
    if (!tx.Active()) return;
    ws.PostPendingEdit();
    if (!ws.ui.Choose("Separa nume de prenume")) return;
    const int names = tx.FieldIndexOrThrow(ws.ui.ChosenColumn());
    // One rewrite adds PRENUME_ when missing and splits every displayed row: the file gets
    // all of it or, after a failure, none of it.
    NewStructure structure;
    int first = tx.FieldIndex("PRENUME_");
    if (first < 0) {
        for (int i = 0; i < tx.FieldCount(); ++i) {
            structure.fields.push_back(tx.Field(i));
            structure.sources.push_back(i);
        }
        FieldDef prenume;
        prenume.name = "PRENUME_";
        prenume.size = 24;
        structure.fields.push_back(prenume);
        structure.sources.push_back(-1);
        first = tx.FieldCount();
    }
    FrozenGrid frozen(tx);
    const std::vector<bool> shown = DisplayedRecords(tx);
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, structure, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
        if (!shown[record]) return;
        const auto [surname, firstNames] = SplitName(src.Text(src.Record(record), names, format));
        w.SetText(names, surname, format);
        w.SetText(first, firstNames, format);
        ws.ui.ProcessMessages();
    });
    frozen.Unfreeze();
    ws.ui.ProcessMessages();
    ws.ui.Mesaj("Separare nume de prenume", "Separarea s-a efectuat cu succes!", mkInformation,
                mbOK);
}

bool DateColumnToNumber(Workspace& ws) {
    Table& tx = ws.Tx;
    if (!tx.Active()) return false;
    ws.PostPendingEdit();
    if (!ws.ui.Choose("Transforma DATE in NUMERIC")) return false;
    const std::string column = ws.ui.ChosenColumn();
    const int date = tx.FieldIndexOrThrow(column);
    if (tx.Field(date).type != 'D') {
        ws.ui.Mesaj("Transformare tip coloana", "Campul " + column + " nu este de tip DATE!",
                    mkError, mbOK);
        return false;
    }
    // Every row of the file gets its day number in one rewrite: the date column is replaced
    // by the number column, last, under the same name, or the file stays as it was.
    NewStructure structure;
    for (int i = 0; i < tx.FieldCount(); ++i) {
        if (i == date) continue;
        structure.fields.push_back(tx.Field(i));
        structure.sources.push_back(i);
    }
    FieldDef number;
    number.name = tx.Field(date).name;
    number.type = 'N';
    number.size = 6;
    structure.fields.push_back(number);
    structure.sources.push_back(-1);
    const int target = static_cast<int>(structure.fields.size()) - 1;

    const int rows = static_cast<int>(tx.Header().recordCount);
    BusyWindow busy(ws.ui, rows);
    FrozenGrid frozen(tx);
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, structure, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
        const FieldValue v = FieldReader(src.Layout(), src.FieldAt(date)).Read(src.Record(record));
        w.SetText(target, std::to_string(v.kind == ValueKind::Date ? v.day : 0), format);
        ws.ui.ProgressSet(static_cast<int>(record) + 1);
        ws.ui.ProcessMessages();
    });
    frozen.Unfreeze();
    return true;
}

std::optional<int> InverseazaColoane(Workspace& ws) {
    Table& tx = ws.Tx;
    if (!tx.Active()) return std::nullopt;
    ws.PostPendingEdit();
    std::vector<std::string> names;
    for (int i = 0; i < tx.FieldCount(); ++i) names.push_back(tx.Field(i).name);
    const auto chosen = ws.ui.ChooseTwoColumns(names);
    if (!chosen) return std::nullopt;
    const auto& [nameA, nameB] = *chosen;
    if (ws.ui.Mesaj("Inversare coloane",
                    "Doriti sa inversam coloana " + nameA + " cu coloana " + nameB + " ?",
                    mkConfirmation, mbYesNo) != mrYes)
        return std::nullopt;
    const int a = tx.FieldIndexOrThrow(nameA);
    const int b = tx.FieldIndexOrThrow(nameB);

    int rows = 0;
    int failures = 0;
    {
        FrozenGrid frozen(tx);
        const std::vector<bool> shown = DisplayedRecords(tx, &rows);
        BusyWindow busy(ws.ui, rows);
        ws.ui.ProcessMessages();
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
            ws.ui.ProgressSet(++position);
            ws.ui.ProcessMessages();
        });
        frozen.Unfreeze();
        tx.Last();
    }
    if (failures > 0)
        ws.ui.Mesaj("Inversare coloane",
                    std::to_string(failures) + "/" + std::to_string(rows) +
                        " valori nu au putut fi inversate.",
                    mkWarning, mbOK);
    return failures;
}

std::optional<int> SwapColumns(Workspace& ws) {
    const auto failures = InverseazaColoane(ws);
    if (failures)
        ws.ui.Mesaj("Inversare coloane", "Coloanele au fost inversate cu succes!", mkInformation,
                    mbOK);
    return failures;
}

}  // namespace orbelan
