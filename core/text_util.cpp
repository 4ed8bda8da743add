#include "core/text_util.h"

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

}  // namespace orbelan
