#include "cleaning/column_profile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/date_util.h"
#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using Figures = std::vector<std::pair<std::string, std::string>>;

// Eight persons whose figures are known by construction (UTF-8 text, so both forms of Ş fit).
const std::vector<test::ColumnSpec> kColumns = {
    {"NUME", 'C', 20}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}, {"ACTIV", 'L', 1}, {"CNP", 'C', 13}};
const std::vector<std::vector<std::string>> kRows = {
    {"Popa", "10.50", "19900101", "T", "1980512123455"},
    {"Popa", "2", "20000229", "F", "2980512123457"},
    {" Ion", "", "", "T", "1000101990013"},
    {"\xC5\x9E"
     "tefan \xC8\x98"
     "tef",
     "3.5", "19850615", "?", "10001019900a3"},
    {"Ana", "-1", "", " ", "1000229990011"},
    {"", "100", "", "Y", "100010199001"},
    {"Ana", "4", "", "N", "1000101990012"},
    {"Popa", "", "", "T", ""},
};

class ColumnProfileTest : public ::testing::Test {
  protected:
    void Open(const std::vector<std::vector<std::string>>& rows = kRows) {
        const std::string path = dir.File("PERS.DBF");
        test::WriteDbf(path, kColumns, rows, 0);
        table.SetTableName(path);
        table.SetCodePageOverride("utf-8");
        table.SetFormatSettings({',', "dd.MM.yyyy"});
        table.Open();
    }
    ColumnProfile Profile(const char* column, int today = DayNumber(2026, 12, 8)) {
        ProfileOptions options;
        options.today = today;
        return ProfileColumn(table, table.FieldIndex(column), options);
    }
    // Rows the condition keeps within the filter on; that filter is on again afterwards.
    int RowsKept(const std::string& condition) {
        const std::string before = table.Filtered() ? table.FilterText() : "";
        table.SetFilterText(WithinFilter(table, condition));
        table.SetFiltered(true);
        const int n = table.RecordCount();
        table.SetFiltered(false);
        if (!before.empty()) {
            table.SetFilterText(before);
            table.SetFiltered(true);
        }
        return n;
    }

    test::TempDir dir;
    Table table;
};

