// Fixed-width, comma- and tab-separated text and the clipboard, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "export/format_writers.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tests/export/memory_export.h"
#include "tests/export/rtf_reader.h"

namespace orbelan {
namespace {

class TextWritersTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    test::MemoryExport x{ui, ui, platform};

    void SetUp() override {
        platform.tempFolder = dir.Path().string() + "/";
        x.SetTempDir(platform.tempFolder);
        x.Now = [] { return std::string("01.02.2019 10:11:12"); };
        x.ColumnWidths = {"8", "4", "6"};
        x.rows = {{"Pop, Ion", "12", "a\"b"}, {"", "7", "x y"}};
    }

    std::string Export(TovExportType type, const std::string& name) {
        x.SetExportType(type);
        x.ExportStyle = xsFile;
        x.FileName = dir.File(name);
        x.ExportData();
        EXPECT_EQ(x.LastErrorText(), "");
        return x.WrittenFile().empty() ? std::string() : test::ReadFileBytes(x.WrittenFile());
    }
};

TEST_F(TextWritersTest, DocumentsOfTheMainWindowsSettings) {
    x.hideSecond = true;
    EXPECT_EQ(Export(xtTXT, "a.txt"),
              "NUME     OBS   \r\n"
              "----------------\r\n"
              "Pop, Ion a\"b   \r\n"
              "         x y   \r\n"
              "----------------\r\n"
              "Creat la 01.02.2019 10:11:12\r\n");
    x.hideSecond = false;
    EXPECT_EQ(Export(xtCSV, "a.csv"),
              "NUME,NR,OBS\r\n"
              "\"Pop, Ion\",12,a\"\"b\r\n"
              ",7,\"x y\"\r\n");
    EXPECT_EQ(x.WrittenFile(), dir.File("a.csv"));
    EXPECT_EQ(Export(xtTAB, "b.txt"),
              "NUME\tNR\tOBS\r\n"
              "Pop, Ion\t12\ta\"b\r\n"
              "\t7\tx y\r\n"
              "Creat la 01.02.2019 10:11:12\r\n");
}

TEST_F(TextWritersTest, AlignmentTruncationLineBreaksAndCodePage) {
    x.Options = {xoShowHeader, xoUseAlignments, xoTruncate};
    x.alignments = {3, 2, 1};
    x.ColumnWidths = {"8", "4", "10"};
    x.rows = {{"ab", "7", "Ştefănescu Ion"}, {"a\r\nb", "123456", "x"}};
    // "\xAA" and "\xE3" are Ş and ă in cp1250; a line break in a value starts a new line.
    EXPECT_EQ(Export(xtTXT, "c.txt"), std::string("  NUME     NR OBS       \r\n"
                                                  "   ab       7 \xAAtef\xE3ne...\r\n"
                                                  "  a\r\n"
                                                  "b   1... x         \r\n"));
    x.Options = {xoShowHeader, xoRowNumbers};
    x.ColumnWidths = {"3", "3", "3"};
    EXPECT_EQ(Export(xtTXT, "d.txt"), std::string("  NUME NR  OBS\r\n"
                                                  "1 ab  7   \xAAtef\xE3nescu Ion\r\n"
                                                  "2 a\r\n"
                                                  "b 123456 x  \r\n"));
}

TEST_F(TextWritersTest, RowNumbersInSeparatedText) {
    x.Options = {xoShowHeader, xoRowNumbers};
    x.SetRowNumberFormat("r %d");  // a blank: quoted in CSV
    EXPECT_EQ(Export(xtCSV, "n.csv"),
              ",NUME,NR,OBS\r\n"
              "\"r 1\",\"Pop, Ion\",12,a\"\"b\r\n"
              "\"r 2\",,7,\"x y\"\r\n");
    EXPECT_EQ(Export(xtTAB, "n.txt"),
              "\tNUME\tNR\tOBS\r\n"
              "r 1\tPop, Ion\t12\ta\"b\r\n"
              "r 2\t\t7\tx y\r\n");
}

TEST_F(TextWritersTest, ClipboardTakesTheTextAndSaysSo) {
    x.Options = {xoClipboardMessage, xoShowHeader, xoHeaderLine};
    x.SetExportType(xtClipboard);
    x.ExportStyle = xsView;
    x.ExportData();
    EXPECT_EQ(platform.clipboard,
              "NUME     NR   OBS   \r\n"
              "--------------------\r\n"
              "Pop, Ion 12   a\"b   \r\n"
              "         7    x y   \r\n");
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Tabelul a fost copiat in Clipboard!"});
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(QuoteValue, QuotesOnlyWhatNeedsIt) {
    const std::pair<const char*, const char*> cases[] = {{"abc", "abc"},
                                                         {"a b", "\"a b\""},
                                                         {"a,b", "\"a,b\""},
                                                         {"a\"b", "a\"\"b"},
                                                         {"a \"b\"", "\"a \"\"b\"\"\""},
                                                         {"", ""}};
    for (const auto& [in, out] : cases) EXPECT_EQ(QuoteValue(in, false), out) << in;
    EXPECT_EQ(QuoteValue("abc", true), "\"abc\"");
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

class HtmlWriterTest : public TextWritersTest {};

TEST_F(HtmlWriterTest, PageOfTheMainWindowsSettingsWithEscapedTexts) {
    x.ColumnWidths.clear();
    x.hideSecond = true;
    x.captions = {"NUME", "NR", "<b>"};
    x.rows = {{"Pop & <b>Ion</b>", "12", "http://a.ro/?q=\"x\""},
              {"", "7", "javascript:alert(1) http:"}};
    EXPECT_EQ(Export(xtHTML, "p.html"),
              "<HTML>\r\n"
              " <HEAD>\r\n"
              "  <META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">\r\n"
              "  <META CHARSET=\"windows-1250\">\r\n"
              "  <META NAME = \"GENERATOR\" CONTENT = \"Tarvelune\" >\r\n"
              "  <META NAME = \"Author\" CONTENT = \"Odrin Vasquel\" >\r\n"
              "  <META NAME = \"Description\" CONTENT = \"http://www.orbelan.example/\" >\r\n"
              "  <TITLE></TITLE>\r\n"
              " </HEAD>\r\n"
              " <BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#FFFF00\" "
              "TEXT=\"#000000\">\r\n"
              " <FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">\r\n"
              "  <HR>\r\n"
              "  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\" BORDER=\"1\" "
              "BGCOLOR=\"#FFFFCF\">\r\n"
              "  <FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">\r\n"
              "   <TR BGCOLOR=\"#336699\">\r\n"
              "    <TD ALIGN=\"Left\" ><B><FONT COLOR=\"#FFFFFF\"><small>NUME</small></FONT></B>"
              "</TD>\r\n"
              "    <TD ALIGN=\"Left\" ><B><FONT COLOR=\"#FFFFFF\"><small>&lt;b&gt;</small></FONT>"
              "</B></TD>\r\n"
              "   </TR>\r\n"
              "   <TR>\r\n"
              "    <TD ALIGN=\"Left\" ><small>Pop &amp; &lt;b&gt;Ion&lt;/b&gt;</small></TD>\r\n"
              "    <TD ALIGN=\"Left\" ><small><A HREF=\"http://a.ro/?q=&quot;x&quot;\">"
              "http://a.ro/?q=&quot;x&quot;</A></small></TD>\r\n"
              "   </TR>\r\n"
              "   <TR BGCOLOR=\"#FFFFFF\">\r\n"
              "    <TD ALIGN=\"Left\" ><small>&nbsp;</small></TD>\r\n"
              "    <TD ALIGN=\"Left\" ><small>javascript:alert(1) http:</small></TD>\r\n"
              "   </TR>\r\n"
              "  </FONT>\r\n"
              "  </TABLE>\r\n"
              "  <HR>\r\n"
              "Creat la 01.02.2019 10:11:12\r\n"
              " </FONT>\r\n"
              " </BODY>\r\n"
              "</HTML>\r\n");
}

TEST_F(HtmlWriterTest, TemplatesCustomColoursAndExtension) {
    const auto bodyAndCaption = [&] {
        const std::string page = Export(xtHTML, "t");
        const auto body = page.find(" <BODY");
        const auto row = page.find("   <TR BGCOLOR");
        return page.substr(body, page.find('\r', body) - body) + "|" +
               page.substr(row, page.find('\r', row) - row);
    };
    x.HTML.Template = ctDark;
    EXPECT_EQ(bodyAndCaption(),
              " <BODY BGCOLOR=\"#317676\" LINK=\"#DDE760\" ALINK=\"#FFFF00\" VLINK=\"#CCCC39\" "
              "TEXT=\"#FFE760\">|   <TR BGCOLOR=\"#3A9393\">");
    EXPECT_EQ(x.WrittenFile(), dir.File("t.html"));
    x.HTML.Template = ctCustom;
    x.HTML.CustomColors.HeaderBackground = 0x80000005;  // a system colour: all eight digits
    x.HTML.Extension = exHTM;
    EXPECT_EQ(bodyAndCaption(),
              " <BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#FFFF00\" "
              "TEXT=\"#000000\">|   <TR BGCOLOR=\"#80000005\">");
    EXPECT_EQ(x.WrittenFile(), dir.File("t.htm"));
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

class SheetWritersTest : public TextWritersTest {
  protected:
    void SetUp() override {
        TextWritersTest::SetUp();
        x.hideSecond = true;
        x.rows[1][2] = "x;y";
    }
};

TEST_F(SheetWritersTest, DifQuotesEveryString) {
    EXPECT_EQ(Export(xtDIF, "a.dif"),
              "TABLE\r\n0,1\r\n\"TOVCUSTOMEXPORT\"\r\nVECTORS\r\n0,3\r\n\"\"\r\nTUPLES\r\n0,2\r\n"
              "\"\"\r\nDATA\r\n0,0\r\n\"\"\r\n"
              "-1,0\r\nBOT\r\n1,0\r\n\"NUME\"\r\n1,0\r\n\"OBS\"\r\n"
              "-1,0\r\nBOT\r\n1,0\r\n\"Pop, Ion\"\r\n1,0\r\n\"a\"\"b\"\r\n"
              "-1,0\r\nBOT\r\n1,0\r\n\"\"\r\n1,0\r\n\"x;y\"\r\n"
              "-1,0\r\nEOD\r\n");
    EXPECT_EQ(x.WrittenFile(), dir.File("a.dif"));
}

TEST_F(SheetWritersTest, SylkLeavesGapsForHiddenColumnsAndDoublesSemicolons) {
    EXPECT_EQ(Export(xtSYLK, "a.slk"),
              "ID;PTOVCUSTOMEXPORT\r\n"
              "C;X1;Y1;K\"NUME\"\r\nC;X3;Y1;K\"OBS\"\r\n"
              "C;X1;Y2;K\"Pop, Ion\"\r\nC;X3;Y2;K\"a\"\"b\"\r\n"
              "C;X1;Y3;K\"\"\r\nC;X3;Y3;K\"x;;y\"\r\n"
              "E\r\n");
    x.Options.Remove(xoShowHeader);
    x.Options.Add(xoRowNumbers);
    const std::string doc = Export(xtSYLK, "b.slk");
    EXPECT_NE(doc.find("\r\nC;X1;Y1;K\"1\"\r\nC;X2;Y1;K\"Pop, Ion\"\r\nC;X4;Y1;K\"a\"\"b\"\r\n"),
              std::string::npos)
        << doc;
}

// Read back as a word processor shows it: the cells' values, signs that RTF escapes, a letter
// of the code page and the closing line; the Word document is the same file.
TEST_F(SheetWritersTest, RtfDocumentReadsBackWithEscapesAndWordTwin) {
    x.rows = {{"Pop \\ {x}", "12", "\xC5\x9Etefan"}, {"", "7", "b"}};
    const std::string rtf = Export(xtRTF, "a.rtf");
    std::vector<std::vector<std::string>> cells;
    std::string closing;
    const std::string text = test::RtfText(rtf);
    for (size_t from = 0; from < text.size();) {
        const size_t end = std::min(text.find('\n', from), text.size());
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        if (line.find('\t') == std::string::npos) {
            if (!line.empty()) closing = line;
            continue;
        }
        cells.emplace_back();
        for (size_t at = 0, tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            cells.back().push_back(line.substr(at, tab - at));
    }
    EXPECT_EQ(cells, (std::vector<std::vector<std::string>>{
                         {"NUME", "OBS"}, {"Pop \\ {x}", "\xC5\x9Etefan"}, {"", "b"}}))
        << text;
    EXPECT_EQ(closing, "Creat la 01.02.2019 10:11:12") << text;
    EXPECT_EQ(Export(xtWord, "a.doc"), rtf);
    EXPECT_EQ(x.WrittenFile(), dir.File("a.doc"));
}

// A table wider than a portrait Letter page turns the page, and shrinks its columns when even
// that is too narrow; the last cell ends within the text width.
TEST_F(SheetWritersTest, RtfTableIsLaidOutOnThePage) {
    struct Case {
        int columns;
        bool landscape;
        long lastEdge;  // 1458 twips a column unless shrunk
    };
    const Case cases[] = {
        {7, false, 10208}, {8, true, 11667}, {10, true, 14583}, {20, true, 14817}};
    x.hideSecond = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columns);
        x.captions.assign(static_cast<size_t>(c.columns), "COL");
        x.alignments.assign(static_cast<size_t>(c.columns), 1);
        x.rows.assign(1, std::vector<std::string>(static_cast<size_t>(c.columns), "text"));
        const std::string doc = Export(xtRTF, "w.rtf");
        const std::string paper = c.landscape ? R"(\paperw15840\paperh12240)" : "";
        const std::string turned = c.landscape ? R"(\landscape)" : "";
        EXPECT_NE(doc.find("}\r\n" + paper + R"(\margl461\margr562\margt101\margb101)" + turned +
                           R"(\par )"),
                  std::string::npos);
        const std::string firstRow = doc.substr(doc.find(R"(\trowd)"));
        std::vector<long> edges;
        for (size_t at = firstRow.find(R"(\cellx)"); at < firstRow.find(R"(\pard)");
             at = firstRow.find(R"(\cellx)", at + 1))
            edges.push_back(std::stol(firstRow.substr(at + 6)));
        ASSERT_EQ(edges.size(), static_cast<size_t>(c.columns));
        EXPECT_EQ(edges.back(), c.lastEdge);
        EXPECT_LE(edges.back(), (c.landscape ? 15840 : 12240) - 461 - 562);
        // Shrunk in proportion: equal columns stay equal to a twip.
        EXPECT_NEAR(static_cast<double>(edges[0]), static_cast<double>(c.lastEdge) / c.columns,
                    1.0);
    }
}

TEST(RtfText, NonAsciiAsUnicodeWithCodePageFallback) {
    test::ScriptedUi ui;
    test::FakePlatform platform;
    test::MemoryExport x{ui, ui, platform};
    EXPECT_EQ(RtfText(x, "aă\r\nЖ}"), R"(a\u259\'e3\u1046?\})");
    // Both halves of a pair carry their fallback: a reader skips one character after each.
    EXPECT_EQ(RtfText(x, "😀x"), R"(\u-10179?\u-8704?x)");
}

// The page and the document say which code page their bytes are in.
TEST_F(SheetWritersTest, CodePageIsDeclaredToReaders) {
    struct Case {
        const char* page;
        const char* htmlCharset;
        const char* rtfCharset;
    };
    const Case cases[] = {{"cp1250", "windows-1250", "\\fcharset238 "},
                          {"CP1251", "windows-1251", "\\fcharset204 "},
                          {"cp1257", "windows-1257", "\\fcharset186 "},
                          {"cp852", "ibm852", "\\fcharset255 "},
                          {"iso8859_2", "iso-8859-2", "\\fcharset238 "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        x.CodePageName = c.page;
        const std::string html = Export(xtHTML, "a.htm");
        EXPECT_NE(html.find(std::string("\r\n  <META CHARSET=\"") + c.htmlCharset + "\">\r\n"),
                  std::string::npos);
        const std::string rtf = Export(xtRTF, "a.rtf");
        const std::string fonts = rtf.substr(0, rtf.find("{\\colortbl"));
        EXPECT_EQ(fonts.find("\\fcharset"), fonts.find(c.rtfCharset));
        EXPECT_EQ(fonts.rfind("\\fcharset"), fonts.rfind(c.rtfCharset));
    }
}

}  // namespace
}  // namespace orbelan
