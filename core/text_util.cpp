#include "core/text_util.h"

#include <string>

namespace orbelan {

std::string SheetColumnName(int column) {
    std::string s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

std::string GroupedThousands(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (auto at = static_cast<long>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), 1, '.');
    return n < 0 ? "-" + digits : digits;
}

std::string CsvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace orbelan
