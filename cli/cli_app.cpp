#include "cli/cli_app.h"

#include <cstdio>
#include <functional>
#include <map>
#include <ostream>

#include "cleaning/cnp_commands.h"
#include "cli/console_ui.h"
#include "cli/options.h"
#include "cli/row_printer.h"
#include "core/open_table.h"
#include "core/workspace.h"
#include "editing/sort_command.h"
#include "engine/field_codec.h"
#include "export/export_command.h"

namespace orbelan {
namespace {

struct CliContext {
    CliOptions& options;
    Workspace& ws;
    ConsoleUi& ui;
    std::ostream& out;
};

struct Unreadable {
    std::string message;
};

const std::string& Arg(const CliOptions& o, size_t i, const char* what) {
    if (o.positional.size() <= i) throw UsageError(std::string("Lipseste ") + what + ".");
    return o.positional[i];
}

void ExpectArgs(const CliOptions& o, size_t n) {
    if (o.positional.size() > n) throw UsageError("Prea multe argumente: " + o.positional[n] + ".");
}

// Opens the table as the main window does; a file that can't be read is exit code 3.
void OpenFile(CliContext& c, const std::string& path) {
    // Scratch files go beside the table, so a rewrite ends with a rename on one file system.
    const auto slash = path.find_last_of('/');
    c.ws.ProgramDir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    c.ws.CurrentFile = path;
    c.ws.Tx.SetTableName(path);
    try {
        OpenWithIndexRepair(c.ws.Tx);
    } catch (const std::exception& e) {
        throw Unreadable{"Fisierul ales, " + path + ", nu poate fi citit!\n" + e.what()};
    }
    if (c.options.filter) {
        c.ws.Tx.SetFilterText(*c.options.filter);
        c.ws.Tx.SetFiltered(true);
    }
    c.ws.Tx.First();
}

int Info(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const HeaderInfo& h = c.ws.Tx.Header();
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", h.version);
    c.out << "Fisier: " << c.ws.Tx.TableName() << '\n'
          << "Versiune: " << version << '\n'
          << "Cod de pagina: " << h.codePage << '\n'
          << "Linii: " << h.recordCount << '\n'
          << "Campuri: " << c.ws.Tx.FieldCount() << '\n';
    for (int i = 0; i < c.ws.Tx.FieldCount(); ++i) {
        const FieldDef& f = c.ws.Tx.Field(i);
        c.out << "  " << f.name << ' ' << FieldTypeText(f) << '\n';
    }
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
    PrintRows(c.ws.Tx, c.options.outputFormat, c.options.limit, c.out);
    return kExitDone;
}

int Sql(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& statement = Arg(c.options, 0, "instructiunea SQL");
    RequireRowFormat(c.options);
    Query& q = c.ws.Sx;
    q.ClearSql();
    q.AddSql(statement);
    const auto first = statement.find_first_not_of(" \t\r\n");
    const bool select = first != std::string::npos &&
                        SameFieldName(std::string_view(statement).substr(first, 6), "SELECT");
    if (!select) {
        q.ExecSQL();
        return kExitDone;
    }
    q.Open();
    if (c.options.filter) {
        q.SetFilterText(*c.options.filter);
        q.SetFiltered(true);
    }
    q.First();
    PrintRows(q, c.options.outputFormat, c.options.limit, c.out);
    q.Close();
    return kExitDone;
}

int Sort(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const int column = c.ws.Tx.FieldIndexOrThrow(Arg(c.options, 1, "coloana"));
    Grid1TitleClick(c.ws, column);
    return kExitDone;
}

int CheckCnp(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const int column = c.ws.Tx.FieldIndexOrThrow(Arg(c.options, 1, "coloana"));
    const auto invalid = FindInvalidCnp(c.ws.Tx, column);
    for (const auto& [row, value] : invalid) c.out << row << '\t' << value << '\n';
    return invalid.empty() ? kExitDone : kExitFound;
}

int Extract(CliContext& c, void (*command)(Workspace&)) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    c.ui.presetColumn = c.ws.Tx.Field(c.ws.Tx.FieldIndexOrThrow(Arg(c.options, 1, "coloana"))).name;
    command(c.ws);
    return kExitDone;
}

int Export(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& path = Arg(c.options, 0, "fisierul");
    TovExportType type = xtExcel;
    if (!ExportTypeFromName(c.options.outputFormat, type))
        throw UsageError("Lipseste --format html|xls|doc|txt|csv|tab|rtf|dif|slk.");
    if (!c.options.output || c.options.output->empty()) throw UsageError("Lipseste -o IESIRE.");
    OpenFile(c, path);
    TovDBGridExport exp(c.ui, c.ws.platform);
    const int leftOut = ExportToFile(c.ws, exp, type, *c.options.output);
    if (leftOut > 0) {
        c.out << RowsLeftOutText(leftOut) << '\n';
        return kExitEngine;
    }
    return kExitDone;
}

}  // namespace

int RunOrbelan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? kExitUsage : kExitDone;
    }
    ConsoleUi ui(err);
    ConsolePlatform platform;
    try {
        CliOptions options = ParseCommandLine(args);
        Workspace ws(ui, platform);
        ws.SetFormatSettings(options.format);
        if (!options.codePage.empty()) {
            for (Table* t : {static_cast<Table*>(&ws.Tx), &ws.Sursa, static_cast<Table*>(&ws.Sx)})
                t->SetCodePageOverride(options.codePage);
        }
        CliContext c{options, ws, ui, out};
        const std::map<std::string, std::function<int()>> commands = {
            {"info", [&] { return Info(c); }},
            {"show", [&] { return Show(c); }},
            {"sql", [&] { return Sql(c); }},
            {"sort", [&] { return Sort(c); }},
            {"check-cnp", [&] { return CheckCnp(c); }},
            {"extract-year", [&] { return Extract(c, AnDinCNP); }},
            {"extract-date", [&] { return Extract(c, ExtrageDatadinCNP); }},
            {"export", [&] { return Export(c); }},
        };
        const auto it = commands.find(options.command);
        if (it == commands.end()) throw UsageError("Comanda necunoscuta: " + options.command + ".");
        const int code = it->second();
        ws.CloseTable();
        return code;
    } catch (const UsageError& e) {
        err << e.what() << '\n' << kUsage;
        return kExitUsage;
    } catch (const Unreadable& e) {
        err << e.message << '\n';
        return kExitUnreadable;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return kExitEngine;
    }
}

}  // namespace orbelan
