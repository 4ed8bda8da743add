#include "engine/field_list.h"

#include <cctype>
#include <charconv>

#include "engine/latin_letters.h"
#include "engine/trim.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

constexpr size_t kMaxName = 10;

struct FormatName {
    DbfFamily family;
    const char* name;
    const char* title;
};
constexpr FormatName kFormats[] = {
    {DbfFamily::DBase3, "dbase3", "dBase III"},
    {DbfFamily::DBase4, "dbase4", "dBase IV"},
    {DbfFamily::FoxPro, "foxpro", "FoxPro"},
    {DbfFamily::VisualFoxPro, "vfp", "Visual FoxPro"},
};

const FormatName& FormatOf(DbfFamily family) {
    for (const FormatName& f : kFormats)
        if (f.family == family) return f;
    return kFormats[1];  // dBase 7 tables are given dBase IV's choices
}

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The name with its Romanian letters made plain; nullopt when it has none.
std::optional<std::string> WithoutDiacritics(std::string_view name) {
    std::string out;
    bool found = false;
    for (size_t i = 0; i < name.size();) {
        const size_t at = i;
        const long cp = utf8::NextCodePoint(name, i);
        if (cp > 0 && latin::IsRomanianLetter(static_cast<char32_t>(cp))) {
            out += latin::BaseLetter(static_cast<char32_t>(cp));
            found = true;
        } else {
            out.append(name, at, i - at);
        }
    }
    if (!found) return std::nullopt;
    return out;
}

FieldProblem Problem(FieldProblem::Part part, std::string text) {
    return {part, std::move(text)};
}

std::string TypeList(const std::string& types) {
    std::string out;
    for (char t : types) {
        if (!out.empty()) out += ", ";
        out += t;
    }
    return out;
}

int ReadNumber(std::string_view text, std::string_view field) {
    text = Trim(text);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0)
        throw FieldListError("In \"" + std::string(field) + "\", " + std::string(text) +
                             " nu este un numar natural.");
    return value;
}

FieldProblem CheckShape(const FieldDef& f, DbfFamily family);

}  // namespace

std::optional<DbfFamily> ParseTableFormat(std::string_view name) {
    for (const FormatName& f : kFormats)
        if (name == f.name) return f.family;
    return std::nullopt;
}

const char* TableFormatName(DbfFamily family) {
    return FormatOf(family).name;
}
const char* TableFormatTitle(DbfFamily family) {
    return FormatOf(family).title;
}
uint8_t NewTableVersionOf(DbfFamily family) {
    return VersionOfFamily(FormatOf(family).family);
}

std::string FieldTypesOf(DbfFamily family) {
    return family == DbfFamily::VisualFoxPro ? "CNFDLMIBYTV" : "CNFDLM";
}

int FixedFieldSize(char type, DbfFamily family) {
    switch (type) {
        case 'D':
        case 'B':
        case 'Y':
        case 'T':
            return 8;
        case 'L':
            return 1;
        case 'M':
            return family == DbfFamily::VisualFoxPro ? 4 : 10;
        case 'I':
            return 4;
        default:
            return 0;
    }
}

int MaxFieldCount(DbfFamily family) {
    switch (family) {
        case DbfFamily::DBase3:
            return 128;
        case DbfFamily::DBase7:
            return 1024;
        default:
            return 255;
    }
}

int MaxRecordLength(DbfFamily family) {
    switch (family) {
        case DbfFamily::VisualFoxPro:
            return 65500;
        case DbfFamily::DBase7:
            return 32767;
        default:
            return 4000;
    }
}

FieldProblem CheckFieldName(std::string_view name) {
    using P = FieldProblem::Part;
    if (name.empty()) return Problem(P::Name, "Campul nu are nume.");
    const std::string shown(name);
    if (auto plain = WithoutDiacritics(name))
        return Problem(P::Name, "Numele " + shown +
                                    " are litere romanesti, pe care alte programe nu le citesc: "
                                    "scrieti " +
                                    *plain + ".");
    if (name.size() > kMaxName)
        return Problem(P::Name, "Numele " + shown + " are " + std::to_string(name.size()) +
                                    " caractere; un nume de camp are cel mult 10.");
    if (!std::isalpha(static_cast<unsigned char>(name[0])) ||
        static_cast<unsigned char>(name[0]) >= 0x80)
        return Problem(P::Name, "Numele " + shown + " trebuie sa inceapa cu o litera.");
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || !(std::isalnum(u) || c == '_'))
            return Problem(P::Name, "Numele " + shown +
                                        " poate avea doar litere fara diacritice, cifre si _.");
    }
    return {};
}

