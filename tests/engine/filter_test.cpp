#include "engine/filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

namespace orbelan {
namespace {

// Builds records byte by byte as a DBF file holds them: flag byte, then the fields in order.
class FilterTest : public ::testing::Test {
  protected:
    FilterTest() : cp_(CodePage::Get("cp1250")) {}

    void AddField(const std::string& name, char type, int size, int decimals = 0) {
        FieldDef f;
        f.name = name;
        f.type = type;
        f.size = size;
        f.decimals = decimals;
        f.offset = recordLength_;
        recordLength_ += size;
        fields_.push_back(f);
    }

    // Values as the file stores them: text fields left-aligned and padded, N/F right-aligned;
    // a value of a binary field is given as raw bytes.
    void AddRow(std::initializer_list<std::string> values) {
        std::vector<uint8_t> r(static_cast<size_t>(recordLength_), ' ');
        size_t i = 0;
        for (const std::string& utf8 : values) {
            const FieldDef& f = fields_.at(i++);
            const std::string v = f.type == 'C' ? cp_->Encode(utf8) : utf8;
            ASSERT_LE(v.size(), static_cast<size_t>(f.size)) << f.name;
            const size_t at =
                f.type == 'N' || f.type == 'F' ? f.offset + f.size - v.size() : f.offset;
            std::memcpy(r.data() + at, v.data(), v.size());
        }
        rows_.push_back(std::move(r));
    }

    std::unique_ptr<FilterExpression> Compile(std::string_view text, bool sql = false) {
        return FilterExpression::Compile(text, fields_, *cp_, format_, sql);
    }

    // Numbers (from 0) of the rows the expression keeps, as "0 2 3".
    std::string Kept(std::string_view text, bool sql = false) {
        const auto f = Compile(text, sql);
        std::string out;
        for (size_t i = 0; i < rows_.size(); ++i) {
            if (!f->Matches(rows_[i].data())) continue;
            if (!out.empty()) out += ' ';
            out += std::to_string(i);
        }
        return out;
    }

    std::string ErrorOf(std::string_view text, bool sql = false) {
        try {
            Compile(text, sql);
        } catch (const DbfError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Filter);
            return e.what();
        }
        return "(no error)";
    }

    std::shared_ptr<const CodePage> cp_;
    FormatSettings format_;
    std::vector<FieldDef> fields_;
    int recordLength_ = 1;
    std::vector<std::vector<uint8_t>> rows_;
};

std::string Int32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return s;
}

std::string Int64(int64_t v) {
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i)
        s[i] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
    return s;
}

std::string DoubleLE(double d) {
    int64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    return Int64(bits);
}

// dBase 7 'O': big-endian, sign bit flipped for positives, all bits for negatives.
std::string DoubleSortable(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    bits = d >= 0 ? bits | (uint64_t(1) << 63) : ~bits;
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i) s[7 - i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return s;
}

TEST_F(FilterTest, CharacterFieldsCompareInRomanianOrderIgnoringTrailingBlanks) {
    AddField("NUME", 'C', 10);
    AddRow({"POP"});
    AddRow({"pop"});
    AddRow({"POPESCU"});
    AddRow({""});
    AddRow({"O'NEIL"});
    AddRow({"Ăbc"});  // cp1250 0xC3, but after A and before B: before POP
    AddRow({"  POP"});

    EXPECT_EQ(Kept("NUME='POP'"), "0");  // case-sensitive, padding ignored
    EXPECT_EQ(Kept("NUME='POP   '"), "0");
    EXPECT_EQ(Kept("NUME<>'POP'"), "1 2 3 4 5 6");
    EXPECT_EQ(Kept("NUME>'POP'"), "1 2");
    EXPECT_EQ(Kept("NUME<='POP'"), "0 3 4 5 6");
    EXPECT_EQ(Kept("NUME>'zzz'"), "");
    EXPECT_EQ(Kept("NUME=''"), "3");
    EXPECT_EQ(Kept("NUME='O''NEIL'"), "4");
    EXPECT_EQ(Kept("NUME='Ăbc'"), "5");
    EXPECT_EQ(Kept("'POP'=NUME"), "0");
    EXPECT_EQ(Kept("'POP'<NUME"), "1 2");
}

