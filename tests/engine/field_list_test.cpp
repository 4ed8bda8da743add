// The field list typed by a user (create, alter, import's types) and the values that go into a
// field of another type: every refusal a user can meet, and no value changed on the way.
#include "engine/field_list.h"

#include <gtest/gtest.h>

#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/value_convert.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

using Part = FieldProblem::Part;
const FormatSettings kFmt{',', "dd.MM.yyyy"};

TEST(FieldList, RulesOfNamesTypesWidthsAndDecimals) {
    struct Case {
        const char* list;
        DbfFamily family;
        const char* problem;  // a part of the reason; nullptr when the list is accepted
    };
    const Case cases[] = {
        {"NUME C(30); SUMA N(10,2); DATAN D; ACTIV L; OBS M", DbfFamily::DBase3, nullptr},
        {"nume c(1); Cod_2 N(20,15); X F(3,1)", DbfFamily::FoxPro, nullptr},
        {"ID I; PRET Y; GREU B(8,2); CAND T; TEXT V(40) NULL", DbfFamily::VisualFoxPro, nullptr},
        {"NUMEFOARTEL C(5)", DbfFamily::DBase3, "cel mult 10"},
        {"1NUME C(5)", DbfFamily::DBase3, "sa inceapa cu o litera"},
        {"_NUME C(5)", DbfFamily::DBase3, "sa inceapa cu o litera"},
        {"NUME-X C(5)", DbfFamily::DBase3, "doar litere"},
        {"DAT\xC4\x82 D", DbfFamily::DBase3, "scrieti DATA."},
        {"\xC8\x98"
         "COAL\xC4\x82 C(5)",
         DbfFamily::DBase3, "scrieti SCOALA."},
        {"NUME C(5); Nume N(3)", DbfFamily::DBase3, "apare de doua ori"},
        {"NUME C(0)", DbfFamily::DBase3, "intre 1 si 254"},
        {"NUME C(255)", DbfFamily::DBase3, "intre 1 si 254"},
        {"SUMA N(21)", DbfFamily::DBase3, "intre 1 si 20"},
        {"SUMA N(10,9)", DbfFamily::DBase3, "cel mult 8 zecimale"},
        {"SUMA N(2,1)", DbfFamily::DBase3, "cel mult 0 zecimale"},
        {"NUME C(10,2)", DbfFamily::DBase3, "nu are zecimale"},
        {"DATAN D(10)", DbfFamily::DBase3, "mereu lungimea 8"},
        {"ID I", DbfFamily::DBase4, "Tipul I nu exista in formatul dBase IV"},
        {"NUME C(5) NULL", DbfFamily::FoxPro, "Doar tabelele Visual FoxPro"},
        {"NUME C", DbfFamily::DBase3, "cere lungimea"},
        {"NUME", DbfFamily::DBase3, "nu are tip"},
        {"NUME C(5", DbfFamily::DBase3, "lipseste )"},
        {"NUME C(x)", DbfFamily::DBase3, "nu este un numar"},
        {"NUME C(5) ALTCEVA", DbfFamily::DBase3, "nu se intelege"},
        {" ; ", DbfFamily::DBase3, "cel putin un camp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        try {
            const auto fields = ParseFieldList(c.list, c.family);
            EXPECT_EQ(c.problem, nullptr) << "accepted";
            // What is accepted reads back the same from its own text.
            EXPECT_EQ(FormatFieldList(ParseFieldList(FormatFieldList(fields), c.family)),
                      FormatFieldList(fields));
        } catch (const FieldListError& e) {
            ASSERT_NE(c.problem, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << e.what();
        }
    }
}

// Fields and row bytes per format, counted before anything else; a table already past them may
// change as long as it gets no new field and no wider one.
TEST(FieldList, EachFormatsCountOfFieldsAndRowLength) {
    const auto list = [](int count, const char* type) {
        std::vector<FieldDef> fields;
        for (int i = 1; i <= count; ++i) {
            FieldDef f =
                ParseFieldText("F" + std::to_string(i) + " " + type, DbfFamily::VisualFoxPro);
            fields.push_back(f);
        }
        return fields;
    };
    struct Case {
        DbfFamily family;
        int count;
        const char* type;
        const char* problem;
        int index;
    };
    const Case cases[] = {
        {DbfFamily::DBase3, 128, "C(31)", nullptr, -1},
        {DbfFamily::DBase3, 129, "C(1)",
         "Un tabel dBase III are cel mult 128 de campuri; aici sunt 129.", 128},
        {DbfFamily::DBase4, 255, "N(15,2)", nullptr, -1},
        {DbfFamily::DBase4, 256, "N(15,2)", "cel mult 255 de campuri", 255},
        {DbfFamily::FoxPro, 300, "D", "cel mult 255 de campuri", 255},
        {DbfFamily::VisualFoxPro, 40000, "C(1)", "aici sunt 40000", 255},
        {DbfFamily::DBase3, 16, "C(250)", "Campurile ocupa 4001 octeti pe linie", 15},
        {DbfFamily::FoxPro, 16, "C(250)", "cel mult 4000.", 15},
        {DbfFamily::VisualFoxPro, 255, "C(254)", nullptr, -1},
        {DbfFamily::VisualFoxPro, 255, "V(254) NULL", nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " x " + c.type);
        int index = 0;
        const FieldProblem p = CheckFieldList(list(c.count, c.type), c.family, &index);
        EXPECT_EQ(p.text.empty(), c.problem == nullptr) << p.text;
        if (c.problem) {
            EXPECT_NE(p.text.find(c.problem), std::string::npos) << p.text;
        }
        EXPECT_EQ(index, c.index);
    }
    // A table of 200 fields from another program: renamed and narrowed, not given more.
    const std::vector<FieldDef> old = list(200, "C(30)");
    std::vector<const FieldDef*> originals;
    for (const FieldDef& f : old) originals.push_back(&f);
    std::vector<FieldDef> changed = old;
    changed[0].name = "NOU";
    changed[1].size = 20;
    EXPECT_FALSE(CheckChangedFieldList(changed, originals, DbfFamily::DBase3));
    changed[2].size = 31;
    EXPECT_TRUE(CheckChangedFieldList(changed, originals, DbfFamily::DBase3));
    changed[2].size = 30;
    changed.push_back({"X", 'C', 1});
    originals.push_back(nullptr);
    EXPECT_TRUE(CheckChangedFieldList(changed, originals, DbfFamily::DBase3));
}

TEST(FieldList, ParsedFieldsAndTheCellAtFault) {
    const auto fields = ParseFieldList("NUME C(30); SUMA N(10,2); DATAN D; OBS M; CANT I NULL",
                                       DbfFamily::VisualFoxPro);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[1].size, 10);
    EXPECT_EQ(fields[1].decimals, 2);
    EXPECT_EQ(fields[3].size, 4);  // a Visual FoxPro memo pointer
    EXPECT_EQ(fields[4].flags & 0x02, 0x02);
    EXPECT_EQ(FormatFieldList(fields), "NUME C(30); SUMA N(10,2); DATAN D; OBS M; CANT I NULL");

    struct Case {
        FieldDef field;
        Part part;
    };
    const Case cases[] = {
        {{"", 'C', 5}, Part::Name},
        {{"A", 'X', 5}, Part::Type},
        {{"A", 'N', 30}, Part::Width},
        {{"A", 'N', 5, 4}, Part::Decimals},
        {{"A", 'L', 1, 0, 0, 0x02}, Part::Null},
        {{"A", 'N', 5, 2}, Part::None},
    };
    int index = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(CheckField(c.field, DbfFamily::DBase3).part, c.part) << c.field.name;
        CheckFieldList({{"B", 'C', 1}, c.field}, DbfFamily::DBase3, &index);
        EXPECT_EQ(index, c.part == Part::None ? -1 : 1);
    }
}

