// One reader of stored values: for each table family, tables written byte by byte here, and
// the text form, ORDER BY, the filter and locate checked against values written by hand.
#include "engine/field_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/filter.h"
#include "engine/order_by.h"
#include "engine/table.h"
#include "tests/support/temp_dir.h"

namespace orbelan {
namespace {

using test::TempDir;

struct Col {
    std::string name;
    char type;
    int size;
    int decimals = 0;
    uint8_t flags = 0;  // Visual FoxPro: 0x02 nullable
};

// ---- stored forms

std::string Left(const std::string& s, int size) {
    return s + std::string(static_cast<size_t>(size) - s.size(), ' ');
}
std::string Bytes(uint64_t v, int n, bool bigEndian) {
    std::string s(static_cast<size_t>(n), '\0');
    for (int i = 0; i < n; ++i)
        s[static_cast<size_t>(bigEndian ? n - 1 - i : i)] = static_cast<char>(v >> (8 * i));
    return s;
}
uint64_t Bits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}
std::string LE32(int32_t v) {
    return Bytes(static_cast<uint32_t>(v), 4, false);
}
std::string Dbase7Int(int32_t v) {  // big-endian, sign bit flipped
    return Bytes(static_cast<uint32_t>(v) ^ 0x80000000u, 4, true);
}
std::string Dbase7Double(double d) {  // big-endian; positives: sign bit set, negatives: inverted
    const uint64_t b = Bits(d);
    return Bytes(d >= 0 ? b | (1ULL << 63) : ~b, 8, true);
}
// dBase 7 timestamp: milliseconds since 0001-01-01 as a big-endian double.
std::string Dbase7Stamp(int y, int m, int d, int64_t ms) {
    return Bytes(Bits(double((DayNumber(y, m, d) + 693594LL) * kMsPerDay + ms)), 8, true);
}
// Visual FoxPro datetime: julian day, then milliseconds, little-endian.
std::string FoxTime(int y, int m, int d, int32_t ms) {
    return LE32(DayNumber(y, m, d) + 2415019) + LE32(ms);
}
// A short varchar: its bytes, padding, and its length in the last byte.
std::string Short(const std::string& s, int size) {
    std::string v = s + std::string(static_cast<size_t>(size) - s.size(), '\0');
    v.back() = static_cast<char>(s.size());
    return v;
}

// The file: header, descriptors (32 bytes, or 48 after 68 for dBase 7), terminator, the
// 263-byte backlink for Visual FoxPro, records, end mark.
std::string TableBytes(uint8_t version, bool dbase7, const std::vector<Col>& cols,
                       const std::vector<std::vector<std::string>>& rows) {
    const bool vfp = version == 0x30;
    const size_t stride = dbase7 ? 48 : 32;
    size_t headerLength = (dbase7 ? 68 : 32) + stride * cols.size() + 1 + (vfp ? 263 : 0);
    int recordLength = 1;
    for (const Col& c : cols) recordLength += c.size;
    std::string h(headerLength, '\0');
    h[0] = static_cast<char>(version);
    h[1] = 124;
    h[2] = 1;
    h[3] = 1;
    h.replace(4, 4, LE32(static_cast<int32_t>(rows.size())));
    h.replace(8, 2, Bytes(headerLength, 2, false));
    h.replace(10, 2, Bytes(static_cast<uint64_t>(recordLength), 2, false));
    h[29] = static_cast<char>(0xC8);  // cp1250
    size_t p = dbase7 ? 68 : 32;
    int offset = 1;
    for (const Col& c : cols) {
        h.replace(p, c.name.size(), c.name);
        const size_t t = p + (dbase7 ? 32 : 11);
        h[t] = c.type;
        if (vfp) h.replace(p + 12, 4, LE32(offset));
        h[t + (dbase7 ? 1 : 5)] = static_cast<char>(c.size);
        h[t + (dbase7 ? 2 : 6)] = static_cast<char>(c.decimals);
        if (!dbase7) h[p + 18] = static_cast<char>(c.flags);
        offset += c.size;
        p += stride;
    }
    h[p] = 0x0D;
    for (const auto& row : rows) {
        std::string r = " ";
        for (size_t i = 0; i < cols.size(); ++i) {
            EXPECT_EQ(row[i].size(), static_cast<size_t>(cols[i].size)) << cols[i].name;
            r += row[i];
        }
        h += r;
    }
    return h + "\x1A";
}

// What every reader must agree on for one field.
struct FieldCase {
    std::string field;
    std::vector<std::string> texts;                            // text form of each row
    std::string order;                                         // ORDER BY: rows, "2 0 1"
    std::vector<std::pair<std::string, std::string>> filters;  // expression -> rows kept
};

std::string Rows(const std::vector<uint32_t>& rows) {
    std::string s;
    for (uint32_t r : rows) s += (s.empty() ? "" : " ") + std::to_string(r);
    return s;
}

void CheckFamily(const std::string& path, const std::vector<FieldCase>& cases) {
    DbfOpenOptions options;
    options.checkProductionIndex = false;
    const auto file = DbfFile::Open(path, options);
    const FormatSettings format;  // ',' and dd.MM.yyyy
    Table table;
    table.SetTableName(path);
    table.Open();
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.field);
        const int f = file->FieldIndex(c.field);
        ASSERT_GE(f, 0);
        ASSERT_EQ(c.texts.size(), file->RecordCount());
        for (uint32_t r = 0; r < file->RecordCount(); ++r) {
            EXPECT_EQ(file->Text(file->Record(r), f, format), c.texts[r]) << "row " << r;
            EXPECT_EQ(file->IsEmpty(file->Record(r), f), c.texts[r].empty()) << "row " << r;
        }
        EXPECT_EQ(Rows(OrderedRecords(*file, f)), c.order);
        for (const auto& [expression, kept] : c.filters) {
            const auto filter =
                FilterExpression::Compile(expression, file->Layout(), file->Page(), format);
            std::vector<uint32_t> rows;
            for (uint32_t r = 0; r < file->RecordCount(); ++r)
                if (filter->Matches(file->Record(r))) rows.push_back(r);
            EXPECT_EQ(Rows(rows), kept) << expression;
        }
        // Locate finds the first row showing each text.
        for (size_t r = 0; r < c.texts.size(); ++r) {
            if (c.texts[r].empty() || std::find(c.texts.begin(), c.texts.begin() + long(r),
                                                c.texts[r]) != c.texts.begin() + long(r))
                continue;
            EXPECT_TRUE(table.Locate(c.field, c.texts[r])) << c.texts[r];
            EXPECT_EQ(table.RecNo(), int(r) + 1) << c.texts[r];
        }
    }
}