TEST_F(FilterTest, TrailingStarMatchesAnyEndingOnlyInTheFilterBox) {
    AddField("NUME", 'C', 12);
    AddRow({"IONEL"});
    AddRow({"IONELA MARIA"});
    AddRow({"ION"});
    AddRow({""});
    AddRow({"IONEL*"});

    EXPECT_EQ(Kept("NUME='IONEL*'"), "0 1 4");
    EXPECT_EQ(Kept("NUME<>'IONEL*'"), "2 3");
    EXPECT_EQ(Kept("NUME='*'"), "0 1 2 3 4");
    EXPECT_EQ(Kept("NUME='IONELA MARIA PLUS*'"), "");  // longer than the field
    EXPECT_EQ(Kept("NUME>'IONEL*'"), "1");             // the star is literal with an order
    EXPECT_EQ(Kept("NUME=\"IONEL*\"", true), "4");     // SQL: literal text
    EXPECT_EQ(Kept("NUME='IONEL*'", true), "4");
}

TEST_F(FilterTest, NumericFieldsCompareByValueWithEmptyBelowEverything) {
    AddField("SUMA", 'N', 8, 2);
    AddRow({"12.00"});
    AddRow({"12.50"});
    AddRow({"-3.00"});
    AddRow({""});
    AddRow({"0.00"});
    AddRow({"***"});  // overflow marker: compared as text

    EXPECT_EQ(Kept("SUMA=12"), "0");
    EXPECT_EQ(Kept("SUMA=12,5"), "1");  // the format's decimal separator
    EXPECT_EQ(Kept("SUMA=12.5"), "1");
    EXPECT_EQ(Kept("SUMA='12,50'"), "1");
    EXPECT_EQ(Kept("SUMA=0"), "4");
    EXPECT_EQ(Kept("SUMA<0"), "2 3 5");      // "***" < "0" as text
    EXPECT_EQ(Kept("SUMA>=-3"), "0 1 2 4");  // "***" < "-3" as text
    EXPECT_EQ(Kept("SUMA=''"), "3");
    EXPECT_EQ(Kept("SUMA<>''"), "0 1 2 4 5");
    EXPECT_EQ(Kept("SUMA<100"), "0 1 2 3 4 5");
}

TEST_F(FilterTest, BinaryNumericFieldsAndFieldToFieldComparisons) {
    AddField("ID", 'I', 4);
    AddField("PRET", 'B', 8);
    AddField("BANI", 'Y', 8);
    AddField("VAL", 'O', 8);
    AddField("CANT", 'N', 5);
    AddRow({Int32(7), DoubleLE(2.5), Int64(25000), DoubleSortable(-1.5), "7"});
    AddRow({Int32(-2), DoubleLE(10), Int64(-10000), DoubleSortable(3), "5"});
    AddRow({Int32(100000), DoubleLE(0), Int64(0), DoubleSortable(0), ""});

    EXPECT_EQ(Kept("ID=7"), "0");
    EXPECT_EQ(Kept("ID<0"), "1");
    EXPECT_EQ(Kept("PRET=2,5"), "0");
    EXPECT_EQ(Kept("BANI=2.5"), "0");
    EXPECT_EQ(Kept("BANI<0"), "1");
    EXPECT_EQ(Kept("VAL<0"), "0");
    EXPECT_EQ(Kept("VAL>=3"), "1");
    EXPECT_EQ(Kept("ID=CANT"), "0");
    EXPECT_EQ(Kept("ID>CANT"), "2");  // the empty CANT is below every value
    EXPECT_EQ(Kept("CANT<ID"), "2");
    EXPECT_EQ(Kept("PRET=BANI"), "0 2");
    EXPECT_EQ(Kept("5<CANT"), "0");  // the constant first
}

