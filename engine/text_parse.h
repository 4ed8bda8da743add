#pragma once
// The text a user writes for a value: one reading for every place that takes it (writing a
// field, the filter's constants, Locate, the row commands), so a value accepted by one is the
// same value for the others.
//
//   logical   T TRUE Y YES DA .T. .Y. 1  /  F FALSE N NO NU .F. .N. 0 (any letter case)
//   date      the short date format, yyyymmdd or yyyy-mm-dd
//   date-time a date, optionally followed by " hh:mm" or " hh:mm:ss"
//   number    optional sign, digits with one '.' or the decimal separator, optional exponent
// Blanks around the text are ignored.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/format_settings.h"

namespace orbelan {

// Typed: the letters and words above, as a table or a user writes them. Spelled: only whole
// words, Romanian ones too (DA ADEVARAT TRUE / NU FALS FALSE), as a sheet spells a logical
// column; a lone letter or digit there is more likely an initial or a count.
enum class LogicalWords { Typed, Spelled };
std::optional<bool> ParseLogicalText(std::string_view text,
                                     LogicalWords words = LogicalWords::Typed);

// Day number (engine/date_util.h).
std::optional<int> ParseDateText(std::string_view text, const FormatSettings& format);

struct DayAndTime {
    int day = 0;
    int64_t ms = 0;  // milliseconds into the day
};
std::optional<DayAndTime> ParseDateTimeText(std::string_view text, const FormatSettings& format);

// "   12.50" -> "12.5", "-0.00" -> "0", "1.5e3" -> "1500"; "" for blanks or all '*' (empty);
// nullopt when the text is not a number. The result always uses '.'.
std::optional<std::string> CanonicalNumber(std::string_view text, char separator = '.');
// The value of a number as written; nullopt for blanks or what is not a number.
std::optional<double> ParseNumberText(std::string_view text, char separator);

}  // namespace orbelan
