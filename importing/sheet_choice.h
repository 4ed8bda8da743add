#pragma once
// Which sheet of a workbook the user asked for; header-only, so the .xls reading helper program,
// which links nothing of ours, picks the same sheet as the import.
#include <charconv>
#include <string>
#include <vector>

namespace orbelan {

// A name, else a 1-based number; empty: the first. 0-based, -1 when there is none such.
inline int FindSheet(const std::vector<std::string>& names, const std::string& wanted) {
    if (wanted.empty()) return 0;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == wanted) return static_cast<int>(i);
    int number = 0;
    const auto r = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (r.ec == std::errc() && r.ptr == wanted.data() + wanted.size() && number >= 1 &&
        number <= static_cast<int>(names.size()))
        return number - 1;
    return -1;
}

}  // namespace orbelan
