#include "engine/filter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

#include "engine/date_util.h"
#include "engine/field_value.h"

namespace orbelan {

// ---------------------------------------------------------------- compiled conditions

struct FilterExpression::Node {
    virtual ~Node() = default;
    virtual bool Eval(const uint8_t* record) const = 0;
};

namespace {

using Node = FilterExpression::Node;

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

bool Holds(Op op, int c) {
    switch (op) {
        case Op::Eq:
            return c == 0;
        case Op::Ne:
            return c != 0;
        case Op::Lt:
            return c < 0;
        case Op::Gt:
            return c > 0;
        case Op::Le:
            return c <= 0;
        case Op::Ge:
            return c >= 0;
    }
    return false;
}

// a < b reads b > a when the operands change places.
Op Mirrored(Op op) {
    switch (op) {
        case Op::Lt:
            return Op::Gt;
        case Op::Gt:
            return Op::Lt;
        case Op::Le:
            return Op::Ge;
        case Op::Ge:
            return Op::Le;
        default:
            return op;
    }
}

int CompareBytes(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp orders unsigned bytes
    if (c != 0) return c < 0 ? -1 : 1;
    return (a.size() > b.size()) - (a.size() < b.size());
}

// Writers pad text with blanks, some with NULs.
std::string_view TrimRight(const char* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
    return {p, n};
}

std::string_view Trim(const char* p, size_t n) {
    std::string_view s = TrimRight(p, n);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

// A plain decimal number: optional sign, digits with at most one '.', optional exponent.
bool ParseNumber(std::string_view s, double& out) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const size_t first = !s.empty() && s.front() == '-' ? 1 : 0;
    if (s.size() <= first ||
        !(std::isdigit(static_cast<unsigned char>(s[first])) || s[first] == '.'))
        return false;  // from_chars would also take "inf" and "nan"
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

enum State : uint8_t { kEmpty, kValue, kInvalid };

int CompareStates(State a, State b) {
    return (a != kEmpty) - (b != kEmpty);
}

// ---- character fields

struct CharReader {
    using Value = std::string_view;
    FieldReader field;
    Value Read(const uint8_t* r) const { return field.Text(r); }
    static int Compare(Value a, Value b) { return CompareBytes(a, b); }
};

// ---- numeric fields

struct NumValue {
    State state = kEmpty;
    double v = 0;
    std::string_view text;  // stored or written text; empty for binary fields
};

struct NumReader {
    using Value = NumValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        NumValue n;
        if (v.kind == ValueKind::Number) {
            n.state = kValue;
            n.v = v.number;
            n.text = v.text;
        } else if (v.kind == ValueKind::Invalid) {
            n.state = kInvalid;
            n.text = v.text;
        }
        return n;
    }

    static std::string_view TextOf(const NumValue& n, char (&buf)[32]) {
        if (!n.text.empty()) return n.text;
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n.v);
        return {buf, ec == std::errc() ? static_cast<size_t>(end - buf) : 0};
    }

    static int Compare(const NumValue& a, const NumValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return (a.v > b.v) - (a.v < b.v);
        char ba[32], bb[32];
        return CompareBytes(TextOf(a, ba), TextOf(b, bb));
    }
};

// ---- dates: milliseconds from Julian day 0, so D and T fields compare with each other

constexpr int64_t kJulianOfDayZero = 2415019;  // 30 December 1899

int64_t MsOfDayNumber(int dayNumber) {
    return (dayNumber + kJulianOfDayZero) * kMsPerDay;
}

struct DateValue {
    State state = kEmpty;
    int64_t ms = 0;
    std::string_view text;
};

struct DateReader {
    using Value = DateValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        DateValue d;
        if (v.kind == ValueKind::Date || v.kind == ValueKind::DateTime) {
            d.state = kValue;
            d.ms = MsOfDayNumber(v.day) + v.ms;
        } else if (v.kind == ValueKind::Invalid) {
            d.state = kInvalid;
            d.text = v.text;
        }
        return d;
    }

    static int Compare(const DateValue& a, const DateValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return (a.ms > b.ms) - (a.ms < b.ms);
        return CompareBytes(a.text, b.text);
    }
};

// ---- logical fields: empty < false < true

