// A value typed as text means the same value wherever it is typed: writing the field, a filter
// constant, Locate. And null varchar values, which have no bytes at all, in filters and GROUP BY.
#include "engine/text_parse.h"

#include <gtest/gtest.h>

#include "engine/dbf_writer.h"
#include "engine/query.h"
#include "engine/table.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

const FormatSettings kFmt{',', "dd.MM.yyyy"};

// Visual FoxPro, for its T fields, with two rows to write into.
std::string MakeTypedTable(const test::TempDir& dir) {
    const std::string path = dir.File("TIPURI.DBF");
    DbfWriter::Definition def;
    def.version = 0x30;
    def.fields = {{"ACTIV", 'L', 1}, {"DATAN", 'D', 8}, {"MOMENT", 'T', 8}, {"SUMA", 'N', 10, 2}};
    DbfWriter w(path, def);
    for (int row = 0; row < 2; ++row) {
        w.BeginRow();
        w.EndRow();
    }
    w.Commit();
    return path;
}

TEST(TextParse, OneReadingForWritingFilterAndLocate) {
    struct Case {
        const char* field;
        const char* other;  // written to the first row, so a match must tell values apart
        const char* text;   // written to the second row
        bool accepted;
    };
    const Case cases[] = {
        {"ACTIV", "F", "YES", true},
        {"ACTIV", "F", "da", true},
        {"ACTIV", "T", "n", true},
        {"ACTIV", "F", ".Y.", true},
        {"ACTIV", "T", "0", true},
        {"ACTIV", "F", "poate", false},
        {"DATAN", "02.02.2003", "01.02.2003", true},
        {"DATAN", "02.02.2003", "20030201", true},
        {"DATAN", "02.02.2003", "2003-02-01", true},
        {"DATAN", "02.02.2003", "1.2.2003", true},
        {"DATAN", "02.02.2003", "31.02.2003", false},
        {"DATAN", "02.02.2003", "2003/02/01", false},
        {"MOMENT", "01.02.2003", "01.02.2003 10:30", true},
        {"MOMENT", "01.02.2003 10:30", "2003-02-01 10:30:15", true},
        {"MOMENT", "01.02.2003 10:30", "20030201", true},
        {"MOMENT", "01.02.2003", "01.02.2003 25:00", false},
        {"SUMA", "12", "12,5", true},
        {"SUMA", "12", "12.5", true},
        {"SUMA", "3", "-3", true},
        {"SUMA", "15", "1,5e2", true},
        {"SUMA", "12", "12a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
        test::TempDir dir;
        Table t;
        t.SetFormatSettings(kFmt);
        t.SetTableName(MakeTypedTable(dir));
        t.Open();
        t.SetText(c.field, c.other);
        t.Post();
        t.Next();
        const std::string filter = std::string(c.field) + "='" + c.text + "'";
        if (!c.accepted) {
            EXPECT_THROW(t.SetText(c.field, c.text), DbfError);
            t.Cancel();
            t.SetFilterText(filter);
            EXPECT_THROW(t.SetFiltered(true), DbfError);
            EXPECT_FALSE(t.Locate(c.field, c.text));
            continue;
        }
        t.SetText(c.field, c.text);
        t.Post();
        EXPECT_TRUE(t.Locate(c.field, c.text));
        EXPECT_EQ(t.RecNo(), 2);
        t.SetFilterText(filter);
        t.SetFiltered(true);
        EXPECT_EQ(t.RecordCount(), 1);
        EXPECT_EQ(t.PhysicalRecNo(), 1);
    }
}

// A nullable varchar holding NULL reads as a view without bytes.
std::string MakeNullVarchars(const test::TempDir& dir) {
    const std::string path = dir.File("NULE.DBF");
    DbfWriter::Definition def;
    def.version = 0x30;
    FieldDef nume{"NUME", 'V', 10};
    nume.flags = 0x02;
    def.fields = {nume};
    {
        DbfWriter w(path, def);
        w.BeginRow();
        w.SetText(0, "ION", kFmt);
        w.EndRow();
        w.Commit();
    }
    Table t;
    t.SetTableName(path);
    t.Open();
    for (int i = 0; i < 2; ++i) {
        t.Append();
        t.SetNull(0);
        t.Post();
    }
    return path;
}

// A sheet's logical column is spelled out, Romanian words too; a lone letter or digit there is
// an initial or a count, while a typed value takes it.
TEST(TextParse, LogicalWordsTypedAndSpelled) {
    const struct {
        const char* text;
        std::optional<bool> typed, spelled;
    } cases[] = {
        {"da", true, true},
        {" FALSE ", false, false},
        {"Adevarat", std::nullopt, true},
        {"fals", std::nullopt, false},
        {"N", false, std::nullopt},
        {"1", true, std::nullopt},
        {".T.", true, std::nullopt},
        {"poate", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseLogicalText(c.text), c.typed) << c.text;
        EXPECT_EQ(ParseLogicalText(c.text, LogicalWords::Spelled), c.spelled) << c.text;
    }
}

TEST(TextParse, NullVarcharsInFilterAndGroupBy) {
    test::TempDir dir;
    const std::string path = MakeNullVarchars(dir);
    Table t;
    t.SetTableName(path);
    t.Open();
    ASSERT_TRUE(t.Locate("NUME", ""));
    EXPECT_TRUE(t.IsNull(0));
    t.SetFilterText("NUME='*'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 3);
    t.SetFilterText("NUME='I*'");
    EXPECT_EQ(t.RecordCount(), 1);
    t.Close();

    Query q;
    q.SetFormatSettings(kFmt);
    q.AddSql("SELECT NUME, COUNT(*) AS NR FROM \"" + path + "\" GROUP BY NUME");
    q.Open();
    // The two nulls are one group, first; counted as the rows they stand for.
    std::vector<std::string> counts;
    for (q.First(); !q.Eof(); q.Next()) counts.push_back(q.AsText(1));
    EXPECT_EQ(counts, (std::vector<std::string>{"2", "1"}));
    q.First();
    EXPECT_EQ(q.AsText(0), "");
}

}  // namespace
}  // namespace orbelan
