// .xlsx sheets read whatever their XML holds: the value written, a refusal naming the place, and
// work that follows the cells present.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/errors.h"
#include "importing/field_proposal.h"
#include "importing/import_source.h"
#include "support/temp_dir.h"
#include "support/workbook_builder.h"

namespace orbelan {
namespace {

using test::WorkbookParts;

class WorkbookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!WorkbooksSupported() || !test::CanWriteWorkbooks()) GTEST_SKIP();
    }
    std::string Book(const WorkbookParts& parts) {
        const std::string path = dir.File("b.xlsx");
        test::WriteXlsx(path, parts);
        return path;
    }
    // The refusal met reading every row, empty when none.
    std::string Refusal(const WorkbookParts& parts) {
        try {
            auto s = OpenImportSource(Book(parts), {});
            test::SourceRows(*s);
        } catch (const DbfError& e) {
            return e.what();
        }
        return {};
    }
    test::TempDir dir;
};

// Cell styles: 0 plain, 1 a built-in date format.
const char* const kDateStyle = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";

TEST_F(WorkbookTest, ValuesAreReadAsWritten) {
    const struct {
        std::string cell, strings, text;
    } cases[] = {
        {"<c r=\"A2\" t=\"d\"><v>2024-03-01T10:30:00</v></c>", "", "01.03.2024 10:30"},
        {"<c r=\"A2\" t=\"d\"><v>2024-02-29</v></c>", "", "29.02.2024"},
        {"<c r=\"A2\"><v>1E+100</v></c>", "", "1" + std::string(100, '0')},
        {"<c r=\"A2\"><v>-1.5E-3</v></c>", "", "-0.0015"},
        {"<c r=\"A2\"><v>12345678901234567890</v></c>", "", "12345678901234567890"},
        {"<c r=\"A2\" s=\"1\"><v>45352.4375</v></c>", "", "01.03.2024 10:30"},
        {"<c r=\"A2\" t=\"inlineStr\"><is><t>a_x0009_b_x005F_x0041_</t></is></c>", "",
         "a\tb_x0041_"},
        {"<c r=\"A2\" t=\"s\"><v>0</v></c>",
         "<si><t>_x00C8__x0098_ _xD83D__xDE00_ _xD800_</t></si>",
         "\xC3\x88\xC2\x98 \xF0\x9F\x98\x80 _xD800_"},
        {"<c r=\"A2\" t=\"b\"><v>true</v></c>", "", "DA"},
        {"<c r=\"C2\"><v>3</v></c><c r=\"A2\"><v>1</v></c><c><v>2</v></c>", "", "1|2|3"},
        {"<c r=\"A2\"><v>1</v></c><c r=\"A2\"><v> 4 </v></c>", "", "4"},
    };
    for (const auto& c : cases) {
        auto s =
            OpenImportSource(Book({"<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>X</t></is></c>"
                                   "<c r=\"C1\" t=\"inlineStr\"><is><t>Z</t></is></c></row><row>" +
                                       c.cell + "</row>",
                                   c.strings, kDateStyle}),
                             {});
        EXPECT_EQ(test::SourceRows(*s), (std::vector<std::string>{"1:X||Z", "2:" + c.text})) << c.cell;
    }
}

TEST_F(WorkbookTest, PlacesAndValuesThatCantBeReadAreRefusedByName) {
    const struct {
        std::string rows, says;
    } cases[] = {
        {"<row><c r=\"AAAAAAA1\"><v>1</v></c></row>", "referinta \"AAAAAAA1\""},
        {"<row><c r=\"XFE1\"><v>1</v></c></row>", "referinta \"XFE1\""},
        {"<row><c r=\"A\"><v>1</v></c></row>", "referinta \"A\""},
        {"<row><c r=\"a1\"><v>1</v></c></row>", "referinta \"a1\""},
        {"<row r=\"2147483647\"><c><v>1</v></c></row><row><c><v>2</v></c></row>",
         "numarul 2147483647"},
        {"<row r=\"1048576\"><c><v>1</v></c></row><row><c><v>2</v></c></row>",
         "mai mult de 1048576 randuri"},
        {"<row r=\"3\"><c r=\"B3\" s=\"1\"><v>NaN</v></c></row>",
         "Celula B3 din foaia Foaie1 are valoarea NaN, care nu este un numar"},
        {"<row><c s=\"1\"><v>1E+300</v></c></row>", "Celula A1 din foaia Foaie1 are data cu"},
        {"<row><c><v>inf</v></c></row>", "are valoarea inf, care nu este un numar"},
        {"<row><c t=\"d\"><v>2024-02-30</v></c></row>", "are data 2024-02-30, care nu exista"},
        {"<row><c t=\"d\"><v>2024-13-45</v></c></row>", "are data 2024-13-45"},
        {"<row><c t=\"d\"><v>2024-03-01T25:00:00</v></c></row>", "are data 2024-03-01T25"},
        {"<row><c t=\"b\"><v>2</v></c></row>", "valoarea logica 2"},
        {"<row><c r=\"IV1\"><v>1</v></c></row>", "Celula IV1 din foaia Foaie1 face capul"},
    };
    for (const auto& c : cases) {
        const std::string said = Refusal({c.rows, "", kDateStyle});
        EXPECT_NE(said.find(c.says), std::string::npos) << c.rows << "\n" << said;
    }
}

TEST_F(WorkbookTest, WorkFollowsTheCellsPresentNotTheirAddresses) {
    // A header, then rows each with one value far right of it, and runs of empty rows.
    std::string rows = "<row><c r=\"A1\" t=\"inlineStr\"><is><t>N</t></is></c></row>";
    for (int r = 2; r < 40000; ++r)
        rows += "<row><c r=\"XFD" + std::to_string(r) + "\"><v>1</v></c></row>";
    for (int r = 0; r < 500000; ++r) rows += "<row/>";
    rows += "<row><c><v>7</v></c><c r=\"XFD1\"><v>9</v></c></row>";
    auto s = OpenImportSource(Book({rows, "", ""}), {});
    EXPECT_EQ(test::SourceRows(*s), (std::vector<std::string>{"1:N", "540000:7"}));
    // Rows past the last one a sheet can have are refused, not counted on.
    std::string endless;
    for (int r = 0; r <= 1048576; ++r) endless += "<row/>";
    EXPECT_NE(Refusal({endless, "", ""}).find("mai mult de 1048576"), std::string::npos);
}

}  // namespace
}  // namespace orbelan
