#include "engine/date_util.h"

#include <cstdio>

namespace orbelan {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

constexpr long kEpochShift = 25569;  // 1970-01-01 is day 25569 of the 1899-12-30 scale

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

int DayNumber(int year, int month, int day) {
    return static_cast<int>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kEpochShift);
}

CivilDate CivilFromDayNumber(int dayNumber) {
    long z = static_cast<long>(dayNumber) - kEpochShift + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

namespace {

// Length of the run of the same pattern letter starting at i.
size_t RunLength(std::string_view p, size_t i) {
    size_t n = 1;
    while (i + n < p.size() && p[i + n] == p[i]) ++n;
    return n;
}

// printf's "%0<width>d" without its cost: dates are formatted for every row of an export.
void AppendPadded(std::string& out, int v, int width) {
    if (v < 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, v);
        out += buf;
        return;
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    for (int k = n; k < width; ++k) out += '0';
    while (n > 0) out += digits[--n];
}

}  // namespace

std::string FormatDate(int dayNumber, std::string_view pattern) {
    const CivilDate c = CivilFromDayNumber(dayNumber);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const char ch = pattern[i];
        const size_t n = (ch == 'd' || ch == 'M' || ch == 'y') ? RunLength(pattern, i) : 1;
        if (ch == 'd' || ch == 'M') {
            AppendPadded(out, ch == 'd' ? c.day : c.month, n >= 2 ? 2 : 1);
        } else if (ch == 'y') {
            if (n <= 2)
                AppendPadded(out, ((c.year % 100) + 100) % 100, 2);
            else
                AppendPadded(out, c.year, 4);
        } else {
            out += ch;
        }
        i += n;
    }
    return out;
}

std::optional<int> ParseDate(std::string_view text, std::string_view pattern) {
    int day = -1, month = -1, year = -1;
    size_t t = 0;
    for (size_t i = 0; i < pattern.size();) {
        const char ch = pattern[i];
        const bool field = ch == 'd' || ch == 'M' || ch == 'y';
        const size_t n = field ? RunLength(pattern, i) : 1;
        if (!field) {
            if (t >= text.size() || text[t] != ch) return std::nullopt;
            ++t;
            i += n;
            continue;
        }
        // Accept one to four digits for every field so "1.2.2000" reads with "dd.MM.yyyy".
        size_t start = t;
        const size_t maxDigits = ch == 'y' ? 4 : 2;
        int v = 0;
        while (t < text.size() && t - start < maxDigits && text[t] >= '0' && text[t] <= '9') {
            v = v * 10 + (text[t] - '0');
            ++t;
        }
        if (t == start) return std::nullopt;
        if (ch == 'd') day = v;
        if (ch == 'M') month = v;
        if (ch == 'y') year = (n <= 2 && t - start <= 2) ? 2000 + v - (v >= 50 ? 100 : 0) : v;
        i += n;
    }
    if (t != text.size() || !IsValidDate(year, month, day)) return std::nullopt;
    return DayNumber(year, month, day);
}

}  // namespace orbelan
