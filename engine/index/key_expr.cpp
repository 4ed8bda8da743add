#include "engine/index/key_expr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/codepage.h"
#include "engine/date_util.h"
#include "engine/dbf_header.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/lexer_util.h"

namespace orbelan::index_detail {

namespace {

char32_t UpperChar(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x137) return (c & 1) ? c - 1 : c;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c : c - 1;
    if (c >= 0x14A && c <= 0x177) return (c & 1) ? c - 1 : c;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c : c - 1;
    if (c >= 0x218 && c <= 0x21B) return (c & 1) ? c - 1 : c;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

char32_t LowerChar(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x137) return (c & 1) ? c : c + 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return (c & 1) ? c : c + 1;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x218 && c <= 0x21B) return (c & 1) ? c : c + 1;
    if (c >= 0x391 && c <= 0x3A9) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string MapBytes(std::string_view bytes, const CodePage& page, bool upper) {
    std::string out(bytes);
    for (char& ch : out) {
        const auto b = static_cast<uint8_t>(ch);
        if (b < 0x80 || page.IsUtf8()) {
            if (upper && b >= 'a' && b <= 'z') ch = static_cast<char>(b - 32);
            if (!upper && b >= 'A' && b <= 'Z') ch = static_cast<char>(b + 32);
            continue;
        }
        const char32_t c = page.CharOf(b);
        if (c == 0xFFFF) continue;
        const char32_t m = upper ? UpperChar(c) : LowerChar(c);
        uint8_t to = 0;
        if (m != c && page.ByteOf(m, to)) ch = static_cast<char>(to);
    }
    return out;
}

[[noreturn]] void Fail(const std::string& what) {
    throw DbfError(ErrorKind::Filter, what);
}

char BaseLetter(char32_t c) {
    static const struct {
        char32_t from, to;
        char base;
    } ranges[] = {
        {0xC0, 0xC5, 'A'},   {0xC7, 0xC7, 'C'},   {0xC8, 0xCB, 'E'},   {0xCC, 0xCF, 'I'},
        {0xD0, 0xD0, 'D'},   {0xD1, 0xD1, 'N'},   {0xD2, 0xD6, 'O'},   {0xD8, 0xD8, 'O'},
        {0xD9, 0xDC, 'U'},   {0xDD, 0xDD, 'Y'},   {0xE0, 0xE5, 'A'},   {0xE7, 0xE7, 'C'},
        {0xE8, 0xEB, 'E'},   {0xEC, 0xEF, 'I'},   {0xF0, 0xF0, 'D'},   {0xF1, 0xF1, 'N'},
        {0xF2, 0xF6, 'O'},   {0xF8, 0xF8, 'O'},   {0xF9, 0xFC, 'U'},   {0xFD, 0xFD, 'Y'},
        {0xFF, 0xFF, 'Y'},   {0x100, 0x105, 'A'}, {0x106, 0x10D, 'C'}, {0x10E, 0x111, 'D'},
        {0x112, 0x11B, 'E'}, {0x11C, 0x123, 'G'}, {0x124, 0x127, 'H'}, {0x128, 0x131, 'I'},
        {0x134, 0x135, 'J'}, {0x136, 0x138, 'K'}, {0x139, 0x142, 'L'}, {0x143, 0x14B, 'N'},
        {0x14C, 0x151, 'O'}, {0x154, 0x159, 'R'}, {0x15A, 0x161, 'S'}, {0x162, 0x167, 'T'},
        {0x168, 0x173, 'U'}, {0x174, 0x175, 'W'}, {0x176, 0x178, 'Y'}, {0x179, 0x17E, 'Z'},
        {0x218, 0x219, 'S'}, {0x21A, 0x21B, 'T'}};
    for (const auto& r : ranges)
        if (c >= r.from && c <= r.to) return r.base;
    return 0;
}

}  // namespace

std::string FoldTable(const CodePage& page) {
    std::string t(256, '\0');
    for (int b = 0; b < 256; ++b) {
        t[static_cast<size_t>(b)] = static_cast<char>(b);
        if (b >= 'a' && b <= 'z') t[static_cast<size_t>(b)] = static_cast<char>(b - 32);
        if (b < 0x80 || page.IsUtf8()) continue;
        if (const char base = BaseLetter(page.CharOf(static_cast<uint8_t>(b))))
            t[static_cast<size_t>(b)] = base;
    }
    return t;
}

