// The .xlsx target: typed cells from a real table, more sheets past the last row, the scratch
// name. The workbooks are read back from their ZIP parts.
#ifdef ORBELAN_HAVE_XLSX
#include <gtest/gtest.h>

#include <filesystem>

#include <regex>
#include "engine/file_io.h"

#include "editing/commands_fixture.h"
#include "engine/codepage.h"
#include "export/export_command.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tests/export/memory_export.h"
#include "tests/export/zip_reader.h"

namespace orbelan {
namespace {

struct XlsxCell {
    std::string type, format, value;  // format: the number format's code, "" for none
    bool operator==(const XlsxCell&) const = default;
};

// The cells of a sheet by reference ("B2"), with the number format each one is shown with.
std::map<std::string, XlsxCell> ReadCells(const std::string& book, int sheet) {
    const std::string xml =
        test::ZipMember(book, "xl/worksheets/sheet" + std::to_string(sheet) + ".xml");
    const std::string styles = test::ZipMember(book, "xl/styles.xml");
    std::map<std::string, std::string> codes{{"0", ""}};
    const std::regex numFmt(R"re(<numFmt numFmtId="(\d+)" formatCode="([^"]*)")re");
    for (std::sregex_iterator i(styles.begin(), styles.end(), numFmt), e; i != e; ++i)
        codes[(*i)[1]] = (*i)[2];
    std::vector<std::string> xfs;
    const std::string cellXfs = styles.substr(styles.find("<cellXfs"));
    const std::regex xf(R"re(<xf numFmtId="(\d+)")re");
    for (std::sregex_iterator i(cellXfs.begin(), cellXfs.end(), xf), e; i != e; ++i)
        xfs.push_back(codes[(*i)[1]]);
    // By hand: a regular expression recurses once per character of a long text.
    std::map<std::string, XlsxCell> cells;
    const auto attribute = [](const std::string& tag, const std::string& name) {
        const size_t at = tag.find(" " + name + "=\"");
        if (at == std::string::npos) return std::string();
        const size_t from = at + name.size() + 3;
        return tag.substr(from, tag.find('"', from) - from);
    };
    for (size_t at = xml.find("<c r="); at != std::string::npos; at = xml.find("<c r=", at + 1)) {
        const std::string tag = xml.substr(at, xml.find('>', at) - at);
        const std::string s = attribute(tag, "s");
        const size_t value = xml.find_first_of("<", xml.find('>', at) + 1);
        const size_t text =
            xml.find('>', xml.find(xml.compare(value, 4, "<is>") == 0 ? "<t" : "<v", value));
        cells[attribute(tag, "r")] = {attribute(tag, "t"), s.empty() ? "" : xfs.at(std::stoul(s)),
                                      xml.substr(text + 1, xml.find('<', text) - text - 1)};
    }
    return cells;
}

class XlsxExportTest : public test::CommandsTest {
  protected:
    TovDBGridExport exp{ui, ui, platform};
};

TEST_F(XlsxExportTest, CellsKeepTheFieldTypes) {
    const std::string path = dir.File("persoane.dbf");
    const auto cp = CodePage::Get("cp1250");
    test::WriteDbf(
        path,
        {{"CNP", 'C', 13},
         {"COD", 'C', 5},
         {cp->Encode("ŢARĂ"), 'C', 20},  // a name in the table's page, as other programs write
         {"SUMA", 'N', 8, 2},
         {"NR", 'N', 5},
         {"DATAN", 'D', 8},
         {"ACTIV", 'L', 1}},
        {{"1850101123456", "00420", cp->Encode("ŞTEFAN <ŢARĂ>"), "1234.50", "7", "19850102", "T"},
         {"", "", "", "", "", "", "?"},
         {"2", "", "", "***", "-3", "18991231", "F"}});
    ws.CurrentFile = path;
    ws.OpenTable();
    exp.Now = [] { return "08.12.2026 10:00:00"; };
    ASSERT_EQ(ExportToFile(ws, exp, xtXLSX, dir.File("out.xlsx")), 0);
    const std::string book = test::ReadFileBytes(dir.File("out.xlsx"));
    const auto cells = ReadCells(book, 1);
    const std::pair<const char*, XlsxCell> expected[] = {
        {"A1", {"inlineStr", "", "CNP"}},
        {"C1", {"inlineStr", "", "ŢARĂ"}},
        {"A2", {"inlineStr", "", "1850101123456"}},  // a personal code stays text
        {"B2", {"inlineStr", "", "00420"}},          // and so do leading zeros
        {"C2", {"inlineStr", "", "ŞTEFAN &lt;ŢARĂ&gt;"}},
        {"D2", {"", "0.00", "1234.5"}},
        {"E2", {"", "0", "7"}},
        {"F2", {"", "dd.mm.yyyy", "31049"}},
        {"G2", {"b", "", "1"}},
        {"A4", {"inlineStr", "", "2"}},
        {"E4", {"", "0", "-3"}},
        {"F4", {"inlineStr", "", "31.12.1899"}},  // before the sheets' calendar starts
        {"G4", {"b", "", "0"}},
    };
    for (const auto& [ref, cell] : expected) EXPECT_EQ(cells.at(ref), cell) << ref;
    // Empty values, an unreadable logical and a number that did not fit: empty cells.
    for (const char* ref : {"A3", "B3", "C3", "D3", "E3", "F3", "G3", "D4"})
        EXPECT_EQ(cells.count(ref), 0u) << ref;
    EXPECT_EQ(cells.at("A1").format, "");
    const std::string sheet = test::ZipMember(book, "xl/worksheets/sheet1.xml");
    EXPECT_NE(
        sheet.find(R"(<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>)"),
        std::string::npos);
    EXPECT_NE(sheet.find(R"(<autoFilter ref="A1:G4"/>)"), std::string::npos);
    EXPECT_NE(sheet.find(R"(<col min="3" max="3" width="22.7109375" customWidth="1"/>)"),
              std::string::npos);  // ŢARĂ: 20 characters and the filter's button
    const std::string styles = test::ZipMember(book, "xl/styles.xml");
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(test::ZipMember(book, "xl/workbook.xml").find(R"(<sheet name="persoane")"),
              std::string::npos);
    const std::string core = test::ZipMember(book, "docProps/core.xml");
    EXPECT_NE(core.find("<dc:title>persoane</dc:title>"), std::string::npos);
    EXPECT_NE(core.find("<dc:description>Creat la 08.12.2026 10:00:00</dc:description>"),
              std::string::npos);
}

class XlsxMemoryTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    test::MemoryExport x{ui, ui, platform};

    void SetUp() override {
        x.SetExportType(xtXLSX);
        x.ExportStyle = xsFile;
        x.FileName = dir.File("out.xlsx");
    }
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                                 std::filesystem::directory_iterator{}));
    }
};

