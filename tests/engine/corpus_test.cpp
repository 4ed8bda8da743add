// Tables written by other programs read exactly as their expected readings (*.jsonl) say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "engine/dbf_file.h"
#include "engine/field_codec.h"
#include "engine/table.h"
#include "json_lines.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using test::Json;

struct Expected {
    Json header;
    Json fields;
    std::vector<Json> records;  // as listed: live ones first, deleted ones last
};

Expected LoadExpected(const std::string& name) {
    std::ifstream in(std::string(ORBELAN_TEST_DATA) + "/" + name + ".jsonl");
    Expected e;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        Json j = test::JsonParser::Parse(line);
        if (first) {
            e.header = j["_header"];
            e.fields = j["fields"];
            first = false;
        } else {
            e.records.push_back(j);
        }
    }
    return e;
}

// The engine's text form (with '.' and yyyy-MM-dd) against the reader's value.
void ExpectValue(const Json& v, const std::string& text, const std::string& where) {
    SCOPED_TRACE(where);
    switch (v.type) {
        case Json::Type::Null:
            EXPECT_EQ(text, "");
            break;
        case Json::Type::String:
            EXPECT_EQ(text, v.text);
            break;
        case Json::Type::Bool:
            EXPECT_EQ(text, v.boolean ? "True" : "False");
            break;
        case Json::Type::Number: {
            ASSERT_FALSE(text.empty());
            const double got = std::stod(text);
            EXPECT_NEAR(got, v.number, std::fabs(v.number) * 1e-12 + 1e-9) << text;
            break;
        }
        case Json::Type::Object:
            if (v.Has("date")) {
                EXPECT_EQ(text, v["date"].text);
            } else if (v.Has("dt")) {
                std::string dt = v["dt"].text;
                std::replace(dt.begin(), dt.end(), 'T', ' ');
                EXPECT_EQ(text, dt);
            } else if (v.Has("dec")) {
                EXPECT_EQ(CanonicalNumber(text), CanonicalNumber(v["dec"].text)) << text;
            } else {
                ADD_FAILURE() << "unknown value kind";
            }
            break;
        default:
            ADD_FAILURE() << "unexpected value";
    }
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, ReadsAsTheIndependentReaderDid) {
    const std::string name = GetParam();
    const Expected e = LoadExpected(name);
    test::TempDir dir;
    const std::string path = dir.CopyData(name + ".dbf");

    Table t;
    t.SetTableName(path);
    t.SetDefaultCodePage("cp1250");  // tables without a language driver are cp1250 here
    t.SetFormatSettings(FormatSettings{'.', "yyyy-MM-dd"});
    if (e.header["byte28"].number != 0) DetachIndex(path);
    t.Open();

    const HeaderInfo& h = t.Header();
    EXPECT_EQ(h.version, e.header["version"].number);
    EXPECT_EQ(h.languageDriver, e.header["ldid"].number);
    EXPECT_EQ(h.recordCount, e.header["numrecords"].number);
    EXPECT_EQ(h.headerLength, e.header["headerlen"].number);
    EXPECT_EQ(h.recordLength, e.header["recordlen"].number);
    EXPECT_EQ(h.codePage, e.header["encoding"].text);

    ASSERT_EQ(t.FieldCount(), static_cast<int>(e.fields.items.size()));
    for (int i = 0; i < t.FieldCount(); ++i) {
        const Json& f = e.fields[static_cast<size_t>(i)];
        EXPECT_EQ(t.Field(i).name, f[0].text);
        EXPECT_EQ(std::string(1, t.Field(i).type), f[1].text);
        EXPECT_EQ(t.Field(i).size, f[2].number);
        EXPECT_EQ(t.Field(i).decimals, f[3].number);
    }

    std::vector<Json> live;
    for (const Json& r : e.records)
        if (!r["deleted"].boolean) live.push_back(r);
    std::sort(live.begin(), live.end(),
              [](const Json& a, const Json& b) { return a["recno"].number < b["recno"].number; });
    EXPECT_EQ(t.RecordCount(), static_cast<int>(live.size()));

    t.First();
    for (const Json& r : live) {
        ASSERT_FALSE(t.Eof());
        EXPECT_EQ(t.PhysicalRecNo() + 1, r["recno"].number);
        for (int i = 0; i < t.FieldCount(); ++i)
            ExpectValue(r["values"][static_cast<size_t>(i)], t.AsText(i),
                        name + " #" + r["recno"].text + " " + t.Field(i).name);
        t.Next();
    }
    EXPECT_TRUE(t.Eof());

    // The deleted rows are still there for a reader without a cursor.
    DbfFile* file = nullptr;
    auto raw = DbfFile::Open(path);
    file = raw.get();
    for (const Json& r : e.records) {
        const auto index = static_cast<uint32_t>(r["recno"].number - 1);
        EXPECT_EQ(file->IsDeleted(index), r["deleted"].boolean);
        if (!r["deleted"].boolean) continue;
        for (int i = 0; i < file->FieldCount(); ++i)
            ExpectValue(r["values"][static_cast<size_t>(i)],
                        file->Text(file->Record(index), i, FormatSettings{'.', "yyyy-MM-dd"}),
                        name + " deleted #" + r["recno"].text);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, CorpusTest,
                         ::testing::Values("dbase3_memo_cp1250", "dbase3_mixed_case_names",
                                           "foxpro_memo_cp852", "gis_writer_cp1250",
                                           "missing_production_index", "office_suite_no_ldid",
                                           "visual_foxpro_types"));

TEST(CorpusIndex, MissingProductionIndexFailsUntilDetachedAndReadingChangesNothing) {
    test::TempDir dir;
    const std::string path = dir.CopyData("missing_production_index.dbf");
    const std::string before = test::ReadFileBytes(path);
    Table t;
    t.SetTableName(path);
    try {
        t.Open();
        FAIL() << "opened a table whose production index is missing";
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::MissingIndex);
        EXPECT_NE(std::string(e.what()).find("missing_production_index.mdx"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(test::ReadFileBytes(path), before);

    DetachIndex(path);
    const std::string after = test::ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[28], '\0');
    EXPECT_EQ(after.substr(29), before.substr(29));
    t.Open();
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(test::ReadFileBytes(path), after);  // reading writes nothing
}

}  // namespace
}  // namespace orbelan
