#pragma once
#include <string>

namespace orbelan {

// How numbers and dates are turned into text and back; the window fills it from the system
// locale, the command line from its options, tests explicitly.
struct FormatSettings {
    char decimalSeparator = ',';
    std::string shortDateFormat = "dd.MM.yyyy";  // Qt-style pattern: d dd M MM yy yyyy
    // A numeric (N) value's text with the field's declared decimals ("65092,80"), as the window
    // shows, prints, exports and converts it; else its shortest form ("65092,8"). Floats (F)
    // always keep the shortest.
    bool declaredDecimals = false;
};

}  // namespace orbelan
