#include "cleaning/column_transforms.h"

#include "cleaning/add_column.h"
#include "cleaning/replace_table.h"
#include "core/frozen_grid.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"

namespace orbelan {
namespace {

// While a loop posts every row, the row counter is shown once at the end, not once per row.
class QuietPosts {
  public:
    explicit QuietPosts(Workspace& ws) : ws_(ws) { ws_.DetachAfterPost(); }
    ~QuietPosts() {
        ws_.AttachAfterPost();
        if (ws_.Tx.Active()) ws_.TxAfterPost();
    }
    QuietPosts(const QuietPosts&) = delete;
    QuietPosts& operator=(const QuietPosts&) = delete;

  private:
    Workspace& ws_;
};

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
    if (!ws.Tx.Active()) return;
    ws.PostPendingEdit();
    if (!ws.ui.Choose("Separa nume de prenume")) return;
    // Read now: reopening the table after adding the column selects the chooser's first name.
    const std::string column = ws.ui.ChosenColumn();
    if (ws.Tx.FieldIndex("PRENUME_") < 0) AddColumn(ws, "PRENUME_", "CHAR(24)");

    Table& tx = ws.Tx;
    const int names = tx.FieldIndexOrThrow(column);
    const int first = tx.FieldIndexOrThrow("PRENUME_");
    {
        QuietPosts quiet(ws);
        FrozenGrid frozen(tx);
        tx.First();
        while (!tx.Eof()) {
            const auto [surname, firstNames] = SplitName(tx.AsText(names));
            tx.Edit();
            tx.SetText(names, surname);
            tx.SetText(first, firstNames);
            tx.Post();
            ws.ui.ProcessMessages();
            tx.Next();
        }
        frozen.Unfreeze();
    }
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
        const auto day = FieldCodec::StoredDate(src.Record(record), src.FieldAt(date));
        w.SetText(target, std::to_string(day.value_or(0)), format);
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

    tx.First();
    const int rows = tx.RecordCount();
    int failures = 0;
    {
        QuietPosts quiet(ws);
        FrozenGrid frozen(tx);
        BusyWindow busy(ws.ui, rows);
        ws.ui.ProcessMessages();
        int position = 0;
        while (!tx.Eof()) {
            try {
                tx.Edit();
                const std::string textA = tx.AsText(a);
                const std::string textB = tx.AsText(b);
                tx.SetText(a, textB);
                tx.SetText(b, textA);
                tx.Post();
                ws.ui.ProcessMessages();
            } catch (const DbfError&) {
                ++failures;
                if (tx.GetState() != Table::State::Browse) tx.Cancel();
            }
            tx.Next();
            ws.ui.ProgressSet(++position);
            ws.ui.ProcessMessages();
        }
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
