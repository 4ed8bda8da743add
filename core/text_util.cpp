#include "core/text_util.h"

#include <charconv>
#include <string>

namespace orbelan {

namespace {

// Trim's blanks: every character of code 32 or less (control characters too).
bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlankOrControl(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlankOrControl(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<double> ParseDecimal(std::string_view text, char decimalSeparator) {
    std::string s(Trim(text));
    if (s.empty()) return std::nullopt;
    for (char& c : s) {
        if (c == decimalSeparator) c = '.';
    }
    if (s.front() == '+') s.erase(0, 1);
    if (s.find_first_not_of("0123456789.-eE") != std::string::npos) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

}  // namespace orbelan
