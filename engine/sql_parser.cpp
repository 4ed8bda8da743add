#include "engine/sql_parser.h"

#include <algorithm>
#include <cctype>

#include "engine/lexer_util.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

enum class Tok { End, Word, Number, DoubleQuoted, SingleQuoted, Symbol };

struct Token {
    Tok kind = Tok::End;
    size_t pos = 0, end = 0;  // byte range in the statement
    std::string text;         // word or number as written, quoted contents, the symbol
    std::string upper;        // words only
};

using lexer::IsNameChar;
using lexer::IsNameStart;
using lexer::Upper;

[[noreturn]] void Fail(const std::string& what) {
    throw DbfError(ErrorKind::Sql, "Instructiune SQL incorecta: " + what);
}

// Why a DBF field can't be this column, or empty when it can.
std::string ColumnProblem(const SqlColumnDef& c) {
    if (c.name.empty()) return "numele coloanei lipseste";
    if (c.name.size() > 10)
        return "numele de coloana '" + c.name + "' are mai mult de 10 caractere";
    for (unsigned char ch : c.name) {
        if (!(std::isalnum(ch) || ch == '_') || ch >= 0x80)
            return "numele de coloana '" + c.name +
                   "' poate contine doar litere fara diacritice, cifre si _";
    }
    if (std::isdigit(static_cast<unsigned char>(c.name[0])))
        return "numele de coloana '" + c.name + "' nu poate incepe cu o cifra";
    const SqlColumnType& t = c.type;
    switch (t.dbfType) {
        case 'C':
            if (t.size < 1 || t.size > 254)
                return "lungimea " + std::to_string(t.size) + " a coloanei " + c.name +
                       " nu este intre 1 si 254";
            return {};
        case 'N':
        case 'F':
            if (t.size < 1 || t.size > 20)
                return "lungimea " + std::to_string(t.size) + " a coloanei " + c.name +
                       " nu este intre 1 si 20";
            if (t.decimals < 0 || t.decimals > 15 || (t.decimals > 0 && t.decimals >= t.size))
                return "coloana " + c.name + " nu poate avea " + std::to_string(t.decimals) +
                       " zecimale la lungimea " + std::to_string(t.size);
            return {};
        case 'D':
            return t.size == 8 && t.decimals == 0
                       ? ""
                       : "coloana " + c.name + " are o lungime nepotrivita";
        case 'L':
            return t.size == 1 && t.decimals == 0
                       ? ""
                       : "coloana " + c.name + " are o lungime nepotrivita";
        case 'M':
            return t.size == 10 && t.decimals == 0
                       ? ""
                       : "coloana " + c.name + " are o lungime nepotrivita";
        default:
            return "coloana " + c.name + " are un tip necunoscut";
    }
}

class SqlParser {
  public:
    explicit SqlParser(std::string_view s) : s_(s) { Lex(); }

    SqlStatement Run() {
        if (Peek().kind == Tok::End) Fail("instructiunea este goala.");
        const Token& first = Peek();
        SqlStatement result;
        if (IsWord(first, "DELETE")) {
            result = Delete();
        } else if (IsWord(first, "SELECT")) {
            result = Select();
        } else if (IsWord(first, "ALTER")) {
            result = Alter();
        } else if (IsWord(first, "UPDATE")) {
            result = Update();
        } else if (IsWord(first, "CREATE")) {
            result = Create();
        } else {
            Unexpected(first, "SELECT, DELETE, UPDATE, ALTER TABLE sau CREATE TABLE");
        }
        if (IsSymbol(Peek(), ";")) Take();
        if (Peek().kind != Tok::End) Unexpected(Peek(), "sfarsitul instructiunii");
        return result;
    }

  private:
    // ---- tokens