struct LogicalValue {
    State state = kEmpty;
    int v = 0;
    std::string_view text;
};

struct LogicalReader {
    using Value = LogicalValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        LogicalValue l;
        if (v.kind == ValueKind::Bool) {
            l.state = kValue;
            l.v = v.flag ? 1 : 0;
        }
        return l;
    }

    static int Compare(const LogicalValue& a, const LogicalValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return a.v - b.v;
        return CompareBytes(a.text, b.text);
    }
};

// ---- nodes

template <class Reader>
struct ConstCompare final : Node {
    Reader reader;
    Op op;
    std::string constText;  // owns the bytes the constant's text view points at
    typename Reader::Value constant;

    bool Eval(const uint8_t* r) const override {
        return Holds(op, Reader::Compare(reader.Read(r), constant));
    }
};

template <class Reader>
struct FieldCompare final : Node {
    Reader left, right;
    Op op;
    bool Eval(const uint8_t* r) const override {
        return Holds(op, Reader::Compare(left.Read(r), right.Read(r)));
    }
};

struct CharPrefix final : Node {
    CharReader reader;
    std::string prefix;
    bool negate = false;
    bool Eval(const uint8_t* r) const override {
        const std::string_view v = reader.Read(r);
        const bool starts =
            v.size() >= prefix.size() && std::memcmp(v.data(), prefix.data(), prefix.size()) == 0;
        return starts != negate;
    }
};

struct LogicalIsTrue final : Node {
    LogicalReader reader;
    bool Eval(const uint8_t* r) const override {
        const LogicalValue v = reader.Read(r);
        return v.state == kValue && v.v == 1;
    }
};

struct AndNode final : Node {
    std::unique_ptr<Node> a, b;
    bool Eval(const uint8_t* r) const override { return a->Eval(r) && b->Eval(r); }
};

struct OrNode final : Node {
    std::unique_ptr<Node> a, b;
    bool Eval(const uint8_t* r) const override { return a->Eval(r) || b->Eval(r); }
};

struct NotNode final : Node {
    std::unique_ptr<Node> a;
    bool Eval(const uint8_t* r) const override { return !a->Eval(r); }
};

// ---------------------------------------------------------------- parsing

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

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || std::isdigit(c);
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

std::optional<bool> LogicalWord(std::string_view upper) {
    if (upper == "T" || upper == "TRUE" || upper == "Y" || upper == ".T." || upper == ".Y.")
        return true;
    if (upper == "F" || upper == "FALSE" || upper == "N" || upper == ".F." || upper == ".N.")
        return false;
    return std::nullopt;
}