TEST_F(ColumnProfileTest, FiguresOfEachKindOfColumn) {
    Open();
    const std::string shtefan =
        "\xC5\x9E"
        "tefan \xC8\x98"
        "tef";
    const struct {
        const char* column;
        Figures figures;
        std::vector<ValueCount> top;
    } cases[] = {
        {"NUME",
         {{"Linii", "8"},
          {"Completate", "7 (87,5%)"},
          {"Goale", "1 (12,5%)"},
          {"Valori distincte", "4"},
          {"Cea mai scurta", "\"Ana\" (3)"},
          {"Cea mai lunga", "\"" + shtefan + "\" (11)"},
          {"Cu spatii la inceput sau la sfarsit", "1"},
          {"Cu \xC5\x9F \xC5\xA3 (sedila)", "1"},
          {"Cu \xC8\x99 \xC8\x9B (virgula)", "1"},
          {"Amesteca cele doua forme", "1"}},
         {{"Popa", 3}, {"Ana", 2}, {" Ion", 1}, {shtefan, 1}}},
        {"SUMA",
         {{"Linii", "8"},
          {"Completate", "6 (75,0%)"},
          {"Goale", "2 (25,0%)"},
          {"Valori distincte", "6"},
          {"Minim", "-1"},
          {"Maxim", "100"},
          {"Suma", "119"},
          {"Media", "19,8333"},
          {"Mediana", "3,75"}},
         {{"-1", 1}, {"10,5", 1}, {"100", 1}, {"2", 1}, {"3,5", 1}, {"4", 1}}},
        {"DATAN",
         {{"Linii", "8"},
          {"Completate", "3 (37,5%)"},
          {"Goale", "5 (62,5%)"},
          {"Valori distincte", "3"},
          {"Minim", "15.06.1985"},
          {"Maxim", "29.02.2000"},
          {"Media", "15.11.1991"},
          {"Mediana", "01.01.1990"}},
         {{"01.01.1990", 1}, {"15.06.1985", 1}, {"29.02.2000", 1}}},
        {"ACTIV",
         {{"Linii", "8"},
          {"Completate", "6 (75,0%)"},
          {"Goale", "2 (25,0%)"},
          {"Valori distincte", "2"},
          {"Adevarat", "4"},
          {"Fals", "2"}},
         {{"True", 4}, {"False", 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        const ColumnProfile p = Profile(c.column);
        EXPECT_EQ(ProfileFigures(p, table.Format()), c.figures);
        ASSERT_EQ(p.top.size(), c.top.size());
        for (size_t i = 0; i < c.top.size(); ++i) {
            EXPECT_EQ(p.top[i].text, c.top[i].text) << i;
            EXPECT_EQ(p.top[i].count, c.top[i].count) << i;
        }
        EXPECT_FALSE(p.cnp) << "no personal codes here";
    }
    const ColumnProfile sums = Profile("SUMA");
    ASSERT_FALSE(sums.histogram.empty());
    int64_t binned = 0;
    for (const HistogramBin& b : sums.histogram) binned += b.count;
    EXPECT_EQ(binned, 6);
    EXPECT_EQ(sums.histogram.front().count, 1);  // -1
    EXPECT_EQ(sums.histogram[1].count, 4);       // 2, 3.5, 4, 10.5
    EXPECT_EQ(sums.histogram.back().count, 1);   // 100
}

// Past the limit of distinct values the rare ones are dropped as the walk goes: the frequent
// values keep their counts and the profile says it is approximate.
TEST_F(ColumnProfileTest, ManyDistinctValuesCountedApproximately) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 600; ++i) {
        const std::string name = i % 3 == 0 ? "POPA" : i % 5 == 0 ? "ANA" : "N" + std::to_string(i);
        rows.push_back({name, "", "", "", ""});
    }
    Open(rows);
    for (const size_t limit : {size_t{1000}, size_t{50}}) {
        ProfileOptions options;
        options.distinctLimit = limit;
        const ColumnProfile p = ProfileColumn(table, 0, options);
        EXPECT_EQ(p.approximate, limit == 50);
        ASSERT_GE(p.top.size(), 2u);
        EXPECT_EQ(p.top[0].text, "POPA");
        EXPECT_EQ(p.top[0].count, 200);
        EXPECT_EQ(p.top[1].text, "ANA");
        EXPECT_EQ(p.top[1].count, 80);
        EXPECT_GE(p.distinct, 322);  // 320 names of one row, POPA and ANA
        if (limit == 1000) {
            EXPECT_EQ(p.distinct, 322);
        }
    }
}

TEST_F(ColumnProfileTest, CnpFaultOfEachReason) {
    const struct {
        const char* code;
        CnpFault fault;
    } cases[] = {
        {"", CnpFault::None},
        {"1980512123455", CnpFault::None},
        {"100010199001", CnpFault::Length},
        {"10001019900133", CnpFault::Length},
        {"10001019900a3", CnpFault::NonDigit},
        {"1000101\xC8\x99"
         "0013",
         CnpFault::Length},                 // 13 bytes, 12 characters
        {"1000229990011", CnpFault::Date},  // 29 February 1900
        {"4000101990013", CnpFault::Date},  // the 1800s are never valid
        {"1000101990012", CnpFault::CheckDigit},
        {"1000101990013", CnpFault::County},  // 99 names no county
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(CnpFaultOf(c.code), c.fault);
        // The command's rule and the breakdown agree: only None and County pass it.
        EXPECT_EQ(CnpCorect(c.code, true),
                  c.fault == CnpFault::None || c.fault == CnpFault::County);
    }
}

TEST_F(ColumnProfileTest, CnpColumnBreakdown) {
    Open();
    const ColumnProfile p = Profile("CNP");
    ASSERT_TRUE(p.cnp);
    const CnpFigures& c = *p.cnp;
    EXPECT_TRUE(c.detected);
    EXPECT_EQ(c.byFault, (std::array<int64_t, kCnpFaultCount>{2, 1, 1, 1, 1, 1}));
    EXPECT_EQ(c.Invalid(), 5);
    EXPECT_EQ(c.male, 2);
    EXPECT_EQ(c.female, 1);
    EXPECT_EQ(c.ageMale[5], 1);  // 28 years old on 8 December 2026
    EXPECT_EQ(c.ageFemale[5], 1);
    EXPECT_EQ(c.ageMale[kAgeGroups - 1], 1);  // born 1900: 100+
    ASSERT_EQ(c.counties.size(), 2u);
    EXPECT_EQ(c.counties[0].text, "Cluj");
    EXPECT_EQ(c.counties[0].count, 2);
    EXPECT_EQ(c.counties[1].text, "necunoscut");
}

// What a click on a figure filters to is exactly what the figure counted, also under a filter
// already on.
TEST_F(ColumnProfileTest, ClickFilterKeepsTheCountedRows) {
    std::vector<std::vector<std::string>> rows = kRows;
    rows.push_back({"Popa*", "5", "", "T", "5010203120037"});
    rows.push_back({"O'Neil", "5", "", "T", "6020315400049"});
    rows.push_back({"Popa", "5", "", "T", "2901231400023"});
    Open(rows);
    for (const char* filter : {"", "SUMA<>''"}) {
        SCOPED_TRACE(filter);
        if (*filter) {
            table.SetFilterText(filter);
            table.SetFiltered(true);
        }
        std::vector<std::pair<std::string, int64_t>> checks;
        for (const char* column : {"NUME", "SUMA", "DATAN", "ACTIV"}) {
            const int field = table.FieldIndex(column);
            const ColumnProfile p = ProfileColumn(table, field);
            for (const ValueCount& v : p.top)
                checks.emplace_back(ValueCondition(table, field, v.text), v.count);
            checks.emplace_back(ValueCondition(table, field, ""), p.empty);
            for (const HistogramBin& b : p.histogram)
                checks.emplace_back(BinCondition(table, field, b), b.count);
        }
        const ColumnProfile p = ProfileColumn(table, table.FieldIndex("CNP"));
        ASSERT_TRUE(p.cnp);
        for (int f = 0; f < kCnpFaultCount; ++f)
            checks.emplace_back(CnpFaultCondition("CNP", static_cast<CnpFault>(f)),
                                p.cnp->byFault[static_cast<size_t>(f)]);
        checks.emplace_back(CnpInvalidCondition("CNP"), p.cnp->Invalid());
        checks.emplace_back(CnpSexCondition("CNP", true), p.cnp->male);
        checks.emplace_back(CnpSexCondition("CNP", false), p.cnp->female);
        for (int g = 0; g < kAgeGroups; ++g) {
            checks.emplace_back(CnpAgeCondition("CNP", g, true), p.cnp->ageMale[size_t(g)]);
            checks.emplace_back(CnpAgeCondition("CNP", g, false), p.cnp->ageFemale[size_t(g)]);
        }
        for (const ValueCount& v : p.cnp->counties)
            checks.emplace_back(CnpCountyCondition("CNP", v.text), v.count);
        for (const auto& [condition, count] : checks)
            EXPECT_EQ(RowsKept(condition), count) << condition;
    }
}

TEST_F(ColumnProfileTest, CountsByOneOrTwoColumnsWithSum) {
    std::vector<std::vector<std::string>> rows = kRows;
    rows.push_back(
        {"\xC8\x98"
         "tefan",
         "1", "", "T", ""});
    rows.push_back({"Stan", "1", "", "F", ""});
    Open(rows);
    const int nume = table.FieldIndex("NUME"), activ = table.FieldIndex("ACTIV");
    const int suma = table.FieldIndex("SUMA");
    const struct {
        std::vector<int> fields;
        CountOrder order;
        std::vector<std::string> expected;  // keys, count, sum
    } cases[] = {
        {{nume},
         CountOrder::ByCount,
         {"Popa 3 12.5", "Ana 2 3", " 1 100", " Ion 1 0", "Stan 1 1",
          "\xC8\x98"
          "tefan 1 1",
          "\xC5\x9E"
          "tefan \xC8\x98"
          "tef 1 3.5"}},
        {{nume},
         CountOrder::ByValue,  // Romanian order: S before Ș and Ş, which are twins
         {" 1 100", " Ion 1 0", "Ana 2 3", "Popa 3 12.5", "Stan 1 1",
          "\xC8\x98"
          "tefan 1 1",
          "\xC5\x9E"
          "tefan \xC8\x98"
          "tef 1 3.5"}},
        {{activ, nume},
         CountOrder::ByCount,
         {"True/Popa 2 10.5", "/Ana 1 -1",
          "/\xC5\x9E"
          "tefan \xC8\x98"
          "tef 1 3.5",
          "False/Ana 1 4", "False/Popa 1 2", "False/Stan 1 1", "True/ 1 100", "True/ Ion 1 0",
          "True/\xC8\x98"
          "tefan 1 1"}},
    };
    for (const auto& c : cases) {
        const GroupCounts g = CountByValues(table, c.fields, suma, c.order);
        std::vector<std::string> got;
        for (const GroupCount& r : g.groups) {
            std::string line = r.keys[0];
            if (r.keys.size() > 1) line += "/" + r.keys[1];
            char sum[32];
            std::snprintf(sum, sizeof sum, "%g", r.sum);
            got.push_back(line + " " + std::to_string(r.count) + " " + sum);
        }
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(g.rows, 10);
    }
}

}  // namespace
}  // namespace orbelan
