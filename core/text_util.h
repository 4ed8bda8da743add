#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace orbelan {

// Without the leading and trailing characters of code 32 or less.
std::string_view Trim(std::string_view s);
// A decimal number written with the given separator (or '.'); nullopt when it isn't one.
std::optional<double> ParseDecimal(std::string_view text, char decimalSeparator);

}  // namespace orbelan
