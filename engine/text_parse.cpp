#include "engine/text_parse.h"

#include <cctype>
#include <charconv>
#include <initializer_list>

#include "engine/date_util.h"
#include "engine/field_value.h"
#include "engine/latin_letters.h"

namespace orbelan {
namespace {

std::string CanonicalFromParts(bool negative, std::string_view intDigits, std::string_view frac) {
    while (!intDigits.empty() && intDigits.front() == '0') intDigits.remove_prefix(1);
    while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
    std::string out;
    if (negative && (!intDigits.empty() || !frac.empty())) out += '-';
    out += intDigits.empty() ? std::string_view("0") : intDigits;
    if (!frac.empty()) {
        out += '.';
        out += frac;
    }
    return out;
}

// "1.5E+3" -> "1500", "-2.5e-2" -> "-0.025": textually, so no digit is lost.
std::optional<std::string> ExpandExponent(std::string_view s, char separator) {
    const size_t e = s.find_first_of("eE");
    std::string_view mantissa = s.substr(0, e);
    std::string_view exponent = s.substr(e + 1);
    std::string sign;
    if (!mantissa.empty() && (mantissa.front() == '-' || mantissa.front() == '+')) {
        if (mantissa.front() == '-') sign = "-";
        mantissa.remove_prefix(1);
    }
    std::string digits;
    long point = -1;
    for (char c : mantissa) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if ((c == '.' || c == separator) && point < 0) {
            point = static_cast<long>(digits.size());
        } else {
            return std::nullopt;
        }
    }
    if (digits.empty() || exponent.empty() || exponent.size() > 4) return std::nullopt;
    bool negativeExp = false;
    if (exponent.front() == '-' || exponent.front() == '+') {
        negativeExp = exponent.front() == '-';
        exponent.remove_prefix(1);
    }
    if (exponent.empty() || exponent.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    long shift = std::stol(std::string(exponent));
    if (negativeExp) shift = -shift;
    if (point < 0) point = static_cast<long>(digits.size());
    point += shift;
    if (point <= 0) {
        digits.insert(0, static_cast<size_t>(-point) + 1, '0');
        point = 1;
    }
    if (point > static_cast<long>(digits.size()))
        digits.append(static_cast<size_t>(point) - digits.size(), '0');
    return sign + digits.substr(0, static_cast<size_t>(point)) + "." +
           digits.substr(static_cast<size_t>(point));
}

// "hh:mm" or "hh:mm:ss", one or two digits each.
std::optional<int64_t> ParseTimeOfDay(std::string_view t) {
    int parts[3] = {0, 0, 0};
    int n = 0;
    while (!t.empty()) {
        if (n == 3) return std::nullopt;
        size_t k = 0;
        int v = 0;
        while (k < t.size() && k < 2 && t[k] >= '0' && t[k] <= '9') v = v * 10 + (t[k++] - '0');
        if (k == 0) return std::nullopt;
        parts[n++] = v;
        t.remove_prefix(k);
        if (!t.empty()) {
            if (t.front() != ':' || t.size() == 1) return std::nullopt;
            t.remove_prefix(1);
        }
    }
    if (n < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return (parts[0] * 3600LL + parts[1] * 60LL + parts[2]) * 1000;
}

}  // namespace

std::optional<bool> ParseLogicalText(std::string_view text, LogicalWords words) {
    const std::string_view t = TrimStored(text);
    if (t.empty() || t.size() > 8) return std::nullopt;
    const std::string u = latin::AsciiUpper(t);
    const bool typed = words == LogicalWords::Typed;
    const auto is = [&u](std::initializer_list<const char*> list) {
        for (const char* word : list)
            if (u == word) return true;
        return false;
    };
    if (typed ? is({"T", "TRUE", "Y", "YES", "DA", ".T.", ".Y.", "1"})
              : is({"DA", "TRUE", "ADEVARAT"}))
        return true;
    if (typed ? is({"F", "FALSE", "N", "NO", "NU", ".F.", ".N.", "0"})
              : is({"NU", "FALSE", "FALS"}))
        return false;
    return std::nullopt;
}

std::optional<int> ParseDateText(std::string_view text, const FormatSettings& format) {
    const std::string_view t = TrimStored(text);
    if (auto d = ParseDate(t, format.shortDateFormat)) return d;
    if (t.size() == 8 && t.find_first_not_of("0123456789") == std::string_view::npos)
        if (auto d = ParseDate(t, "yyyyMMdd")) return d;
    return ParseDate(t, "yyyy-MM-dd");
}

std::optional<DayAndTime> ParseDateTimeText(std::string_view text, const FormatSettings& format) {
    const std::string_view t = TrimStored(text);
    // A short date format may hold blanks itself: the time is what follows the last one.
    if (auto day = ParseDateText(t, format)) return DayAndTime{*day, 0};
    const size_t blank = t.rfind(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const auto day = ParseDateText(t.substr(0, blank), format);
    if (!day) return std::nullopt;
    const auto ms = ParseTimeOfDay(t.substr(blank + 1));
    if (!ms) return std::nullopt;
    return DayAndTime{*day, *ms};
}

std::optional<std::string> CanonicalNumber(std::string_view text, char separator) {
    std::string_view s = TrimStored(text);
    if (s.empty() || s.find_first_not_of('*') == std::string_view::npos) return std::string();
    std::string expanded;
    if (s.find_first_of("eE") != std::string_view::npos) {
        // Scientific notation from some writers of F fields: move the point on the digits.
        auto e = ExpandExponent(s, separator);
        if (!e) return std::nullopt;
        expanded = std::move(*e);
        s = expanded;
    }
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
        s = TrimStored(s);
    }
    size_t point = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') continue;
        if ((c == '.' || c == separator) && point == std::string_view::npos) {
            point = i;
            continue;
        }
        return std::nullopt;
    }
    const std::string_view intPart = s.substr(0, point);
    const std::string_view frac =
        point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    if (intPart.empty() && frac.empty()) return std::nullopt;
    return CanonicalFromParts(negative, intPart, frac);
}

std::optional<double> ParseNumberText(std::string_view text, char separator) {
    const auto canon = CanonicalNumber(text, separator);
    if (!canon || canon->empty()) return std::nullopt;
    double v = 0;
    // from_chars, not strtod: the program's locale must not change how '.' reads.
    const auto [end, ec] = std::from_chars(canon->data(), canon->data() + canon->size(), v);
    if (ec != std::errc() || end != canon->data() + canon->size()) return std::nullopt;
    return v;
}

}  // namespace orbelan
