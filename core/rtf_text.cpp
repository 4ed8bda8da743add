#include "core/rtf_text.h"

#include <array>

#include "engine/codepage.h"
#include "engine/errors.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

// The bytes that can't be copied as they are: RTF's own, line breaks, and every byte beyond
// ASCII; the letters' style adds the tab.
constexpr std::array<bool, 256> SpecialBytes(bool tab) {
    std::array<bool, 256> special{};
    for (const char c : std::string_view("\\{}\r\n")) special[static_cast<unsigned char>(c)] = true;
    special['\t'] = tab;
    for (int b = 0x80; b < 0x100; ++b) special[static_cast<size_t>(b)] = true;
    return special;
}
constexpr auto kSpecial = SpecialBytes(false);
constexpr auto kSpecialWithTab = SpecialBytes(true);

void AppendUnicodeEscape(std::string& out, char32_t unit) {
    // RTF writes the code unit as a signed 16-bit number.
    const int n = unit >= 0x8000 ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    out += "\\u";
    out += std::to_string(n);
}

}  // namespace

RtfTextWriter::RtfTextWriter(const CodePage& page, RtfTextStyle style)
    : page_(page), style_(style) {}

std::string RtfTextWriter::Text(std::string_view utf8) const {
    std::string out;
    Append(out, utf8);
    return out;
}

void RtfTextWriter::Append(std::string& out, std::string_view utf8, CharMap map) const {
    const auto& special = style_.lineBreaks ? kSpecialWithTab : kSpecial;
    bool inGroup = false;  // inside the {\uc1 ...} group of a run of escapes
    for (size_t i = 0; i < utf8.size();) {
        // Plain characters go in whole runs.
        size_t plain = i;
        while (plain < utf8.size() && !special[static_cast<unsigned char>(utf8[plain])]) ++plain;
        if (plain > i) {
            if (inGroup) {
                out += '}';
                inGroup = false;
            }
            if (map) {
                for (; i < plain; ++i)
                    out += static_cast<char>(map(static_cast<unsigned char>(utf8[i])));
            } else {
                out.append(utf8.substr(i, plain - i));
                i = plain;
            }
            if (i == utf8.size()) break;
        }
        const long cp = utf8::NextCodePoint(utf8, i);
        char32_t c = cp < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(cp);
        if (map) c = map(c);
        if (c == '\r' || c == '\n') {
            if (!style_.lineBreaks) continue;
            if (c == '\r' && i < utf8.size() && utf8[i] == '\n') continue;  // CR LF: one break
            c = '\n';
        }
        if (style_.unicodeGroups && c >= 0x80 && !inGroup) {
            out += "{\\uc1";
            inGroup = true;
        } else if (c < 0x80 && inGroup) {
            out += '}';
            inGroup = false;
        }
        AppendEscape(out, c);
    }
    if (inGroup) out += '}';
}

void RtfTextWriter::AppendEscape(std::string& out, char32_t c) const {
    switch (c) {
        case '{':
        case '}':
            if (style_.bracesAsParentheses) {
                out += c == '{' ? '(' : ')';
            } else {
                out += '\\';
                out += static_cast<char>(c);
            }
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\line ";
            return;
        case '\t':
            out += "\\tab ";
            return;
        default:
            break;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    if (c > 0xFFFF) {  // no code page holds it: "?" after each half
        const char32_t v = c - 0x10000;
        AppendUnicodeEscape(out, 0xD800 + (v >> 10));
        out += '?';
        AppendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
        out += '?';
        return;
    }
    AppendUnicodeEscape(out, c);
    out += Fallback(c);
}

const std::string& RtfTextWriter::Fallback(char32_t c) const {
    auto it = fallback_.find(c);
    if (it != fallback_.end()) return it->second;
    std::string utf8;
    utf8::AppendCodePoint(utf8, c);
    std::string fallback = "?";  // the code page has no such character
    try {
        const std::string bytes = page_.Encode(utf8);
        if (bytes.size() == 1) {
            static const char* const kHex = "0123456789abcdef";
            const auto b = static_cast<unsigned char>(bytes[0]);
            fallback = std::string("\\'") + kHex[b >> 4] + kHex[b & 15];
        }
    } catch (const DbfError&) {
    }
    return fallback_.emplace(c, std::move(fallback)).first->second;
}

}  // namespace orbelan