std::string UpperBytes(std::string_view bytes, const CodePage& page) {
    return MapBytes(bytes, page, true);
}
std::string LowerBytes(std::string_view bytes, const CodePage& page) {
    return MapBytes(bytes, page, false);
}

enum class Fn {
    Field,
    Str,
    Num,
    Bool,
    Date,  // leaves
    Concat,
    Add,
    Sub,
    Neg,  // arithmetic
    Eq,
    ExactEq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    And,
    Or,
    Not,
    Upper,
    Lower,
    Left,
    Right,
    Substr,
    Trim,
    Ltrim,
    Alltrim,
    Padl,
    Padr,
    Dtos,
    Dtoc,
    StrF,
    Val,
    Iif,
    Deleted,
    Ctod,
    Recno,
};

struct Node {
    Fn fn = Fn::Str;
    KeyKind kind = KeyKind::Text;
    int width = 0;
    // leaves
    std::string text;
    double number = 0;
    bool flag = false;
    FieldReader reader;
    int offset = 0, size = 0;
    char fieldType = 'C';
    bool nullable = false;
    int fieldIndex = -1;
    bool mayBeNull = false;  // a nullable field inside: the value is null when it is
    std::vector<std::shared_ptr<const Node>> args;
};

namespace {

struct Parser {
    std::string_view s;
    size_t pos = 0;
    const DbfLayout& layout;

