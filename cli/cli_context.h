#pragma once
// What every command of the `orbelan` program shares: its arguments, the workspace, the console
// and the helpers that read FILE and COLUMN arguments the same way in every command.
#include <ostream>
#include <string>

#include "cli/console_ui.h"
#include "cli/options.h"
#include "core/workspace.h"

namespace orbelan {

struct CliContext {
    CliOptions& options;
    Workspace& ws;
    ConsoleMessages& messages;
    std::ostream& out;
};

// A file that can't be read: exit code 3 with its message.
struct Unreadable {
    std::string message;
};

// Positional argument i; `what` names it in the usage error when it is missing.
const std::string& Arg(const CliOptions& o, size_t i, const char* what);
// More than n positional arguments is a usage error.
void ExpectArgs(const CliOptions& o, size_t n);
// A column of the open table named by argument i; a column it doesn't have is a usage error.
int ColumnArg(CliContext& c, size_t i);
// Opens the table as the main window does; a file that can't be read is exit code 3.
void OpenFile(CliContext& c, const std::string& path);

}  // namespace orbelan
