#pragma once
// Letters of the Latin alphabets our code pages hold: ASCII, Latin-1, Latin Extended-A and the
// Romanian s and t with comma below. One place for their case and their base letters, so a
// search, a name check and a page guess all fold text the same way.
#include <string>
#include <string_view>

namespace orbelan::latin {

namespace detail {
// Latin Extended-A pairs capital and small as even and odd code points, except in the two runs
// where the capital is odd.
inline bool EvenPairs(char32_t c) {
    return (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x218 && c <= 0x21B);
}
inline bool OddPairs(char32_t c) {
    return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
}
}  // namespace detail

// The capital or small letter; any other character is returned as it is. Inline: a search
// folds every character of every value.
inline char32_t ToUpper(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (detail::EvenPairs(c)) return c & ~char32_t{1};
    if (detail::OddPairs(c)) return (c & 1) ? c : c - 1;
    return c;
}

inline char32_t ToLower(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (detail::EvenPairs(c)) return c | 1;
    if (detail::OddPairs(c)) return (c & 1) ? c + 1 : c;
    return c;
}

// S and T with comma below as the cedilla letters most pages store (and the other way round):
// a reader sees one letter. 0 for a character without a twin.
inline char32_t CommaCedillaTwin(char32_t c) {
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

// Small letter, comma forms as cedilla ones: what a search that ignores case compares.
inline char32_t Folded(char32_t c) {
    const char32_t small = ToLower(c);
    return small >= 0x218 && small <= 0x21B ? CommaCedillaTwin(small) : small;
}

inline bool IsUpper(char32_t c) {
    return ToLower(c) != c;
}

// The ASCII letter under an accented one, in its case ('a' for ă, 'S' for Ş); the letter itself
// for ASCII letters; 0 for a character that is no letter of these alphabets.
char BaseLetter(char32_t c);
// Ă Â Î Ș Ş Ț Ţ, capital or small.
bool IsRomanianLetter(char32_t c);

// ASCII letters only (keywords, extensions, page names); other bytes stay.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);

}  // namespace orbelan::latin