    void Blank() {
        while (pos < s.size() && lexer::IsBlank(s[pos])) ++pos;
    }
    bool Peek(std::string_view word) {
        Blank();
        if (s.size() - pos < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
        return true;
    }
    bool Take(std::string_view word) {
        if (!Peek(word)) return false;
        pos += word.size();
        return true;
    }
    [[noreturn]] void Error(const std::string& what) {
        Fail("Expresia de index \"" + std::string(s) + "\": " + what + " (la pozitia " +
             std::to_string(pos + 1) + ").");
    }
    void Expect(std::string_view word) {
        if (!Take(word)) Error("lipseste \"" + std::string(word) + "\"");
    }

    static std::shared_ptr<Node> Make(Fn fn, KeyKind kind, int width,
                                      std::vector<std::shared_ptr<const Node>> args = {}) {
        auto n = std::make_shared<Node>();
        n->fn = fn;
        n->kind = kind;
        n->width = width;
        n->args = std::move(args);
        for (const auto& a : n->args) n->mayBeNull = n->mayBeNull || a->mayBeNull;
        // conditions and IIF decide on their own what a null gives
        if (kind == KeyKind::Logical || fn == Fn::Iif) n->mayBeNull = false;
        return n;
    }

    std::shared_ptr<const Node> Or() {
        auto left = And();
        while (Take(".OR.")) left = Make(Fn::Or, KeyKind::Logical, 1, {left, And()});
        return left;
    }
    std::shared_ptr<const Node> And() {
        auto left = NotE();
        while (Take(".AND.")) left = Make(Fn::And, KeyKind::Logical, 1, {left, NotE()});
        return left;
    }
    std::shared_ptr<const Node> NotE() {
        if (Take(".NOT.") || (Peek("!") && !Peek("!=") && Take("!")))
            return Make(Fn::Not, KeyKind::Logical, 1, {NotE()});
        return Compare();
    }
    std::shared_ptr<const Node> Compare() {
        auto left = Sum();
        static const std::pair<const char*, Fn> ops[] = {
            {"==", Fn::ExactEq}, {"<>", Fn::Ne}, {"!=", Fn::Ne}, {"<=", Fn::Le}, {">=", Fn::Ge},
            {"#", Fn::Ne},       {"=", Fn::Eq},  {"<", Fn::Lt},  {">", Fn::Gt}};
        for (const auto& [word, fn] : ops) {
            if (Take(word)) {
                auto right = Sum();
                if (Comparable(left->kind) != Comparable(right->kind))
                    Error("se compara valori de tipuri diferite");
                return Make(fn, KeyKind::Logical, 1, {left, right});
            }
        }
        return left;
    }
    static int Comparable(KeyKind k) {
        switch (k) {
            case KeyKind::Text:
                return 0;
            case KeyKind::Number:
            case KeyKind::Integer:
            case KeyKind::Currency:
                return 1;
            case KeyKind::Date:
            case KeyKind::DateTime:
                return 2;
            case KeyKind::Logical:
                return 3;
        }
        return 4;
    }
    std::shared_ptr<const Node> Sum() {
        auto left = Unary();
        for (;;) {
            if (Take("+")) {
                auto right = Unary();
                if (left->kind == KeyKind::Text && right->kind == KeyKind::Text)
                    left =
                        Make(Fn::Concat, KeyKind::Text, left->width + right->width, {left, right});
                else if (Comparable(left->kind) == 1 && Comparable(right->kind) == 1)
                    left = Make(Fn::Add, KeyKind::Number, 8, {left, right});
                else if (left->kind == KeyKind::Date && Comparable(right->kind) == 1)
                    left = Make(Fn::Add, KeyKind::Date, 8, {left, right});
                else
                    Error("\"+\" intre tipuri care nu se aduna");
            } else if (Take("-")) {
                auto right = Unary();
                if (left->kind == KeyKind::Text && right->kind == KeyKind::Text)
                    Error("\"-\" intre texte nu este acceptat");
                if (Comparable(left->kind) == 1 && Comparable(right->kind) == 1)
                    left = Make(Fn::Sub, KeyKind::Number, 8, {left, right});
                else if (left->kind == KeyKind::Date && Comparable(right->kind) == 1)
                    left = Make(Fn::Sub, KeyKind::Date, 8, {left, right});
                else if (left->kind == KeyKind::Date && right->kind == KeyKind::Date)
                    left = Make(Fn::Sub, KeyKind::Number, 8, {left, right});
                else
                    Error("\"-\" intre tipuri care nu se scad");
            } else {
                return left;
            }
        }
    }
    std::shared_ptr<const Node> Unary() {
        if (Take("-")) {
            auto a = Unary();
            if (Comparable(a->kind) != 1) Error("\"-\" in fata unei valori care nu e numar");
            return Make(Fn::Neg, KeyKind::Number, 8, {a});
        }
        return Primary();
    }

    static int ConstInt(const std::shared_ptr<const Node>& n) {
        return n->fn == Fn::Num ? static_cast<int>(n->number) : -1;
    }

    std::shared_ptr<const Node> Primary() {
        Blank();
        if (pos >= s.size()) Error("expresia se termina prea devreme");
        const char c = s[pos];
        if (c == '(') {
            ++pos;
            auto e = Or();
            Expect(")");
            return e;
        }
        if (c == '"' || c == '\'' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const size_t end = s.find(close, pos + 1);
            if (end == std::string_view::npos) Error("text neterminat");
            auto n = Make(Fn::Str, KeyKind::Text, static_cast<int>(end - pos - 1));
            n->text = std::string(s.substr(pos + 1, end - pos - 1));
            pos = end + 1;
            return n;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            if (Take(".T.") || Take(".Y.")) {
                auto n = Make(Fn::Bool, KeyKind::Logical, 1);
                n->flag = true;
                return n;
            }
            if (Take(".F.") || Take(".N.")) return Make(Fn::Bool, KeyKind::Logical, 1);
            const size_t start = pos;
            while (pos < s.size() &&
                   (std::isdigit(static_cast<unsigned char>(s[pos])) || s[pos] == '.'))
                ++pos;
            auto n = Make(Fn::Num, KeyKind::Number, 8);
            n->number = std::strtod(std::string(s.substr(start, pos - start)).c_str(), nullptr);
            return n;
        }
        if (!lexer::IsNameStart(static_cast<unsigned char>(c))) Error("caracter neasteptat");
        const size_t start = pos;
        while (pos < s.size() && (lexer::IsNameChar(static_cast<unsigned char>(s[pos])))) ++pos;
        std::string name = lexer::Upper(s.substr(start, pos - start));
        // alias->FIELD: the table's own alias
        if (pos + 1 < s.size() && s[pos] == '-' && s[pos + 1] == '>') {
            pos += 2;
            const size_t f = pos;
            while (pos < s.size() && lexer::IsNameChar(static_cast<unsigned char>(s[pos]))) ++pos;
            name = lexer::Upper(s.substr(f, pos - f));
            return FieldNode(name);
        }
        Blank();
        if (pos < s.size() && s[pos] == '(') {
            ++pos;
            std::vector<std::shared_ptr<const Node>> args;
            Blank();
            if (pos < s.size() && s[pos] == ')') {
                ++pos;
            } else {
                args.push_back(Or());
                while (Take(",")) args.push_back(Or());
                Expect(")");
            }
            return Function(name, std::move(args));
        }
        return FieldNode(name);
    }

    std::shared_ptr<const Node> FieldNode(const std::string& name) {
        for (size_t i = 0; i < layout.fields.size(); ++i) {
            const FieldLayout& f = layout.fields[i];
            if (f.system || !SameFieldName(f.def.name, name)) continue;
            KeyKind kind;
            int width = 8;
            switch (f.def.type) {
                case 'C':
                case 'V':
                    kind = KeyKind::Text;
                    width = f.def.size;
                    break;
                case 'N':
                case 'F':
                case 'B':
                case 'O':
                    kind = KeyKind::Number;
                    break;
                case 'I':
                case '+':
                    kind = KeyKind::Integer;
                    width = 4;
                    break;
                case 'Y':
                    kind = KeyKind::Currency;
                    break;
                case 'D':
                    kind = KeyKind::Date;
                    break;
                case 'T':
                case '@':
                    kind = KeyKind::DateTime;
                    break;
                case 'L':
                    kind = KeyKind::Logical;
                    width = 1;
                    break;
                default:
                    Error("campul " + name + " are un tip care nu poate fi cheie");
            }
            auto n = Make(Fn::Field, kind, width);
            n->reader = FieldReader(layout, f);
            n->offset = f.def.offset;
            n->size = f.def.size;
            n->fieldType = f.def.type;
            n->nullable = f.nullBit >= 0;
            n->mayBeNull = n->nullable;
            n->fieldIndex = static_cast<int>(i);
            return n;
        }
        // A Visual FoxPro table of a database keeps long names there; the table itself holds
        // their first 10 letters.
        if (name.size() > 10) return FieldNode(name.substr(0, 10));
        Error("campul " + name + " nu exista in tabel");
    }

    std::shared_ptr<const Node> Function(const std::string& name,
                                         std::vector<std::shared_ptr<const Node>> args) {
        auto need = [&](size_t lo, size_t hi) {
            if (args.size() < lo || args.size() > hi)
                Error("functia " + name + " primeste alt numar de argumente");
        };
        auto text = [&](size_t i) {
            if (args[i]->kind != KeyKind::Text) Error("functia " + name + " cere un text");
        };
        auto number = [&](size_t i) {
            if (Comparable(args[i]->kind) != 1) Error("functia " + name + " cere un numar");
        };
        auto constant = [&](size_t i) {
            const int v = ConstInt(args[i]);
            if (v < 0) Error("functia " + name + " cere aici un numar constant");
            return v;
        };
        const int w0 = args.empty() ? 0 : args[0]->width;
        if (name == "UPPER" || name == "LOWER") {
            need(1, 1);
            text(0);
            return Make(name == "UPPER" ? Fn::Upper : Fn::Lower, KeyKind::Text, w0, args);
        }
        if (name == "TRIM" || name == "RTRIM" || name == "LTRIM" || name == "ALLTRIM") {
            need(1, 1);
            text(0);
            const Fn fn = name == "LTRIM" ? Fn::Ltrim : name == "ALLTRIM" ? Fn::Alltrim : Fn::Trim;
            return Make(fn, KeyKind::Text, w0, args);
        }
        if (name == "LEFT" || name == "RIGHT") {
            need(2, 2);
            text(0);
            const int n = constant(1);
            return Make(name == "LEFT" ? Fn::Left : Fn::Right, KeyKind::Text, std::min(n, w0),
                        args);
        }
        if (name == "SUBSTR") {
            need(2, 3);
            text(0);
            const int from = constant(1);
            const int n = args.size() == 3 ? constant(2) : std::max(0, w0 - from + 1);
            return Make(Fn::Substr, KeyKind::Text, n, args);
        }
        if (name == "PADL" || name == "PADR") {
            need(2, 3);
            const int n = constant(1);
            if (args.size() == 3) text(2);
            return Make(name == "PADL" ? Fn::Padl : Fn::Padr, KeyKind::Text, n, args);
        }
        if (name == "DTOS" || name == "DTOC") {
            need(1, 1);
            if (args[0]->kind != KeyKind::Date && args[0]->kind != KeyKind::DateTime)
                Error("functia " + name + " cere o data");
            return Make(name == "DTOS" ? Fn::Dtos : Fn::Dtoc, KeyKind::Text, 8, args);
        }
        if (name == "CTOD") {
            need(1, 1);
            text(0);
            return Make(Fn::Ctod, KeyKind::Date, 8, args);
        }
        if (name == "STR") {
            need(1, 3);
            number(0);
            const int w = args.size() >= 2 ? constant(1) : 10;
            if (args.size() == 3) constant(2);
            return Make(Fn::StrF, KeyKind::Text, w, args);
        }
        if (name == "VAL") {
            need(1, 1);
            text(0);
            return Make(Fn::Val, KeyKind::Number, 8, args);
        }
        if (name == "IIF") {
            need(3, 3);
            if (args[0]->kind != KeyKind::Logical) Error("IIF cere o conditie");
            if (Comparable(args[1]->kind) != Comparable(args[2]->kind))
                Error("IIF cu ramuri de tipuri diferite");
            KeyKind k = args[1]->kind;
            if (k != args[2]->kind && Comparable(k) == 1) k = KeyKind::Number;
            if (k != args[2]->kind && Comparable(k) == 2) k = KeyKind::DateTime;
            return Make(Fn::Iif, k, std::max(args[1]->width, args[2]->width), args);
        }
        if (name == "DELETED") {
            need(0, 0);
            return Make(Fn::Deleted, KeyKind::Logical, 1, args);
        }
        Error("functia " + name + " nu este cunoscuta");
    }
};

std::string Trimmed(std::string s, bool left, bool right) {
    if (right) {
        size_t n = s.size();
        while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
        s.resize(n);
    }
    if (left) {
        size_t i = 0;
        while (i < s.size() && s[i] == ' ') ++i;
        s.erase(0, i);
    }
    return s;
}

// STR(): right-aligned, rounded half away from zero; stars when it does not fit.
std::string StrOf(double v, int width, int decimals) {
    if (width <= 0) return {};
    char buf[512];
    const double scale = std::pow(10.0, decimals);
    double r = std::round(std::fabs(v) * scale) / scale;
    if (v < 0) r = -r;
    std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, r);
    std::string s(buf);
    if (static_cast<int>(s.size()) > width) {
        // FoxPro drops decimals before giving up
        std::snprintf(buf, sizeof buf, "%*.0f", width, r);
        s = buf;
        if (static_cast<int>(s.size()) > width) s.assign(static_cast<size_t>(width), '*');
    }
    return s;
}

struct Evaluator {
    const CodePage& page;
    const uint8_t* rec;

