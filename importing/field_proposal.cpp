#include "importing/field_proposal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "core/argument_error.h"
#include "engine/date_util.h"
#include "engine/field_list.h"
#include "engine/latin_letters.h"
#include "engine/text_parse.h"
#include "engine/trim.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

constexpr int kMaxCharWidth = 254;
constexpr int kMaxNumberWidth = 20;
constexpr int kMaxExactDigits = 15;
constexpr int kCodeDigits = 10;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct NumberParts {
    bool negative = false;
    bool leadingZero = false;  // an integer part of two digits or more starting with 0
    int intDigits = 0;         // without leading zeros, at least 1
    int fracDigits = 0;
};

// A number written with style's decimal separator and, between groups of three, its grouping.
// canonical (when given) receives it with '.' and without grouping or leading zeros.
bool ParseStyledNumber(std::string_view s, const NumberStyle& style, NumberParts& out,
                       std::string* canonical = nullptr) {
    s = TrimStored(s);
    out = NumberParts{};
    if (canonical) canonical->clear();
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        out.negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (canonical && out.negative) *canonical += '-';
    size_t i = 0;
    int group = 0, written = 0, zeros = 0;
    bool grouped = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (IsDigit(c)) {
            if (c == '0' && written == 0) {
                ++zeros;
            } else {
                ++written;
                if (canonical) *canonical += c;
            }
            ++group;
        } else if (style.grouping != 0 && c == style.grouping) {
            if (group == 0 || group > 3 || (grouped && group != 3)) return false;
            grouped = true;
            group = 0;
        } else {
            break;
        }
    }
    if (grouped && group != 3) return false;
    out.leadingZero = zeros > 0 && zeros + written > 1;
    out.intDigits = std::max(1, written);
    if (canonical && written == 0) *canonical += '0';
    const bool hasInt = zeros + written > 0;
    if (i < s.size()) {
        if (s[i] != style.decimal) return false;
        if (canonical) *canonical += '.';
        for (++i; i < s.size(); ++i) {
            if (!IsDigit(s[i])) return false;
            ++out.fracDigits;
            if (canonical) *canonical += s[i];
        }
        if (out.fracDigits == 0) return false;
    }
    return hasInt || out.fracDigits > 0;
}

bool ParseDayText(std::string_view s, int& day) {
    s = TrimStored(s);
    int y = 0, m = 0, d = 0;
    const auto number = [&](size_t from, size_t to, int& v) {
        if (from >= to || to > s.size()) return false;
        for (size_t i = from; i < to; ++i)
            if (!IsDigit(s[i])) return false;
        std::from_chars(s.data() + from, s.data() + to, v);
        return true;
    };
    const size_t dot1 = s.find('.');
    if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
        if (!number(0, 4, y) || !number(5, 7, m) || !number(8, 10, d)) return false;
    } else if (dot1 != std::string_view::npos) {
        const size_t dot2 = s.find('.', dot1 + 1);
        if (dot2 == std::string_view::npos || s.size() - dot2 - 1 != 4 || dot1 > 2 ||
            dot2 - dot1 - 1 > 2 || !number(0, dot1, d) || !number(dot1 + 1, dot2, m) ||
            !number(dot2 + 1, s.size(), y))
            return false;
    } else {
        return false;
    }
    if (!IsValidDate(y, m, d)) return false;
    day = DayNumber(y, m, d);
    return true;
}

void Observe(FieldGuesser::Hypothesis& h, const Cell& cell, bool& leadingZero) {
    if (!h.valid) return;
    NumberParts p;
    const bool ok = cell.kind == CellKind::Number ? ParseStyledNumber(cell.text, {'.', 0}, p)
                                                  : ParseStyledNumber(cell.text, h.style, p);
    if (!ok) {
        h.valid = false;
        return;
    }
    ++h.parsed;
    leadingZero = leadingZero || p.leadingZero;
    h.intDigits = std::max(h.intDigits, p.intDigits);
    h.fracDigits = std::max(h.fracDigits, p.fracDigits);
    h.negative = h.negative || p.negative;
}

// The reading of a column's numbers: the hypothesis that reads every value; when both do, the
// one whose decimal separator stands alone in some value (a "1,234" column is Romanian
// decimals).
const FieldGuesser::Hypothesis& Chosen(const FieldGuesser::Column& c) {
    const auto& point = c.pointDecimal;
    const auto& comma = c.commaDecimal;
    if (point.valid != comma.valid) return point.valid ? point : comma;
    if (!point.valid) return point.parsed >= comma.parsed ? point : comma;
    if (c.loneComma && !c.lonePoint) return comma;
    return point;
}

}  // namespace

