// Placeholder replacement and the document TRTFReplace writes, byte for byte.
#include "letters/rtf_replace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/errors.h"
#include "engine/file_io.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "tests/letters/rtf_check.h"

namespace orbelan {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class RtfReplace : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::FakePlatform platform;
    TRTFReplace rtf{platform};

    void Add(const Pairs& pairs) {
        for (const auto& [name, value] : pairs) rtf.AddPair(name, value);
    }
    void Begin(const std::string& templateText) {
        rtf.RTFSursa = dir.File("model.rtf");
        rtf.RTFDest = dir.File("out.rtf");
        WriteFileBytes(rtf.RTFSursa, templateText);
        ASSERT_TRUE(rtf.BeginDocument()) << rtf.LastError();
    }
    std::string Written() { return ReadFileBytes(rtf.RTFDest); }
};

TEST_F(RtfReplace, ReplaceLine) {
    struct Case {
        Pairs pairs;
        std::string line, expected;
    };
    const Case cases[] = {
        // the placeholder as written picks the letter case; the search ignores the case of a-z
        {{{"[LOCALITATE]", "Deva"}},
         "domiciliat in [localitate], jud. [LOCALITATE], [Localitate]",
         "domiciliat in deva, jud. DEVA, Deva"},
        // a later placeholder is found inside an earlier value, not the other way round
        {{{"[A]", "x[B]y"}, {"[B]", "z"}}, "[a]", "xzy"},
        {{{"[B]", "z"}, {"[A]", "x[B]y"}}, "[a]", "x[b]y"},
        {{{"[OBS]", ""}}, "Obs: [OBS].", "Obs: ..........."},
        {{{"[OBS]", "a{b}c"}}, "[Obs]", "a(b)c"},
        {{{"[NUME]", "POP"}}, "\\par fara campuri", "\\par fara campuri"},
        // split or interrupted placeholders are not found
        {{{"[NUME]", "POP"}}, "[NU", "[NU"},
        {{{"[NUME]", "POP"}}, "[NU{\\b ME}] [NU\\b0 ME]", "[NU{\\b ME}] [NU\\b0 ME]"},
        // a value holding its own placeholder is not searched again
        {{{"[NUME]", "[NUME] si [nume]"}}, "[Nume]/[Nume]", "[NUME] si [nume]/[NUME] si [nume]"},
        // backslashes stay text; line breaks of a memo become RTF line breaks
        {{{"[CALE]", "C:\\temp\\page"}}, "[Cale]", "C:\\\\temp\\\\page"},
        {{{"[OBS]", "a\r\nb\nc\td"}}, "[Obs]", "a\\line b\\line c\\tab d"},
        // letters outside ASCII: Unicode escape with the cp1250 byte as fallback, in any case
        {{{"[NUME]", "ţara şi Ăla"}},
         "[NUME]|[nume]|[Nume]",
         "{\\uc1\\u354\\'de}ARA {\\uc1\\u350\\'aa}I {\\uc1\\u258\\'c3}LA|"
         "{\\uc1\\u355\\'fe}ara {\\uc1\\u351\\'ba}i {\\uc1\\u259\\'e3}la|"
         "{\\uc1\\u355\\'fe}ara {\\uc1\\u351\\'ba}i {\\uc1\\u258\\'c3}la"},
        {{{"[NUME]", "ȘȚ€😀"}},
         "[Nume]",
         "{\\uc1\\u536\\'aa\\u538\\'de\\u8364\\'80\\u-10179?\\u-8704?}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        rtf.ClearPairs();
        Add(c.pairs);
        EXPECT_EQ(rtf.ReplaceLine(c.line), c.expected);
        EXPECT_EQ(rtf.RepeatFrom(), -1);
    }
}

TEST_F(RtfReplace, ManyPlaceholdersOnOneLine) {
    Add({{"[NUME]", "Ţară"}, {"[PRENUME]", "Ion"}});
    std::string line, expected;
    for (int i = 0; i < 40000; ++i) {
        line += i % 2 ? "[nume]," : "[Prenume] ";
        expected += i % 2 ? "{\\uc1\\u355\\'fe}ar{\\uc1\\u259\\'e3}," : "Ion ";
    }
    EXPECT_EQ(rtf.ReplaceLine(line), expected);
}

TEST_F(RtfReplace, MultiValuedPlaceholderRepeatsItsLine) {
    Begin("{\\rtf1\r\n\\pard Coloane:\r\n\\par [[Camp]]\r\n\\par }\r\n");
    Add({{"[CAMP]", "NUME"}, {"[CAMP]", "PRENUME"}, {"[CAMP]", "ADRESA"}});
    rtf.MergeBody(1);
    rtf.EndDocument();
    EXPECT_EQ(Written(),
              "{\\rtf1\r\n\\pard Coloane:\r\n\\par [NUME]\r\n\\par [PRENUME]\r\n"
              "\\par [ADRESA]\r\n\\par \r\n}\r\n");

    // Two multi-valued placeholders on one line can't agree on their repetition: bounded.
    Begin("{\\rtf1\r\n\\pard [P] [Q]\r\n}\r\n");
    Add({{"[P]", "a"}, {"[P]", "b"}, {"[Q]", "c"}, {"[Q]", "d"}});
    rtf.MergeBody(1);
    rtf.EndDocument();
    const std::string doc = Written();
    EXPECT_LE(std::count(doc.begin(), doc.end(), '\n'), 6);
    test::ExpectWholeDocument(doc);
}

TEST_F(RtfReplace, HeaderOnceBodiesSeparatedByPageBreaks) {
    const std::string header = "{\\rtf1\\ansi\r\n{\\fonttbl{\\f0 Arial;}}\r\n";
    Begin(header +
          "  \\viewkind4 \\pard Catre [NUME],\r\n\r\n\\par Adresa: [Adresa]\r\n\\par }\r\n");
    Add({{"[NUME]", "Pop"}, {"[ADRESA]", "Deva"}});
    rtf.MergeBody(1);
    rtf.PageBreak();
    Add({{"[NUME]", "Ion"}, {"[ADRESA]", ""}});
    rtf.MergeBody(2);
    rtf.MergeBody(0);  // nothing, but the pairs are gone
    EXPECT_EQ(rtf.ReplaceLine("[NUME]"), "[NUME]");
    rtf.EndDocument();
    const std::string doc = Written();
    EXPECT_EQ(doc, header +
                       "\\viewkind4\r\n"
                       "\\pard Catre POP,\r\n\\par Adresa: Deva\r\n\\par \r\n"
                       "\\par \\page\r\n"
                       "\\pard Catre ION,\r\n\\par Adresa: ..........\r\n\\par \r\n"
                       "\\page\r\n"
                       "\\pard Catre ION,\r\n\\par Adresa: ..........\r\n\\par \r\n"
                       "}\r\n");
    test::ExpectWholeDocument(doc);
    EXPECT_FALSE(rtf.DocumentOpen());
}

TEST_F(RtfReplace, TemplatesWithoutBodyOrBalance) {
    // No "\pard": the whole template is the header and there is no body to fill.
    Begin("{\\rtf1 Salut [NUME]}\r\n");
    Add({{"[NUME]", "POP"}});
    rtf.MergeBody(1);
    rtf.EndDocument();
    EXPECT_EQ(Written(), "{\\rtf1 Salut [NUME]}\r\n}\r\n");

    // Braces that never balance: the body ends with the template.
    Begin("{\\rtf1\r\n\\pard {\\b [NUME]\r\n\\par [NUME]\r\n");
    Add({{"[NUME]", "POP"}});
    rtf.MergeBody(1);
    rtf.EndDocument();
    EXPECT_EQ(Written(), "{\\rtf1\r\n\\pard {\\b POP\r\n\\par [NUME\r\n}\r\n");

    // Missing or empty template, or no name for the document: not started, nothing written.
    rtf.RTFSursa = dir.File("missing.rtf");
    EXPECT_FALSE(rtf.BeginDocument());
    WriteFileBytes(dir.File("empty.rtf"), "");
    rtf.RTFSursa = dir.File("empty.rtf");
    rtf.RTFDest = dir.File("never.rtf");
    EXPECT_FALSE(rtf.BeginDocument());
    EXPECT_EQ(rtf.LastError(), "Modelul " + dir.File("empty.rtf") + " este gol.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.rtf")));
    EXPECT_THROW(rtf.MergeBody(1), DbfError);
}

