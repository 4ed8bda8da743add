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

}  // namespace

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
