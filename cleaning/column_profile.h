#pragma once
// What a column holds, over the displayed rows (the filter applies): counts, distinct values, the
// most frequent ones, lengths and blanks of texts, the spread of numbers and dates, and for a
// column of personal codes their validity, sex, ages and counties. Also counts by the values of
// one or two columns. Plain figures: the window, the command line and the charts show them.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/cnp.h"
#include "engine/format_settings.h"

namespace orbelan {

class Table;
class Workspace;

// Distinct values are counted exactly up to this many; past it the rarest are dropped as the
// walk goes on, so the counts of the frequent ones are close, not exact.
inline constexpr size_t kExactDistinctLimit = 1000000;

struct ValueCount {
    std::string text;  // as the grid shows it; empty for the empty value
    int64_t count = 0;
};

enum class ProfileKind { Text, Number, Date, Logical };

struct HistogramBin {
    double low = 0, high = 0;  // low <= value < high (the last bin takes high too)
    std::string label;         // "10 - 20", "01.01.1990 - 01.01.2000"
    int64_t count = 0;
};

inline constexpr int kAgeGroups = 21;  // 0-4, 5-9, ... 95-99, 100+

struct CnpFigures {
    std::array<int64_t, kCnpFaultCount> byFault{};  // filled codes; [None] = valid
    int64_t male = 0, female = 0;                   // codes CnpCorect accepts
    std::array<int64_t, kAgeGroups> ageMale{}, ageFemale{};
    std::vector<ValueCount> counties;  // ranked, most first; "necunoscut" for unknown digits
    bool detected = false;             // mostly 13 digits (else the user asked for it)
    int64_t Valid() const { return byFault[0]; }
    int64_t Invalid() const;
};

struct ColumnProfile {
    std::string column;
    ProfileKind kind = ProfileKind::Text;
    int64_t rows = 0, filled = 0, empty = 0;
    int64_t distinct = 0;
    bool approximate = false;     // more than kExactDistinctLimit distinct values
    std::vector<ValueCount> top;  // the 20 most frequent filled values

    // Text: by characters
    std::string shortest, longest;
    int shortestLength = 0, longestLength = 0;
    int64_t blanksAround = 0;  // rows whose value begins or ends with a blank
    std::vector<std::string> blanksExamples;
    int64_t cedillaForms = 0, commaForms = 0;  // rows with ş ţ, rows with ș ț
    int64_t mixedForms = 0;                    // rows with both kinds in one value
    std::vector<std::string> mixedExamples;    // values whose letters of both kinds are found

    // Numbers and dates (dates as day numbers); no figure when no value
    int64_t values = 0;
    double minimum = 0, maximum = 0, sum = 0, mean = 0, median = 0;
    std::vector<HistogramBin> histogram;

    // Logical
    int64_t trueCount = 0, falseCount = 0;

    std::optional<CnpFigures> cnp;
};

// `progress(done, total)` runs every few thousand rows; false stops the walk (ProfileStopped).
using ProfileProgress = std::function<bool(int64_t done, int64_t total)>;

struct ProfileStopped : std::runtime_error {
    ProfileStopped() : std::runtime_error("Oprit la cerere.") {}
};

struct ProfileOptions {
    bool forceCnp = false;  // the user marks the column as CNP
    int today = 0;          // day number for the ages; 0: today
    int topCount = 20;
    size_t distinctLimit = kExactDistinctLimit;
    ProfileProgress progress;
};

// The figures as label and text, in the order they are shown (window and command line): counts,
// then the kind's own figures, then the CNP's. Numbers use the format's decimal separator,
// dates its short date form.
std::vector<std::pair<std::string, std::string>> ProfileFigures(const ColumnProfile& profile,
                                                                const FormatSettings& format);
// A number or a date of the profile as the figures show it.
std::string FigureText(const ColumnProfile& profile, double value, const FormatSettings& format);

// Throws DbfError for a memo column (its values are not read row by row here).
ColumnProfile ProfileColumn(Table& table, int field, const ProfileOptions& options = {});

// The age group (0 .. kAgeGroups-1) of an age; "0-4", "100+".
int AgeGroupOf(int age);
std::string AgeGroupLabel(int group);

// ---- counts by value
enum class CountOrder { ByCount, ByValue };

struct GroupCount {
    std::vector<std::string> keys;  // one text per grouping column
    int64_t count = 0;
    double sum = 0;  // of the summed column, when one is asked for
};

struct GroupCounts {
    std::vector<std::string> columns;  // the grouping columns
    std::string sumColumn;             // empty: no sum
    int sumDecimals = 0;               // the summed column's decimals
    std::vector<GroupCount> groups;
    int64_t rows = 0;
    bool approximate = false;
};

// fields: one or two columns; sumField -1 for none (else a numeric column).
GroupCounts CountByValues(Table& table, const std::vector<int>& fields, int sumField,
                          CountOrder order, const ProfileProgress& progress = {});

// The counts as a new table (the grouping columns, NUMAR, SUMA), written in codePage to path,
// for the export engine to take over. Throws DbfError.
void WriteCountsTable(const GroupCounts& counts, const std::string& path,
                      const std::string& codePage);

// The same walks from the window: the main window disabled; after half a second the bar with
// "&Renunt". nullopt when the user stopped it.
std::optional<ColumnProfile> ProfileColumnShown(Workspace& ws, int field, bool forceCnp);
std::optional<GroupCounts> CountByValuesShown(Workspace& ws, const std::vector<int>& fields,
                                              int sumField, CountOrder order);

// The filter condition that keeps the rows of one value of a column (what the grid shows):
// NAME='text' with quotes doubled. For a character value ending in '*' the comparison that
// keeps its star as a character.
std::string ValueCondition(const Table& table, int field, const std::string& text);
// The rows of a histogram's bin: low <= value < high (the last bin's high is past the largest).
std::string BinCondition(const Table& table, int field, const HistogramBin& bin);
// The same for a CNP figure: validity fault, sex, age group and sex, county.
std::string CnpFaultCondition(const std::string& column, CnpFault fault);
std::string CnpInvalidCondition(const std::string& column);
std::string CnpSexCondition(const std::string& column, bool male);
std::string CnpAgeCondition(const std::string& column, int group, bool male);
std::string CnpCountyCondition(const std::string& column, const std::string& county);
// cond joined to the filter already on (the figures were counted over the displayed rows).
std::string WithinFilter(const Table& table, const std::string& condition);

}  // namespace orbelan
