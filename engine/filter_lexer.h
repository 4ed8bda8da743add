#pragma once
// Tokens of a filter expression (engine/filter.h tells the language).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filter_nodes.h"

namespace orbelan::filter_detail {

// A fault at a byte offset of the text; Compile turns it into the user's message.
struct Fault {
    size_t offset;
    std::string what;
};

enum class Tok {
    End,
    LParen,
    RParen,
    Compare,
    And,
    Or,
    Not,
    Name,
    String,
    Number,
    Logical,
    Braced
};

struct Token {
    Tok kind = Tok::End;
    size_t pos = 0;    // byte offset in the text
    size_t len = 0;    // bytes in the text
    std::string text;  // name, string contents, number or braces contents as written
    Op op = Op::Eq;
    bool logical = false;
    bool quotedName = false;  // [NAME] or "NAME": never a keyword or a logical constant
};

// The tokens of text, ending with an End token; throws Fault. doubleQuotedStrings: "X" is a text
// constant (SQL), not a field name.
std::vector<Token> Lex(std::string_view text, char decimalSeparator, bool doubleQuotedStrings);

}  // namespace orbelan::filter_detail
