#include "cleaning/cnp.h"

#include "engine/date_util.h"

#include "engine/utf8.h"

namespace orbelan {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digit(char c) {
    return c - '0';
}

// Two ASCII digits as a number, or -1.
int TwoDigits(std::string_view s, size_t at) {
    if (at + 2 > s.size() || !IsDigit(s[at]) || !IsDigit(s[at + 1])) return -1;
    return Digit(s[at]) * 10 + Digit(s[at + 1]);
}

// Bytes taken by the first UTF-8 character, so that a non-ASCII first character still leaves
// the date in character positions 2-7.
size_t FirstCharBytes(std::string_view s) {
    return utf8::Prefix(s, 1).size();
}

}  // namespace

bool CnpCorect(std::string_view text, bool acceptGol) {
    if (text.empty()) return acceptGol;
    // A multi-byte character anywhere makes the length wrong or is a non-digit: invalid either way.
    if (text.size() != static_cast<size_t>(kCnpLength)) return false;
    for (char c : text)
        if (!IsDigit(c)) return false;

    const std::string_view first = text.substr(0, 1);
    if (std::string_view("1256789").find(first) == std::string_view::npos) return false;
    const int century = first == "5" || first == "6" ? 2000 : 1900;
    const int year = century + TwoDigits(text, 1);
    if (!IsValidDate(year, TwoDigits(text, 3), TwoDigits(text, 5))) return false;

    int sum = 0;
    for (size_t i = 0; i < kCnpWeights.size(); ++i) sum += Digit(kCnpWeights[i]) * Digit(text[i]);
    int r = sum % 11;
    if (r == 10) r = 1;
    return Digit(text[12]) == r;
}

int CnpNascutLa(std::string_view text) {
    if (text.empty()) return 0;
    const size_t at = FirstCharBytes(text);
    const int yy = TwoDigits(text, at);
    const int month = TwoDigits(text, at + 2);
    const int day = TwoDigits(text, at + 4);
    if (yy < 0 || month < 0 || day < 0) return 0;
    const int year = yy + (text[0] == '5' || text[0] == '6' ? 2000 : 1900);
    return IsValidDate(year, month, day) ? DayNumber(year, month, day) : 0;
}

std::string CnpSex(std::string_view text) {
    if (text.empty()) return {};
    const char s = text[0];
    return s == '1' || s == '5' || s == '7' || s == '9' ? "masculin" : "feminin";
}

}  // namespace orbelan
