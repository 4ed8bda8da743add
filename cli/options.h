#pragma once
// The words of an `orbelan` command line.
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
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
    bool noUndo = false;                 // --no-undo: a rewrite keeps no restore point
    std::string output;                  // -o
    long row = 0;                        // --row N, from 1; 0: not given
    long fromRow = 0;                    // --from-row N, from 1; 0: not given
    // alter's --add --drop --rename --set --move, in the order given: (option, value)
    std::vector<std::pair<std::string, std::string>> structureEdits;
    bool dryRun = false;           // --dry-run: report, change nothing
    std::string toPage, fromPage;  // recode --to, --from
    // --encoding: export/csv utf-8 (empty: the 8-bit page); import NAME (empty: detected)
    std::string encoding;
    bool deleted = false;     // show --deleted
    bool allColumns = false;  // replace --all-columns
    bool whole = false;       // replace --whole
    bool matchCase = false;   // replace --match-case
    std::string sheet;        // import: --sheet N|NAME
    char delimiter = 0;       // import: --delimiter C (0: detected)
    std::string types;        // import: --types "NAME=T(W,D);..."
    std::string sumColumn;    // count: --sum COL
    std::string chartKind;    // chart: --kind bars|histogram|pyramid|counties
    std::string order;        // count: --order count|value
    bool cnp = false;         // profile, chart: --cnp (the column holds personal codes)
    // compare, fill, append: the key (--key COL[=OTHERCOL],...) and how its texts compare
    std::string key;
    bool ignoreCase = false, ignoreDiacritics = false, trim = false;
    std::string show;      // compare: --show only-here|only-there|differ|same
    std::string take;      // fill: --take COL[,COL2]
    std::string fillMode;  // fill: "always" (--always) or "when-empty" (--when-empty, default)
    bool onlyNew = false;  // append: --only-new
    // index: --add TAG "EXPR" [--for COND] [--unique] [--descending], --drop TAG, --attach X
    std::vector<std::pair<std::string, std::string>> tagsToAdd;
    std::string tagFor;
    bool unique = false;
    bool descending = false;
    std::string dropTag;
    std::string attach;
};

// Throws UsageError for an unknown option, a missing value or a bad number.
CliOptions ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace orbelan