    static constexpr double kJulian = kJulianDayZero;

    KeyValue Field(const Node& n) const {
        KeyValue v;
        v.kind = n.kind;
        const FieldValue f = n.reader.Read(rec);
        if (f.kind == ValueKind::Null) v.null = true;
        switch (n.kind) {
            case KeyKind::Text:
                if (v.null)
                    v.text.assign(static_cast<size_t>(n.width), ' ');
                else
                    v.text.assign(reinterpret_cast<const char*>(rec + n.offset),
                                  static_cast<size_t>(n.size));
                for (char& c : v.text)
                    if (c == '\0') c = ' ';
                break;
            case KeyKind::Number:
                if (f.kind == ValueKind::Number) v.number = f.number;
                break;
            case KeyKind::Integer:
            case KeyKind::Currency:
                if (f.kind == ValueKind::Number) v.integer = f.integer;
                v.number =
                    n.kind == KeyKind::Currency ? double(v.integer) / 10000.0 : double(v.integer);
                break;
            case KeyKind::Date:
                if (f.kind == ValueKind::Date) v.number = f.day + kJulian;
                break;
            case KeyKind::DateTime:
                if (f.kind == ValueKind::DateTime || f.kind == ValueKind::Date)
                    v.number = f.day + kJulian + double(f.ms) / double(kMsPerDay);
                break;
            case KeyKind::Logical:
                v.flag = f.kind == ValueKind::Bool && f.flag;
                break;
        }
        return v;
    }

