#include "compare/fill_table.h"

#include "core/argument_error.h"
#include "core/command_guard.h"
#include "core/replace_table.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"

namespace orbelan {

std::vector<int> ParseTakeSpec(std::string_view request, const CompareSource& there) {
    std::vector<int> take;
    size_t start = 0;
    while (start <= request.size()) {
        size_t comma = request.find(',', start);
        if (comma == std::string_view::npos) comma = request.size();
        const std::string_view name = Trim(request.substr(start, comma - start));
        start = comma + 1;
        if (name.empty()) continue;
        const int column = there.ColumnIndex(name);
        if (column < 0)
            throw ArgumentError("Tabelul " + there.Path() + " nu are coloana " + std::string(name) +
                                ".");
        for (const int t : take)
            if (t == column)
                throw ArgumentError("Coloana " + std::string(name) + " este ceruta de doua ori.");
        take.push_back(column);
    }
    if (take.empty()) throw ArgumentError("Nu ati ales nicio coloana de preluat.");
    if (take.size() > 64) throw ArgumentError("Se pot prelua cel mult 64 de coloane odata.");
    return take;
}

bool FillPlan::AddsColumns() const {
    for (const FillTarget& t : targets)
        if (t.field < 0) return true;
    return false;
}

std::string FillPlan::Summary(const CompareSource& here, const CompareSource& there) const {
    std::string s =
        "Linii care se schimba: " + GroupedThousands(static_cast<long long>(changes.size())) +
        " (" + GroupedThousands(values) + " valori).";
    for (const FillTarget& t : targets)
        if (t.field < 0) s += "\nColoana noua: " + t.def.name + " " + FieldTypeText(t.def) + ".";
    if (!notFound.empty())
        s += "\nChei care lipsesc din " + there.Path() + ": " +
             GroupedThousands(static_cast<long long>(notFound.size())) + ".";
    if (!repeatedHere.empty() || !repeatedThere.empty())
        s += "\nChei gasite de mai multe ori (neatinse): " +
             GroupedThousands(static_cast<long long>(repeatedHere.size())) + " linii in " +
             here.Path() + ", " + GroupedThousands(static_cast<long long>(repeatedThere.size())) +
             " in " + there.Path() + ".";
    if (!emptyHere.empty())
        s += "\nLinii cu cheia goala (neatinse): " +
             GroupedThousands(static_cast<long long>(emptyHere.size())) + ".";
    if (misfits.count > 0) {
        // Numbered as this table's rows, not as the lines of an imported file.
        s += "\nValori care nu incap (raman cum sunt): " +
             GroupedThousands(static_cast<long long>(misfits.count)) + "\n" + misfits.Text();
        if (s.back() == '\n') s.pop_back();
    }
    return s;
}

FillPlan PlanFill(const CompareSource& here, const CompareSource& there, const FillSpec& request,
                  const CodePage& page, const std::function<void()>& tick) {
    FillPlan plan;
    plan.rows = here.Rows();
    for (const int source : request.take) {
        FillTarget t;
        t.source = source;
        const auto s = static_cast<size_t>(source);
        t.field = here.ColumnIndex(there.Names()[s]);
        if (t.field < 0) t.field = here.ColumnIndex(there.Fields()[s].name);
        if (t.field >= 0) {
            t.def = here.Fields()[static_cast<size_t>(t.field)];
        } else {
            t.def = there.Fields()[s];
            t.def.offset = 0;
        }
        for (const KeyColumn& k : request.key)
            if (t.field >= 0 && k.here == t.field)
                throw ArgumentError("Coloana " + t.def.name + " face parte din cheie.");
        plan.targets.push_back(t);
    }
    CompareSpec match{request.key, request.text};
    Matching m = MatchRows(here, there, match, tick);
    plan.notFound = std::move(m.onlyHere);
    plan.repeatedHere = std::move(m.repeatedHere);
    plan.repeatedThere = std::move(m.repeatedThere);
    plan.emptyHere = std::move(m.emptyHere);

    const TextOptions exact;
    std::string mine, theirs;
    for (const RowPair& p : m.matched) {
        FillChange change{p.here, p.there, 0};
        for (size_t i = 0; i < plan.targets.size(); ++i) {
            const FillTarget& t = plan.targets[i];
            if (t.field >= 0) {
                if (request.mode == FillMode::Keep) continue;
                const ValueClass cls =
                    ClassOf(t.def.Kind(), there.Fields()[static_cast<size_t>(t.source)].Kind());
                here.Canonical(p.here, t.field, cls, exact, mine);
                if (request.mode == FillMode::WhenEmpty && !mine.empty()) continue;
                there.Canonical(p.there, t.source, cls, exact, theirs);
                if (theirs.empty() || theirs == mine) continue;
            }
            const Converted c = there.ConvertFor(p.there, t.source, t.def, page);
            if (!c.Ok()) {
                plan.misfits.Add({static_cast<int>(here.RowNumber(p.here)), t.def.name,
                                  there.Text(p.there, t.source), c.reason});
                continue;
            }
            if (c.text.empty()) continue;  // an empty value takes nothing away
            change.targets |= uint64_t{1} << i;
            ++plan.values;
        }
        if (change.targets) plan.changes.push_back(change);
    }
    return plan;
}

void ApplyFill(Workspace& ws, const CompareSource& there, const FillPlan& plan) {
    Table& tx = ws.table;
    ws.PostPendingEdit();
    if (tx.Data().RecordCount() != plan.rows)
        throw DbfError(ErrorKind::State,
                       "Tabelul s-a schimbat de cand au fost numarate completarile; nu am scris "
                       "nimic. Incercati din nou.");
    NewStructure structure;
    std::vector<int> field(plan.targets.size());
    if (plan.AddsColumns()) {
        structure = KeptStructure(tx);
        for (size_t i = 0; i < plan.targets.size(); ++i) {
            const FillTarget& t = plan.targets[i];
            if (t.field >= 0) {
                field[i] = t.field;
            } else {
                field[i] = static_cast<int>(structure.fields.size());
                structure.Add(t.def);
            }
        }
    } else {
        for (size_t i = 0; i < plan.targets.size(); ++i) field[i] = plan.targets[i].field;
    }
    CommandGuard guard(
        ws, {.disableWindow = true, .busyCursor = true, .name = "Completeaza din alt tabel"});
    const Bookmark current = tx.GetBookmark();
    const FormatSettings format = ws.Format();
    size_t next = 0;
    ReplaceTable(ws, structure, [&](const DbfFile&, uint32_t record, DbfWriter& w) {
        if (next >= plan.changes.size() || plan.changes[next].here != record) return;
        const FillChange& change = plan.changes[next++];
        for (size_t i = 0; i < plan.targets.size(); ++i) {
            if (!(change.targets >> i & 1)) continue;
            const FillTarget& t = plan.targets[i];
            const Converted c = there.ConvertFor(change.there, t.source, t.def, w.Page());
            if (c.Ok()) StoreConverted(w, field[i], c, format);
        }
        if (next % 4096 == 0) ws.progress.ProcessMessages();
    });
    guard.Finish();
    if (current >= 0) tx.GotoBookmark(current);
}

}  // namespace orbelan
