#pragma once
// The words of an `orbelan` command line.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/format_settings.h"

namespace orbelan {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CliOptions {
    std::string command;
    std::vector<std::string> positional;
    std::string codePage;  // empty: what the header says, else cp1250
    FormatSettings format{'.', "dd.MM.yyyy"};
    std::optional<std::string> filter;
    std::string outputFormat = "table";  // table | csv | json
    long limit = -1;                     // -1: every row
    bool yes = false;                    // --yes: DA to every question
    std::string output;                  // -o FILE: where a written file goes
};

// Throws UsageError for an unknown option, a missing value or a bad number.
CliOptions ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace orbelan
