#pragma once
// The command line's code-page commands and options: recode, --encoding.
#include "cli/cli_context.h"

namespace orbelan {

// recode FILE --to PAGE [--from PAGE] [--dry-run]
int Recode(CliContext& c);
// --encoding: true for utf-8; empty is the program's 8-bit page; anything else a usage error.
bool Utf8Encoding(const CliOptions& o);

}  // namespace orbelan