// Each type of field into each other type: a value goes across unchanged in meaning or is
// refused with the reason, never cut or rounded away.
TEST(ValueConvert, EachTypeIntoEachOther) {
    test::TempDir dir;
    const std::string path = dir.File("SURSA.DBF");
    DbfWriter::Definition def;
    def.version = 0x30;
    def.fields = {{"TEXT", 'C', 20}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8},
                  {"ACTIV", 'L', 1}, {"OBS", 'M', 4},     {"ID", 'I', 4},
                  {"CAND", 'T', 8},  {"PRET", 'Y', 8},    {"LUNG", 'C', 20}};
    {
        DbfWriter w(path, def);
        w.BeginRow();
        w.SetText(0, "12,5", kFmt);
        w.SetText(1, "1234,56", kFmt);
        w.SetText(2, "24.01.2020", kFmt);
        w.SetText(3, "DA", kFmt);
        w.SetMemo(4, "o\xC5\x9F memo");
        w.SetText(5, "42", kFmt);
        w.SetText(6, "24.01.2020 10:30:00", kFmt);
        w.SetText(7, "3,25", kFmt);
        w.SetText(8, "Ana are mere", kFmt);
        w.EndRow();
        w.Commit();
    }
    auto src = DbfFile::Open(path, {});
    const auto page = CodePage::Get("cp1250");
    const uint8_t* rec = src->Record(0);

    struct Case {
        int field;
        FieldDef target;
        const char* text;  // stored text on success
        ConvertFailure failure;
    };
    using F = ConvertFailure;
    const Case cases[] = {
        {0, {"X", 'N', 6, 2}, "12.50", F::None},
        {0, {"X", 'N', 4, 2}, "", F::Overflow},
        {0, {"X", 'I', 4}, "", F::NotAnInteger},
        {0, {"X", 'D', 8}, "", F::NotADate},
        {0, {"X", 'L', 1}, "", F::NotALogical},
        {0, {"X", 'C', 3}, "", F::TooLong},
        {0, {"X", 'C', 4}, "12,5", F::None},
        {8, {"X", 'C', 11}, "", F::TooLong},
        {8, {"X", 'N', 10}, "", F::NotANumber},
        {1, {"X", 'C', 7}, "1234,56", F::None},
        {1, {"X", 'N', 6, 1}, "1234.6", F::None},
        {1, {"X", 'N', 5, 1}, "", F::Overflow},
        {1, {"X", 'Y', 8}, "1234.5600", F::None},
        {1, {"X", 'B', 8}, "1234.56", F::None},
        {2, {"X", 'C', 10}, "24.01.2020", F::None},
        {2, {"X", 'T', 8}, "20200124 00:00:00", F::None},
        {2, {"X", 'N', 10}, "", F::NotANumber},
        {3, {"X", 'C', 1}, "T", F::None},
        {3, {"X", 'C', 5}, "True", F::None},
        {3, {"X", 'N', 3}, "", F::NotANumber},
        {4, {"X", 'C', 7}, "o\xC5\x9F memo", F::None},
        {4, {"X", 'C', 6}, "", F::TooLong},
        {5, {"X", 'N', 2}, "42", F::None},
        {5, {"X", 'N', 1}, "", F::Overflow},
        {5, {"X", 'L', 1}, "", F::NotALogical},
        {5, {"X", 'M', 4}, "42", F::None},
        {6, {"X", 'D', 8}, "", F::NotADate},  // the time would be lost
        {6, {"X", 'C', 19}, "24.01.2020 10:30:00", F::None},
        {7, {"X", 'N', 4, 1}, "3.3", F::None},
        {7, {"X", 'I', 4}, "", F::NotAnInteger},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(src->Fields()[c.field].name + " -> " + FieldTypeText(c.target));
        const Converted v = ConvertField(*src, rec, c.field, c.target, *page, kFmt);
        EXPECT_EQ(v.failure, c.failure) << v.reason;
        EXPECT_EQ(v.text, c.text);
        EXPECT_EQ(v.reason.empty(), c.failure == F::None);
    }
}

