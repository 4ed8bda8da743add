// Ordering records by a field: key rules per type, stability, grouping.
#include "engine/order_by.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/dbf_file.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

class OrderByTest : public ::testing::Test {
  protected:
    std::unique_ptr<DbfFile> Table(const std::vector<test::ColumnSpec>& columns,
                                   const std::vector<std::vector<std::string>>& rows) {
        const std::string path = dir_.File("T" + std::to_string(++count_) + ".DBF");
        test::WriteDbf(path, columns, rows);
        return DbfFile::Open(path);
    }

    test::TempDir dir_;
    int count_ = 0;
};

std::vector<uint32_t> Ids(std::initializer_list<uint32_t> ids) {
    return ids;
}

TEST_F(OrderByTest, CharactersInRomanianOrderStableAndBlankInsensitive) {
    // cp1250 bytes in Romanian order: A-breve 0xC3 and A-circumflex 0xC2 before P, I-circumflex
    // 0xCE after I, S-cedilla 0xAA after S, T-cedilla 0xDE after T; a leading blank sorts
    // before letters; the empty value comes first.
    auto f =
        Table({{"NUME", 'C', 12}, {"NR", 'N', 3}}, {{"\xDE"
                                                     "ARAN",
                                                     "0"},         // 0
                                                    {"POP", "1"},  // 1
                                                    {"\xC2"
                                                     "NCA",
                                                     "2"},            // 2
                                                    {"", "3"},        // 3
                                                    {"POP   ", "4"},  // 4  equal to row 1
                                                    {"*ABC", "5"},    // 5  deleted: left out
                                                    {"\xAA"
                                                     "TEFAN",
                                                     "6"},          // 6
                                                    {" POP", "7"},  // 7
                                                    {"\xCE"
                                                     "NCEPUT",
                                                     "8"},          // 8
                                                    {"POPA", "9"},  // 9
                                                    {"\xC3"
                                                     "LAN",
                                                     "10"},           // 10
                                                    {"POP", "11"}});  // 11 equal to rows 1 and 4
    EXPECT_EQ(OrderedRecords(*f, 0), Ids({3, 7, 10, 2, 8, 1, 4, 11, 9, 6, 0}));
}

TEST_F(OrderByTest, LongKeysSharingPrefixesMatchAReferenceSort) {
    // Keys longer than the 8-byte prefix, many ties: checked against a plain stable sort of the
    // trimmed byte strings, ascending and descending.
    std::mt19937 rng(7);
    const std::vector<std::string> stems = {"POPESCU ION",
                                            "POPESCU IONEL",
                                            "POPESCU ION VASILE",
                                            "POP",
                                            "POPESCU",
                                            "POPESCU ION VASILE X",
                                            ""};
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> keys;
    for (int i = 0; i < 400; ++i) {
        std::string v = stems[rng() % stems.size()];
        if (rng() % 3 == 0) v += static_cast<char>('A' + rng() % 3);
        if (rng() % 5 == 0) v += "\xAA";
        v = v.substr(0, 22);
        rows.push_back({v});
        while (!v.empty() && v.back() == ' ') v.pop_back();
        keys.push_back(v);
    }
    auto f = Table({{"NUME", 'C', 22}}, rows);
    std::vector<uint32_t> expected(rows.size());
    for (uint32_t i = 0; i < expected.size(); ++i) expected[i] = i;
    const auto byBytes = [&](uint32_t a, uint32_t b) {
        return std::lexicographical_compare(
            keys[a].begin(), keys[a].end(), keys[b].begin(), keys[b].end(),
            [](char x, char y) { return static_cast<uint8_t>(x) < static_cast<uint8_t>(y); });
    };
    std::stable_sort(expected.begin(), expected.end(), byBytes);
    EXPECT_EQ(OrderedRecords(*f, 0), expected);

    std::vector<uint32_t> all(rows.size());
    for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<uint32_t> descending = all;
    std::stable_sort(descending.begin(), descending.end(),
                     [&](uint32_t a, uint32_t b) { return byBytes(b, a); });
    EXPECT_EQ(OrderRecords(*f, all, {{0, true}}), descending);
}

TEST_F(OrderByTest, NumbersByValueWithEmptyAndInvalidFirst) {
    auto f = Table({{"SUMA", 'N', 8, 2}}, {{"10.00"},    // 0
                                           {"-3.25"},    // 1
                                           {""},         // 2  empty
                                           {"9.5"},      // 3
                                           {"12a"},      // 4  not a number: among the empty ones
                                           {"-0.00"},    // 5  equal to 0
                                           {"0"},        // 6
                                           {"2"},        // 7
                                           {" ******"},  // 8  overflow: empty
                                           {"1e1"}});    // 9  10, equal to row 0
    EXPECT_EQ(OrderedRecords(*f, 0), Ids({2, 4, 8, 1, 5, 6, 7, 3, 0, 9}));
}

