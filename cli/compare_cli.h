#pragma once
// The command line's comparison of two tables by a key.
#include <memory>
#include <string>

#include "cli/cli_context.h"
#include "compare/compare_tables.h"

namespace orbelan {

// compare FILE OTHER --key COL[=OTHERCOL],... [--ignore-case] [--ignore-diacritics] [--trim]
//         [--show only-here|only-there|differ|same] [--format table|csv|json] [-o OUT]
int CompareCommand(CliContext& c);

// A table argument of compare, fill and append --only-new read as a source; one that can't be
// read is exit code 3.
std::unique_ptr<CompareSource> OpenSourceArg(CliContext& c, const std::string& path);
// --key and the text options; --key missing is a usage error.
CompareSpec KeyArgs(CliContext& c, const CompareSource& here, const CompareSource& there);

}  // namespace orbelan
