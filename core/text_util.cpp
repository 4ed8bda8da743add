#include "core/text_util.h"

#include <cctype>
#include <string>

#include "engine/text_parse.h"

namespace orbelan {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<double> ParseDecimal(std::string_view text, char decimalSeparator) {
    return ParseNumberText(text, decimalSeparator);  // numbers read one way, as a field takes them
}

}  // namespace orbelan