TEST_F(FilterTest, DatesTakeTheShortDateFormatAndOtherWrittenForms) {
    AddField("DATAN", 'D', 8);
    AddField("DATAS", 'D', 8);
    AddRow({"19991231", "20000101"});
    AddRow({"20000101", "20000101"});
    AddRow({"20240229", ""});
    AddRow({"", "19000101"});
    AddRow({"2000XX01", "00000000"});  // damaged, compared by its text; zeros mean no date

    EXPECT_EQ(Kept("DATAN>'01.01.2000'"), "2 4");
    EXPECT_EQ(Kept("DATAN='1.1.2000'"), "1");
    EXPECT_EQ(Kept("DATAN={01.01.2000}"), "1");
    EXPECT_EQ(Kept("DATAN='20000101'"), "1");
    EXPECT_EQ(Kept("DATAN='2000-01-01'"), "1");
    EXPECT_EQ(Kept("DATAN=20000101"), "1");
    EXPECT_EQ(Kept("DATAN<'01.01.1800'"), "3");  // empty is below every date
    EXPECT_EQ(Kept("DATAN=''"), "3");
    EXPECT_EQ(Kept("DATAS={}"), "2 4");
    EXPECT_EQ(Kept("DATAN=DATAS"), "1");
    EXPECT_EQ(Kept("DATAN<DATAS"), "0 3");

    format_.shortDateFormat = "MM/dd/yyyy";
    EXPECT_EQ(Kept("DATAN='02/29/2024'"), "2");
}

TEST_F(FilterTest, DateTimeFieldsTakeAnOptionalTime) {
    AddField("MOMENT", 'T', 8);
    const int32_t julian2000 = 2451545;  // 1 January 2000
    AddRow({Int32(julian2000) + Int32(0)});
    AddRow({Int32(julian2000) + Int32((10 * 3600 + 30 * 60) * 1000)});
    AddRow({std::string(8, '\0')});

    EXPECT_EQ(Kept("MOMENT='01.01.2000'"), "0");
    EXPECT_EQ(Kept("MOMENT='01.01.2000 10:30'"), "1");
    EXPECT_EQ(Kept("MOMENT>'01.01.2000 10:29:59'"), "1");
    EXPECT_EQ(Kept("MOMENT<'01.01.2000'"), "2");
}

TEST_F(FilterTest, LogicalFields) {
    AddField("ACTIV", 'L', 1);
    AddField("PLATIT", 'L', 1);
    AddRow({"T", "T"});
    AddRow({"F", "T"});
    AddRow({"?", "F"});
    AddRow({"y", "n"});

    EXPECT_EQ(Kept("ACTIV=T"), "0 3");
    EXPECT_EQ(Kept("ACTIV=.T."), "0 3");
    EXPECT_EQ(Kept("ACTIV=true"), "0 3");
    EXPECT_EQ(Kept("ACTIV='F'"), "1");
    EXPECT_EQ(Kept("ACTIV<>.F."), "0 2 3");
    EXPECT_EQ(Kept("ACTIV"), "0 3");
    EXPECT_EQ(Kept("NOT ACTIV"), "1 2");
    EXPECT_EQ(Kept("ACTIV=PLATIT"), "0");
    EXPECT_EQ(Kept("ACTIV=''"), "2");
}

