// A table's structure changed: every value kept (or converted and read back the same), untouched
// fields and memo texts byte for byte, and values that don't fit never lost without a yes.
#include "editing/structure_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/argument_error.h"
#include "editing/commands_fixture.h"
#include "engine/dbf_file.h"
#include "engine/field_list.h"
#include "engine/table.h"
#include "support/dbf_builder.h"

namespace orbelan {
namespace {

class StructureTest : public test::CommandsTest {
  protected:
    std::string OpenMemoTable() {
        const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
        ws.CurrentFile = path;
        ws.OpenTable();
        return path;
    }
    // Every value of a field, by name, row by row.
    std::vector<std::string> Values(const std::string& field) { return Column(field); }
    // The stored bytes of a field in every record.
    std::string Bytes(const std::string& field) {
        const DbfFile& f = ws.table.Data();
        const FieldDef& d = f.Fields()[static_cast<size_t>(f.FieldIndex(field))];
        std::string out;
        for (uint32_t r = 0; r < f.RecordCount(); ++r)
            out.append(reinterpret_cast<const char*>(f.Record(r)) + d.offset, d.size);
        return out;
    }
};

using K = StructureEdit::Kind;

TEST_F(StructureTest, ValuesKeptThroughEveryKindOfChange) {
    struct Case {
        const char* name;
        std::vector<StructureEdit> edits;
        std::vector<std::pair<const char*, const char*>> same;  // old field -> new field, same text
        const char* list;                                       // the fields after
    };
    const Case cases[] = {
        {"wider",
         {{K::Set, "NUME C(40)"}, {K::Set, "SUMA N(14,2)"}},
         {{"NUME", "NUME"}, {"OBS", "OBS"}, {"SUMA", "SUMA"}},
         "NUME C(40); PRENUME C(20); CNP C(13); SUMA N(14,2); NR N(5); DATAN D; ACTIV L; OBS M"},
        {"renamed and moved",
         {{K::Rename, "PRENUME=PREN"}, {K::Move, "OBS=1"}, {K::Drop, "CNP"}, {K::Add, "X N(3)"}},
         {{"PRENUME", "PREN"}, {"OBS", "OBS"}, {"SUMA", "SUMA"}},
         "OBS M; NUME C(30); PREN C(20); SUMA N(10,2); NR N(5); DATAN D; ACTIV L; X N(3)"},
        {"numbers, dates and logicals to text",
         {{K::Set, "SUMA C(12)"}, {K::Set, "DATAN C(10)"}, {K::Set, "NR N(8,2)"}},
         {{"SUMA", "SUMA"}, {"DATAN", "DATAN"}, {"OBS", "OBS"}},
         "NUME C(30); PRENUME C(20); CNP C(13); SUMA C(12); NR N(8,2); DATAN C(10); ACTIV L; "
         "OBS M"},
        {"text to memo",
         {{K::Set, "NUME M"}},
         {{"NUME", "NUME"}, {"OBS", "OBS"}},
         "NUME M; PRENUME C(20); CNP C(13); SUMA N(10,2); NR N(5); DATAN D; ACTIV L; OBS M"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = OpenMemoTable();
        std::vector<std::vector<std::string>> before;
        for (const auto& [from, to] : c.same) before.push_back(Values(from));
        const std::string cnp = Bytes("ACTIV");
        const auto result = ChangeStructure(ws, EditedStructure(ws.table, c.edits));
        ASSERT_TRUE(result.done);
        EXPECT_EQ(result.emptied, 0u);
        std::vector<FieldDef> fields;
        for (int i = 0; i < ws.table.FieldCount(); ++i) fields.push_back(ws.table.Field(i));
        EXPECT_EQ(FormatFieldList(fields), c.list);
        for (size_t i = 0; i < c.same.size(); ++i) EXPECT_EQ(Values(c.same[i].second), before[i]);
        EXPECT_EQ(Bytes("ACTIV"), cnp);
        ws.CloseTable();
        std::filesystem::remove(path);
    }
}

// The window shows the first misfits; the saved list holds every one of them.
TEST_F(StructureTest, SavedMisfitListHoldsEveryValue) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 150; ++i) rows.push_back({"NUME" + std::to_string(1000 + i)});
    const std::string path = dir.File("lung.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, rows);
    ws.CurrentFile = path;
    ws.OpenTable();
    const Misfits check = CheckStructureFit(ws, EditedStructure(ws.table, {{K::Set, "NUME C(5)"}}));
    EXPECT_EQ(check.count, 150u);
    EXPECT_EQ(check.listed.size(), Misfits::kListed);
    const std::string csv = check.Csv();
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 151);
    EXPECT_NE(csv.find("\r\n150,NUME,NUME1149,"), std::string::npos);
}

TEST_F(StructureTest, MisfitsListedAndLostOnlyAfterYes) {
    const std::string path = OpenMemoTable();
    const std::string original = test::ReadFileBytes(path);
    const NewStructure narrower = EditedStructure(
        ws.table, {{K::Set, "NUME C(7)"}, {K::Set, "NR N(1)"}, {K::Set, "OBS C(20)"}});

    const Misfits check = CheckStructureFit(ws, narrower);
    ASSERT_GT(check.count, 2u);
    EXPECT_EQ(check.listed[0].row, 1);
    EXPECT_EQ(check.listed[0].column, "OBS");  // NR N(1) holds 3: row 1's number fits
    EXPECT_EQ(check.listed[0].value.substr(0, 7), "Observa");
    const std::string text = MisfitsText(check);
    EXPECT_NE(text.find("Linia 2, NUME: \"\xC5\x9ETEF"), std::string::npos) << text;
    EXPECT_NE(text.find("Linia 5, NR: \"99999"), std::string::npos) << text;

    ui.mesajAnswers = {mrNo};
    EXPECT_FALSE(ChangeStructure(ws, narrower).done);
    EXPECT_EQ(test::ReadFileBytes(path), original);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("Aplicati oricum?"), std::string::npos);

