#pragma once
// The command line's fill of columns from another table, and append --only-new.
#include "cli/cli_context.h"

namespace orbelan {

// fill FILE OTHER --key ... --take COL[,COL2] [--when-empty|--always] [--dry-run] [--yes]
int FillCommand(CliContext& c);
// append FILE OTHER --key ... --only-new: the rows of OTHER whose key FILE lacks.
int AppendOnlyNewCommand(CliContext& c);

}  // namespace orbelan