TEST_F(OrderByTest, NumbersBeyondADoublesPrecisionStillOrderExactly) {
    auto f = Table({{"COD", 'N', 20}}, {{"1234567890123456791"},
                                        {"1234567890123456789"},
                                        {"1234567890123456790"},
                                        {"-1234567890123456791"},
                                        {"-1234567890123456790"},
                                        {"1234567890123456790"}});
    EXPECT_EQ(OrderedRecords(*f, 0), Ids({3, 4, 1, 2, 5, 0}));
    const auto sorted = OrderedRecords(*f, 0);
    EXPECT_EQ(GroupStarts(*f, sorted, {0}), (std::vector<size_t>{0, 1, 2, 3, 5}));
}

TEST_F(OrderByTest, DatesChronologicallyAndLogicalsEmptyFalseTrue) {
    auto f = Table({{"DATAN", 'D', 8}, {"ACTIV", 'L', 1}},
                   {{"20000101", "T"},
                    {"19991231", "F"},
                    {"", " "},
                    {"20241340", "Y"},  // no such day: among the empty ones
                    {"18760219", "?"},
                    {"00000000", "N"},
                    {"19991231", "t"}});
    EXPECT_EQ(OrderedRecords(*f, 0), Ids({2, 3, 5, 4, 1, 6, 0}));
    EXPECT_EQ(OrderedRecords(*f, 1), Ids({2, 4, 1, 5, 0, 3, 6}));
}

TEST_F(OrderByTest, BinaryTypesOfVisualFoxProByValue) {
    test::TempDir dir;
    auto f = DbfFile::Open(dir.CopyData("visual_foxpro_types.dbf"));
    // CANT I: 42 -7 0 2000000000; PRET B: 3.25 -0.5 0 1e10; MOMENT T: 2001 1999 2000 2020;
    // VALOARE Y: 12.3456 -1.5 0 922337.5
    for (const char* name : {"CANT", "PRET", "MOMENT", "VALOARE"})
        EXPECT_EQ(OrderedRecords(*f, f->FieldIndex(name)), Ids({1, 2, 0, 3})) << name;
}

TEST_F(OrderByTest, MemoFieldsRefusedAndDeletedRowsLeftOut) {
    test::TempDir dir;
    auto f = DbfFile::Open(dir.CopyData("dbase3_memo_cp1250.dbf"));
    try {
        OrderedRecords(*f, f->FieldIndex("OBS"));
        FAIL() << "a memo field was ordered";
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Sql);
        EXPECT_STREQ(e.what(), "Nu se poate ordona dupa campul memo OBS.");
    }
    const auto order = OrderedRecords(*f, f->FieldIndex("NR"));
    uint32_t deleted = 0;
    for (uint32_t i = 0; i < f->RecordCount(); ++i) deleted += f->IsDeleted(i) ? 1 : 0;
    ASSERT_GT(deleted, 0u);
    EXPECT_EQ(order.size(), f->RecordCount() - deleted);
    for (uint32_t r : order) EXPECT_FALSE(f->IsDeleted(r));
}

TEST_F(OrderByTest, SeveralKeysAndGroupsOfEqualValues) {
    auto f = Table({{"NUME", 'C', 8}, {"SUMA", 'N', 6, 2}}, {{"POP", "2"},      // 0
                                                             {"ION", "1.5"},    // 1
                                                             {"POP", "1"},      // 2
                                                             {"ION", "1.50"},   // 3
                                                             {"POP  ", "2.0"},  // 4
                                                             {"ANA", ""}});     // 5
    const std::vector<uint32_t> all = {0, 1, 2, 3, 4, 5};
    // By name, then by amount descending; equal pairs keep file order.
    const auto order = OrderRecords(*f, all, {{0, false}, {1, true}});
    EXPECT_EQ(order, Ids({5, 1, 3, 0, 4, 2}));
    EXPECT_EQ(GroupStarts(*f, order, {0}), (std::vector<size_t>{0, 1, 3}));
    EXPECT_EQ(GroupStarts(*f, order, {0, 1}), (std::vector<size_t>{0, 1, 3, 5}));
    EXPECT_TRUE(GroupStarts(*f, {}, {0}).empty());
}

}  // namespace
}  // namespace orbelan
