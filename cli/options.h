#pragma once
// The words of an `orbelan` command line.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/argument_error.h"
#include "engine/format_settings.h"

namespace orbelan {

struct UsageError : ArgumentError {
    using ArgumentError::ArgumentError;
};

struct CliOptions {
    std::string command;
    std::vector<std::string> positional;
    std::string codePage;  // empty: what the header says, else cp1250
    FormatSettings format{'.', "dd.MM.yyyy"};
    std::optional<std::string> filter;
    std::string outputFormat = "table";  // table | csv | json; export: html | xls | doc | ...
    long limit = -1;                     // -1: every row
    bool yes = false;                    // --yes: DA to every question
    std::string output;                  // -o
    long row = 0;                        // --row N, from 1; 0: not given
    long fromRow = 0;                    // --from-row N, from 1; 0: not given
    std::string sheet;                   // import: --sheet N|NAME
    char delimiter = 0;                  // import: --delimiter C (0: detected)
    std::string encoding;                // import: --encoding NAME (empty: detected)
    std::string types;                   // import: --types "NAME=T(W,D);..."
    bool dryRun = false;                 // --dry-run
};

// Throws UsageError for an unknown option, a missing value or a bad number.
CliOptions ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace orbelan
