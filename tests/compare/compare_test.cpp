// Two tables compared by a key: the four groups, and the rows listed apart.
#include <gtest/gtest.h>

#include "compare/compare_tables.h"
#include "core/argument_error.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

struct Counts {
    size_t onlyHere, onlyThere, same, differ, repeatedHere, repeatedThere, emptyHere, emptyThere;
    bool operator==(const Counts&) const = default;
};

void PrintTo(const Counts& c, std::ostream* os) {
    *os << "{" << c.onlyHere << ", " << c.onlyThere << ", " << c.same << ", " << c.differ << ", "
        << c.repeatedHere << ", " << c.repeatedThere << ", " << c.emptyHere << ", " << c.emptyThere
        << "}";
}

struct GroupCase {
    const char* what;
    std::string otherName;  // .dbf (written from columns and rows, cp852 when ldid is 0x64) or .csv
    std::vector<test::ColumnSpec> columns;
    std::vector<std::vector<std::string>> rows;  // stored texts; for a CSV, its lines
    unsigned char languageDriver;
    std::string key;
    TextOptions text;
    Counts expected;
};

TEST(CompareTables, FourGroupsAndRowsListedApart) {
    test::TempDir dir;
    // This table (cp1250): two rows share a code, one has none.
    const std::string here = dir.File("aici.dbf");
    test::WriteDbf(here,
                   {{"CNP", 'C', 13}, {"NUME", 'C', 20}, {"DATAN", 'D', 8}, {"ORAS", 'C', 10}},
                   {{"1850101123456", "\xAAtefan", "19850101", "Cluj"},
                    {"2900202123456", "Ana", "19900202", "Iasi"},
                    {"1700303123456", "Mihai", "19700303", "Arad"},
                    {"1700303123456", "Mihai2", "19700303", "Arad"},
                    {"", "Gol", "", "Brasov"},
                    {"*1111111111111", "Sters", "", ""}});
    TextOptions caseless;
    caseless.ignoreCase = true;
    TextOptions plain = caseless;
    plain.ignoreDiacritics = true;
    TextOptions trimmed;
    trimmed.trim = true;
    const std::vector<GroupCase> cases = {
        {"a code kept as a number matches the same code as text",
         "alt.dbf",
         {{"CNP", 'N', 13}, {"NUME", 'C', 20}, {"DATAN", 'D', 8}, {"ORAS", 'C', 10}},
         {{"1850101123456", "\xAAtefan", "19850101", "Cluj"},
          {"2900202123456", "Ana", "19900202", "Deva"},
          {"1700303123456", "Mihai", "19700303", "Arad"},
          {"5000000000000", "Nou", "", ""},
          {"", "Fara", "", ""}},
         0xC8,
         "CNP",
         {},
         {0, 1, 1, 1, 2, 1, 1, 1}},
        {"dates match whatever their format; the cedilla and the comma below differ",
         "alt.csv",
         {},
         {{"DATAN;NUME"}, {"1985-01-01;\xC8\x98tefan"}, {"02.02.1990;Ana"}, {";fara data"}},
         0,
         "DATAN",
         {},
         {0, 0, 1, 1, 2, 0, 1, 1}},
        {"texts of two code pages compare as characters",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"\xB8tefan"}, {"ANA"}},
         0x64,
         "NUME",
         {},
         {4, 1, 1, 0, 0, 0, 0, 0}},
        {"ignoring case",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"\xB8TEFAN"}, {"ANA"}},
         0x64,
         "NUME",
         caseless,
         {3, 0, 2, 0, 0, 0, 0, 0}},
        {"case alone keeps the diacritics",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"STEFAN"}},
         0x64,
         "NUME",
         caseless,
         {5, 1, 0, 0, 0, 0, 0, 0}},
        {"ignoring case and diacritics",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"stefan"}},
         0x64,
         "NUME",
         plain,
         {4, 0, 1, 0, 0, 0, 0, 0}},
        {"blanks before a key only with trim",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"  Ana"}},
         0xC8,
         "NUME",
         trimmed,
         {4, 0, 1, 0, 0, 0, 0, 0}},
        {"without trim they count",
         "alt.dbf",
         {{"NUME", 'C', 20}},
         {{"  Ana"}},
         0xC8,
         "NUME",
         {},
         {5, 1, 0, 0, 0, 0, 0, 0}},
        {"a key of two columns, the other named differently",
         "alt.dbf",
         {{"COD", 'C', 13}, {"DATA", 'D', 8}},
         {{"1700303123456", "19700303"}, {"2900202123456", "19900101"}},
         0xC8,
         "CNP=COD,DATAN=DATA",
         {},
         {2, 1, 0, 0, 2, 1, 1, 0}},
    };
    for (const GroupCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string other = dir.File(c.otherName);
        if (c.otherName.ends_with(".csv")) {
            std::string bytes;
            for (const auto& line : c.rows) bytes += line[0] + "\r\n";
            test::WriteFileBytes(other, bytes);
        } else {
            test::WriteDbf(other, c.columns, c.rows, c.languageDriver);
        }
        const FormatSettings format{',', "dd.MM.yyyy"};
        const auto a = OpenCompareSource(here, {}, format);
        const auto b = OpenCompareSource(other, {}, format);
        CompareSpec request{ParseKeySpec(c.key, *a, *b), c.text};
        const CompareResult r = CompareTables(*a, *b, request);
        EXPECT_EQ((Counts{r.onlyHere.size(), r.onlyThere.size(), r.same.size(), r.differ.size(),
                          r.repeatedHere.size(), r.repeatedThere.size(), r.emptyHere.size(),
                          r.emptyThere.size()}),
                  c.expected);
    }
}

TEST(CompareTables, NamesTheColumnsThatDiffer) {
    test::TempDir dir;
    const std::string a = dir.File("a.dbf"), b = dir.File("b.dbf");
    test::WriteDbf(a, {{"CNP", 'C', 13}, {"SUMA", 'N', 10, 2}, {"ORAS", 'C', 10}},
                   {{"1", "12.50", "Cluj"}, {"2", "3.00", "Iasi"}});
    // The same sums written with other widths are equal; a town isn't.
    test::WriteDbf(b, {{"ORAS", 'C', 12}, {"SUMA", 'N', 8, 1}, {"CNP", 'N', 5}},
                   {{"Cluj", "12.5", "1"}, {"Deva", "3.0", "2"}});
    const FormatSettings format{',', "dd.MM.yyyy"};
    const auto x = OpenCompareSource(a, {}, format);
    const auto y = OpenCompareSource(b, {}, format);
    const CompareResult r = CompareTables(*x, *y, {ParseKeySpec("CNP", *x, *y), {}});
    ASSERT_EQ(r.differ.size(), 1u);
    EXPECT_EQ(r.differ[0].here, 1u);
    ASSERT_EQ(r.Differing(0).size(), 1u);
    EXPECT_EQ(x->Names()[size_t(r.shared[r.Differing(0)[0]].here)], "ORAS");
    EXPECT_EQ(r.same.size(), 1u);
    EXPECT_THROW(ParseKeySpec("CNP=NUMAR", *x, *y), ArgumentError);
}

}  // namespace
}  // namespace orbelan