TEST_F(FilterTest, LogicalOperatorsPrecedenceAndSpellings) {
    AddField("NUME", 'C', 10);
    AddField("SUMA", 'N', 5);
    AddRow({"ANA", "1"});
    AddRow({"ANA", "2"});
    AddRow({"DAN", "1"});
    AddRow({"DAN", "3"});

    // NOT before AND before OR
    EXPECT_EQ(Kept("NUME='DAN' OR NUME='ANA' AND SUMA=2"), "1 2 3");
    EXPECT_EQ(Kept("(NUME='DAN' OR NUME='ANA') AND SUMA=1"), "0 2");
    EXPECT_EQ(Kept("NOT NUME='ANA' AND SUMA=1"), "2");
    EXPECT_EQ(Kept("NOT (NUME='ANA' AND SUMA=1)"), "1 2 3");
    EXPECT_EQ(Kept("NOT NOT SUMA=3"), "3");
    EXPECT_EQ(Kept("nume='ANA' and Suma>1"), "1");
    EXPECT_EQ(Kept("NUME='ANA'.AND.SUMA=1.OR.SUMA=3"), "0 3");
    EXPECT_EQ(Kept(".NOT. SUMA=1"), "1 3");
    EXPECT_EQ(Kept("SUMA#1"), "1 3");
    EXPECT_EQ(Kept("SUMA!=1"), "1 3");
    EXPECT_EQ(Kept("[SUMA] = 2"), "1");
    EXPECT_EQ(Kept("\"NUME\"='DAN' AND SUMA=3"), "3");      // a quoted name in the filter box
    EXPECT_EQ(Kept("NUME=\"DAN\" AND SUMA=3", true), "3");  // a quoted text in SQL
    EXPECT_EQ(Kept(" ( ( SUMA = 3 ) ) "), "3");
}

TEST_F(FilterTest, FaultsNameTheirPosition) {
    AddField("NUME", 'C', 10);
    AddField("SUMA", 'N', 5);
    AddField("DATAN", 'D', 8);
    AddField("ACTIV", 'L', 1);
    AddField("OBS", 'M', 10);
    AddField("POZA", 'G', 10);

    EXPECT_EQ(ErrorOf("SUMMA=12"), "Filtru incorect la pozitia 1: camp necunoscut 'SUMMA'.");
    EXPECT_EQ(ErrorOf("SUMA=12 AND (NUME='A'"),
              "Filtru incorect la pozitia 22: lipseste ')' pentru '(' de la pozitia 13.");
    EXPECT_EQ(ErrorOf("SUMA=12)"), "Filtru incorect la pozitia 8: ')' fara '(' pereche.");
    EXPECT_EQ(ErrorOf("NUME='POP"),
              "Filtru incorect la pozitia 6: text neterminat: lipseste apostroful de inchidere.");
    EXPECT_EQ(ErrorOf("SUMA="),
              "Filtru incorect la pozitia 6: lipseste valoarea de comparat dupa '='.");
    EXPECT_EQ(ErrorOf("SUMA= AND NUME='A'"),
              "Filtru incorect la pozitia 7: lipseste valoarea de comparat dupa '='.");
    EXPECT_EQ(ErrorOf("SUMA=1 AND"),
              "Filtru incorect la pozitia 11: lipseste o conditie la sfarsitul expresiei.");
    EXPECT_EQ(
        ErrorOf("NUME 'A'"),
        "Filtru incorect la pozitia 6: lipseste operatorul de comparatie (=, <>, <, >, <=, >=) "
        "dupa 'NUME'.");
    EXPECT_EQ(ErrorOf("SUMA=1 NUME='A'"),
              "Filtru incorect la pozitia 8: lipseste AND sau OR inainte de 'NUME'.");
    EXPECT_EQ(ErrorOf("SUMA='abc'"),
              "Filtru incorect la pozitia 6: textul 'abc' nu se potriveste cu campul SUMA: campul "
              "este numeric.");
    EXPECT_EQ(ErrorOf("DATAN='31.02.2000'"),
              "Filtru incorect la pozitia 7: textul '31.02.2000' nu se potriveste cu campul DATAN: "
              "campul "
              "este de tip data, scrieti de exemplu '31.12.2000'.");
    EXPECT_EQ(
        ErrorOf("ACTIV=1"),
        "Filtru incorect la pozitia 7: '1' nu se potriveste cu campul ACTIV: campul este logic, "
        "scrieti T sau F.");
    EXPECT_EQ(
        ErrorOf("NUME=.T."),
        "Filtru incorect la pozitia 6: '.T.' nu se potriveste cu campul NUME: campul este de tip "
        "text, scrieti valoarea intre apostrofuri.");
    EXPECT_EQ(ErrorOf("OBS='x'"),
              "Filtru incorect la pozitia 1: campul memo OBS nu poate fi folosit in filtru.");
    EXPECT_EQ(ErrorOf("POZA='x'"),
              "Filtru incorect la pozitia 1: campul memo POZA nu poate fi folosit in filtru.");
    EXPECT_EQ(
        ErrorOf("NUME=SUMA"),
        "Filtru incorect la pozitia 5: campurile NUME si SUMA au tipuri care nu se pot compara.");
    EXPECT_EQ(ErrorOf("'A'='A'"),
              "Filtru incorect la pozitia 1: comparatia nu contine niciun camp.");
    EXPECT_EQ(ErrorOf("   "), "Filtru incorect la pozitia 1: expresia este goala.");
    EXPECT_EQ(ErrorOf("SUMA % 2"), "Filtru incorect la pozitia 6: caracter neasteptat '%'.");
    EXPECT_EQ(ErrorOf("NUME='A' .XOR. SUMA=1"),
              "Filtru incorect la pozitia 10: cuvant necunoscut '.XOR.'.");
    EXPECT_EQ(
        ErrorOf("NUME='中'"),
        "Filtru incorect la pozitia 6: textul '中' contine caractere care nu exista in codificarea "
        "tabelei (cp1250).");
    EXPECT_EQ(ErrorOf("NUME=\"POP\""), "Filtru incorect la pozitia 6: camp necunoscut 'POP'.");
    // Positions count characters, not bytes.
    EXPECT_EQ(ErrorOf("NUME='Ăă' AND X=1"), "Filtru incorect la pozitia 15: camp necunoscut 'X'.");
}

