#include "cli/cli_context.h"

#include "core/open_table.h"

namespace orbelan {

const std::string& Arg(const CliOptions& o, size_t i, const char* what) {
    if (o.positional.size() <= i) throw UsageError(std::string("Lipseste ") + what + ".");
    return o.positional[i];
}

void ExpectArgs(const CliOptions& o, size_t n) {
    if (o.positional.size() > n) throw UsageError("Prea multe argumente: " + o.positional[n] + ".");
}

int ColumnArg(CliContext& c, size_t i) {
    const std::string& name = Arg(c.options, i, "coloana");
    const int column = c.ws.table.FieldIndex(name);
    if (column < 0) throw UsageError("Tabelul nu are coloana " + name + ".");
    return column;
}

void OpenFile(CliContext& c, const std::string& path) {
    c.ws.CurrentFile = path;
    c.ws.table.SetTableName(path);
    try {
        OpenWithIndexRepair(c.ws.table);
    } catch (const std::exception& e) {
        throw Unreadable{"Fisierul ales, " + path + ", nu poate fi citit!\n" + e.what()};
    }
    if (c.options.filter) {
        c.ws.table.SetFilterText(*c.options.filter);
        c.ws.table.SetFiltered(true);
    }
    c.ws.table.First();
    // Edits are followed as in the window, so the restore points learn the file they leave.
    c.ws.history.Reset(c.ws.table.TableName());
}

}  // namespace orbelan