TEST_F(XlsxMemoryTest, RowsPastTheSheetsEndGoOnToMoreSheetsUnderTheCaptions) {
    x.XlsxSheetRows = 3;
    const std::string longText(40000, 'x');
    x.rows = {
        {"a", "1", "x"}, {"b", "2", longText}, {"c", "3", "x"}, {"d", "4", "x"}, {"e", "5", "x"}};
    x.ExportData();
    ASSERT_EQ(x.WrittenFile(), dir.File("out.xlsx"));
    const std::string book = test::ReadFileBytes(x.WrittenFile());
    const std::vector<std::vector<std::string>> sheets = {{"a", "b"}, {"c", "d"}, {"e"}};
    for (size_t s = 0; s < sheets.size(); ++s) {
        const auto cells = ReadCells(book, static_cast<int>(s + 1));
        EXPECT_EQ(cells.at("A1").value, "NUME");
        for (size_t r = 0; r < sheets[s].size(); ++r)
            EXPECT_EQ(cells.at("A" + std::to_string(r + 2)).value, sheets[s][r]);
        EXPECT_EQ(cells.count("A" + std::to_string(sheets[s].size() + 2)), 0u);
    }
    EXPECT_EQ(ReadCells(book, 1).at("C3").value.size(), 32767u);
    EXPECT_NE(test::ZipMember(book, "xl/workbook.xml").find(R"(<sheet name="Foaie 3")"),
              std::string::npos);
    EXPECT_EQ(x.ClosingNote(),
              "Foaia .xlsx are cel mult 3 linii: cele 5 linii au fost scrise pe 3 foi, fiecare cu "
              "linia de titluri.\n1 texte mai lungi de 32767 caractere (cat incape intr-o celula) "
              "au fost taiate.");
    EXPECT_EQ(x.RowsLeftOut(), 0);
}