// C N F D L, as dBase III, IV, 5 and FoxPro 2.x store them.
std::vector<Col> CharacterColumns() {
    return {{"NUME", 'C', 8},
            {"SUMA", 'N', 8, 2},
            {"CANT", 'F', 10, 3},
            {"DATAN", 'D', 8},
            {"ACTIV", 'L', 1}};
}
std::vector<std::vector<std::string>> CharacterRows() {
    return {{Left("POP", 8), "   12.50", "     1.500", "20240229", "T"},
            {Left("", 8), "        ", "    -0.250", "        ", "F"},
            {Left("ANA", 8), "   -3.00", "          ", "2024XX01", " "},
            {Left("Z", 8), "     ***", "   1.5E+03", "19991231", "y"}};
}
std::vector<FieldCase> CharacterCases() {
    return {
        {"NUME", {"POP", "", "ANA", "Z"}, "1 2 0 3", {{"NUME='POP'", "0"}, {"NUME<'B'", "1 2"}}},
        // "***" (overflow) is stored text that is no number: shown empty, sorted with the empty
        // ones, compared by its text in the filter ("***" < "0").
        {"SUMA",
         {"12,5", "", "-3", ""},
         "1 3 2 0",
         {{"SUMA=12,5", "0"}, {"SUMA<0", "1 2 3"}, {"SUMA=''", "1"}, {"SUMA>=-3", "0 2"}}},
        {"CANT", {"1,5", "-0,25", "", "1500"}, "2 1 0 3", {{"CANT>1", "0 3"}, {"CANT=1500", "3"}}},
        {"DATAN",
         {"29.02.2024", "", "2024XX01", "31.12.1999"},
         "1 2 3 0",
         {{"DATAN='29.02.2024'", "0"}, {"DATAN<'01.01.2000'", "1 3"}}},
        {"ACTIV", {"True", "False", "", "True"}, "2 1 0 3", {{"ACTIV", "0 3"}, {"ACTIV=F", "1"}}},
    };
}

