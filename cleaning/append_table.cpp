#include "cleaning/append_table.h"

#include <optional>
#include <vector>

#include "core/command_guard.h"
#include "core/open_table.h"
#include "core/restore_points.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/rewrite.h"

namespace orbelan {
namespace {

constexpr int kRowsPerStep = 1000;

struct FieldPair {
    int from;
    int to;
    bool date;  // a stored date goes over as a day number, whatever the short date format
};

// After the copy, however it ends: the query closed, the per-row counter on again, the counter
// showing the rows and the grid on the last row. A row left unposted by a failure stays current,
// for the user to correct or cancel.
class AppendEnd {
  public:
    explicit AppendEnd(Workspace& ws) : ws_(ws) { ws_.DetachAfterPost(); }
    ~AppendEnd() {
        try {
            ws_.query.ClearSql();
        } catch (...) {
        }
        ws_.progress.ProcessMessages();
        ws_.AttachAfterPost();
        try {
            ws_.window.SetRowCounter(std::to_string(ws_.table.RecordCount()));
            if (ws_.table.Active() && ws_.table.GetState() == Table::State::Browse)
                ws_.table.Last();
        } catch (...) {
        }
    }
    AppendEnd(const AppendEnd&) = delete;
    AppendEnd& operator=(const AppendEnd&) = delete;

  private:
    Workspace& ws_;
};

// The failing row waits in the window, unposted, with its values set through the table's own
// setters; the rows the rewrite adds go through the writer's field copier.
struct TableRow {
    Table& table;
    void SetDate(int field, int day) { table.SetDate(field, day); }
    void SetText(int field, const std::string& text) { table.SetText(field, text); }
};

// Every value of the source row that its field can take goes in; the first that can't is
// thrown afterwards, so the unposted row shows all the others. A failure to write is thrown at
// once. text: a reused buffer.
template <typename Row>
void CopyRow(Query& query, Row&& row, const std::vector<FieldPair>& pairs, std::string& text) {
    const DbfFile& file = query.Data();
    const uint8_t* rec = query.RecordAt(query.CurrentRow());
    std::optional<DbfError> failure;
    for (const FieldPair& p : pairs) {
        try {
            if (p.date) {
                const FieldValue v = FieldReader(file.Layout(), file.FieldAt(p.from)).Read(rec);
                if (v.kind == ValueKind::Date) {
                    row.SetDate(p.to, v.day);
                    continue;
                }
            }
            text.clear();
            file.AppendText(text, rec, p.from, query.Format());
            // An empty text form is an empty value, which the appended row has already.
            if (!text.empty()) row.SetText(p.to, text);
        } catch (const DbfError& e) {
            if (e.Kind() == ErrorKind::Io) throw;
            if (!failure) failure = e;
        }
    }
    if (failure) throw *failure;
}

// Thrown through the rewrite when the first row already fails: with no row to add, the files
// are not rewritten at all.
struct NothingAppended {};

// The rows a rewrite gives the table: its own, then the source's up to the first value the table
// can't take (kept in stopped, the source left on that row).
struct AppendRows {
    Workspace& ws;
    const std::vector<FieldPair>& pairs;
    int shownBefore;  // the row counter's start
    int appended = 0;
    std::optional<DbfError> stopped;

    void Write(const DbfFile& old, DbfWriter& out) {
        Query& query = ws.query;
        std::vector<DbfWriter::FieldCopy> copies;
        for (const FieldPair& p : pairs) copies.push_back({p.from, p.to});
        DbfWriter::CopyOptions options;
        options.keepsMemoBlocks = false;  // a table appended to itself gets blocks of its own
        out.PlanCopy(query.Data(), copies, query.Format(), options);
        out.AddRecordsOf(old);
        for (; !query.Eof(); query.Next()) {
            out.BeginRow();
            try {
                out.CopyPlanned(query.RecordAt(query.CurrentRow()));
            } catch (const DbfError& e) {
                if (e.Kind() == ErrorKind::Io) throw;
                stopped = e;
                if (appended == 0) throw NothingAppended{};
                return;
            }
            out.NumberRow();
            out.EndRow();
            if (++appended % kRowsPerStep == 0) {
                ws.progress.ProgressSet(appended / kRowsPerStep);
                ws.window.SetRowCounter(std::to_string(shownBefore + appended));
                ws.progress.ProcessMessages();
            }
        }
    }
};

}  // namespace

AppendStopped::AppendStopped(const DbfError& cause, int appended)
    : DbfError(cause.Kind(), std::string(cause.what()) + "\nLinii adaugate inainte de eroare: " +
                                 std::to_string(appended) + "."),
      appended_(appended) {}

AppendOutcome AppendFromTable(Workspace& ws, const std::string& source) {
    Table& table = ws.table;
    Query& query = ws.query;
    ws.PostPendingEdit();
    // The file dialog offers the open table first: appending it to itself is asked, not assumed.
    if (SameFile(source, table.TableName()) &&
        ws.messages.Mesaj("Lipire tabele", "Adaugati tabelului propriile linii?", mkConfirmation,
                          mbYesNo) != mrYes)
        return {};
    // The query reads the file as it is now: when it is the open table's own file, the rows
    // appended below lie beyond what the query sees.
    query.ClearSql();
    query.AddSql("SELECT * FROM " + SqlQuoted(source));
    query.Open();
    ws.progress.ProcessMessages();
    query.First();

    std::vector<FieldPair> pairs;
    for (int i = 0; i < query.FieldCount(); ++i) {
        const FieldDef& f = query.Field(i);
        const int to = table.FieldIndex(f.name);
        if (to < 0) {
            ws.messages.Mesaj(
                "Lipire tabele",
                "Sursa are campul " + f.name + " in plus!" + "\r" + "Nu pot executa lipirea.",
                mkError, mbOK);
            query.ClearSql();
            ws.progress.ProcessMessages();
            return {true, 0};
        }
        // The table numbers its autoincrement fields itself, as it does a row added by hand.
        if (!table.Field(to).IsAutoIncrement()) pairs.push_back({i, to, f.type == 'D'});
    }

    // One rewrite: the table's rows and the new ones go to a new file that replaces the old
    // only when complete, so a failure to write leaves the table as it was.
    AppendEnd end(ws);
    CommandGuard guard(ws, {.bar = query.RecordCount() / kRowsPerStep,
                            .disableWindow = true,
                            .keepUnpostedRow = true,
                            .name = "Adauga date din alt tabel"});
    AppendRows rows{ws, pairs, table.RecordCount(), 0, std::nullopt};
    RewritePlan plan;
    plan.fill = [&rows](const DbfFile& old, DbfWriter& out) { rows.Write(old, out); };
    try {
        WithRestorePoint(ws, table.TableName(), [&] { table.Rewrite(plan); });
    } catch (const NothingAppended&) {
        // the files stay byte for byte as they were
    } catch (const DbfError& e) {
        throw AppendStopped(e, 0);  // nothing appended; the guard gives the window back
    }
    if (rows.stopped) {
        // The failing row waits as the table's last, unposted, with every value it could take.
        table.Append();
        std::string text;
        try {
            CopyRow(query, TableRow{table}, pairs, text);
        } catch (const DbfError&) {
            // the rewrite's error is the one reported
        }
    }
    guard.Finish();
    if (rows.stopped) throw AppendStopped(*rows.stopped, rows.appended);
    return {false, rows.appended};
}

}  // namespace orbelan
