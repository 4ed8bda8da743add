#include "cli/memo_cli.h"

#include <charconv>
#include <iostream>
#include <iterator>

#include "cli/cli_app.h"
#include "core/restore_points.h"
#include "editing/replace_command.h"
#include "editing/row_commands.h"
#include "engine/dbf_file.h"

namespace orbelan {
namespace {

long RowArg(const CliOptions& o, size_t i) {
    const std::string& v = Arg(o, i, "linia");
    long row = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), row);
    if (ec != std::errc() || end != v.data() + v.size() || row < 1)
        throw UsageError("Linia trebuie sa fie un numar de la 1: " + v + ".");
    return row;
}

}  // namespace

int SetCommand(CliContext& c) {
    ExpectArgs(c.options, 4);
    FinishPendingSwap(c.ws, Arg(c.options, 0, "fisierul"));
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const long row = RowArg(c.options, 1);
    const std::string column = c.ws.table.Field(ColumnArg(c, 2)).name;
    std::string value = Arg(c.options, 3, "valoarea");
    if (value == "-")
        value.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    SetValue(c.ws, row, column, value);
    return kExitDone;
}

int GetCommand(CliContext& c) {
    ExpectArgs(c.options, 3);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const long row = RowArg(c.options, 1);
    const int field = ColumnArg(c, 2);
    MoveToDisplayedRow(c.ws, row);
    Table& table = c.ws.table;
    const FieldDef& f = table.Field(field);
    // Binary values go out as stored; text as the program reads it.
    if (f.HoldsBytes()) {
        const MemoValue v = table.Data().MemoBytes(table.RecordAt(table.CurrentRow()), field);
        if (!v.ok) throw DbfError(ErrorKind::Io, v.bytes);
        c.out << v.bytes;
        return kExitDone;
    }
    c.out << table.AsText(field) << '\n';
    return kExitDone;
}

int RecallCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    FinishPendingSwap(c.ws, Arg(c.options, 0, "fisierul"));
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    c.ws.table.SetShowingDeleted(true);
    c.out << RecallDisplayedRows(c.ws) << " linii recuperate.\n";
    return kExitDone;
}

int ReplaceCommand(CliContext& c) {
    const CliOptions& o = c.options;
    const size_t n = o.allColumns ? 3 : 4;
    ExpectArgs(o, n);
    OpenFile(c, Arg(o, 0, "fisierul"));
    ReplaceRequest request;
    if (!o.allColumns) request.column = c.ws.table.Field(ColumnArg(c, 1)).name;
    request.find = Arg(o, n - 2, "textul cautat");
    request.replacement = Arg(o, n - 1, "textul inlocuitor");
    request.wholeValue = o.whole;
    request.matchCase = o.matchCase;
    request.askToSkipTooLong = false;
    if (request.find.empty()) throw UsageError("Textul cautat lipseste.");
    if (o.dryRun) {
        for (const ReplaceChange& ch : FindReplacements(c.ws, request)) {
            c.out << ch.row << '\t' << c.ws.table.Field(ch.field).name << '\t' << ch.before << '\t'
                  << ch.after;
            if (!ch.problem.empty()) c.out << '\t' << ch.problem;
            c.out << '\n';
        }
        return kExitDone;
    }
    return ReplaceAll(c.ws, request).stopped ? kExitEngine : kExitDone;
}

}  // namespace orbelan
