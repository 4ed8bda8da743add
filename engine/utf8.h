#pragma once
// Walking UTF-8 text, the program's inner text form: one place that knows the byte patterns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbelan::utf8 {

inline bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Bytes of the sequence a lead byte starts: 1 to 4, 0 for a byte that starts none.
inline size_t SequenceLength(unsigned char lead) {
    return lead < 0x80         ? 1
           : (lead >> 5) == 6  ? 2
           : (lead >> 4) == 14 ? 3
           : (lead >> 3) == 30 ? 4
                               : 0;
}

// The code point at i, moving i past it; -1 for a malformed sequence (i moves one byte).
inline long NextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    const size_t len = SequenceLength(b0);
    if (len == 0 || i + len > s.size()) {
        ++i;
        return -1;
    }
    long cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (!IsContinuation(b)) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

// Characters in s: every byte that is not a continuation starts one.
inline size_t CharCount(std::string_view s) {
    size_t n = 0;
    for (const char c : s) n += !IsContinuation(static_cast<unsigned char>(c));
    return n;
}

// 1-based character position of a byte offset, for messages that point into a text.
inline size_t CharPosition(std::string_view s, size_t byteOffset) {
    return CharCount(s.substr(0, byteOffset)) + 1;
}

// The first `chars` characters of s (all of s when it is shorter); never cuts a sequence.
inline std::string_view Prefix(std::string_view s, size_t chars) {
    size_t i = 0;
    for (size_t n = 0; i < s.size(); ++i)
        if (!IsContinuation(static_cast<unsigned char>(s[i])) && n++ == chars) break;
    return s.substr(0, i);
}

// The first characters of s that take at most `units` UTF-16 units (two for a character past
// U+FFFF), as spreadsheets count a text's length; never cuts a sequence.
inline std::string_view Utf16Prefix(std::string_view s, size_t units) {
    size_t used = 0, i = 0;
    while (i < s.size()) {
        const size_t length = SequenceLength(static_cast<unsigned char>(s[i]));
        const size_t need = length == 4 ? 2 : 1;
        if (used + need > units) break;
        used += need;
        i += length == 0 ? 1 : length;
    }
    return s.substr(0, std::min(i, s.size()));
}

inline void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Strict UTF-8, as a reader that must tell UTF-8 from an 8-bit page checks it: continuation
// bytes a lead byte asks for, -1 for a byte that starts no well-formed sequence (C0, C1, F5..).
inline int StrictContinuations(unsigned char lead) {
    if (lead < 0x80) return 0;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

// Whether second, the byte after lead, continues a well-formed sequence: no overlong forms, no
// surrogates, nothing past U+10FFFF.
inline bool SecondByteFits(unsigned char lead, unsigned char second) {
    if (!IsContinuation(second)) return false;
    switch (lead) {
        case 0xE0:
            return second >= 0xA0;
        case 0xED:
            return second <= 0x9F;
        case 0xF0:
            return second >= 0x90;
        case 0xF4:
            return second <= 0x8F;
        default:
            return true;
    }
}

// The length of the well-formed sequence at p (n bytes left), 0 when there is none.
inline size_t WellFormedLength(const unsigned char* p, size_t n) {
    const int more = StrictContinuations(p[0]);
    if (more == 0) return 1;
    if (more < 0 || static_cast<size_t>(more) >= n || !SecondByteFits(p[0], p[1])) return 0;
    for (int k = 2; k <= more; ++k)
        if (!IsContinuation(p[k])) return 0;
    return static_cast<size_t>(more) + 1;
}

}  // namespace orbelan::utf8
