#pragma once
// The command line's single values, deleted rows and find-and-replace: set, get, recall,
// replace.
#include "cli/cli_context.h"

namespace orbelan {

int SetCommand(CliContext& c);      // set FILE ROW COLUMN VALUE ("-": standard input)
int GetCommand(CliContext& c);      // get FILE ROW COLUMN
int RecallCommand(CliContext& c);   // recall FILE [--filter E]
int ReplaceCommand(CliContext& c);  // replace FILE COLUMN|--all-columns FIND REPLACEMENT ...

}  // namespace orbelan