    const std::vector<std::string> names = Values("NUME");
    const auto done = ChangeStructure(ws, narrower, true);
    EXPECT_TRUE(done.done);
    EXPECT_EQ(done.emptied, check.count);
    const std::vector<std::string> now = Values("NUME");
    const auto letters = [](const std::string& s) {
        return std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; });
    };
    for (size_t r = 0; r < names.size(); ++r)
        EXPECT_EQ(now[r], letters(names[r]) <= 7 ? names[r] : "") << r;
}

TEST_F(StructureTest, RefusedEditsAndStructures) {
    OpenMemoTable();
    struct Case {
        std::vector<StructureEdit> edits;
        const char* reason;
    };
    const Case cases[] = {
        {{{K::Drop, "NUMEX"}}, "nu are campul NUMEX"},
        {{{K::Rename, "NUME"}}, "NUME=NUMENOU"},
        {{{K::Rename, "NUME=PRENUME"}}, "apare de doua ori"},
        {{{K::Move, "NUME=9"}}, "de la 1 la 8"},
        {{{K::Add, "2X C(3)"}}, "sa inceapa cu o litera"},
        {{{K::Set, "NUME C(300)"}}, "intre 1 si 254"},
        {{{K::Drop, "NUME"},
          {K::Drop, "PRENUME"},
          {K::Drop, "CNP"},
          {K::Drop, "SUMA"},
          {K::Drop, "NR"},
          {K::Drop, "DATAN"},
          {K::Drop, "ACTIV"},
          {K::Drop, "OBS"}},
         "cel putin un camp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        try {
            ChangeStructure(ws, EditedStructure(ws.table, c.edits));
            ADD_FAILURE() << "accepted";
        } catch (const ArgumentError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

// Visual FoxPro keeps in the header what neither the structure window nor a field text shows: the
// autoincrement counter and step and the binary mark. A change made from the window (the fields
// as its grid gives them back) or by `alter --set` keeps them on the fields it keeps.
TEST_F(StructureTest, HiddenFoxProPropertiesKeptThroughAChange) {
    struct Case {
        const char* path;
        NewStructure (*structure)(const Table&);
    };
    const Case cases[] = {
        {"alter --set",
         [](const Table& t) {
             return EditedStructure(t, {{K::Set, "ORDERID I"},
                                        {K::Set, "EMPLOYEEID I NULL"},
                                        {K::Set, "SHIPVIA N(5) NULL"},
                                        {K::Add, "X N(3)"}});
         }},
        {"structure window",
         [](const Table& t) {
             NewStructure s = KeptStructure(t);
             for (FieldDef& f : s.fields) {  // the grid's fields: name, type, width, nulls
                 f.flags &= 0x02;
                 f.autoNext = 0;
                 f.autoStep = 0;
                 if (f.name == "SHIPVIA")
                     f = ParseFieldText("SHIPVIA N(5) NULL", DbfFamily::VisualFoxPro);
             }
             s.Add(ParseFieldText("X N(3)", DbfFamily::VisualFoxPro));
             return s;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ws.CloseTable();  // Windows replaces no open file
        ws.CurrentFile = dir.CopyData("visual_foxpro_autoincrement.dbf");
        ws.OpenTable();
        ASSERT_TRUE(ws.table.Active());
        const std::vector<std::string> ids = Values("ORDERID");
        ASSERT_TRUE(ChangeStructure(ws, c.structure(ws.table)).done);

        const std::vector<FieldDef>& fields = ws.table.Data().Fields();
        const auto field = [&](const char* name) {
            return fields[static_cast<size_t>(FindField(fields, name))];
        };
        EXPECT_TRUE(field("ORDERID").IsAutoIncrement());
        EXPECT_EQ(field("ORDERID").autoNext, 11078u);
        EXPECT_EQ(field("ORDERID").autoStep, 1);
        EXPECT_EQ(field("EMPLOYEEID").flags, 0x06);  // nullable and binary
        EXPECT_EQ(field("FREIGHT").flags, 0x06);
        EXPECT_EQ(field("SHIPVIA").flags, 0x02);  // another type: only what was asked
        EXPECT_EQ(field("X").flags, 0);
        EXPECT_EQ(Values("ORDERID"), ids);
    }
}

}  // namespace
}  // namespace orbelan
