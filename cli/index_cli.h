#pragma once
// The index commands of the command line: check-index, reindex and index (add, drop, attach).
#include "cli/cli_context.h"

namespace orbelan {

int CheckIndexCommand(CliContext& c);
int ReindexCommand(CliContext& c);
int IndexCommand(CliContext& c);

}  // namespace orbelan
