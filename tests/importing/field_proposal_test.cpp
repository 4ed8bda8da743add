#include "importing/field_proposal.h"

#include <gtest/gtest.h>

#include <set>

#include "core/argument_error.h"
#include "engine/field_list.h"

namespace orbelan {
namespace {

Cell T(const std::string& s) {
    return s.empty() ? Cell{} : Cell{CellKind::Text, s};
}

// The field proposed for one column of values.
std::string Proposed(const std::vector<Cell>& values) {
    FieldGuesser g({T("X")});
    for (const Cell& v : values) g.Add({v});
    std::vector<FieldDef> f{g.Result()[0].field};
    return FormatFieldList(f).substr(2);  // "X " dropped
}

TEST(FieldProposalTest, EachRuleAndItsCounterCase) {
    Cell date;
    date.kind = CellKind::Date;
    date.day = 36526;
    Cell dateTime = date;
    dateTime.ms = 3600000;
    const struct {
        std::vector<Cell> values;
        const char* field;
    } cases[] = {
        {{T("12"), T("-3"), T("")}, "N(3)"},
        {{T("12,50"), T("3,5")}, "N(5,2)"},                   // comma decimals
        {{T("1.234,5"), T("12,25")}, "N(7,2)"},               // grouped by full stops
        {{T("1,234.5"), T("0.25")}, "N(7,2)"},                // grouped by commas
        {{T("1,234")}, "N(5,3)"},                             // a lone comma reads as decimals
        {{T("1,5"), T("2.5")}, "C(3)"},                       // two decimal separators: text
        {{T("012345"), T("400001")}, "C(6)"},                 // leading zero: a postal code
        {{T("1234567890123456")}, "C(16)"},                   // 16 digits
        {{T("1850101123456"), T("2900202123457")}, "C(13)"},  // codes of one length
        {{T("185010112"), T("29")}, "N(9)"},
        {{Cell{CellKind::Number, "1850101123456"}, Cell{CellKind::Number, "7"}}, "N(13)"},
        {{T("01.02.1985"), T("1990-03-04"), date}, "D"},  // mixed date forms
        {{T("01.02.1985"), T("31.02.1985")}, "C(10)"},    // no 31 February
        {{T("01/02/1985")}, "C(10)"},
        {{dateTime}, "C(16)"},  // a time would be lost
        {{T("DA"), T("nu"), T("True"), Cell{CellKind::Logical, "F"}}, "L"},
        {{T("DA"), T("poate")}, "C(5)"},
        {{T("M"), T("F")}, "C(1)"},  // letters are no logicals
        {{T(""), T("")}, "C(1)"},    // an empty column
        {{T("Țăndărei")}, "C(8)"},   // characters, not bytes
        {{T(std::string(255, 'a'))}, "M"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const Cell& v : c.values) shown += "[" + v.text + "]";
        EXPECT_EQ(Proposed(c.values), c.field) << shown;
    }
}

TEST(FieldProposalTest, HeaderNamesBecomeUniqueDbfNames) {
    EXPECT_EQ(DbfSafeNames({"Nume și prenume", "Ţară", "Data naşterii", "", "2020", "Nr.",
                            "NUME_SI_PRENUME", "nume si prenume x", "Suma (lei)", "é"}),
              (std::vector<std::string>{"NUME_SI_PR", "TARA", "DATA_NASTE", "CAMP4", "C2020", "NR",
                                        "NUME_SI__2", "NUME_SI__3", "SUMA_LEI", "CAMP10"}));
}

TEST(FieldProposalTest, CellsReadAsTheirFieldStoresThemOrSayWhyNot) {
    const auto read = [](const Cell& cell, const char* fields) {
        ColumnField c;
        c.numbers = {',', '.'};
        std::vector<ColumnField> cs{c};
        cs[0].field.name = "X";
        ApplyTypes(cs, std::string("X=") + fields, DbfFamily::DBase3);
        FieldValueText out;
        std::string why;
        if (!ReadCellFor(cell, cs[0], out, why)) return "! " + why;
        return out.isDay ? std::to_string(out.day) : out.text;
    };
    EXPECT_EQ(read(T("1.234,50"), "N(10,2)"), "1234.50");
    EXPECT_EQ(read(T("-007"), "N(5)"), "-7");
    EXPECT_EQ(read(T("12.5"), "N(5,1)"), "! nu este un numar");
    EXPECT_EQ(read(Cell{CellKind::Number, "12.5"}, "N(5,1)"), "12.5");
    EXPECT_EQ(read(T("01.01.2000"), "D"), "36526");
    EXPECT_EQ(read(T("2000-01-32"), "D"), "! nu este o data");
    EXPECT_EQ(read(T("nu"), "L"), "F");
    EXPECT_EQ(read(Cell{CellKind::Number, "12"}, "C(5)"), "12");
    EXPECT_THROW(read(T("x"), "N(x)"), ArgumentError);
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// Thousands of equal or empty header names: unique names, each found at once (a search from
// the first suffix each time took minutes).
TEST(FieldProposalTest, ManyEqualOrEmptyNamesGetUniqueNames) {
    std::vector<std::string> header(20000, "Nume");
    header.resize(40000, "");
    header.push_back("Camp20001");
    const std::vector<std::string> names = DbfSafeNames(header);
    ASSERT_EQ(names.size(), header.size());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(names[0], "NUME");
    EXPECT_EQ(names[19999], "NUME_20000");
    EXPECT_EQ(names[20000], "CAMP20001");
    EXPECT_EQ(names[40000], "CAMP2000_2");  // the name an empty column took before it
}

}  // namespace
}  // namespace orbelan
