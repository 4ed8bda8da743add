#pragma once
// The command line's profile commands: profile, count, chart.
#include "cli/cli_context.h"

namespace orbelan {

// profile FILE COLUMN [--format text|json] [--cnp]
int ProfileCommand(CliContext& c);
// count FILE COL[,COL2] [--sum COL] [--order count|value] [--format table|csv|json]
int CountCommand(CliContext& c);
// chart FILE COLUMN --kind bars|histogram|pyramid|counties -o OUT.png|.pdf [--cnp]
int ChartCommand(CliContext& c);

}  // namespace orbelan
