#include "cleaning/row_set_commands.h"

#include <unordered_map>
#include <vector>

#include "core/command_guard.h"
#include "core/open_table.h"
#include "core/replace_table.h"
#include "core/table_indexes.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"

namespace orbelan {
namespace {

// Marks the given records deleted in one rewrite of the open table, so a failure leaves every
// row as it was instead of a part of them deleted.
void MarkDeleted(Workspace& ws, const std::vector<bool>& marked) {
    ReplaceTable(ws, {}, [&](const DbfFile&, uint32_t record, DbfWriter& w) {
        if (record < marked.size() && marked[record]) w.Row()[0] = '*';
    });
}

// The records to delete so that, of each value the whole file holds more than once, the
// displayed copies go in the table's order until one copy is left. One pass each way: a locate
// per value would make a large table take hours.
std::vector<bool> RepeatedRecords(Workspace& ws, int field, int& deleted, int& emptyKept) {
    Table& table = ws.table;
    std::vector<uint32_t> displayed;
    for (table.First(); !table.Eof(); table.Next())
        displayed.push_back(static_cast<uint32_t>(table.PhysicalRecNo()));
    ws.progress.ProcessMessages();

    const auto file = DbfFile::Open(table.TableName(), FileOptionsOf(table));
    // Two rows are copies when the field's text forms are equal, as a locate would find them.
    const FormatSettings& format = ws.Format();
    const auto key = [&](uint32_t record) {
        return file->Text(file->Record(record), field, format);
    };
    std::unordered_map<std::string, int> remaining;
    // An empty value is no value: rows without one are different people, never copies.
    for (uint32_t r = 0; r < file->RecordCount(); ++r)
        if (!file->IsDeleted(r)) ++remaining[key(r)];
    remaining.erase(std::string());
    ws.progress.ProcessMessages();

    std::vector<bool> marked(file->RecordCount(), false);
    ws.progress.ProgressShow(static_cast<int>(displayed.size()));
    int position = 0;
    for (uint32_t r : displayed) {
        const std::string value = key(r);
        if (value.empty()) ++emptyKept;
        auto it = remaining.find(value);
        if (it != remaining.end() && it->second > 1) {
            --it->second;
            marked[r] = true;
            ++deleted;
        }
        ws.progress.ProgressSet(++position);
        ws.progress.ProcessMessages();
    }
    return marked;
}

}  // namespace

int DeleteDuplicateRows(Workspace& ws, const std::string& column) {
    Table& table = ws.table;
    if (!table.Active()) return 0;
    ws.PostPendingEdit();
    if (!HasRowsToDelete(ws)) return 0;
    if (ws.messages.Mesaj("Stergere linii dublate",
                          "Stergem liniile care apar de mai multe ori,\r cu aceeasi valoare pe "
                          "coloana " +
                              column + " ?",
                          mkWarning, mbYesNo) != mrYes)
        return 0;
    const int field = table.FieldIndexOrThrow(column);
    const std::string current = table.AsText(field);
    int deleted = 0;
    int emptyKept = 0;
    {
        CommandGuard guard(ws, {.bar = 0,
                                .disableWindow = true,
                                .busyCursor = true,
                                .name = "Sterge liniile dublate"});
        ws.progress.ProcessMessages();
        // Back on the row holding the value the cursor was on, however the command ends.
        struct BackToValue {
            Workspace& ws;
            const std::string& column;
            const std::string& value;
            ~BackToValue() {
                try {
                    if (!ws.table.Active()) return;
                    ws.table.Locate(column, value);
                    ws.window.SetRowCounter(std::to_string(ws.table.RecordCount()));
                } catch (const std::exception&) {
                    // The failure that ended the command is the one to report.
                }
            }
        } back{ws, column, current};
        const std::vector<bool> marked = RepeatedRecords(ws, field, deleted, emptyKept);
        if (deleted > 0) MarkDeleted(ws, marked);
        guard.Finish();
    }
    if (emptyKept > 1)
        ws.messages.Mesaj("Stergere linii dublate",
                          std::to_string(emptyKept) + " linii afisate nu au valoare pe coloana " +
                              column + " si au fost pastrate toate.",
                          mkInformation, mbOK);
    return deleted;
}

bool HasRowsToDelete(Workspace& ws) {
    if (!ws.table.IsEmpty()) return true;
    ws.messages.ShowProblem("Nu aveti ce sterge!", UiControl::Grid);
    return false;
}

int DeleteDisplayedRows(Workspace& ws) {
    Table& table = ws.table;
    if (!table.Active()) return 0;
    ws.PostPendingEdit();
    if (table.IsEmpty()) return 0;
    if (ws.messages.Mesaj("Stergere linii afisate", "Doriti sa stergem toate liniile afisate?",
                          mkWarning, mbYesNo) != mrYes)
        return 0;
    CommandGuard guard(ws, {.name = "Sterge liniile afisate"});
    // The rows the grid shows: through the filter when it is on, trailing-* form included;
    // every row when it is off, whatever text is left in the filter box.
    int deleted = 0;
    const std::vector<bool> marked = DisplayedRecords(table, &deleted);
    MarkDeleted(ws, marked);
    guard.Finish();
    return deleted;
}

void PackTable(Workspace& ws, const std::string& file) {
    Table& source = ws.secondTable;
    if (source.Active()) source.Close();
    source.SetTableName(file);
    ws.progress.ProcessMessages();
    source.Open();
    // The pack writes a new file first: when it fails the old one is as it was, and the failure
    // is reported (not followed by "deleted") with the table closed again.
    try {
        source.Pack();
    } catch (...) {
        source.Close();
        throw;
    }
    source.Close();
    ws.progress.ProcessMessages();
}

void DeleteIndex(Workspace& ws) {
    if (!ws.table.Active()) return;
    if (!HasIndex(ws.table.TableName())) {
        ws.messages.Mesaj("Stergere Index", "Tabelul nu are index.", mkInformation, mbOK);
        return;
    }
    // The pack first: when it fails the table and its index are as they were. A failure to
    // remove the index afterwards is reported, not followed by "deleted".
    CommandGuard guard(ws, {.name = "Sterge Index"});
    ReplaceAndReopen(ws, [&](const std::string& path) {
        const std::vector<std::string> attached = AttachedIndexes(ws.ProgramDir, path);
        // The index is going: a tag the pack could not rebuild needs no question.
        ws.secondTable.SetIndexOptions(
            {}, [](const std::string&, const std::string&, const std::function<void()>& detach) {
                detach();
                return true;
            });
        struct AskAgain {
            Workspace& ws;
            ~AskAgain() { SetUpIndexes(ws); }
        } askAgain{ws};
        PackTable(ws, path);
        DetachIndex(path, attached);
        ws.progress.ProcessMessages();
    });
    guard.Finish();
    ws.messages.Mesaj("Stergere Index", "Indexul a fost sters!", mkInformation, mbOK);
}

}  // namespace orbelan