TEST_F(XlsxMemoryTest, CancelAndRefusalLeaveNothing) {
    x.rows = {{"a", "1", "x"}, {"b", "2", "y"}};
    ui.cancelExportAtProgress = 1;
    x.ExportData();
    EXPECT_TRUE(x.WrittenFile().empty());
    EXPECT_EQ(FilesInFolder(), 0u);
    test::WriteFileBytes(dir.File("out.xlsx"), "old");
    ui.cancelExportAtProgress = -1;
    x.OnFileExist = [](const std::string&, bool& can) { can = false; };
    x.ExportData();
    EXPECT_EQ(test::ReadFileBytes(dir.File("out.xlsx")), "old");
    x.OnFileExist = nullptr;
    x.ExportData();
    EXPECT_EQ(test::ZipMember(test::ReadFileBytes(dir.File("out.xlsx")), "xl/worksheets/sheet1.xml")
                      .find("<t>b</t>") != std::string::npos,
              true);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(XlsxMemoryTest, TextsReachTheCellsAsTheyAreWhateverXmlMakesOfThem) {
    const std::pair<std::string, std::string> texts[] = {
        {"a & b <c> \"d\"", "a &amp; b &lt;c&gt; &quot;d&quot;"},
        {"x\x01y\x1Fz", "x_x0001_y_x001F_z"},  // control characters XML can't carry
        {"tab\there\nline", "tab\there\nline"},
        {"x\ry", "x_x000D_y"},  // XML would read a bare CR as a line feed
        {"ŞTEFAN", "ŞTEFAN"},
        {"_x0041_ _x00e9_", "_x005F_x0041_ _x005F_x00e9_"},  // reads as an escape: kept literal
        {"a_b _x12_ _xZZZZ_ _x", "a_b _x12_ _xZZZZ_ _x"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", "_xFFFE__xFFFF_"},  // no XML characters
        // Bytes that are no UTF-8 (a lone byte, an overlong form, a surrogate, a cut sequence)
        {"A\xC3 \xC0\xAF \xED\xA0\x80 \xE2\x82",
         "A\uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \uFFFD\uFFFD"},
    };
    for (const auto& [text, stored] : texts) x.rows.push_back({text, "1", "x"});
    x.rows.push_back({" margini ", "2", "x"});
    x.ExportData();
    ASSERT_EQ(x.WrittenFile(), dir.File("out.xlsx")) << x.LastErrorText();
    const std::string book = test::ReadFileBytes(x.WrittenFile());
    const auto cells = ReadCells(book, 1);
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(cells.at("A" + std::to_string(i + 2)).value, texts[i].second) << i;
    const std::string sheet = test::ZipMember(book, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find(R"(<t xml:space="preserve"> margini </t>)"), std::string::npos);
    // The filter's range is also a name of the workbook, the way spreadsheets keep it.
    EXPECT_NE(test::ZipMember(book, "xl/workbook.xml")
                  .find(R"(<definedName name="_xlnm._FilterDatabase" localSheetId="0" )"
                        R"(hidden="1">'Foaie 1'!$A$1:$C$11</definedName>)"),
              std::string::npos);
}

TEST_F(XlsxMemoryTest, AFullDiskMidwayIsSaidAndLeavesNothing) {
    for (int i = 0; i < 20000; ++i) x.rows.push_back({"nume " + std::to_string(i), "1", "x"});
    // The writes happen on the compressing thread; the failure still ends the export.
    for (const int failAt : {0, 1, 3}) {
        IoFaults().failWriteAfter = failAt;
        IoFaults().diskFull = true;
        x.ExportData();
        IoFaults().Reset();
        EXPECT_TRUE(x.WrittenFile().empty()) << failAt;
        EXPECT_NE(x.LastErrorText().find("discul este plin"), std::string::npos)
            << failAt << ": " << x.LastErrorText();
        EXPECT_EQ(FilesInFolder(), 0u) << failAt;
    }
}

}  // namespace
}  // namespace orbelan
#endif