FieldProblem CheckField(const FieldDef& f, DbfFamily family) {
    if (FieldProblem p = CheckFieldName(f.name)) return p;
    return CheckShape(f, family);
}

// Type, width, decimals and the null flag.
namespace {
FieldProblem CheckShape(const FieldDef& f, DbfFamily family) {
    using P = FieldProblem::Part;
    const std::string types = FieldTypesOf(family);
    const std::string title = TableFormatTitle(family);
    if (types.find(f.type) == std::string::npos)
        return Problem(P::Type, "Tipul " + std::string(1, f.type) + " nu exista in formatul " +
                                    title + "; tipurile lui sunt " + TypeList(types) + ".");
    const std::string who = "Campul " + f.name + " (" + std::string(1, f.type) + ")";
    if (const int fixed = FixedFieldSize(f.type, family)) {
        if (f.size != fixed)
            return Problem(P::Width, who + " are mereu lungimea " + std::to_string(fixed) + ".");
    } else {
        const int max = f.type == 'N' || f.type == 'F' ? 20 : 254;
        if (f.size < 1 || f.size > max)
            return Problem(P::Width, who + " are lungimea intre 1 si " + std::to_string(max) +
                                         ", nu " + std::to_string(f.size) + ".");
    }
    if (f.type == 'N' || f.type == 'F') {
        // The point and a digit before it take two places.
        const int max = f.size >= 3 ? std::min(15, f.size - 2) : 0;
        if (f.decimals < 0 || f.decimals > max)
            return Problem(P::Decimals, who + " de lungime " + std::to_string(f.size) +
                                            " poate avea cel mult " + std::to_string(max) +
                                            " zecimale.");
    } else if (f.type == 'Y') {
        if (f.decimals != 0 && f.decimals != 4)
            return Problem(P::Decimals, who + " are mereu 4 zecimale.");
    } else if (f.type == 'B') {
        if (f.decimals < 0 || f.decimals > 18)
            return Problem(P::Decimals, who + " poate avea cel mult 18 zecimale.");
    } else if (f.decimals != 0) {
        return Problem(P::Decimals, who + " nu are zecimale.");
    }
    if ((f.flags & 0x02) && family != DbfFamily::VisualFoxPro)
        return Problem(P::Null,
                       "Doar tabelele Visual FoxPro au campuri care pot fi nule (" + f.name + ").");
    return {};
}
}  // namespace

FieldProblem CheckFieldList(const std::vector<FieldDef>& fields, DbfFamily family, int* index) {
    return CheckChangedFieldList(fields, std::vector<const FieldDef*>(fields.size()), family,
                                 index);
}

FieldProblem CheckChangedFieldList(const std::vector<FieldDef>& fields,
                                   const std::vector<const FieldDef*>& originals, DbfFamily family,
                                   int* index) {
    using P = FieldProblem::Part;
    if (index) *index = -1;
    const auto at = [&](size_t i, FieldProblem p) {
        if (index) *index = static_cast<int>(i);
        return p;
    };
    if (fields.empty()) return Problem(P::Name, "Tabelul trebuie sa aiba cel putin un camp.");
    const auto original = [&](size_t i) { return i < originals.size() ? originals[i] : nullptr; };
    bool added = false, wider = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef* was = original(i);
        added = added || !was;
        wider = wider || !was || fields[i].size > was->size ||
                (fields[i].flags & 0x02) > (was->flags & 0x02);
    }
    // Counted before anything else: every later check grows with the count.
    const std::string title = TableFormatTitle(family);
    const size_t most = static_cast<size_t>(MaxFieldCount(family));
    if (fields.size() > most && added)
        return at(most, Problem(P::Name, "Un tabel " + title + " are cel mult " +
                                             std::to_string(most) + " de campuri; aici sunt " +
                                             std::to_string(fields.size()) + "."));
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        const FieldDef* was = original(i);
        FieldProblem p;
        if (!was || f.name != was->name) p = CheckFieldName(f.name);
        if (!p && (!was || f.type != was->type || f.size != was->size ||
                   f.decimals != was->decimals || (f.flags & 0x02) != (was->flags & 0x02)))
            p = CheckShape(f, family);
        for (size_t j = 0; !p && j < i; ++j)
            if (SameFieldName(fields[j].name, f.name))
                p = Problem(P::Name, "Numele " + f.name + " apare de doua ori (ca " +
                                         fields[j].name + "); literele mari si mici nu conteaza.");
        if (p) return at(i, p);
    }
    // The row: the deletion flag, the fields and Visual FoxPro's hidden flags of nulls and
    // variable lengths.
    long length = 1;
    int bits = 0;
    size_t over = fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        length += f.size;
        if (family == DbfFamily::VisualFoxPro)
            bits += (f.type == 'V' || f.type == 'Q') + ((f.flags & 0x02) != 0);
        if (over == fields.size() && length > MaxRecordLength(family)) over = i;
    }
    length += (bits + 7) / 8;
    if (length > MaxRecordLength(family) && wider)
        return at(over == fields.size() ? fields.size() - 1 : over,
                  Problem(P::Width, "Campurile ocupa " + std::to_string(length) +
                                        " octeti pe linie (cu semnul de stergere); un tabel " +
                                        title + " are cel mult " +
                                        std::to_string(MaxRecordLength(family)) + "."));
    return {};
}

