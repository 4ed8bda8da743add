#include "cli/cli_app.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>

#include "cleaning/append_table.h"
#include "cleaning/cnp.h"
#include "cleaning/cnp_commands.h"
#include "cleaning/column_transforms.h"
#include "cleaning/quick_csv.h"
#include "cleaning/row_set_commands.h"
#include "cli/cli_context.h"
#include "cli/codepage_cli.h"
#include "cli/compare_cli.h"
#include "cli/console_ui.h"
#include "cli/fill_cli.h"
#include "cli/import_cli.h"
#include "cli/index_cli.h"
#include "cli/memo_cli.h"
#include "cli/options.h"
#include "cli/profile_cli.h"
#include "cli/row_printer.h"
#include "cli/structure_cli.h"
#include "cli/undo_cli.h"
#include "core/open_table.h"
#include "core/program_dir.h"
#include "core/restore_points.h"
#include "core/table_indexes.h"
#include "core/workspace.h"
#include "editing/recode_command.h"
#include "editing/sort_command.h"
#include "editing/sql_command.h"
#include "engine/field_codec.h"
#include "export/export_command.h"
#include "letters/form_letters.h"
#ifdef ORBELAN_HAVE_PDF
#include "print/pdf_export.h"
#endif

namespace orbelan {
namespace {

int Info(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const HeaderInfo& h = c.ws.table.Header();
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", h.version);
    c.out << "Fisier: " << c.ws.table.TableName() << '\n'
          << "Versiune: " << version << '\n'
          << "Cod de pagina: " << PageText(h, true) << '\n'
          << "Linii: " << h.recordCount << '\n'
          << "Campuri: " << c.ws.table.FieldCount() << '\n';
    for (int i = 0; i < c.ws.table.FieldCount(); ++i) {
        const FieldDef& f = c.ws.table.Field(i);
        c.out << "  " << f.name << ' ' << FieldTypeText(f) << '\n';
    }
    for (const std::string& line : DescribeIndexes(c.ws.table.Data())) c.out << line << '\n';
    return kExitDone;
}

void RequireRowFormat(const CliOptions& o) {
    if (o.outputFormat != "table" && o.outputFormat != "csv" && o.outputFormat != "json")
        throw UsageError("Format necunoscut: " + o.outputFormat + ".");
}

int Show(CliContext& c) {
    ExpectArgs(c.options, 1);
    RequireRowFormat(c.options);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    if (c.options.deleted) {
        c.ws.table.SetShowingDeleted(true);
        c.ws.table.First();
    }
    if (!c.options.order.empty()) c.ws.table.SetIndexOrder(c.options.order);
    PrintRows(c.ws.table, c.options.outputFormat, c.options.limit, c.out, c.options.deleted);
    return kExitDone;
}

int Sql(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& statement = Arg(c.options, 0, "instructiunea SQL");
    RequireRowFormat(c.options);
    if (RunSql(c.ws, statement, c.options.filter)) {
        PrintRows(c.ws.query, c.options.outputFormat, c.options.limit, c.out);
        c.ws.query.Close();
    }
    return kExitDone;
}

int Sort(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const int column = ColumnArg(c, 1);
    return SortByColumn(c.ws, column) ? kExitDone : kExitEngine;
}

int CheckCnp(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const int column = ColumnArg(c, 1);
    const auto invalid = FindInvalidCnp(c.ws.table, column);
    for (const auto& [row, value] : invalid) c.out << row << '\t' << value << '\n';
    return invalid.empty() ? kExitDone : kExitFound;
}

// FILE COLUMN: the command runs on the named column.
template <typename Command>
auto OnColumn(CliContext& c, Command command) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    // A copy: the table's own field names go when a rewrite opens it again.
    const std::string column = c.ws.table.Field(ColumnArg(c, 1)).name;
    return command(c.ws, column);
}

int Swap(CliContext& c) {
    ExpectArgs(c.options, 3);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const std::string first = c.ws.table.Field(ColumnArg(c, 1)).name;
    const std::string second = c.ws.table.Field(ColumnArg(c, 2)).name;
    const auto failures = SwapColumns(c.ws, first, second);
    return failures && *failures > 0 ? kExitFound : kExitDone;
}

int OnFile(CliContext& c, void (*command)(Workspace&)) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    command(c.ws);
    return kExitDone;
}

