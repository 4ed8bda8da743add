#include "cleaning/append_table.h"

#include <optional>
#include <vector>

#include "cleaning/replace_table.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"

namespace orbelan {
namespace {

constexpr int kRowsPerStep = 1000;

std::string QuotedPath(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        out += c;
        if (c == '"') out += '"';  // a doubled quote stands for one
    }
    return out + "\"";
}

struct FieldPair {
    int from;
    int to;
    bool date;  // a stored date goes over as a day number, whatever the short date format
};

// While rows are copied: the window disabled, the grid frozen, the per-row counter off. Finish
// (or the destructor, after a failure) gives all of it back and ends on the last row.
class AppendSession {
  public:
    AppendSession(Workspace& ws, int steps) : ws_(ws) {
        ws_.ui.SetMainWindowEnabled(false);
        ws_.ui.ProgressShow(steps);
        ws_.Tx.DisableControls();
        ws_.DetachAfterPost();
    }
    ~AppendSession() {
        if (!finished_) Restore(false);
    }
    AppendSession(const AppendSession&) = delete;
    AppendSession& operator=(const AppendSession&) = delete;

    // The rows still waiting in memory go to the file here; a failure to write them is
    // reported like any other.
    void Finish() {
        finished_ = true;
        Restore(true);
    }

  private:
    void Restore(bool report) {
        try {
            ws_.Sx.ClearSql();
        } catch (...) {
        }
        ws_.ui.ProcessMessages();
        ws_.ui.SetMainWindowEnabled(true);
        ws_.ui.ProgressHide();
        ws_.AttachAfterPost();
        try {
            ws_.Tx.EnableControls();
        } catch (...) {
            if (report) throw;
        }
        ws_.ui.SetRowCounter(std::to_string(ws_.Tx.RecordCount()));
        // A row left unposted by a failure stays current, for the user to correct or cancel.
        if (ws_.Tx.Active() && ws_.Tx.GetState() == Table::State::Browse) ws_.Tx.Last();
    }

    Workspace& ws_;
    bool finished_ = false;
};

// Every value of the source row that its field can take goes in; the first that can't is
// thrown afterwards, so the unposted row shows all the others. text: a reused buffer.
void CopyRow(Query& sx, Table& tx, const std::vector<FieldPair>& pairs, std::string& text) {
    const DbfFile& file = sx.Data();
    const uint8_t* rec = sx.RecordAt(sx.CurrentRow());
    std::optional<DbfError> failure;
    for (const FieldPair& p : pairs) {
        try {
            if (p.date) {
                const FieldValue v = FieldReader(file.Layout(), file.FieldAt(p.from)).Read(rec);
                if (v.kind == ValueKind::Date) {
                    tx.SetDate(p.to, v.day);
                    continue;
                }
            }
            text.clear();
            file.AppendText(text, rec, p.from, sx.Format());
            // An empty text form is an empty value, which the appended row has already.
            if (!text.empty()) tx.SetText(p.to, text);
        } catch (const DbfError& e) {
            if (!failure) failure = e;
        }
    }
    if (failure) throw *failure;
}

// Writes out the rows still waiting and throws AppendStopped when the copy stopped (cause).
// When they can't be written, closing the table tries once more; then the table is opened again
// on what its file holds and the rows that made it in are the ones counted, so a copy reported
// as stopped never gets its waiting rows written later, behind the user's back.
void FinishOrStop(Workspace& ws, AppendSession& session, const std::string& path,
                  uint32_t storedBefore, const DbfError* cause, int appended) {
    try {
        session.Finish();
    } catch (const DbfError& flushFailure) {
        bool written = true;
        try {
            ws.Tx.Cancel();
            ws.Tx.Close();
        } catch (const DbfError&) {
            written = false;
        }
        const DbfError reported = cause ? *cause : flushFailure;
        ReopenTable(ws, path);
        if (!cause && written) return;  // the second try wrote them all
        throw AppendStopped(reported, static_cast<int>(ws.Tx.Header().recordCount - storedBefore));
    }
    if (cause) throw AppendStopped(*cause, appended);
}

}  // namespace

AppendStopped::AppendStopped(const DbfError& cause, int appended)
    : DbfError(cause.Kind(), std::string(cause.what()) + "\nLinii adaugate inainte de eroare: " +
                                 std::to_string(appended) + "."),
      appended_(appended) {}

AppendOutcome AppendFromTable(Workspace& ws, const std::string& source) {
    Table& tx = ws.Tx;
    Query& sx = ws.Sx;
    ws.PostPendingEdit();
    // The query reads the file as it is now: when it is the open table's own file, the rows
    // appended below lie beyond what the query sees.
    sx.ClearSql();
    sx.AddSql("SELECT * FROM " + QuotedPath(source));
    sx.Open();
    ws.ui.ProcessMessages();
    sx.First();

    std::vector<FieldPair> pairs;
    for (int i = 0; i < sx.FieldCount(); ++i) {
        const FieldDef& f = sx.Field(i);
        const int to = tx.FieldIndex(f.name);
        if (to < 0) {
            ws.ui.Mesaj(
                "Lipire tabele",
                "Sursa are campul " + f.name + " in plus!" + "\r" + "Nu pot executa lipirea.",
                mkError, mbOK);
            sx.ClearSql();
            ws.ui.ProcessMessages();
            return {true, 0};
        }
        pairs.push_back({i, to, f.type == 'D'});
    }

    const std::string path = tx.TableName();
    const uint32_t stored = tx.Header().recordCount;
    AppendSession session(ws, sx.RecordCount() / kRowsPerStep);
    int appended = 0;
    std::string text;
    try {
        while (!sx.Eof()) {
            tx.Append();
            CopyRow(sx, tx, pairs, text);
            tx.Post();
            ++appended;
            ws.ui.ProcessMessages();
            sx.Next();
            if (appended % kRowsPerStep == 0) {
                ws.ui.ProgressSet(appended / kRowsPerStep);
                ws.ui.SetRowCounter(std::to_string(tx.RecordCount()));
                ws.ui.ProcessMessages();
            }
        }
    } catch (const DbfError& e) {
        // The rows posted before the failure are written out first, so the count is true.
        FinishOrStop(ws, session, path, stored, &e, appended);
    }
    FinishOrStop(ws, session, path, stored, nullptr, appended);
    return {false, appended};
}

void AddTabla(Workspace& ws) {
    if (!ws.Tx.Active()) return;
    const auto chosen = ws.ui.AskOpenFile(
        {"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf", ws.CurrentFile});
    if (!chosen) return;
    AppendFromTable(ws, *chosen);
}

}  // namespace orbelan