FieldDef ParseFieldText(std::string_view text, DbfFamily family) {
    const std::string_view field = Trim(text);
    std::string_view rest = field;
    FieldDef f;
    const size_t nameEnd = rest.find_first_of(" \t(");
    f.name = std::string(rest.substr(0, nameEnd));
    rest = nameEnd == std::string_view::npos ? std::string_view() : Trim(rest.substr(nameEnd));
    if (rest.empty() || rest[0] == '(')
        throw FieldListError("Campul \"" + std::string(field) +
                             "\" nu are tip; scrieti de exemplu NUME C(30).");
    f.type = Upper(rest[0]);
    rest = Trim(rest.substr(1));
    bool hasWidth = false;
    if (!rest.empty() && rest[0] == '(') {
        const size_t close = rest.find(')');
        if (close == std::string_view::npos)
            throw FieldListError("In \"" + std::string(field) + "\" lipseste ).");
        const std::string_view inside = rest.substr(1, close - 1);
        const size_t comma = inside.find(',');
        f.size = ReadNumber(inside.substr(0, comma), field);
        if (comma != std::string_view::npos)
            f.decimals = ReadNumber(inside.substr(comma + 1), field);
        hasWidth = true;
        rest = Trim(rest.substr(close + 1));
    }
    if (!rest.empty()) {
        std::string word(rest);
        for (char& c : word) c = Upper(c);
        if (word != "NULL")
            throw FieldListError("In \"" + std::string(field) + "\" nu se intelege \"" +
                                 std::string(rest) + "\".");
        f.flags |= 0x02;
    }
    if (const int fixed = FixedFieldSize(f.type, family); fixed && !hasWidth) {
        f.size = fixed;
        if (f.type == 'Y') f.decimals = 4;
    } else if (!hasWidth && FieldTypesOf(family).find(f.type) != std::string::npos) {
        throw FieldListError("Campul " + f.name + " de tip " + std::string(1, f.type) +
                             " cere lungimea, de exemplu " + f.name + " " + std::string(1, f.type) +
                             "(10).");
    }
    return f;
}

std::vector<FieldDef> ParseFieldList(std::string_view text, DbfFamily family) {
    std::vector<FieldDef> fields;
    while (!text.empty()) {
        const size_t end = text.find(';');
        const std::string_view item = Trim(text.substr(0, end));
        if (!item.empty()) fields.push_back(ParseFieldText(item, family));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    if (FieldProblem p = CheckFieldList(fields, family)) throw FieldListError(p.text);
    return fields;
}

std::string FormatFieldText(const FieldDef& f) {
    std::string out = f.name + ' ' + f.type;
    if (FixedFieldSize(f.type, DbfFamily::DBase3) == 0) {
        out += '(' + std::to_string(f.size);
        if (f.decimals > 0) out += ',' + std::to_string(f.decimals);
        out += ')';
    } else if (f.type == 'B' && f.decimals > 0) {
        out += "(8," + std::to_string(f.decimals) + ')';
    }
    if (f.flags & 0x02) out += " NULL";
    return out;
}

std::string FormatFieldList(const std::vector<FieldDef>& fields) {
    std::string out;
    for (const FieldDef& f : fields) {
        if (!out.empty()) out += "; ";
        out += FormatFieldText(f);
    }
    return out;
}

}  // namespace orbelan
