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

// The text is a valid code, or is empty and acceptEmpty is set.
bool CnpCorect(std::string_view text, bool acceptEmpty);

// Birth date as a day number (day 0 = 30 December 1899, the zero date when there is none).
// Needs only the first seven characters; the check digit is not looked at.
int CnpNascutLa(std::string_view text);

// "masculin", "feminin", or empty for an empty text.
std::string CnpSex(std::string_view text);

// Why a code is not a good one, in the order the checks run. Codes that CnpCorect accepts are
// None or County: the county digits (8-9) are not part of CnpCorect's rules.
enum class CnpFault { None, Length, NonDigit, Date, CheckDigit, County };
inline constexpr int kCnpFaultCount = 6;
CnpFault CnpFaultOf(std::string_view text);  // an empty text is None
// "lungime", "caractere", "data", "control", "judet"; empty for None.
const char* CnpFaultName(CnpFault fault);
// What the user reads: "lungime gresita", "alte caractere decat cifre", ...
const char* CnpFaultText(CnpFault fault);

// The county of digits 8-9 ("Cluj", "Bucuresti Sector 3"), empty for an unassigned number.
std::string_view CnpCountyName(int code);
// Digits 8-9 as a number, -1 when they are not two digits.
int CnpCountyCode(std::string_view text);

// Whole years from the birth date a code states to the day `today` (a day number), -1 when
// there is no date or it is after today.
int CnpAgeAt(std::string_view text, int today);
// Today's day number in the local time zone.
int TodayDayNumber();

// Makes the CNP's rules callable from the filter (engine/filter_functions.h), each over codes
// that CnpCorect accepts, empty otherwise:
//   CNPMOTIV(F)  the fault's name for a filled, faulty code ("judet" included), else empty
//   CNPSEX(F)    "masculin" / "feminin"
//   CNPVARSTA(F) the age today (numeric)
//   CNPJUDET(F)  the county's name, "necunoscut" for unassigned digits
// Safe to call more than once.
void RegisterCnpFilterFunctions();

}  // namespace orbelan