    static int Cmp(const KeyValue& a, const KeyValue& b, bool exact) {
        if (a.kind == KeyKind::Text) {
            std::string l = a.text, r = b.text;
            if (exact) {
                l = Trimmed(l, false, true);
                r = Trimmed(r, false, true);
            } else if (r.size() < l.size()) {
                l.resize(r.size());  // "ABC" = "AB" with SET EXACT OFF
            }
            const int c = l.compare(r);
            return c < 0 ? -1 : c > 0;
        }
        if (a.kind == KeyKind::Logical) return int(a.flag) - int(b.flag);
        return a.number < b.number ? -1 : a.number > b.number;
    }

    KeyValue Eval(const Node& n) const {
        KeyValue v = Plain(n);
        if (n.mayBeNull && n.fn != Fn::Field)
            for (const auto& a : n.args)
                if (a->mayBeNull && Eval(*a).null) v.null = true;
        return v;
    }

    KeyValue Plain(const Node& n) const {
        KeyValue v;
        v.kind = n.kind;
        auto arg = [&](size_t i) { return Eval(*n.args[i]); };
        auto num = [&](size_t i) { return arg(i).number; };
        auto fixed = [&](std::string s) {
            s.resize(static_cast<size_t>(n.width), ' ');
            return s;
        };
        switch (n.fn) {
            case Fn::Field:
                return Field(n);
            case Fn::Str:
                v.text = n.text;
                return v;
            case Fn::Num:
                v.number = n.number;
                return v;
            case Fn::Bool:
                v.flag = n.flag;
                return v;
            case Fn::Date:
                v.number = n.number;
                return v;
            case Fn::Concat: {
                KeyValue a = arg(0);
                a.text += arg(1).text;
                a.null = false;
                return a;
            }
            case Fn::Add:
                v.number = num(0) + num(1);
                return v;
            case Fn::Sub:
                v.number = num(0) - num(1);
                return v;
            case Fn::Neg:
                v.number = -num(0);
                return v;
            case Fn::Eq:
            case Fn::ExactEq:
            case Fn::Ne:
            case Fn::Lt:
            case Fn::Le:
            case Fn::Gt:
            case Fn::Ge: {
                const int c = Cmp(arg(0), arg(1), n.fn == Fn::ExactEq);
                v.flag = n.fn == Fn::Eq || n.fn == Fn::ExactEq ? c == 0
                         : n.fn == Fn::Ne                      ? c != 0
                         : n.fn == Fn::Lt                      ? c < 0
                         : n.fn == Fn::Le                      ? c <= 0
                         : n.fn == Fn::Gt                      ? c > 0
                                                               : c >= 0;
                return v;
            }
            case Fn::And:
                v.flag = arg(0).flag && arg(1).flag;
                return v;
            case Fn::Or:
                v.flag = arg(0).flag || arg(1).flag;
                return v;
            case Fn::Not:
                v.flag = !arg(0).flag;
                return v;
            case Fn::Upper:
                v.text = UpperBytes(arg(0).text, page);
                return v;
            case Fn::Lower:
                v.text = LowerBytes(arg(0).text, page);
                return v;
            case Fn::Trim:
                v.text = Trimmed(arg(0).text, false, true);
                return v;
            case Fn::Ltrim:
                v.text = Trimmed(arg(0).text, true, false);
                return v;
            case Fn::Alltrim:
                v.text = Trimmed(arg(0).text, true, true);
                return v;
            case Fn::Left: {
                std::string s = arg(0).text;
                s.resize(std::min(s.size(), static_cast<size_t>(std::max(0.0, num(1)))));
                v.text = s;
                return v;
            }
            case Fn::Right: {
                std::string s = arg(0).text;
                const size_t k = std::min(s.size(), static_cast<size_t>(std::max(0.0, num(1))));
                v.text = s.substr(s.size() - k);
                return v;
            }
            case Fn::Substr: {
                std::string s = arg(0).text;
                const size_t from = static_cast<size_t>(std::max(1.0, num(1))) - 1;
                if (from >= s.size()) return v;
                size_t k = s.size() - from;
                if (n.args.size() == 3) k = std::min(k, static_cast<size_t>(std::max(0.0, num(2))));
                v.text = s.substr(from, k);
                return v;
            }
            case Fn::Padl:
            case Fn::Padr: {
                const KeyValue a = arg(0);
                std::string s = a.kind == KeyKind::Text ? a.text : Text(a);
                const char fill = n.args.size() == 3 && !arg(2).text.empty() ? arg(2).text[0] : ' ';
                const size_t w = static_cast<size_t>(n.width);
                if (s.size() >= w)
                    s = n.fn == Fn::Padl ? s.substr(s.size() - w) : s.substr(0, w);
                else if (n.fn == Fn::Padl)
                    s.insert(0, w - s.size(), fill);
                else
                    s.append(w - s.size(), fill);
                v.text = s;
                return v;
            }
            case Fn::Dtos:
            case Fn::Dtoc: {
                const KeyValue a = arg(0);
                if (a.number <= 0) {
                    v.text = n.fn == Fn::Dtos ? "        " : "  /  /  ";
                    return v;
                }
                const CivilDate d = CivilFromDayNumber(static_cast<int>(a.number - kJulian));
                char buf[32];
                if (n.fn == Fn::Dtos)
                    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
                else
                    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.month, d.day, d.year % 100);
                v.text = buf;
                return v;
            }
            case Fn::Ctod: {
                const std::string t = Trimmed(arg(0).text, true, true);
                int m = 0, d = 0, y = 0;
                if (std::sscanf(t.c_str(), "%d/%d/%d", &m, &d, &y) == 3) {
                    if (y < 100) y += 1900;
                    if (IsValidDate(y, m, d)) v.number = DayNumber(y, m, d) + kJulian;
                }
                return v;
            }
            case Fn::StrF: {
                const int w = n.width;
                const int d = n.args.size() == 3 ? static_cast<int>(n.args[2]->number) : 0;
                v.text = StrOf(num(0), w, d);
                return v;
            }
            case Fn::Val: {
                const std::string t = Trimmed(arg(0).text, true, true);
                v.number = std::strtod(t.c_str(), nullptr);
                return v;
            }
            case Fn::Iif: {
                KeyValue r = arg(0).flag ? arg(1) : arg(2);
                r.kind = n.kind;
                if (n.kind == KeyKind::Text) r.text = fixed(r.text);
                return r;
            }
            case Fn::Deleted:
                v.flag = rec[0] == '*';
                return v;
            case Fn::Recno:
                return v;
        }
        return v;
    }

