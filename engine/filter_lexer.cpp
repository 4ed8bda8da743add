#include "engine/filter_lexer.h"

#include <cctype>

#include "engine/lexer_util.h"
#include "engine/text_parse.h"

namespace orbelan::filter_detail {
namespace {

using lexer::IsNameChar;
using lexer::IsNameStart;
using lexer::Upper;

class Lexer {
  public:
    Lexer(std::string_view text, char decimalSeparator, bool doubleQuotedStrings)
        : s_(text), sep_(decimalSeparator), dq_(doubleQuotedStrings) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        for (;;) {
            while (i_ < s_.size() && lexer::IsBlank(s_[i_])) ++i_;
            Token t;
            t.pos = i_;
            if (i_ >= s_.size()) {
                out.push_back(t);
                return out;
            }
            Next(t);
            t.len = i_ - t.pos;
            if (t.kind != Tok::String && t.kind != Tok::Name && t.kind != Tok::Braced)
                t.text = std::string(s_.substr(t.pos, t.len));
            out.push_back(std::move(t));
        }
    }

  private:
    char At(size_t k) const { return k < s_.size() ? s_[k] : '\0'; }
    bool Digit(size_t k) const { return std::isdigit(static_cast<unsigned char>(At(k))) != 0; }

    void Next(Token& t) {
        const char c = s_[i_];
        switch (c) {
            case '(':
                t.kind = Tok::LParen;
                ++i_;
                return;
            case ')':
                t.kind = Tok::RParen;
                ++i_;
                return;
            case '=':
                Cmp(t, Op::Eq, At(i_ + 1) == '=' ? 2 : 1);
                return;
            case '#':
                Cmp(t, Op::Ne, 1);
                return;
            case '<':
                if (At(i_ + 1) == '>') return Cmp(t, Op::Ne, 2);
                if (At(i_ + 1) == '=') return Cmp(t, Op::Le, 2);
                return Cmp(t, Op::Lt, 1);
            case '>':
                if (At(i_ + 1) == '=') return Cmp(t, Op::Ge, 2);
                return Cmp(t, Op::Gt, 1);
            case '!':
                if (At(i_ + 1) == '=') return Cmp(t, Op::Ne, 2);
                t.kind = Tok::Not;
                ++i_;
                return;
            case '\'':
                return Quoted(t, '\'', Tok::String);
            case '"':
                return Quoted(t, '"', dq_ ? Tok::String : Tok::Name);
            case '[':
                return Enclosed(t, ']', Tok::Name, "lipseste ']' de inchidere a numelui");
            case '{':
                return Enclosed(t, '}', Tok::Braced, "lipseste '}' de inchidere a datei");
            default:
                break;
        }
        const bool sign = c == '+' || c == '-';
        const size_t d = sign ? i_ + 1 : i_;
        if (Digit(d) || ((At(d) == '.' || At(d) == sep_) && Digit(d + 1))) return Number(t);
        if (c == '.') return Dotted(t);
        if (IsNameStart(static_cast<unsigned char>(c))) {
            while (i_ < s_.size() && IsNameChar(static_cast<unsigned char>(s_[i_]))) ++i_;
            t.text = std::string(s_.substr(t.pos, i_ - t.pos));
            const std::string u = Upper(t.text);
            t.kind = u == "AND"   ? Tok::And
                     : u == "OR"  ? Tok::Or
                     : u == "NOT" ? Tok::Not
                                  : Tok::Name;
            return;
        }
        throw Fault{i_, "caracter neasteptat '" + std::string(1, c) + "'"};
    }

    void Cmp(Token& t, Op op, size_t n) {
        t.kind = Tok::Compare;
        t.op = op;
        t.text = std::string(s_.substr(i_, n));
        i_ += n;
    }

    void Quoted(Token& t, char q, Tok kind) {
        t.kind = kind;
        t.quotedName = kind == Tok::Name;
        for (++i_;; ++i_) {
            if (i_ >= s_.size()) {
                throw Fault{t.pos, q == '\'' ? "text neterminat: lipseste apostroful de inchidere"
                                             : "lipsesc ghilimelele de inchidere"};
            }
            if (s_[i_] == q) {
                if (At(i_ + 1) != q) break;
                ++i_;  // a doubled quote stands for one
            }
            t.text += s_[i_];
        }
        ++i_;
    }

    void Enclosed(Token& t, char close, Tok kind, const char* missing) {
        const size_t end = s_.find(close, i_ + 1);
        if (end == std::string_view::npos) throw Fault{t.pos, missing};
        t.kind = kind;
        t.quotedName = kind == Tok::Name;
        t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
        i_ = end + 1;
    }

    void Number(Token& t) {
        t.kind = Tok::Number;
        if (s_[i_] == '+' || s_[i_] == '-') ++i_;
        bool point = false;
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (Digit(i_)) {
                ++i_;
            } else if (!point && (c == '.' || c == sep_) && Digit(i_ + 1)) {
                point = true;
                ++i_;
            } else {
                break;
            }
        }
        t.text = std::string(s_.substr(t.pos, i_ - t.pos));
    }

    // .AND. .OR. .NOT. .T. .F.
    void Dotted(Token& t) {
        size_t k = i_ + 1;
        while (k < s_.size() && std::isalpha(static_cast<unsigned char>(s_[k]))) ++k;
        if (k == i_ + 1 || At(k) != '.') throw Fault{i_, "caracter neasteptat '.'"};
        const std::string u = Upper(s_.substr(i_, k + 1 - i_));
        i_ = k + 1;
        t.text = std::string(s_.substr(t.pos, i_ - t.pos));
        if (u == ".AND.") {
            t.kind = Tok::And;
        } else if (u == ".OR.") {
            t.kind = Tok::Or;
        } else if (u == ".NOT.") {
            t.kind = Tok::Not;
        } else if (const auto b = ParseLogicalText(u)) {
            t.kind = Tok::Logical;
            t.logical = *b;
        } else {
            throw Fault{t.pos, "cuvant necunoscut '" + t.text + "'"};
        }
    }

    std::string_view s_;
    char sep_;
    bool dq_;
    size_t i_ = 0;
};

}  // namespace

std::vector<Token> Lex(std::string_view text, char decimalSeparator, bool doubleQuotedStrings) {
    return Lexer(text, decimalSeparator, doubleQuotedStrings).Run();
}

}  // namespace orbelan::filter_detail
