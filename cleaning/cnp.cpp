#include "cleaning/cnp.h"

#include <ctime>
#include <iterator>

#include "engine/date_util.h"
#include "engine/filter_functions.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digit(char c) {
    return c - '0';
}

// Two ASCII digits as a number, or -1.
int TwoDigits(std::string_view s, size_t at) {
    if (at + 2 > s.size() || !IsDigit(s[at]) || !IsDigit(s[at + 1])) return -1;
    return Digit(s[at]) * 10 + Digit(s[at + 1]);
}

// Bytes taken by the first UTF-8 character, so that a non-ASCII first character still leaves
// the date in character positions 2-7.
size_t FirstCharBytes(std::string_view s) {
    return utf8::Prefix(s, 1).size();
}

}  // namespace

bool CnpCorect(std::string_view text, bool acceptEmpty) {
    if (text.empty()) return acceptEmpty;
    // A multi-byte character anywhere makes the length wrong or is a non-digit: invalid either way.
    if (text.size() != static_cast<size_t>(kCnpLength)) return false;
    for (char c : text)
        if (!IsDigit(c)) return false;

    const std::string_view first = text.substr(0, 1);
    if (std::string_view("1256789").find(first) == std::string_view::npos) return false;
    const int century = first == "5" || first == "6" ? 2000 : 1900;
    const int year = century + TwoDigits(text, 1);
    if (!IsValidDate(year, TwoDigits(text, 3), TwoDigits(text, 5))) return false;

    int sum = 0;
    for (size_t i = 0; i < kCnpWeights.size(); ++i) sum += Digit(kCnpWeights[i]) * Digit(text[i]);
    int r = sum % 11;
    if (r == 10) r = 1;
    return Digit(text[12]) == r;
}

int CnpNascutLa(std::string_view text) {
    if (text.empty()) return 0;
    const size_t at = FirstCharBytes(text);
    const int yy = TwoDigits(text, at);
    const int month = TwoDigits(text, at + 2);
    const int day = TwoDigits(text, at + 4);
    if (yy < 0 || month < 0 || day < 0) return 0;
    const int year = yy + (text[0] == '5' || text[0] == '6' ? 2000 : 1900);
    return IsValidDate(year, month, day) ? DayNumber(year, month, day) : 0;
}

std::string CnpSex(std::string_view text) {
    if (text.empty()) return {};
    const char s = text[0];
    return s == '1' || s == '5' || s == '7' || s == '9' ? "masculin" : "feminin";
}

}  // namespace orbelan

namespace orbelan {
namespace {

// The county of each code of digits 8-9, by its number (empty: not assigned).
// clang-format off
constexpr std::string_view kCounties[] = {
    "",                                                                        // 00
    "Alba", "Arad", "Arges", "Bacau", "Bihor",                                 // 01-05
    "Bistrita-Nasaud", "Botosani", "Brasov", "Braila", "Buzau",                // 06-10
    "Caras-Severin", "Cluj", "Constanta", "Covasna", "Dambovita",              // 11-15
    "Dolj", "Galati", "Gorj", "Harghita", "Hunedoara",                         // 16-20
    "Ialomita", "Iasi", "Ilfov", "Maramures", "Mehedinti",                     // 21-25
    "Mures", "Neamt", "Olt", "Prahova", "Satu Mare",                           // 26-30
    "Salaj", "Sibiu", "Suceava", "Teleorman", "Timis",                         // 31-35
    "Tulcea", "Vaslui", "Valcea", "Vrancea", "Bucuresti",                      // 36-40
    "Bucuresti Sector 1", "Bucuresti Sector 2", "Bucuresti Sector 3",          // 41-43
    "Bucuresti Sector 4", "Bucuresti Sector 5", "Bucuresti Sector 6",          // 44-46
    "Bucuresti Sector 7", "Bucuresti Sector 8", "", "",                        // 47-50
    "Calarasi", "Giurgiu"};                                                    // 51-52
// clang-format on

}  // namespace

CnpFault CnpFaultOf(std::string_view text) {
    if (text.empty()) return CnpFault::None;
    if (utf8::CharCount(text) != static_cast<size_t>(kCnpLength)) return CnpFault::Length;
    if (text.size() != static_cast<size_t>(kCnpLength)) return CnpFault::NonDigit;
    for (char c : text)
        if (!IsDigit(c)) return CnpFault::NonDigit;
    if (std::string_view("1256789").find(text[0]) == std::string_view::npos ||
        CnpNascutLa(text) == 0)
        return CnpFault::Date;
    if (!CnpCorect(text, false)) return CnpFault::CheckDigit;
    return CnpCountyName(CnpCountyCode(text)).empty() ? CnpFault::County : CnpFault::None;
}

const char* CnpFaultName(CnpFault fault) {
    switch (fault) {
        case CnpFault::None:
            return "";
        case CnpFault::Length:
            return "lungime";
        case CnpFault::NonDigit:
            return "caractere";
        case CnpFault::Date:
            return "data";
        case CnpFault::CheckDigit:
            return "control";
        case CnpFault::County:
            return "judet";
    }
    return "";
}

const char* CnpFaultText(CnpFault fault) {
    switch (fault) {
        case CnpFault::None:
            return "corect";
        case CnpFault::Length:
            return "lungime gresita";
        case CnpFault::NonDigit:
            return "alte caractere decat cifre";
        case CnpFault::Date:
            return "data nasterii imposibila";
        case CnpFault::CheckDigit:
            return "cifra de control gresita";
        case CnpFault::County:
            return "judet necunoscut";
    }
    return "";
}

std::string_view CnpCountyName(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kCounties))) return {};
    return kCounties[code];
}

int CnpCountyCode(std::string_view text) {
    return text.size() == static_cast<size_t>(kCnpLength) ? TwoDigits(text, 7) : -1;
}

int CnpAgeAt(std::string_view text, int today) {
    const int born = CnpNascutLa(text);
    if (born == 0 || born > today) return -1;
    const CivilDate b = CivilFromDayNumber(born);
    const CivilDate t = CivilFromDayNumber(today);
    int age = t.year - b.year;
    if (t.month < b.month || (t.month == b.month && t.day < b.day)) --age;
    return age;
}

int TodayDayNumber() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void RegisterCnpFilterFunctions() {
    RegisterFilterFunction("CNPMOTIV", {false, [](std::string_view t) {
                                            return std::string(CnpFaultName(CnpFaultOf(t)));
                                        }});
    RegisterFilterFunction("CNPSEX", {false, [](std::string_view t) {
                                          return CnpCorect(t, false) ? CnpSex(t) : std::string();
                                      }});
    RegisterFilterFunction("CNPVARSTA", {true, [](std::string_view t) {
                                             if (!CnpCorect(t, false)) return std::string();
                                             const int age = CnpAgeAt(t, TodayDayNumber());
                                             return age < 0 ? std::string() : std::to_string(age);
                                         }});
    RegisterFilterFunction("CNPJUDET",
                           {false, [](std::string_view t) {
                                if (!CnpCorect(t, false)) return std::string();
                                const std::string_view name = CnpCountyName(CnpCountyCode(t));
                                return name.empty() ? std::string("necunoscut") : std::string(name);
                            }});
}

}  // namespace orbelan
