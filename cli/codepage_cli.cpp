#include "cli/codepage_cli.h"

#include "cli/cli_app.h"
#include "editing/recode_command.h"
#include "engine/codepage.h"

namespace orbelan {

int Recode(CliContext& c) {
    ExpectArgs(c.options, 1);
    if (c.options.toPage.empty()) throw UsageError("Lipseste --to COD.");
    if (!c.options.fromPage.empty()) c.ws.table.SetCodePageOverride(c.options.fromPage);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    ConvertTable(c.ws, c.options.toPage, c.options.dryRun);
    return kExitDone;
}

bool Utf8Encoding(const CliOptions& o) {
    if (o.encoding.empty()) return false;
    if (o.encoding == "utf-8" || o.encoding == "UTF-8" || o.encoding == "utf8") return true;
    throw UsageError("Codificare necunoscuta: " + o.encoding + " (se poate cere doar utf-8).");
}

}  // namespace orbelan
