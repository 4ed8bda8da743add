#pragma once
// A small RTF reader of its own for the tests: the text a word processor would show, with each
// table cell ended by a tab and each row and paragraph by a line break. It knows nothing of how
// the export writes RTF, only the format: groups, control words, \'hh in the document's code
// page, \uN with its fallback characters skipped, destinations that hold no text.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/utf8.h"

namespace orbelan::test {

inline std::string RtfText(std::string_view rtf, const std::string& page = "cp1250") {
    const auto codePage = CodePage::Get(page);
    struct Group {
        bool skip = false;
        int uc = 1;  // fallback characters after \uN
    };
    std::vector<Group> groups{{}};
    std::string out;
    int fallback = 0;  // characters still to skip after a \uN
    const auto text = [&](const std::string& utf8) {
        if (fallback > 0) {
            --fallback;
            return;
        }
        if (!groups.back().skip) out += utf8;
    };
    for (size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            groups.push_back(groups.back());
            ++i;
        } else if (c == '}') {
            if (groups.size() > 1) groups.pop_back();
            fallback = 0;
            ++i;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c != '\\') {
            text(std::string(1, c));
            ++i;
        } else if (i + 1 < rtf.size() && !std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
            const char symbol = rtf[i + 1];
            i += 2;
            if (symbol == '\'') {
                const int byte = std::stoi(std::string(rtf.substr(i, 2)), nullptr, 16);
                i += 2;
                text(codePage->Decode(std::string(1, static_cast<char>(byte))));
            } else if (symbol == '*') {
                groups.back().skip = true;
            } else {
                text(std::string(1, symbol));  // \\ \{ \}
            }
        } else {
            size_t j = ++i;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            const std::string word(rtf.substr(i, j - i));
            size_t k = j;
            if (k < rtf.size() &&
                (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k]))))
                ++k;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) ++k;
            const std::string param(rtf.substr(j, k - j));
            if (k < rtf.size() && rtf[k] == ' ') ++k;
            i = k;
            if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info") {
                groups.back().skip = true;
            } else if (word == "uc") {
                groups.back().uc = std::stoi(param);
            } else if (word == "u") {
                long cp = std::stol(param);
                if (cp < 0) cp += 65536;
                std::string utf8;
                utf8::AppendCodePoint(utf8, static_cast<char32_t>(cp));
                text(utf8);
                fallback = groups.back().uc;
            } else if (word == "par" || word == "row" || word == "line") {
                text("\n");
            } else if (word == "cell" || word == "tab") {
                text("\t");
            }
        }
    }
    return out;
}

}  // namespace orbelan::test
