#pragma once
// The rules of the Romanian personal numeric code (CNP), shared by the TCNPEdit control, the
// commands of the main window and the command line.
//
// Text is UTF-8 and positions are counted in characters. Only ASCII digits count as digits: a
// 13-character code holding anything else is invalid, and a date part such as " 1" or "+1" is
// not a number, so it yields the zero date. No function here ever throws for a bad code.
#include <string>
#include <string_view>

namespace orbelan {

inline constexpr int kCnpLength = 13;
inline constexpr std::string_view kCnpWeights = "279146358279";

// The text is a valid code, or is empty and acceptGol is set.
bool CnpCorect(std::string_view text, bool acceptGol);

// Birth date as a day number (day 0 = 30 December 1899, the zero date when there is none).
// Needs only the first seven characters; the check digit is not looked at.
int CnpNascutLa(std::string_view text);

// "masculin", "feminin", or empty for an empty text.
std::string CnpSex(std::string_view text);

}  // namespace orbelan
