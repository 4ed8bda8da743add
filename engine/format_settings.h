#pragma once
#include <string>

namespace orbelan {

// How numbers and dates are turned into text and back; the window fills it from the system
// locale, the command line from its options, tests explicitly.
struct FormatSettings {
    char decimalSeparator = ',';
    std::string shortDateFormat = "dd.MM.yyyy";  // Qt-style pattern: d dd M MM yy yyyy
};

}  // namespace orbelan
