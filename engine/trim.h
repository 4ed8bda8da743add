#pragma once
// The program's two trims: one for typed and read text, one for the padding of stored values.
#include <string_view>

namespace orbelan {

// Without the characters of code 32 or less at both ends (blanks, tabs, line ends, controls).
inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// Stored bytes that stand for nothing: blanks and NULs.
inline bool IsBlankByte(char c) {
    return c == ' ' || c == '\0';
}

// Stored or typed value without the blanks, NULs and tabs around it (a line break is kept: it
// belongs to a memo's text).
inline std::string_view TrimStored(std::string_view s) {
    while (!s.empty() && (IsBlankByte(s.front()) || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (IsBlankByte(s.back()) || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace orbelan
