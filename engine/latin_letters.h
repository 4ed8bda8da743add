#pragma once
// Letters of the Latin alphabets our code pages hold: ASCII, Latin-1, Latin Extended-A and the
// Romanian s and t with comma below. One place for their case and their base letters, so a
// search, a name check and a page guess all fold text the same way.
#include <string>
#include <string_view>

namespace orbelan::latin {

// The capital or small letter; any other character is returned as it is.
char32_t ToUpper(char32_t c);
char32_t ToLower(char32_t c);
inline bool IsUpper(char32_t c) {
    return ToLower(c) != c;
}

// S and T with comma below as the cedilla letters most pages store (and the other way round):
// a reader sees one letter. 0 for a character without a twin.
char32_t CommaCedillaTwin(char32_t c);
// Small letter, comma forms as cedilla ones: what a search that ignores case compares.
char32_t Folded(char32_t c);

// The ASCII letter under an accented one, in its case ('a' for ă, 'S' for Ş); the letter itself
// for ASCII letters; 0 for a character that is no letter of these alphabets.
char BaseLetter(char32_t c);
// Ă Â Î Ș Ş Ț Ţ, capital or small.
bool IsRomanianLetter(char32_t c);

// ASCII letters only (keywords, extensions, page names); other bytes stay.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);

}  // namespace orbelan::latin
