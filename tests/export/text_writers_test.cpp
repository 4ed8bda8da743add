// Fixed-width, comma- and tab-separated text and the clipboard, byte for byte.
#include <gtest/gtest.h>

#include "export/format_writers.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tests/export/memory_export.h"

namespace orbelan {
namespace {

class TextWritersTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    test::MemoryExport x{ui, platform};

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
    EXPECT_EQ(x.WrittenFile(), dir.File("t.HTML"));
    x.HTML.Template = ctCustom;
    x.HTML.CustomColors.HeaderBackground = 0x80000005;  // a system colour: all eight digits
    x.HTML.Extension = exHTM;
    EXPECT_EQ(bodyAndCaption(),
              " <BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#FFFF00\" "
              "TEXT=\"#000000\">|   <TR BGCOLOR=\"#80000005\">");
    EXPECT_EQ(x.WrittenFile(), dir.File("t.HTM"));
}

}  // namespace
}  // namespace orbelan
