#pragma once
// What the filter's lexer and the SQL lexer agree on: blanks, names and keywords.
#include <cctype>
#include <string>
#include <string_view>

#include "engine/latin_letters.h"

namespace orbelan::lexer {

inline bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Names may hold letters beyond ASCII (the bytes of UTF-8 sequences), so a field named in the
// table's own language is still one name.
inline bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
inline bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || std::isdigit(c);
}

// Keywords and field names compare in ASCII upper case.
inline std::string Upper(std::string_view s) {
    return latin::AsciiUpper(s);
}

}  // namespace orbelan::lexer