TEST_F(FilterTest, NestingIsBoundedSoTheStackHoldsIt) {
    AddField("ACTIV", 'L', 1);
    AddRow({"T"});
    // 200 levels still work, mixed; one more names the position of the one too many.
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "NOT (";
    EXPECT_EQ(Kept(deep + "ACTIV" + std::string(100, ')')), "0");
    EXPECT_EQ(ErrorOf(std::string(201, '(') + "ACTIV" + std::string(201, ')')),
              "Filtru incorect la pozitia 201: prea multe paranteze sau NOT una in alta (cel mult "
              "200).");
    EXPECT_EQ(ErrorOf(deep + "NOT ACTIV" + std::string(100, ')')).substr(0, 36),
              "Filtru incorect la pozitia 501: prea");
}

TEST_F(FilterTest, StatementConditionsReportPositionsInTheStatement) {
    AddField("NUME", 'C', 10);
    AddRow({"POP"});
    AddRow({"IONEL*"});
    const std::string statement = "DELETE FROM \"C:\\Date\\tabel.dbf\" WHERE NUME=\"IONEL*\"";
    const size_t at = statement.find("NUME");
    const auto f = FilterExpression::CompileCondition(statement, at, statement.size() - at, fields_,
                                                      *cp_, format_);
    EXPECT_FALSE(f->Matches(rows_[0].data()));
    EXPECT_TRUE(f->Matches(rows_[1].data()));

    const std::string bad = "DELETE FROM \"C:\\Date\\tabel.dbf\" WHERE NUMEX=\"POP\"";
    try {
        FilterExpression::CompileCondition(bad, at, bad.size() - at, fields_, *cp_, format_);
        FAIL() << "no error";
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Sql);
        EXPECT_STREQ(e.what(),
                     "Instructiune SQL incorecta: camp necunoscut 'NUMEX' la pozitia 39.");
    }
}

}  // namespace
}  // namespace orbelan