const std::string& Output(const CliOptions& o) {
    if (o.output.empty()) throw UsageError("Lipseste -o FISIER.");
    return o.output;
}

int Letters(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const std::string& templatePath = Arg(c.options, 1, "modelul");
    const LetterMode mode = c.options.row > 0       ? LetterMode::OLinie
                            : c.options.fromRow > 0 ? LetterMode::TotInJos
                                                    : LetterMode::ToateLiniile;
    const long row = c.options.row > 0 ? c.options.row : c.options.fromRow;
    return WriteLettersTo(c.ws, templatePath, Output(c.options), mode, row) ? kExitDone
                                                                            : kExitEngine;
}

int Template(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    return WriteHowToTemplateTo(c.ws, Output(c.options)) ? kExitDone : kExitEngine;
}

int Export(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& path = Arg(c.options, 0, "fisierul");
    TovExportType type = xtExcel;
    if (!ExportTypeFromName(c.options.outputFormat, type))
        throw UsageError("Lipseste --format html|xls|doc|txt|csv|tab|rtf|dif|slk|pdf.");
    const std::string& output = Output(c.options);
#ifdef ORBELAN_HAVE_PDF
    if (type == xtPDF) InstallPdfExport();
#endif
    OpenFile(c, path);
    ExportWindows none;  // the format and the file are named: no chooser, no progress window
    TovDBGridExport exp(c.messages, none, c.ws.platform);
    exp.Utf8Text = Utf8Encoding(c.options);
    const int leftOut = ExportToFile(c.ws, exp, type, output);
    if (!exp.ClosingNote().empty()) c.out << exp.ClosingNote() << '\n';
    if (leftOut > 0) {
        c.out << RowsLeftOutText(leftOut) << '\n';
        return kExitEngine;
    }
    return kExitDone;
}

// The rows of SOURCE appended to FILE. A refused source leaves FILE unchanged (exit 4); a value
// FILE can't take stops the copy: the rows before it stay, the failing one is not kept.
int Append(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const std::string& source = Arg(c.options, 1, "tabelul sursa");
    if (c.options.onlyNew || !c.options.key.empty()) return AppendOnlyNewCommand(c);
    if (IsImportSource(source)) return AppendImported(c, source);
    try {
        return AppendFromTable(c.ws, source).refused ? kExitEngine : kExitDone;
    } catch (const AppendStopped&) {
        throw;
    } catch (const DbfError& e) {
        if (e.Kind() == ErrorKind::CannotOpen || e.Kind() == ErrorKind::Malformed)
            throw Unreadable{"Fisierul ales, " + source + ", nu poate fi citit!\n" + e.what()};
        throw;
    }
}

int Csv(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& output = Output(c.options);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    WriteQuickCsv(c.ws, output, Utf8Encoding(c.options));
    return kExitDone;
}

// A command and whether it asks before destroying data (see ConsoleMessages::guarded).
struct CliCommand {
    std::function<int(CliContext&)> run;
    bool asks = false;
};

