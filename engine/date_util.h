#pragma once
// Dates are day counts with day 0 = 30 December 1899 (1 January 1900 = 2, 1 January 2000 = 36526).
#include <optional>
#include <string>
#include <string_view>

namespace orbelan {

struct CivilDate {
    int year = 0, month = 0, day = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);
int DayNumber(int year, int month, int day);  // no validation
CivilDate CivilFromDayNumber(int dayNumber);

// Qt-style pattern (d, dd, M, MM, yy, yyyy, other characters literal).
std::string FormatDate(int dayNumber, std::string_view pattern);
std::optional<int> ParseDate(std::string_view text, std::string_view pattern);

}  // namespace orbelan
