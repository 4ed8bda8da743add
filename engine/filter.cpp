// The filter's parser: tokens to compiled conditions, each constant read once here.
#include "engine/filter.h"

#include <algorithm>
#include <optional>

#include "engine/date_util.h"
#include "engine/filter_functions.h"
#include "engine/filter_lexer.h"
#include "engine/filter_nodes.h"
#include "engine/lexer_util.h"
#include "engine/text_parse.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

using namespace filter_detail;
using lexer::Upper;

enum class Kind { Char, Num, Date, Logical };

// One side of a comparison: a field or a constant token.
struct Operand {
    const Token* token = nullptr;
    const FieldDef* field = nullptr;
    const FieldLayout* layout = nullptr;
    Kind kind = Kind::Char;
    bool memo = false;  // a memo text, read through the memo reader
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
        tokens_ = Lex(text, format.decimalSeparator, doubleQuotedStrings);
    }

    void SetMemoReader(const MemoBytesReader& memo) { memo_ = memo; }

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
        if (t.kind == Tok::Name && !t.quotedName && pos_ + 1 < tokens_.size() &&
            tokens_[pos_ + 1].kind == Tok::LParen) {
            if (const FilterFunction* function = FindFilterFunction(t.text))
                return FunctionCall(*function);
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

    // NAME(FIELD) op constant.
    std::unique_ptr<Node> FunctionCall(const FilterFunction& function) {
        const Token& name = Take();
        Take();  // (
        const Token& fieldToken = Peek();
        if (fieldToken.kind != Tok::Name)
            throw Fault{fieldToken.pos, "lipseste campul dupa " + name.text + "("};
        const Operand field = ParseOperand();
        if (!field.field || field.memo ||
            !(field.field->type == 'C' || field.field->type == 'V' || field.field->type == 'N' ||
              field.field->type == 'F'))
            throw Fault{fieldToken.pos, name.text + " cere un camp de tip text sau numeric"};
        if (Peek().kind != Tok::RParen)
            throw Fault{Peek().pos, "lipseste ')' inainte de " + Describe(Peek())};
        Take();
        if (Peek().kind != Tok::Compare)
            throw Fault{Peek().pos,
                        "lipseste operatorul de comparatie (=, <>, <, >, <=, >=) dupa " +
                            name.text + "(...)"};
        const Token& opToken = Take();
        const Token& c = Take();
        if (c.kind != Tok::String && c.kind != Tok::Number)
            throw Fault{c.pos, "lipseste valoarea de comparat dupa '" + opToken.text + "'"};
        auto n = std::make_unique<FunctionCompare>();
        n->field = Reader(field);
        n->page = &cp_;
        n->apply = function.apply;
        n->numeric = function.numeric;
        n->op = opToken.op;
        n->constText = c.text;
        if (function.numeric && !Trim(c.text.data(), c.text.size()).empty()) {
            const auto v =
                ParseNumberText(Trim(c.text.data(), c.text.size()), format_.decimalSeparator);
            if (!v) throw Fault{c.pos, Describe(c) + " nu este un numar"};
            n->constNumber.state = kValue;
            n->constNumber.v = *v;
        }
        return n;
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
                if (const auto b = ParseLogicalText(t.text)) {
                    Token& mutableToken = tokens_[pos_ - 1];
                    mutableToken.kind = Tok::Logical;
                    mutableToken.logical = *b;
                    return o;
                }
            }
            throw Fault{t.pos, "camp necunoscut '" + t.text + "'"};
        }
        const FieldDef& f = *o.field;
        if (f.IsMemo()) {
            if (!memo_ || f.type != 'M')
                throw Fault{t.pos, "campul memo " + f.name + " nu poate fi folosit in filtru"};
            o.memo = true;
            return o;
        }
        if ((f.type == 'T' || f.type == '@') && f.size != 8)
            throw Fault{t.pos, "campul " + f.name + " are o lungime nepotrivita"};
        switch (f.Kind()) {
            case FieldKind::Text:
                o.kind = Kind::Char;
                break;
            case FieldKind::Number:
                o.kind = Kind::Num;
                break;
            case FieldKind::Date:
                o.kind = Kind::Date;
                break;
            case FieldKind::Logical:
                o.kind = Kind::Logical;
                break;
            case FieldKind::Other:
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
        if (left.memo || right.memo) return MemoConstant(left, opToken, op, right);
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

    // A memo text compared with a text constant ('TEXT*': what begins with TEXT).
    std::unique_ptr<Node> MemoConstant(Operand left, const Token& opToken, Op op, Operand right) {
        if (left.field && right.field)
            throw Fault{opToken.pos, "un camp memo poate fi comparat numai cu un text"};
        if (!left.field) {
            std::swap(left, right);
            op = Mirrored(op);
        }
        const Token& c = *right.token;
        if (c.kind != Tok::String)
            Unsuitable(*left.field, c, "campul este memo, scrieti textul intre apostrofuri");
        auto n = std::make_unique<MemoCompare>();
        n->read = memo_;
        n->layout = left.layout;
        n->op = op;
        n->prefix =
            !sql_ && (op == Op::Eq || op == Op::Ne) && !c.text.empty() && c.text.back() == '*';
        n->text =
            Encode(c, std::string_view(c.text).substr(0, c.text.size() - (n->prefix ? 1 : 0)));
        return n;
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

    // < > on text follow the alphabet (binary Q fields keep their bytes); = stays exact.
    static bool Ordering(const Operand& o, Op op) {
        return op != Op::Eq && op != Op::Ne && (o.field->type == 'C' || o.field->type == 'V');
    }

    std::unique_ptr<Node> FieldsNode(const Operand& a, const Operand& b, Op op) const {
        switch (a.kind) {
            case Kind::Char:
                if (Ordering(a, op)) {
                    auto n = std::make_unique<CharOrderCompare>();
                    n->left.field = Reader(a);
                    n->right.field = Reader(b);
                    n->order = &RomanianOrder::For(cp_);
                    n->op = op;
                    n->constant = false;
                    return n;
                }
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
        if (Ordering(o, op)) {
            auto n = std::make_unique<CharOrderCompare>();
            n->left = reader;
            n->order = &RomanianOrder::For(cp_);
            n->op = op;
            n->constText = Encode(c, c.text);
            n->constView = TrimRight(n->constText.data(), n->constText.size());
            return n;
        }
        auto n = std::make_unique<ConstCompare<CharReader>>();
        n->reader = reader;
        n->op = op;
        n->constText = Encode(c, c.text);
        n->constant = TrimRight(n->constText.data(), n->constText.size());
        return n;
    }

    std::unique_ptr<Node> NumConstant(const Operand& o, Op op, const Token& c) {
        const FieldDef& f = *o.field;
        auto n = std::make_unique<ConstCompare<NumReader>>();
        n->reader.field = Reader(o);
        n->op = op;
        if (c.kind != Tok::Number && c.kind != Tok::String) Unsuitable(f, c, "campul este numeric");
        n->constText = std::string(Trim(c.text.data(), c.text.size()));
        if (!n->constText.empty()) {
            const auto v = ParseNumberText(n->constText, format_.decimalSeparator);
            if (!v) Unsuitable(f, c, "campul este numeric");
            n->constant.state = kValue;
            n->constant.v = *v;
        }
        n->constant.text = n->constText;
        return n;
    }

    std::optional<int64_t> DateValueOf(std::string_view s, bool withTime) const {
        if (!withTime) {
            const auto day = ParseDateText(s, format_);
            if (!day) return std::nullopt;
            return MsOfDayNumber(*day);
        }
        const auto at = ParseDateTimeText(s, format_);
        if (!at) return std::nullopt;
        return MsOfDayNumber(at->day) + at->ms;
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
            if (!Trim(c.text.data(), c.text.size()).empty()) {
                const auto b = ParseLogicalText(c.text);
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
        return std::to_string(utf8::CharPosition(positionText_, base_ + offset));
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int depth_ = 0;  // parentheses and NOTs open around the current token
    const DbfLayout& layout_;
    MemoBytesReader memo_;
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

std::unique_ptr<FilterExpression> FilterExpression::Compile(
    std::string_view text, const DbfLayout& layout, const CodePage& codePage,
    const FormatSettings& format, bool doubleQuotedStrings, const MemoBytesReader& memo) {
    try {
        Parser parser(text, layout, codePage, format, doubleQuotedStrings, text, 0);
        parser.SetMemoReader(memo);
        return std::unique_ptr<FilterExpression>(new FilterExpression(parser.Run()));
    } catch (const Fault& f) {
        throw DbfError(ErrorKind::Filter, "Filtru incorect la pozitia " +
                                              std::to_string(utf8::CharPosition(text, f.offset)) +
                                              ": " + f.what + ".");
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
        throw DbfError(
            ErrorKind::Sql,
            "Instructiune SQL incorecta: " + f.what + " la pozitia " +
                std::to_string(utf8::CharPosition(statement, conditionOffset + f.offset)) + ".");
    }
}

std::unique_ptr<FilterExpression> FilterExpression::CompileCondition(
    std::string_view statement, size_t conditionOffset, size_t conditionLength,
    const std::vector<FieldDef>& fields, const CodePage& codePage, const FormatSettings& format) {
    return CompileCondition(statement, conditionOffset, conditionLength, PlainLayout(fields),
                            codePage, format);
}

}  // namespace orbelan