TEST(ValueConvert, TypedTextAndItsLimits) {
    const auto page = CodePage::Get("cp1250");
    struct Case {
        const char* text;
        FieldDef target;
        const char* stored;
        ConvertFailure failure;
    };
    using F = ConvertFailure;
    const Case cases[] = {
        {"  ", {"X", 'N', 5}, "", F::None},
        {"-1,005", {"X", 'N', 6, 2}, "-1.01", F::None},
        {"2147483648", {"X", 'I', 4}, "", F::Overflow},
        {"-2147483648", {"X", 'I', 4}, "-2147483648", F::None},
        {"922337203685478", {"X", 'Y', 8}, "", F::Overflow},
        {"2020-01-24", {"X", 'D', 8}, "20200124", F::None},
        {"31.02.2020", {"X", 'D', 8}, "", F::NotADate},
        {"nu", {"X", 'L', 1}, "F", F::None},
        {"poate", {"X", 'L', 1}, "", F::NotALogical},
        {"\xC8\x98"
         "coala",
         {"X", 'C', 6},
         "\xC8\x98"
         "coala",
         F::None},
        {"\xE2\x82\xAC", {"X", 'C', 6}, "\xE2\x82\xAC", F::None},  // the euro is in cp1250
        {"\xE4\xB8\xAD", {"X", 'C', 6}, "", F::MissingCharacter},
        {"\xE4\xB8\xAD", {"X", 'M', 4}, "", F::MissingCharacter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Converted v = ConvertText(c.text, c.target, *page, kFmt);
        EXPECT_EQ(v.failure, c.failure) << v.reason;
        EXPECT_EQ(v.text, c.stored);
    }
}

}  // namespace
}  // namespace orbelan