std::string FoldedName(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const long cp = utf8::NextCodePoint(name, i);
        const auto c = static_cast<char32_t>(cp);
        if (cp >= 0 && cp < 0x80)
            out += static_cast<char>(latin::ToUpper(c));
        else if (cp > 0 && latin::IsRomanianLetter(c))
            out +=
                static_cast<char>(latin::ToUpper(static_cast<unsigned char>(latin::BaseLetter(c))));
        else
            out += '\x01';  // a character no field name has
    }
    return out;
}

std::vector<std::string> DbfSafeNames(const std::vector<std::string>& header) {
    std::vector<std::string> names;
    names.reserve(header.size());
    // The names taken (all in capitals already) and the next suffix to try for each base: a
    // header of thousands of equal or empty names stays linear.
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, int> nextSuffix;
    for (size_t i = 0; i < header.size(); ++i) {
        std::string name;
        for (char c : FoldedName(header[i])) {
            const bool keep = (c >= 'A' && c <= 'Z') || IsDigit(c);
            if (keep)
                name += c;
            else if (!name.empty() && name.back() != '_')
                name += '_';
            if (name.size() > 11) break;  // only the first 10 are kept
        }
        while (!name.empty() && name.back() == '_') name.pop_back();
        if (name.empty()) name = "CAMP" + std::to_string(i + 1);
        if (IsDigit(name[0])) name = "C" + name;
        name.resize(std::min<size_t>(name.size(), 10));
        while (!name.empty() && name.back() == '_') name.pop_back();
        std::string unique = name;
        if (taken.count(unique)) {
            int& k = nextSuffix.try_emplace(name, 2).first->second;
            do {
                const std::string suffix = "_" + std::to_string(k++);
                unique = name.substr(0, std::min(name.size(), 10 - suffix.size())) + suffix;
            } while (taken.count(unique));
        }
        taken.insert(unique);
        names.push_back(std::move(unique));
    }
    return names;
}

std::vector<std::string> HeaderTexts(const std::vector<Cell>& row) {
    std::vector<std::string> texts;
    for (const Cell& c : row) texts.push_back(CellText(c));
    while (!texts.empty() && texts.back().empty()) texts.pop_back();
    return texts;
}

std::string CellText(const Cell& cell) {
    switch (cell.kind) {
        case CellKind::Date: {
            std::string s = FormatDate(cell.day, "dd.MM.yyyy");
            if (cell.ms != 0) {
                char hm[16];
                std::snprintf(hm, sizeof hm, " %02d:%02d", static_cast<int>(cell.ms / 3600000),
                              static_cast<int>(cell.ms / 60000 % 60));
                s += hm;
            }
            return s;
        }
        case CellKind::Logical:
            return cell.text == "T" ? "DA" : "NU";
        default:
            return cell.text;
    }
}

FieldGuesser::FieldGuesser(const std::vector<Cell>& header)
    : header_(HeaderTexts(header)), columns_(header_.size()) {}

void FieldGuesser::Add(const std::vector<Cell>& row) {
    for (size_t i = 0; i < columns_.size() && i < row.size(); ++i) {
        const Cell& cell = row[i];
        if (cell.kind == CellKind::Empty) continue;
        Column& c = columns_[i];
        ++c.values;
        int day = 0;
        c.logical =
            c.logical &&
            (cell.kind == CellKind::Logical ||
             (cell.kind == CellKind::Text && ParseLogicalText(cell.text, LogicalWords::Spelled)));
        c.date = c.date && ((cell.kind == CellKind::Date && cell.ms == 0) ||
                            (cell.kind == CellKind::Text && ParseDayText(cell.text, day)));
        c.longest = std::max(c.longest, static_cast<int>(utf8::CharCount(CellText(cell))));
        if (!c.number) continue;
        if (cell.kind != CellKind::Text && cell.kind != CellKind::Number) {
            c.number = false;
            continue;
        }
        const std::string_view t = TrimStored(cell.text);
        const bool digitsOnly = !t.empty() && std::all_of(t.begin(), t.end(), IsDigit);
        if (digitsOnly) {
            if (t.size() > 1 && t[0] == '0') c.leadingZero = true;
            const int len = static_cast<int>(t.size());
            c.digitLength = c.digitLength == -1 || c.digitLength == len ? len : -2;
        } else {
            c.plainDigits = false;
        }
        if (cell.kind == CellKind::Text) {
            const size_t commas = std::count(t.begin(), t.end(), ',');
            const size_t points = std::count(t.begin(), t.end(), '.');
            if (commas == 1 && points == 0) c.loneComma = true;
            if (points == 1 && commas == 0) c.lonePoint = true;
        }
        Observe(c.pointDecimal, cell, c.leadingZero);
        Observe(c.commaDecimal, cell, c.leadingZero);
        c.number = c.pointDecimal.valid || c.commaDecimal.valid;
    }
}