TEST(FieldValueFamilies, DBaseThreeIncludingMemo) {
    TempDir dir;
    std::vector<Col> cols = CharacterColumns();
    cols.push_back({"OBS", 'M', 10});
    std::vector<std::vector<std::string>> rows = CharacterRows();
    const char* pointers[] = {"         1", "          ", "          ", "          "};
    for (size_t r = 0; r < rows.size(); ++r) rows[r].push_back(pointers[r]);
    test::WriteFileBytes(dir.File("t.dbf"), TableBytes(0x83, false, cols, rows));
    std::string memo(1024, '\0');
    memo.replace(0, 4, LE32(2));
    memo.replace(512, 6, "NOTA\x1A\x1A");
    test::WriteFileBytes(dir.File("t.dbt"), memo);
    const auto file = DbfFile::Open(dir.File("t.dbf"));
    const int obs = file->FieldIndex("OBS");
    EXPECT_EQ(file->Text(file->Record(0), obs, FormatSettings{}), "NOTA");
    EXPECT_TRUE(file->IsEmpty(file->Record(1), obs));
    EXPECT_THROW(OrderedRecords(*file, obs), DbfError);  // memo fields have no order
    CheckFamily(dir.File("t.dbf"), CharacterCases());
}

TEST(FieldValueFamilies, DBaseFourFiveAndFoxProTwo) {
    for (const uint8_t version : {0x04, 0x05, 0xFB}) {
        SCOPED_TRACE(int(version));
        TempDir dir;
        test::WriteFileBytes(dir.File("t.dbf"),
                             TableBytes(version, false, CharacterColumns(), CharacterRows()));
        CheckFamily(dir.File("t.dbf"), CharacterCases());
    }
}

// Level 7: long integers and doubles big-endian with the sign bit flipped, timestamps.
TEST(FieldValueFamilies, DBaseSevenBinaryFields) {
    TempDir dir;
    const std::vector<Col> cols = {
        {"N", 'I', 4}, {"CONTOR", '+', 4}, {"VALOARE", 'O', 8}, {"MOMENT", '@', 8}};
    const std::vector<std::vector<std::string>> rows = {
        {Dbase7Int(5), Dbase7Int(1), Dbase7Double(2.5), Dbase7Stamp(2000, 1, 1, 37800000)},
        {Dbase7Int(-3), Dbase7Int(2), Dbase7Double(-1.5), std::string(8, '\0')},
        {Dbase7Int(1000), Dbase7Int(3), Dbase7Double(0), Dbase7Stamp(1999, 12, 31, 86399000)},
        {Dbase7Int(0), Dbase7Int(4), Dbase7Double(1e10), Dbase7Stamp(1900, 3, 1, 0)}};
    test::WriteFileBytes(dir.File("t.dbf"), TableBytes(0x04, true, cols, rows));
    CheckFamily(dir.File("t.dbf"),
                {{"N",
                  {"5", "-3", "1000", "0"},
                  "1 3 0 2",
                  {{"N=5", "0"}, {"N>10", "2"}, {"N<0", "1"}, {"N>=0", "0 2 3"}}},
                 {"CONTOR", {"1", "2", "3", "4"}, "0 1 2 3", {{"CONTOR>2", "2 3"}}},
                 {"VALOARE",
                  {"2,5", "-1,5", "0", "10000000000"},
                  "1 2 0 3",
                  {{"VALOARE>0", "0 3"}, {"VALOARE=-1,5", "1"}}},
                 {"MOMENT",
                  {"01.01.2000 10:30:00", "", "31.12.1999 23:59:59", "01.03.1900 00:00:00"},
                  "1 3 2 0",
                  {{"MOMENT>'31.12.1999'", "0 2"}, {"MOMENT='01.01.2000 10:30'", "0"}}}});
}