class Lexer {
  public:
    Lexer(std::string_view text, char decimalSeparator, bool doubleQuotedStrings)
        : s_(text), sep_(decimalSeparator), dq_(doubleQuotedStrings) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        for (;;) {
            while (i_ < s_.size() &&
                   (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
                ++i_;
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
        } else if (const auto b = LogicalWord(u)) {
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

// 1-based position in characters (the text is UTF-8).
size_t CharPosition(std::string_view text, size_t byteOffset) {
    size_t n = 1;
    for (size_t i = 0; i < byteOffset && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
    return n;
}

enum class Kind { Char, Num, Date, Logical };

// One side of a comparison: a field or a constant token.
struct Operand {
    const Token* token = nullptr;
    const FieldDef* field = nullptr;
    const FieldLayout* layout = nullptr;
    Kind kind = Kind::Char;
};

std::string Describe(const Token& t) {
    switch (t.kind) {
        case Tok::End:
            return "sfarsitul expresiei";
        case Tok::String:
            return "textul '" + t.text + "'";
        default:
            return "'" + t.text + "'";
    }
}

class Parser {
  public:
    // positionText/base: where the text sits, for the positions named inside a message.
    Parser(std::string_view text, const DbfLayout& layout, const CodePage& codePage,
           const FormatSettings& format, bool doubleQuotedStrings, std::string_view positionText,
           size_t base)
        : layout_(layout),
          cp_(codePage),
          format_(format),
          sql_(doubleQuotedStrings),
          positionText_(positionText),
          base_(base) {
        tokens_ = Lexer(text, format.decimalSeparator, doubleQuotedStrings).Run();
    }

    std::unique_ptr<Node> Run() {
        if (Peek().kind == Tok::End) throw Fault{0, "expresia este goala"};
        auto root = ParseOr();
        if (Peek().kind == Tok::RParen) throw Fault{Peek().pos, "')' fara '(' pereche"};
        if (Peek().kind != Tok::End)
            throw Fault{Peek().pos, "lipseste AND sau OR inainte de " + Describe(Peek())};
        return root;
    }

  private:
    const Token& Peek() const { return tokens_[pos_]; }
    const Token& Take() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

    std::unique_ptr<Node> ParseOr() {
        auto left = ParseAnd();
        while (Peek().kind == Tok::Or) {
            Take();
            auto n = std::make_unique<OrNode>();
            n->a = std::move(left);
            n->b = ParseAnd();
            left = std::move(n);
        }
        return left;
    }

    std::unique_ptr<Node> ParseAnd() {
        auto left = ParseNot();
        while (Peek().kind == Tok::And) {
            Take();
            auto n = std::make_unique<AndNode>();
            n->a = std::move(left);
            n->b = ParseNot();
            left = std::move(n);
        }
        return left;
    }

    // Parsing, matching and freeing the tree all recurse: a deep nest would run out of stack.
    static constexpr int kMaxDepth = 200;
    struct Nested {
        Nested(int& depth, size_t pos) : d(depth) {
            if (++d > kMaxDepth)
                throw Fault{pos, "prea multe paranteze sau NOT una in alta (cel mult " +
                                     std::to_string(kMaxDepth) + ")"};
        }
        ~Nested() { --d; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
        int& d;
    };

    std::unique_ptr<Node> ParseNot() {
        if (Peek().kind != Tok::Not) return ParsePrimary();
        const Nested nested(depth_, Peek().pos);
        Take();
        auto n = std::make_unique<NotNode>();
        n->a = ParseNot();
        return n;
    }

    std::unique_ptr<Node> ParsePrimary() {
        const Token& t = Peek();
        switch (t.kind) {
            case Tok::LParen: {
                const Nested nested(depth_, t.pos);
                Take();
                auto inner = ParseOr();
                if (Peek().kind != Tok::RParen) {
                    if (Peek().kind == Tok::End)
                        throw Fault{Peek().pos,
                                    "lipseste ')' pentru '(' de la pozitia " + Pos(t.pos)};
                    throw Fault{Peek().pos, "lipseste ')' inainte de " + Describe(Peek())};
                }
                Take();
                return inner;
            }
            case Tok::End:
                throw Fault{t.pos, "lipseste o conditie la sfarsitul expresiei"};
            case Tok::RParen:
            case Tok::And:
            case Tok::Or:
            case Tok::Compare:
                throw Fault{t.pos, "lipseste o conditie inainte de " + Describe(t)};
            default:
                break;
        }
        const Operand left = ParseOperand();
        if (Peek().kind != Tok::Compare) {
            if (left.field && left.kind == Kind::Logical) {
                auto n = std::make_unique<LogicalIsTrue>();
                n->reader.field = Reader(left);
                return n;
            }
            throw Fault{Peek().pos,
                        "lipseste operatorul de comparatie (=, <>, <, >, <=, >=) dupa " +
                            Describe(*left.token)};
        }
        const Token& opToken = Take();
        const Tok next = Peek().kind;
        if (next == Tok::End || next == Tok::RParen || next == Tok::And || next == Tok::Or ||
            next == Tok::Compare || next == Tok::LParen || next == Tok::Not) {
            throw Fault{Peek().pos, "lipseste valoarea de comparat dupa '" + opToken.text + "'"};
        }
        const Operand right = ParseOperand();
        return Comparison(left, opToken, right);
    }

    Operand ParseOperand() {
        const Token& t = Take();
        Operand o;
        o.token = &t;
        if (t.kind != Tok::Name) return o;
        for (const FieldLayout& f : layout_.fields) {
            if (!f.system && Upper(f.def.name) == Upper(t.text)) {
                o.field = &f.def;
                o.layout = &f;
                break;
            }
        }
        if (!o.field) {
            if (!t.quotedName) {
                if (const auto b = LogicalWord(Upper(t.text))) {
                    Token& mutableToken = tokens_[pos_ - 1];
                    mutableToken.kind = Tok::Logical;
                    mutableToken.logical = *b;
                    return o;
                }
            }
            throw Fault{t.pos, "camp necunoscut '" + t.text + "'"};
        }
        const FieldDef& f = *o.field;
        if (f.IsMemo())
            throw Fault{t.pos, "campul memo " + f.name + " nu poate fi folosit in filtru"};
        switch (f.type) {
            case 'C':
            case 'V':
                o.kind = Kind::Char;
                break;
            case 'N':
            case 'F':
            case 'I':
            case 'B':
            case 'Y':
            case 'O':
            case '+':
                o.kind = Kind::Num;
                break;
            case 'D':
                o.kind = Kind::Date;
                break;
            case 'T':
            case '@':
                if (f.size != 8)
                    throw Fault{t.pos, "campul " + f.name + " are o lungime nepotrivita"};
                o.kind = Kind::Date;
                break;
            case 'L':
                o.kind = Kind::Logical;
                break;
            default:
                throw Fault{t.pos, "campul " + f.name + " are un tip (" + std::string(1, f.type) +
                                       ") care nu poate fi folosit in filtru"};
        }
        const bool binary =
            f.type == 'I' || f.type == '+' || f.type == 'B' || f.type == 'Y' || f.type == 'O';
        if (f.size <= 0 || (binary && f.size != (f.type == 'I' || f.type == '+' ? 4 : 8)))
            throw Fault{t.pos, "campul " + f.name + " are o lungime nepotrivita"};
        return o;
    }

    std::unique_ptr<Node> Comparison(Operand left, const Token& opToken, Operand right) {
        Op op = opToken.op;
        if (!left.field && !right.field)
            throw Fault{left.token->pos, "comparatia nu contine niciun camp"};
        if (left.field && right.field) {
            if (left.kind != right.kind) {
                throw Fault{opToken.pos, "campurile " + left.field->name + " si " +
                                             right.field->name +
                                             " au tipuri care nu se pot compara"};
            }
            return FieldsNode(left, right, op);
        }
        if (!left.field) {
            std::swap(left, right);
            op = Mirrored(op);
        }
        switch (left.kind) {
            case Kind::Char:
                return CharConstant(left, op, *right.token);
            case Kind::Num:
                return NumConstant(left, op, *right.token);
            case Kind::Date:
                return DateConstant(left, op, *right.token);
            case Kind::Logical:
                return LogicalConstant(left, op, *right.token);
        }
        return nullptr;
    }

    FieldReader Reader(const Operand& o) const { return FieldReader(layout_, *o.layout); }

    template <class R>
    std::unique_ptr<Node> Fields(const Operand& a, const Operand& b, Op op) const {
        auto n = std::make_unique<FieldCompare<R>>();
        n->left.field = Reader(a);
        n->right.field = Reader(b);
        n->op = op;
        return n;
    }

    std::unique_ptr<Node> FieldsNode(const Operand& a, const Operand& b, Op op) const {
        switch (a.kind) {
            case Kind::Char:
                return Fields<CharReader>(a, b, op);
            case Kind::Num:
                return Fields<NumReader>(a, b, op);
            case Kind::Date:
                return Fields<DateReader>(a, b, op);
            case Kind::Logical:
                return Fields<LogicalReader>(a, b, op);
        }
        return nullptr;
    }

    [[noreturn]] void Unsuitable(const FieldDef& f, const Token& c, const std::string& why) const {
        throw Fault{c.pos, Describe(c) + " nu se potriveste cu campul " + f.name + ": " + why};
    }

    std::string Encode(const Token& c, std::string_view utf8) const {
        try {
            return cp_.Encode(utf8);
        } catch (const DbfError&) {
            throw Fault{c.pos, Describe(c) +
                                   " contine caractere care nu exista in codificarea tabelei (" +
                                   cp_.Name() + ")"};
        }
    }

    std::unique_ptr<Node> CharConstant(const Operand& o, Op op, const Token& c) {
        const FieldDef& f = *o.field;
        if (c.kind != Tok::String && c.kind != Tok::Number)
            Unsuitable(f, c, "campul este de tip text, scrieti valoarea intre apostrofuri");
        const CharReader reader{Reader(o)};
        // The filter box's trailing star: 'IONEL*' keeps what begins with IONEL.
        if (!sql_ && c.kind == Tok::String && (op == Op::Eq || op == Op::Ne) && !c.text.empty() &&
            c.text.back() == '*') {
            auto n = std::make_unique<CharPrefix>();
            n->reader = reader;
            n->prefix = Encode(c, std::string_view(c.text).substr(0, c.text.size() - 1));
            n->negate = op == Op::Ne;
            return n;
        }
        auto n = std::make_unique<ConstCompare<CharReader>>();
        n->reader = reader;
        n->op = op;
        n->constText = Encode(c, c.text);
        n->constant = TrimRight(n->constText.data(), n->constText.size());
        return n;
    }

    std::optional<double> NumberValue(std::string_view text) const {
        std::string s(Trim(text.data(), text.size()));
        if (format_.decimalSeparator != '.') {
            const size_t sep = s.find(format_.decimalSeparator);
            if (sep != std::string::npos && s.find('.') == std::string::npos) s[sep] = '.';
        }
        double v;
        if (!ParseNumber(s, v)) return std::nullopt;
        return v;
    }

    std::unique_ptr<Node> NumConstant(const Operand& o, Op op, const Token& c) {
        const FieldDef& f = *o.field;
        auto n = std::make_unique<ConstCompare<NumReader>>();
        n->reader.field = Reader(o);
        n->op = op;
        if (c.kind != Tok::Number && c.kind != Tok::String) Unsuitable(f, c, "campul este numeric");
        n->constText = std::string(Trim(c.text.data(), c.text.size()));
        if (!n->constText.empty()) {
            const auto v = NumberValue(n->constText);
            if (!v) Unsuitable(f, c, "campul este numeric");
            n->constant.state = kValue;
            n->constant.v = *v;
        }
        n->constant.text = n->constText;
        return n;
    }

    // 'yyyymmdd', 'yyyy-mm-dd' or the short date format; for T fields optionally " hh:mm[:ss]".
    std::optional<int64_t> DateValueOf(std::string_view s, bool withTime) const {
        int64_t timeMs = 0;
        const size_t blank = s.rfind(' ');
        if (withTime && blank != std::string_view::npos && !ParseDate(s, format_.shortDateFormat)) {
            std::string_view tm = s.substr(blank + 1);
            while (!tm.empty() && tm.front() == ' ') tm.remove_prefix(1);
            s = s.substr(0, blank);
            int parts[3] = {0, 0, 0}, count = 0;
            for (size_t i = 0; i <= tm.size(); ++count) {
                size_t j = i;
                while (j < tm.size() && std::isdigit(static_cast<unsigned char>(tm[j]))) ++j;
                if (count == 3 || j == i || j - i > 2 || (j < tm.size() && tm[j] != ':'))
                    return std::nullopt;
                parts[count] = std::stoi(std::string(tm.substr(i, j - i)));
                i = j + 1;
            }
            if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
            timeMs = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * int64_t(1000);
        }
        std::optional<int> day = ParseDate(s, format_.shortDateFormat);
        if (!day) day = ParseDate(s, "yyyyMMdd");
        if (!day) day = ParseDate(s, "yyyy-MM-dd");
        if (!day) return std::nullopt;
        return MsOfDayNumber(*day) + timeMs;
    }

    std::unique_ptr<Node> DateConstant(const Operand& o, Op op, const Token& c) {
        const FieldDef& f = *o.field;
        auto n = std::make_unique<ConstCompare<DateReader>>();
        n->reader.field = Reader(o);
        n->op = op;
        const std::string example = FormatDate(DayNumber(2000, 12, 31), format_.shortDateFormat);
        const std::string why = "campul este de tip data, scrieti de exemplu '" + example + "'";
        if (c.kind != Tok::String && c.kind != Tok::Braced && c.kind != Tok::Number)
            Unsuitable(f, c, why);
        n->constText = std::string(Trim(c.text.data(), c.text.size()));
        if (!n->constText.empty() || c.kind == Tok::Number) {
            const auto ms = c.kind == Tok::Number && n->constText.size() != 8
                                ? std::nullopt
                                : DateValueOf(n->constText, f.type == 'T' || f.type == '@');
            if (!ms) Unsuitable(f, c, why);
            n->constant.state = kValue;
            n->constant.ms = *ms;
        }
        n->constant.text = n->constText;
        return n;
    }

    std::unique_ptr<Node> LogicalConstant(const Operand& o, Op op, const Token& c) {
        const FieldDef& f = *o.field;
        auto n = std::make_unique<ConstCompare<LogicalReader>>();
        n->reader.field = Reader(o);
        n->op = op;
        const std::string why = "campul este logic, scrieti T sau F";
        if (c.kind == Tok::Logical) {
            n->constant.state = kValue;
            n->constant.v = c.logical ? 1 : 0;
        } else if (c.kind == Tok::String) {
            const std::string u = Upper(Trim(c.text.data(), c.text.size()));
            if (!u.empty()) {
                const auto b = LogicalWord(u);
                if (!b) Unsuitable(f, c, why);
                n->constant.state = kValue;
                n->constant.v = *b ? 1 : 0;
            }
        } else {
            Unsuitable(f, c, why);
        }
        n->constText = c.text;
        n->constant.text = n->constText;
        return n;
    }

    std::string Pos(size_t offset) const {
        return std::to_string(CharPosition(positionText_, base_ + offset));
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int depth_ = 0;  // parentheses and NOTs open around the current token
    const DbfLayout& layout_;
    const CodePage& cp_;
    const FormatSettings& format_;
    bool sql_;
    std::string_view positionText_;
    size_t base_;
};

}  // namespace

FilterExpression::FilterExpression(std::unique_ptr<Node> root) : root_(std::move(root)) {}
FilterExpression::~FilterExpression() = default;

bool FilterExpression::Matches(const uint8_t* record) const {
    return root_->Eval(record);
}

namespace {

// Fields without a table around them: read as a dBase III table holds them.
DbfLayout PlainLayout(const std::vector<FieldDef>& fields) {
    DbfLayout layout;
    for (const FieldDef& d : fields) layout.fields.push_back(FieldLayout{d});
    return layout;
}

}  // namespace

std::unique_ptr<FilterExpression> FilterExpression::Compile(std::string_view text,
                                                            const DbfLayout& layout,
                                                            const CodePage& codePage,
                                                            const FormatSettings& format,
                                                            bool doubleQuotedStrings) {
    try {
        Parser parser(text, layout, codePage, format, doubleQuotedStrings, text, 0);
        return std::unique_ptr<FilterExpression>(new FilterExpression(parser.Run()));
    } catch (const Fault& f) {
        throw DbfError(ErrorKind::Filter, "Filtru incorect la pozitia " +
                                              std::to_string(CharPosition(text, f.offset)) + ": " +
                                              f.what + ".");
    }
}

std::unique_ptr<FilterExpression> FilterExpression::Compile(std::string_view text,
                                                            const std::vector<FieldDef>& fields,
                                                            const CodePage& codePage,
                                                            const FormatSettings& format,
                                                            bool doubleQuotedStrings) {
    return Compile(text, PlainLayout(fields), codePage, format, doubleQuotedStrings);
}

std::unique_ptr<FilterExpression> FilterExpression::CompileCondition(
    std::string_view statement, size_t conditionOffset, size_t conditionLength,
    const DbfLayout& layout, const CodePage& codePage, const FormatSettings& format) {
    conditionOffset = std::min(conditionOffset, statement.size());
    const std::string_view condition = statement.substr(conditionOffset, conditionLength);
    try {
        Parser parser(condition, layout, codePage, format, true, statement, conditionOffset);
        return std::unique_ptr<FilterExpression>(new FilterExpression(parser.Run()));
    } catch (const Fault& f) {
        throw DbfError(ErrorKind::Sql,
                       "Instructiune SQL incorecta: " + f.what + " la pozitia " +
                           std::to_string(CharPosition(statement, conditionOffset + f.offset)) +
                           ".");
    }
}

std::unique_ptr<FilterExpression> FilterExpression::CompileCondition(
    std::string_view statement, size_t conditionOffset, size_t conditionLength,
    const std::vector<FieldDef>& fields, const CodePage& codePage, const FormatSettings& format) {
    return CompileCondition(statement, conditionOffset, conditionLength, PlainLayout(fields),
                            codePage, format);
}

}  // namespace orbelan