std::vector<ColumnField> FieldGuesser::Result() const {
    const std::vector<std::string> names = DbfSafeNames(header_);
    std::vector<ColumnField> out;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        ColumnField f;
        f.column = static_cast<int>(i);
        f.field.name = names[i];
        const Hypothesis& h = Chosen(c);
        f.numbers = h.style;
        const int width =
            h.intDigits + (h.fracDigits > 0 ? h.fracDigits + 1 : 0) + (h.negative ? 1 : 0);
        const bool code = c.plainDigits && c.digitLength >= kCodeDigits;
        if (c.values == 0) {
            f.field.type = 'C';
            f.field.size = 1;
        } else if (c.logical) {
            f.field.type = 'L';
            f.field.size = 1;
        } else if (c.date) {
            f.field.type = 'D';
            f.field.size = 8;
        } else if (c.number && !c.leadingZero && !code &&
                   h.intDigits + h.fracDigits <= kMaxExactDigits && width <= kMaxNumberWidth) {
            f.field.type = 'N';
            f.field.size = width;
            f.field.decimals = h.fracDigits;
        } else if (c.longest > kMaxCharWidth) {
            f.field.type = 'M';
            f.field.size = 10;
        } else {
            f.field.type = 'C';
            f.field.size = std::max(1, c.longest);
        }
        out.push_back(f);
    }
    return out;
}

bool ReadCellFor(const Cell& cell, const ColumnField& column, FieldValueText& out,
                 std::string& why) {
    out.empty = out.isDay = false;
    out.text.clear();
    if (cell.kind == CellKind::Empty) {
        out.empty = true;
        return true;
    }
    switch (column.field.type) {
        case 'N':
        case 'F':
        case 'I':
        case 'Y':
        case 'B': {
            NumberParts p;
            const bool ok = cell.kind == CellKind::Number
                                ? ParseStyledNumber(cell.text, {'.', 0}, p, &out.text)
                                : cell.kind == CellKind::Text &&
                                      ParseStyledNumber(cell.text, column.numbers, p, &out.text);
            if (!ok) {
                why = "nu este un numar";
                return false;
            }
            return true;
        }
        case 'D':
            if (cell.kind == CellKind::Date) {
                if (cell.ms != 0) {
                    why = "are si ora, pe care un camp D nu o tine";
                    return false;
                }
                out.isDay = true;
                out.day = cell.day;
                return true;
            }
            if (cell.kind == CellKind::Text && ParseDayText(cell.text, out.day)) {
                out.isDay = true;
                return true;
            }
            why = "nu este o data";
            return false;
        case 'L': {
            if (cell.kind == CellKind::Logical) {
                out.text = cell.text;
                return true;
            }
            if (cell.kind == CellKind::Text) {
                std::optional<bool> v = ParseLogicalText(cell.text, LogicalWords::Spelled);
                if (!v) v = ParseLogicalText(cell.text);
                if (v) {
                    out.text = *v ? "T" : "F";
                    return true;
                }
            }
            why = "nu este DA sau NU";
            return false;
        }
        default:
            if (cell.kind == CellKind::Text)
                out.text.assign(cell.text);
            else
                out.text = CellText(cell);
            return true;
    }
}

void FitProposalToFamily(std::vector<ColumnField>& columns, DbfFamily family) {
    for (ColumnField& c : columns)
        if (const int fixed = FixedFieldSize(c.field.type, family)) c.field.size = fixed;
}

void ApplyTypes(std::vector<ColumnField>& columns, std::string_view types, DbfFamily family) {
    FitProposalToFamily(columns, family);
    std::vector<FieldDef> fields;
    for (const ColumnField& c : columns) fields.push_back(c.field);
    size_t start = 0;
    while (start < types.size()) {
        size_t end = types.find(';', start);
        if (end == std::string_view::npos) end = types.size();
        const std::string_view item = Trim(types.substr(start, end - start));
        start = end + 1;
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            throw ArgumentError("Nu inteleg tipul \"" + std::string(item) +
                                "\" (de forma NUME=C(30), N(10,2), D, L, M).");
        const std::string name(Trim(item.substr(0, eq)));
        auto it = std::find_if(columns.begin(), columns.end(), [&](const ColumnField& c) {
            return SameFieldName(c.field.name, name);
        });
        if (it == columns.end())
            throw ArgumentError("Sursa nu are coloana " + name +
                                " (campurile propuse: " + FormatFieldList(fields) + ").");
        try {
            it->field =
                ParseFieldText(it->field.name + ' ' + std::string(item.substr(eq + 1)), family);
        } catch (const FieldListError& e) {
            throw ArgumentError(std::string(item) + ": " + e.what());
        }
    }
    fields.clear();
    for (const ColumnField& c : columns) fields.push_back(c.field);
    if (const FieldProblem p = CheckFieldList(fields, family)) throw ArgumentError(p.text);
}

}  // namespace orbelan