    static std::string Text(const KeyValue& a) { return StrOf(a.number, 10, 0); }
};

}  // namespace

KeyExpr::KeyExpr() = default;
KeyExpr::~KeyExpr() = default;
KeyExpr::KeyExpr(KeyExpr&&) noexcept = default;
KeyExpr& KeyExpr::operator=(KeyExpr&&) noexcept = default;

KeyExpr KeyExpr::Compile(std::string_view text, const DbfLayout& layout,
                         std::shared_ptr<const CodePage> page) {
    Parser p{text, 0, layout};
    p.Blank();
    if (p.pos >= text.size()) Fail("Expresia de index este goala.");
    auto root = p.Or();
    p.Blank();
    if (p.pos < text.size()) p.Error("text in plus dupa expresie");
    KeyExpr e;
    e.root_ = std::move(root);
    e.page_ = std::move(page);
    e.layout_ = &layout;
    e.Plan();
    return e;
}

bool KeyExpr::PlanNode(const Node& n) {
    switch (n.fn) {
        case Fn::Concat:
            return PlanNode(*n.args[0]) && PlanNode(*n.args[1]);
        case Fn::Str:
            plan_.push_back({Segment::Literal, 0, n.width, n.text});
            return true;
        case Fn::Field:
            if (n.fieldType != 'C' || n.nullable) return false;
            plan_.push_back({Segment::Copy, n.offset, n.size, {}});
            return true;
        case Fn::Upper: {
            const Node& a = *n.args[0];
            if (a.fn != Fn::Field || a.fieldType != 'C' || a.nullable) return false;
            plan_.push_back({Segment::Upper, a.offset, a.size, {}});
            return true;
        }
        case Fn::Dtos: {
            const Node& a = *n.args[0];
            if (a.fn != Fn::Field || a.fieldType != 'D' || a.size != 8 || a.nullable) return false;
            plan_.push_back({Segment::Date, a.offset, 8, {}});
            return true;
        }
        default:
            return false;
    }
}

