#include "cli/fill_cli.h"

#include <ostream>

#include "cleaning/append_table.h"
#include "cli/cli_app.h"
#include "cli/compare_cli.h"
#include "cli/import_cli.h"
#include "compare/append_new.h"
#include "compare/fill_table.h"
#include "core/open_table.h"
#include "core/text_util.h"
#include "core/workspace.h"

namespace orbelan {

int FillCommand(CliContext& c) {
    ExpectArgs(c.options, 2);
    const std::string& other = Arg(c.options, 1, "celalalt tabel");
    if (c.options.take.empty()) throw UsageError("Lipseste --take COLOANA[,COLOANA2].");
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    Table& tx = c.ws.table;
    if (SameFile(other, tx.TableName()))
        throw UsageError("Tabelul nu poate fi completat din el insusi.");
    const std::unique_ptr<CompareSource> there = OpenSourceArg(c, other);
    FillPlan plan;
    {
        // The table's own file read beside it; let go before the rewrite replaces it.
        const auto here = OpenCompareSource(tx.TableName(), FileOptionsOf(tx), c.ws.Format());
        FillSpec request;
        const CompareSpec key = KeyArgs(c, *here, *there);
        request.key = key.key;
        request.text = key.text;
        request.take = ParseTakeSpec(c.options.take, *there);
        request.mode = c.options.fillMode == "always" ? FillMode::Always : FillMode::WhenEmpty;
        plan = PlanFill(*here, *there, request, tx.Data().Page());
        c.out << plan.Summary(*here, *there) << '\n';
        if (c.options.dryRun) {
            for (const FillChange& ch : plan.changes)
                for (size_t i = 0; i < plan.targets.size(); ++i) {
                    if (!(ch.targets >> i & 1)) continue;
                    const FillTarget& t = plan.targets[i];
                    c.out << here->RowNumber(ch.here) << '\t' << t.def.name << '\t'
                          << (t.field >= 0 ? here->Text(ch.here, t.field) : std::string()) << '\t'
                          << there->Text(ch.there, t.source) << '\n';
                }
        }
    }
    const bool problems =
        plan.misfits.count > 0 || !plan.repeatedHere.empty() || !plan.repeatedThere.empty();
    if (c.options.dryRun) return problems ? kExitFound : kExitDone;
    if (plan.changes.empty()) {
        c.out << "Nimic de completat; tabelul a ramas cum era.\n";
        return problems ? kExitFound : kExitDone;
    }
    std::string question = "Completati " +
                           GroupedThousands(static_cast<long long>(plan.changes.size())) +
                           " linii din " + other + "?";
    if (plan.misfits.count > 0) question += "\rValorile care nu incap raman cum sunt.";
    if (c.ws.messages.Mesaj("Completeaza din alt tabel", question, mkConfirmation, mbYesNo) !=
        mrYes)
        return kExitUsage;
    ApplyFill(c.ws, *there, plan);
    c.out << "Completare incheiata: "
          << GroupedThousands(static_cast<long long>(plan.changes.size())) << " linii.\n";
    return problems ? kExitFound : kExitDone;
}

int AppendOnlyNewCommand(CliContext& c) {
    if (!c.options.onlyNew) throw UsageError("--key la append merge numai cu --only-new.");
    if (c.options.key.empty())
        throw UsageError("--only-new cere --key COLOANA[=COLOANA_SURSA],...");
    const std::string source = Arg(c.options, 1, "tabelul sursa");
    // A source that can't be read is said as the plain append says it.
    OpenSourceArg(c, source).reset();
    TextOptions text;
    text.ignoreCase = c.options.ignoreCase;
    text.ignoreDiacritics = c.options.ignoreDiacritics;
    text.trim = c.options.trim;
    SourceOptions sheet;
    sheet.sheet = c.options.sheet;
    sheet.delimiter = c.options.delimiter;
    sheet.encoding = c.options.encoding;
    const std::unique_ptr<NewRows> rows = SelectNewRows(c.ws, source, c.options.key, text, sheet);
    const std::string leftOut = rows->LeftOutText();
    if (!leftOut.empty()) c.out << leftOut << '\n';
    if (rows->rows == 0) {
        c.out << "Nicio linie noua de adaugat; tabelul a ramas cum era.\n";
        return kExitDone;
    }
    if (rows->csv) {
        // The scratch file is a plain UTF-8 CSV, whatever the source's options were.
        c.options.sheet.clear();
        c.options.delimiter = ',';
        c.options.encoding = "utf-8";
        return AppendImported(c, rows->path);
    }
    const AppendOutcome o = AppendFromTable(c.ws, rows->path);
    if (o.refused) return kExitEngine;
    c.out << "Am adaugat " << o.appended << " linii.\n";
    return kExitDone;
}

}  // namespace orbelan
