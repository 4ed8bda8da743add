#include "cli/index_cli.h"

#include "cli/cli_app.h"
#include "core/table_indexes.h"
#include "engine/dbf_file.h"

namespace orbelan {

int CheckIndexCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const std::vector<IndexProblem> problems = CheckIndexes(c.ws);
    for (const IndexProblem& p : problems)
        c.out << p.file << (p.tag.empty() ? "" : "\t" + p.tag) << '\t' << p.what << '\n';
    if (problems.empty()) c.out << "Indexul se potriveste cu tabelul.\n";
    return problems.empty() ? kExitDone : kExitFound;
}

int ReindexCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    c.ws.RunningCommand = "Reface indexul";
    RebuildIndexes(c.ws);
    c.out << "Indexul a fost refacut.\n";
    return kExitDone;
}

int IndexCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    const CliOptions& o = c.options;
    const int actions = static_cast<int>(o.tagsToAdd.size()) + (o.dropTag.empty() ? 0 : 1) +
                        (o.attach.empty() ? 0 : 1);
    if (actions > 1) throw UsageError("index: o singura dintre --add, --drop si --attach.");
    if (actions == 0 && (!o.tagFor.empty() || o.unique || o.descending))
        throw UsageError("index: --for, --unique si --descending merg numai cu --add.");
    OpenFile(c, Arg(o, 0, "fisierul"));
    if (!o.tagsToAdd.empty()) {
        NewIndexTag tag;
        tag.name = o.tagsToAdd[0].first;
        tag.expression = o.tagsToAdd[0].second;
        tag.forCondition = o.tagFor;
        tag.unique = o.unique;
        tag.descending = o.descending;
        c.ws.RunningCommand = "Adauga eticheta de index";
        AddIndexTag(c.ws, tag);
        c.out << "Eticheta " << tag.name << " a fost adaugata.\n";
    } else if (!o.dropTag.empty()) {
        c.ws.RunningCommand = "Sterge eticheta de index";
        DropIndexTag(c.ws, o.dropTag);
        c.out << "Eticheta " << o.dropTag << " a fost stearsa.\n";
    } else if (!o.attach.empty()) {
        AttachIndex(c.ws, o.attach);
        c.out << "Indexul " << o.attach << " a fost atasat.\n";
    }
    // Without an action (and after one): the index as it is now.
    for (const std::string& line : DescribeIndexes(c.ws.table.Data())) c.out << line << '\n';
    return kExitDone;
}

}  // namespace orbelan