void KeyExpr::Plan() {
    plan_.clear();
    hasPlan_ = root_->kind == KeyKind::Text && PlanNode(*root_);
    if (!hasPlan_) {
        plan_.clear();
        return;
    }
    std::string all(256, '\0');
    for (int b = 0; b < 256; ++b) all[static_cast<size_t>(b)] = static_cast<char>(b);
    upper_ = UpperBytes(all, *page_);
}

bool KeyExpr::FastText(const uint8_t* record, char* out) const {
    if (!hasPlan_) return false;
    char* p = out;
    for (const Segment& s : plan_) {
        const auto* from = reinterpret_cast<const char*>(record + s.offset);
        switch (s.kind) {
            case Segment::Copy:
                for (int i = 0; i < s.size; ++i) p[i] = from[i] == '\0' ? ' ' : from[i];
                break;
            case Segment::Upper:
                for (int i = 0; i < s.size; ++i)
                    p[i] = from[i] == '\0' ? ' ' : upper_[static_cast<uint8_t>(from[i])];
                break;
            case Segment::Date: {
                // the stored yyyymmdd is DTOS() of a valid date; blanks give blanks
                bool digits = true, blank = true;
                for (int i = 0; i < 8; ++i) {
                    digits = digits && from[i] >= '0' && from[i] <= '9';
                    blank = blank && (from[i] == ' ' || from[i] == '\0');
                }
                if (blank) {
                    std::memset(p, ' ', 8);
                    break;
                }
                int day = 0;
                if (!digits || !ReadYmd(record + s.offset, day)) return false;
                std::memcpy(p, from, 8);
                break;
            }
            case Segment::Literal:
                std::memcpy(p, s.literal.data(), s.literal.size());
                break;
        }
        p += s.kind == Segment::Literal ? s.literal.size() : static_cast<size_t>(s.size);
    }
    return true;
}

KeyKind KeyExpr::Kind() const {
    return root_->kind;
}
int KeyExpr::Width() const {
    return root_->width;
}
bool KeyExpr::NullableField() const {
    return root_->fn == Fn::Field && root_->nullable;
}
int KeyExpr::SoleField(bool* upper) const {
    const Node* n = root_.get();
    bool up = false;
    if (n->fn == Fn::Upper) {
        n = n->args[0].get();
        up = true;
    }
    if (n->fn != Fn::Field) return -1;
    if (upper) *upper = up;
    return n->fieldIndex;
}

KeyValue KeyExpr::Eval(const uint8_t* record) const {
    Evaluator ev{*page_, record};
    KeyValue v = ev.Eval(*root_);
    if (v.kind == KeyKind::Text) v.text.resize(static_cast<size_t>(root_->width), ' ');
    return v;
}

bool KeyExpr::Test(const uint8_t* record) const {
    Evaluator ev{*page_, record};
    const KeyValue v = ev.Eval(*root_);
    return v.kind == KeyKind::Logical && v.flag;
}

}  // namespace orbelan::index_detail
