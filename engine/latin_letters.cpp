#include "engine/latin_letters.h"

namespace orbelan::latin {
namespace {

// The base letter of the accented letters of Latin-1 and Latin Extended-A ('-': no letter).
constexpr std::string_view kLatin1 =
    "AAAAAAACEEEEIIIIDNOOOOO-OUUUUYTSaaaaaaaceeeeiiiidnooooo-ouuuuyty";
constexpr std::string_view kLatinA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSs"
    "SsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(kLatin1.size() == 64 && kLatinA.size() == 128);

// Latin Extended-A pairs capital and small as even and odd code points, except in the two runs
// where the capital is odd.
bool EvenPairs(char32_t c) {
    return (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x218 && c <= 0x21B);
}
bool OddPairs(char32_t c) {
    return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
}

}  // namespace

char32_t ToUpper(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (EvenPairs(c)) return c & ~char32_t{1};
    if (OddPairs(c)) return (c & 1) ? c : c - 1;
    return c;
}

char32_t ToLower(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (EvenPairs(c)) return c | 1;
    if (OddPairs(c)) return (c & 1) ? c + 1 : c;
    return c;
}

char32_t CommaCedillaTwin(char32_t c) {
    switch (c) {
        case 0x218:
        case 0x219:
            return c - 0x218 + 0x15E;
        case 0x21A:
        case 0x21B:
            return c - 0x21A + 0x162;
        case 0x15E:
        case 0x15F:
            return c - 0x15E + 0x218;
        case 0x162:
        case 0x163:
            return c - 0x162 + 0x21A;
        default:
            return 0;
    }
}

char32_t Folded(char32_t c) {
    const char32_t small = ToLower(c);
    return small >= 0x218 && small <= 0x21B ? CommaCedillaTwin(small) : small;
}

char BaseLetter(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return static_cast<char>(c);
    if (c >= 0x218 && c <= 0x21B) return "SsTt"[c - 0x218];
    char base = '-';
    if (c >= 0xC0 && c <= 0xFF)
        base = kLatin1[c - 0xC0];
    else if (c >= 0x100 && c <= 0x17F)
        base = kLatinA[c - 0x100];
    return base == '-' ? 0 : base;
}

bool IsRomanianLetter(char32_t c) {
    switch (ToLower(c)) {
        case 0x103:  // ă
        case 0xE2:   // â
        case 0xEE:   // î
        case 0x15F:  // ş
        case 0x163:  // ţ
        case 0x219:  // ș
        case 0x21B:  // ț
            return true;
        default:
            return false;
    }
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

}  // namespace orbelan::latin