const std::map<std::string, CliCommand>& Commands() {
    static const std::map<std::string, CliCommand> commands = {
        {"info", {Info}},
        {"show", {Show}},
        {"sql", {Sql}},
        {"sort", {Sort}},
        {"check-cnp", {CheckCnp}},
        {"extract-year", {[](CliContext& c) {
             OnColumn(c, ExtractBirthYear);
             return kExitDone;
         }}},
        {"extract-date", {[](CliContext& c) {
             OnColumn(c, ExtractBirthDate);
             return kExitDone;
         }}},
        {"drop-column",
         {[](CliContext& c) {
              OnColumn(c, DeleteColumn);
              return kExitDone;
          },
          true}},
        {"split-name", {[](CliContext& c) {
             OnColumn(c, SplitNames);
             return kExitDone;
         }}},
        {"date-to-number",
         {[](CliContext& c) { return OnColumn(c, DateColumnToNumber) ? kExitDone : kExitEngine; }}},
        {"swap", {Swap, true}},
        {"dedupe",
         {[](CliContext& c) {
              OnColumn(c, DeleteDuplicateRows);
              return kExitDone;
          },
          true}},
        {"delete-rows",
         {[](CliContext& c) { return OnFile(c, [](Workspace& ws) { DeleteDisplayedRows(ws); }); },
          true}},
        {"drop-index", {[](CliContext& c) { return OnFile(c, DeleteIndex); }}},
        {"letters", {Letters}},
        {"template", {Template}},
        {"export", {Export}},
        {"append", {Append}},
        {"csv", {Csv}},
        {"create", {CreateCommand}},
        {"alter", {AlterCommand, true}},
        {"recode", {Recode, true}},
        {"set", {SetCommand}},
        {"get", {GetCommand}},
        {"recall", {RecallCommand}},
        {"replace", {ReplaceCommand, true}},
        {"undo", {UndoCommand}},
        {"redo", {RedoCommand}},
        {"history", {HistoryCommand}},
        {"import", {ImportCommand, true}},
        {"profile", {ProfileCommand}},
        {"check-index", {CheckIndexCommand}},
        {"reindex", {ReindexCommand}},
        {"index", {IndexCommand}},
        {"count", {CountCommand}},
        {"chart", {ChartCommand}},
        {"compare", {CompareCommand}},
        {"fill", {FillCommand, true}},
    };
    return commands;
}

bool Has(const std::vector<std::string>& args, const char* word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

}  // namespace

int RunOrbelan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::istream* terminal) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    if (Has(args, "--help") || Has(args, "-h")) {
        out << kUsage;
        return kExitDone;
    }
    if (Has(args, "--version")) {
        out << kVersion;
        return kExitDone;
    }
    ConsoleMessages messages(out, terminal);
    ConsolePlatform platform;
    try {
        CliOptions options = ParseCommandLine(args);
        RegisterCnpFilterFunctions();  // a --filter may ask for CNPJUDET(...) and the like
        Workspace ws(messages, platform);
        // The window's folder too: scratch names there are the program's own to delete.
        ws.ProgramDir = ProgramDataDir();
        // The exports and conversions write numbers as the window shows them.
        FormatSettings format = options.format;
        format.declaredDecimals = options.command == "export" || options.command == "alter";
        ws.SetFormatSettings(format);
        // A run reads its table once or twice: the pages read need not stay in its memory.
        ws.table.SetReleasingPagesWhileScanning(true);
        if (!options.codePage.empty()) {
            for (Table* t :
                 {static_cast<Table*>(&ws.table), &ws.secondTable, static_cast<Table*>(&ws.query)})
                t->SetCodePageOverride(options.codePage);
        }
        CliContext c{options, ws, messages, out};
        const auto it = Commands().find(options.command);
        if (it == Commands().end())
            throw UsageError("Comanda necunoscuta: " + options.command + ".");
        ws.KeepRestorePoints = !options.noUndo;
        messages.assumeYes = options.yes;
        messages.guarded = it->second.asks;
        int code = kExitDone;
        try {
            code = it->second.run(c);
        } catch (...) {
            // A row a failing command left unposted (the window keeps it for the user to
            // correct) is dropped here: closing must not write it.
            if (ws.table.Active() && ws.table.GetState() != Table::State::Browse) ws.table.Cancel();
            throw;
        }
        ws.CloseTable();
        return messages.Refused() ? kExitUsage : code;
    } catch (const ArgumentError& e) {
        err << e.what() << '\n' << kUsage;
        return kExitUsage;
    } catch (const CommandDeclined&) {
        return kExitUsage;
    } catch (const Unreadable& e) {
        err << e.message << '\n';
        return kExitUnreadable;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        // A question answered NU stopped the command before it changed anything.
        return messages.Refused() ? kExitUsage : kExitEngine;
    }
}

}  // namespace orbelan