TEST_F(RtfReplace, NextFreeDestSkipsHeldNamesAndReusesFreeOnes) {
    const std::string prefix = dir.File("Rap");
    // A name that can't be deleted (here a folder) counts as held open.
    std::filesystem::create_directories(dir.Path() / "Rap0.rtf" / "x");
    ASSERT_TRUE(rtf.NextFreeDest(prefix));
    EXPECT_EQ(rtf.RTFDest, prefix + "1.rtf");
    std::filesystem::remove_all(dir.Path() / "Rap0.rtf");
    WriteFileBytes(prefix + "0.rtf", "old");
    ASSERT_TRUE(rtf.NextFreeDest(prefix));
    EXPECT_EQ(rtf.RTFDest, prefix + "0.rtf");
    EXPECT_FALSE(std::filesystem::exists(prefix + "0.rtf"));
}

TEST_F(RtfReplace, FailedDocumentLeavesNothingAndOpensOnlyWithAFolder) {
    WriteFileBytes(dir.File("out.rtf"), "previous");
    Begin("{\\rtf1\r\n\\pard [NUME]\r\n}\r\n");
    Add({{"[NUME]", "POP"}});
    rtf.MergeBody(1);
    IoFaults().failSyncAfter = 0;
    EXPECT_THROW(rtf.EndDocument(), DbfError);
    IoFaults().Reset();
    EXPECT_EQ(Written(), "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);

    rtf.OpenResult();
    rtf.RTFDest = "Rap0.rtf";
    rtf.OpenResult();
    EXPECT_EQ(platform.opened, std::vector<std::string>{dir.File("out.rtf")});
}

}  // namespace
}  // namespace orbelan