    void Lex() {
        size_t i = 0;
        for (;;) {
            while (i < s_.size() && lexer::IsBlank(s_[i])) ++i;
            Token t;
            t.pos = i;
            if (i >= s_.size()) {
                t.end = i;
                tokens_.push_back(t);
                return;
            }
            const unsigned char c = static_cast<unsigned char>(s_[i]);
            if (IsNameStart(c)) {
                while (i < s_.size() && IsNameChar(static_cast<unsigned char>(s_[i]))) ++i;
                t.kind = Tok::Word;
                t.text = std::string(s_.substr(t.pos, i - t.pos));
                t.upper = Upper(t.text);
            } else if (std::isdigit(c)) {
                while (i < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i]))) ++i;
                if (i + 1 < s_.size() && s_[i] == '.' &&
                    std::isdigit(static_cast<unsigned char>(s_[i + 1]))) {
                    ++i;
                    while (i < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i]))) ++i;
                }
                t.kind = Tok::Number;
                t.text = std::string(s_.substr(t.pos, i - t.pos));
            } else if (c == '"' || c == '\'') {
                t.kind = c == '"' ? Tok::DoubleQuoted : Tok::SingleQuoted;
                for (++i;; ++i) {
                    if (i >= s_.size()) {
                        Fail(std::string(c == '"' ? "ghilimelele deschise la pozitia "
                                                  : "apostroful deschis la pozitia ") +
                             Position(t.pos) +
                             (c == '"' ? " nu sunt inchise." : " nu este inchis."));
                    }
                    if (s_[i] == static_cast<char>(c)) {
                        if (i + 1 >= s_.size() || s_[i + 1] != static_cast<char>(c)) break;
                        ++i;  // a doubled quote stands for one
                    }
                    t.text += s_[i];
                }
                ++i;
            } else {
                // Comparison operators come as one token so a condition reads back whole.
                size_t n = 1;
                const std::string_view two = s_.substr(i, 2);
                if (two == "<>" || two == "<=" || two == ">=" || two == "!=") n = 2;
                t.kind = Tok::Symbol;
                t.text = std::string(s_.substr(i, n));
                i += n;
            }
            t.end = i;
            tokens_.push_back(std::move(t));
        }
    }

    const Token& Peek(size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& Take() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }

    static bool IsWord(const Token& t, std::string_view upper) {
        return t.kind == Tok::Word && t.upper == upper;
    }
    static bool IsSymbol(const Token& t, std::string_view sym) {
        return t.kind == Tok::Symbol && t.text == sym;
    }

    std::string Position(size_t offset) const {
        return std::to_string(utf8::CharPosition(s_, offset));
    }

    [[noreturn]] void Unexpected(const Token& t, const std::string& expected) const {
        if (t.kind == Tok::End)
            Fail("instructiunea se termina la pozitia " + Position(t.pos) + "; lipseste " +
                 expected + ".");
        std::string shown;
        switch (t.kind) {
            case Tok::DoubleQuoted:
                shown = "\"" + t.text + "\"";
                break;
            case Tok::SingleQuoted:
                shown = "'" + t.text + "'";
                break;
            default:
                shown = t.text;
                break;
        }
        Fail("cuvant neasteptat '" + shown + "' la pozitia " + Position(t.pos) + ". Se astepta " +
             expected + ".");
    }

    void ExpectWord(std::string_view upper) {
        if (!IsWord(Peek(), upper)) Unexpected(Peek(), std::string(upper));
        Take();
    }

    void ExpectSymbol(std::string_view sym) {
        if (!IsSymbol(Peek(), sym)) Unexpected(Peek(), "'" + std::string(sym) + "'");
        Take();
    }

    std::string TableName() {
        const Token& t = Peek();
        if (t.kind != Tok::DoubleQuoted || t.text.empty())
            Unexpected(t, "numele tabelei intre ghilimele");
        return Take().text;
    }

    const Token& Name(const std::string& what) {
        if (Peek().kind != Tok::Word) Unexpected(Peek(), what);
        return Take();
    }

    // A column the statement creates: name and type, checked as a DBF field.
    SqlColumnDef NewColumn() {
        const Token& nameToken = Name("numele coloanei");
        SqlColumnDef c;
        c.name = nameToken.upper;
        c.type = Type();
        if (const std::string problem = ColumnProblem(c); !problem.empty())
            Fail(problem + " (pozitia " + Position(nameToken.pos) + ").");
        return c;
    }

    int TypeNumber() {
        const Token& t = Peek();
        if (t.kind != Tok::Number || t.text.find('.') != std::string::npos || t.text.size() > 4)
            Unexpected(t, "un numar intreg");
        return std::stoi(Take().text);
    }

    SqlColumnType Type() {
        const Token& t = Peek();
        if (t.kind != Tok::Word) Unexpected(t, "tipul coloanei");
        const std::string& u = t.upper;
        Take();
        SqlColumnType type;
        if (u == "CHAR" || u == "VARCHAR" || u == "CHARACTER") {
            type.dbfType = 'C';
            ExpectSymbol("(");
            type.size = TypeNumber();
            ExpectSymbol(")");
        } else if (u == "DECIMAL" || u == "NUMERIC" || u == "FLOAT") {
            type.dbfType = u == "FLOAT" ? 'F' : 'N';
            type.size = u == "FLOAT" ? 20 : 10;
            type.decimals = u == "FLOAT" ? 4 : 0;
            if (IsSymbol(Peek(), "(")) {
                Take();
                type.size = TypeNumber();
                type.decimals = 0;
                if (IsSymbol(Peek(), ",")) {
                    Take();
                    type.decimals = TypeNumber();
                }
                ExpectSymbol(")");
            }
        } else if (u == "INTEGER" || u == "INT") {
            type = {'N', 11, 0};
        } else if (u == "SMALLINT") {
            type = {'N', 6, 0};
        } else if (u == "DATE") {
            type = {'D', 8, 0};
        } else if (u == "LOGICAL" || u == "BOOLEAN") {
            type = {'L', 1, 0};
        } else if (u == "MEMO" || u == "BLOB") {
            type = {'M', 10, 0};
        } else {
            Fail("tip de coloana necunoscut '" + t.text + "' la pozitia " + Position(t.pos) +
                 ". Tipuri posibile: CHAR(n), DECIMAL(p,s), NUMERIC(p,s), FLOAT(p,s), INTEGER, "
                 "SMALLINT, DATE, LOGICAL, MEMO.");
        }
        return type;
    }

    // The text up to the end or to a GROUP BY / ORDER BY outside parentheses.
    std::optional<SqlCondition> Where(bool stopAtClauses) {
        if (!IsWord(Peek(), "WHERE")) return std::nullopt;
        Take();
        const size_t start = Peek().pos;
        size_t end = start;
        int depth = 0;
        for (;;) {
            const Token& t = Peek();
            if (t.kind == Tok::End) break;
            if (IsSymbol(t, ";") && Peek(1).kind == Tok::End) break;
            if (stopAtClauses && depth == 0 && (IsWord(t, "GROUP") || IsWord(t, "ORDER")) &&
                IsWord(Peek(1), "BY"))
                break;
            if (IsSymbol(t, "(")) ++depth;
            if (IsSymbol(t, ")")) --depth;
            end = t.end;
            Take();
        }
        if (end == start) Unexpected(Peek(), "conditia dupa WHERE");
        return SqlCondition{std::string(s_.substr(start, end - start)), start};
    }

    // ---- statements

    SqlDelete Delete() {
        Take();
        ExpectWord("FROM");
        SqlDelete d;
        d.table = TableName();
        d.where = Where(false);
        return d;
    }

    SqlSelect Select() {
        Take();
        SqlSelect q;
        if (IsSymbol(Peek(), "*")) {
            Take();
            q.allColumns = true;
        } else {
            for (;;) {
                SqlSelectItem item;
                if (IsWord(Peek(), "COUNT") && IsSymbol(Peek(1), "(")) {
                    Take();
                    Take();
                    ExpectSymbol("*");
                    ExpectSymbol(")");
                    item.kind = SqlSelectItem::Kind::CountAll;
                } else {
                    item.field = Name("o coloana sau *").text;
                }
                if (IsWord(Peek(), "AS")) {
                    Take();
                    const Token& alias = Name("numele dupa AS");
                    SqlColumnDef check{alias.upper, {'N', 10, 0}};
                    if (const std::string problem = ColumnProblem(check); !problem.empty())
                        Fail(problem + " (pozitia " + Position(alias.pos) + ").");
                    item.alias = alias.upper;
                }
                q.items.push_back(std::move(item));
                if (!IsSymbol(Peek(), ",")) break;
                Take();
            }
        }
        ExpectWord("FROM");
        q.table = TableName();
        q.where = Where(true);
        if (IsWord(Peek(), "GROUP")) {
            const size_t groupPos = Take().pos;
            ExpectWord("BY");
            if (q.allColumns)
                Fail("SELECT * nu se poate grupa (GROUP BY la pozitia " + Position(groupPos) +
                     ").");
            for (;;) {
                q.groupBy.push_back(Name("o coloana dupa GROUP BY").text);
                if (!IsSymbol(Peek(), ",")) break;
                Take();
            }
            for (const SqlSelectItem& item : q.items) {
                if (item.kind != SqlSelectItem::Kind::Field) continue;
                bool listed = false;
                for (const std::string& g : q.groupBy)
                    listed = listed || Upper(g) == Upper(item.field);
                if (!listed) Fail("coloana " + item.field + " trebuie sa apara in GROUP BY.");
            }
        } else {
            bool counts = false, fields = false;
            for (const SqlSelectItem& item : q.items) {
                (item.kind == SqlSelectItem::Kind::CountAll ? counts : fields) = true;
            }
            if (counts && fields) Fail("COUNT(*) impreuna cu alte coloane cere GROUP BY.");
        }
        if (IsWord(Peek(), "ORDER")) {
            Take();
            ExpectWord("BY");
            for (;;) {
                SqlOrderItem o;
                o.field = Name("o coloana dupa ORDER BY").text;
                if (IsWord(Peek(), "ASC") || IsWord(Peek(), "DESC"))
                    o.descending = Take().upper == "DESC";
                q.orderBy.push_back(std::move(o));
                if (!IsSymbol(Peek(), ",")) break;
                Take();
            }
        }
        return q;
    }

    SqlAlterTable Alter() {
        Take();
        ExpectWord("TABLE");
        SqlAlterTable a;
        a.table = TableName();
        for (;;) {
            SqlAlterAction action;
            if (IsWord(Peek(), "ADD")) {
                Take();
                if (IsWord(Peek(), "COLUMN") && Peek(1).kind == Tok::Word) Take();
                action.kind = SqlAlterAction::Kind::Add;
                const size_t at = Peek().pos;
                action.column = NewColumn();
                for (const SqlAlterAction& other : a.actions) {
                    if (other.kind == SqlAlterAction::Kind::Add &&
                        other.column.name == action.column.name)
                        Fail("coloana " + action.column.name +
                             " este adaugata de doua ori (pozitia " + Position(at) + ").");
                }
            } else if (IsWord(Peek(), "DROP")) {
                Take();
                if (IsWord(Peek(), "COLUMN") && Peek(1).kind == Tok::Word) Take();
                action.kind = SqlAlterAction::Kind::Drop;
                action.column.name = Name("numele coloanei").text;
            } else {
                Unexpected(Peek(), "ADD sau DROP");
            }
            a.actions.push_back(std::move(action));
            if (!IsSymbol(Peek(), ",")) break;
            Take();
        }
        return a;
    }

    SqlValue Value() {
        const Token& t = Peek();
        SqlValue v;
        if (t.kind == Tok::Word) {
            v.kind = t.upper == "NULL" ? SqlValue::Kind::Null : SqlValue::Kind::Field;
            v.text = Take().text;
        } else if (t.kind == Tok::SingleQuoted || t.kind == Tok::DoubleQuoted) {
            v.kind = SqlValue::Kind::Text;
            v.text = Take().text;
        } else if (t.kind == Tok::Number || ((IsSymbol(t, "-") || IsSymbol(t, "+")) &&
                                             Peek(1).kind == Tok::Number && Peek(1).pos == t.end)) {
            v.kind = SqlValue::Kind::Number;
            if (t.kind == Tok::Symbol) v.text = Take().text;
            v.text += Take().text;
        } else {
            Unexpected(t, "o coloana sau o valoare");
        }
        return v;
    }

    SqlUpdate Update() {
        Take();
        SqlUpdate u;
        u.table = TableName();
        ExpectWord("SET");
        for (;;) {
            SqlAssignment a;
            a.field = Name("numele coloanei").text;
            ExpectSymbol("=");
            a.value = Value();
            u.assignments.push_back(std::move(a));
            if (!IsSymbol(Peek(), ",")) break;
            Take();
        }
        u.where = Where(false);
        return u;
    }

    SqlCreateTable Create() {
        Take();
        ExpectWord("TABLE");
        SqlCreateTable c;
        c.table = TableName();
        ExpectSymbol("(");
        for (;;) {
            const size_t at = Peek().pos;
            SqlColumnDef column = NewColumn();
            for (const SqlColumnDef& other : c.columns) {
                if (other.name == column.name)
                    Fail("coloana " + column.name + " apare de doua ori (pozitia " + Position(at) +
                         ").");
            }
            c.columns.push_back(std::move(column));
            if (!IsSymbol(Peek(), ",")) break;
            Take();
        }
        ExpectSymbol(")");
        return c;
    }

    std::string_view s_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

}  // namespace

SqlStatement ParseSql(std::string_view statement) {
    return SqlParser(statement).Run();
}

FieldDef ToFieldDef(const SqlColumnDef& column) {
    SqlColumnDef c = column;
    c.name = Upper(c.name);
    if (const std::string problem = ColumnProblem(c); !problem.empty()) Fail(problem + ".");
    FieldDef f;
    f.name = c.name;
    f.type = c.type.dbfType;
    f.size = c.type.size;
    f.decimals = c.type.decimals;
    return f;
}

}  // namespace orbelan
