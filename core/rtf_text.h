#pragma once
// Text -> RTF: the one escaper of the RTF export and the form letters. Characters beyond ASCII
// become \uN, followed by the code page's byte as \'xx for readers without Unicode ("?" when
// the page lacks the character); a character beyond 16 bits is a surrogate pair.
#include <string>
#include <string_view>
#include <unordered_map>

namespace orbelan {

class CodePage;

struct RtfTextStyle {
    // { and } of the data become ( and ), so a value can't unbalance the document around it;
    // otherwise they are escaped as \{ \}.
    bool bracesAsParentheses = false;
    // Line breaks (CR LF, CR or LF) become \line and tabs \tab; otherwise line breaks are
    // dropped and tabs kept as they are.
    bool lineBreaks = false;
    // Each run of \uN escapes goes in a {\uc1 ...} group, for documents that set another \uc.
    bool unicodeGroups = false;
};

class RtfTextWriter {
  public:
    RtfTextWriter(const CodePage& page, RtfTextStyle style);

    // A character mapping applied before escaping (the letters' upper or lower case).
    using CharMap = char32_t (*)(char32_t);
    void Append(std::string& out, std::string_view utf8, CharMap map = nullptr) const;
    std::string Text(std::string_view utf8) const;

  private:
    void AppendEscape(std::string& out, char32_t c) const;
    const std::string& Fallback(char32_t c) const;

    const CodePage& page_;
    RtfTextStyle style_;
    mutable std::unordered_map<char32_t, std::string> fallback_;
};

}  // namespace orbelan