// Visual FoxPro: binary fields, varchar and varbinary lengths, and nulls in _NullFlags. Bits:
// I null 0, B null 1, T null 2, V length 3 and null 4, Q length 5.
TEST(FieldValueFamilies, VisualFoxProWithNulls) {
    TempDir dir;
    const std::vector<Col> cols = {{"ID", 'I', 4, 0, 0x02},    {"PRET", 'B', 8, 2, 0x02},
                                   {"BANI", 'Y', 8},           {"MOMENT", 'T', 8, 0, 0x02},
                                   {"NUME", 'V', 10, 0, 0x02}, {"COD", 'Q', 6},
                                   {"POZA", 'G', 4},           {"_NullFlags", '0', 1, 0, 0x05}};
    const std::vector<std::vector<std::string>> rows = {
        {LE32(7), Bytes(Bits(2.5), 8, false), Bytes(25000, 8, false), FoxTime(2000, 1, 1, 37800000),
         Short("ABC", 10), Short("AB", 6), LE32(0), "\x28"},
        {LE32(0), Bytes(Bits(-1), 8, false), Bytes(uint64_t(-10000), 8, false),
         std::string(8, '\0'), std::string(10, ' '), "ABCDEF", LE32(5), "\x15"},
        {LE32(0), std::string(8, '\0'), Bytes(0, 8, false), std::string(8, '\0'), Left("", 10),
         Short("", 6), LE32(0), "\x22"},
        {LE32(-5), Bytes(Bits(1e10), 8, false), Bytes(12345, 8, false),
         FoxTime(1999, 12, 31, 86399000), "ABCDEFGHIJ", Short("Z", 6), LE32(0), "\x20"}};
    test::WriteFileBytes(dir.File("t.dbf"), TableBytes(0x30, false, cols, rows));
    // A null reads as empty everywhere: ID=0 does not keep the null row that stores 0.
    CheckFamily(dir.File("t.dbf"),
                {{"ID", {"7", "", "0", "-5"}, "1 3 2 0", {{"ID=0", "2"}, {"ID>0", "0"}}},
                 {"PRET",
                  {"2,5", "-1", "", "10000000000"},
                  "2 1 0 3",
                  {{"PRET>=-1", "0 1 3"}, {"PRET=''", "2"}}},
                 {"BANI", {"2,5", "-1", "0", "1,2345"}, "1 2 3 0", {{"BANI=1.2345", "3"}}},
                 {"MOMENT",
                  {"01.01.2000 10:30:00", "", "", "31.12.1999 23:59:59"},
                  "1 2 3 0",
                  {{"MOMENT>'31.12.1999'", "0 3"}}},
                 {"NUME",
                  {"ABC", "", "", "ABCDEFGHIJ"},
                  "1 2 0 3",
                  {{"NUME='ABC'", "0"}, {"NUME>'ABC'", "3"}}},
                 {"COD", {"AB", "ABCDEF", "", "Z"}, "2 0 1 3", {}}});
    const auto file = DbfFile::Open(dir.File("t.dbf"));
    const int poza = file->FieldIndex("POZA");
    for (uint32_t r = 0; r < 4; ++r) EXPECT_EQ(file->IsEmpty(file->Record(r), poza), r != 1);
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// Stored digits of N fields: the double read must be the one strtod gives for the same
// decimal, and `exact` must be false only beyond 15 significant digits.
TEST(FieldValueNumbers, StoredDigitsReadAsTheirNearestDouble) {
    DbfLayout layout;
    layout.fields.push_back(FieldLayout{FieldDef{"N", 'N', 20, 4, 1}});
    const FieldReader reader(layout, layout.fields[0]);
    const struct {
        const char* stored;
        ValueKind kind;
        double value;
        bool exact;
    } cases[] = {
        {"0.1", ValueKind::Number, 0.1, true},
        {"-12.50", ValueKind::Number, -12.5, true},
        {"-0.00", ValueKind::Number, 0.0, true},
        {"+7", ValueKind::Number, 7, true},
        {"999999999999999", ValueKind::Number, 999999999999999.0, true},
        {"0.000000000000001", ValueKind::Number, 1e-15, true},
        {"1234567890.12345", ValueKind::Number, 1234567890.12345, true},
        {"12345678901234567", ValueKind::Number, 12345678901234567.0, false},
        {"1.5E+03", ValueKind::Number, 1500, true},
        {"- 5", ValueKind::Number, -5, true},
        {"1,5", ValueKind::Invalid, 0, true},
        {".", ValueKind::Invalid, 0, true},
        {"inf", ValueKind::Invalid, 0, true},
        {"", ValueKind::Empty, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        std::string record = " " + std::string(20 - std::strlen(c.stored), ' ') + c.stored;
        const FieldValue v = reader.Read(reinterpret_cast<const uint8_t*>(record.data()));
        EXPECT_EQ(v.kind, c.kind);
        if (c.kind != ValueKind::Number) continue;
        EXPECT_EQ(v.number, c.value);
        EXPECT_FALSE(std::signbit(v.number) && v.number == 0);
        EXPECT_EQ(v.exact, c.exact);
    }
}

}  // namespace
}  // namespace orbelan
