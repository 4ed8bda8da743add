#include "engine/codepage.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "engine/field_codec.h"

namespace orbelan {
namespace {

TEST(CodePage, RomanianLettersInTheDosAndWindowsPages) {
    // Bytes as the corpus tables hold them: cp1250 0xAA = Ş, 0xDE = Ţ; cp852 0xB8 = Ş, 0xC6 = Ă.
    const auto cp1250 = CodePage::Get("cp1250");
    EXPECT_EQ(cp1250->Decode("\xAA\x54\x45\x46\xC3\x4E"), "ŞTEFĂN");
    EXPECT_EQ(cp1250->Encode("ŞTEFĂN ţâî"), "\xAA\x54\x45\x46\xC3\x4E \xFE\xE2\xEE");
    const auto cp852 = CodePage::Get("CP852");
    EXPECT_EQ(cp852->Name(), "cp852");
    EXPECT_EQ(cp852->Decode("\xB8TEF\xC6NESCU"), "ŞTEFĂNESCU");
    EXPECT_EQ(cp852->Decode(cp852->Encode("Târgu Mureş, Câmpina")), "Târgu Mureş, Câmpina");
    EXPECT_EQ(CodePage::Get("cp866")->Decode("\x8F\xE0\xA8"), "При");
    EXPECT_EQ(CodePage::Get("windows-1251")->Name(), "cp1251");
}

TEST(CodePage, EveryByteRoundTripsInEachPage) {
    // cp1255 and cp1258 hold a base letter back for a combining mark: it must not get lost.
    for (const char* name : {"cp437", "cp850", "cp852", "cp866", "cp1250", "cp1251", "cp1252",
                             "cp1255", "cp1258", "mac_latin2", "iso8859_2"}) {
        const auto cp = CodePage::Get(name);
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::string text = cp->Decode(byte);
            if (text == "\xEF\xBF\xBD") continue;  // a byte without a character in this page
            EXPECT_FALSE(text.empty()) << name << " byte " << b;
            EXPECT_EQ(cp->Encode(text), byte) << name << " byte " << b;
        }
    }
}

TEST(CodePage, CharacterThePageCannotHoldIsAnErrorNamingIt) {
    const auto cp852 = CodePage::Get("cp852");
    try {
        cp852->Encode("Pret: 5 €");
        FAIL();
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "Caracterul '€' nu poate fi scris in codul de pagina cp852.");
    }
    EXPECT_THROW(CodePage::Get("cp1250")->Encode("\xC3"), DbfError);  // broken UTF-8
    EXPECT_THROW(CodePage::Get("cp1251")->Encode("Ăla"), DbfError);
    EXPECT_THROW(CodePage::Get("cp9999"), DbfError);
}

TEST(CodePage, CommaBelowLettersAreWrittenAsTheCedillaOnes) {
    const auto cp1250 = CodePage::Get("cp1250");
    EXPECT_EQ(cp1250->Encode("ȘȚșț"), cp1250->Encode("ŞŢşţ"));
    EXPECT_EQ(CodePage::Get("cp852")->Encode("ț"), CodePage::Get("cp852")->Encode("ţ"));
    EXPECT_THROW(CodePage::Get("cp437")->Encode("ș"), DbfError);  // no cedilla letter either
}

TEST(CodePage, LanguageDriverBytesBothWays) {
    struct {
        uint8_t ldid;
        const char* page;
    } known[] = {{0x01, "cp437"},  {0x02, "cp850"},  {0x03, "cp1252"}, {0x57, "cp1252"},
                 {0x64, "cp852"},  {0x1F, "cp852"},  {0x65, "cp866"},  {0x26, "cp866"},
                 {0xC8, "cp1250"}, {0xC9, "cp1251"}, {0xCA, "cp1254"}, {0xCB, "cp1253"},
                 {0x7D, "cp1255"}, {0x7E, "cp1256"}};
    for (const auto& k : known) {
        const auto cp = CodePage::FromLanguageDriver(k.ldid);
        ASSERT_NE(cp, nullptr) << int(k.ldid);
        EXPECT_EQ(cp->Name(), k.page);
    }
    EXPECT_EQ(CodePage::FromLanguageDriver(0), nullptr);
    EXPECT_EQ(CodePage::FromLanguageDriver(0xF0), nullptr);
    // What a new table gets: the canonical byte of each page.
    EXPECT_EQ(CodePage::Get("cp1250")->LanguageDriver(), 0xC8);
    EXPECT_EQ(CodePage::Get("cp852")->LanguageDriver(), 0x64);
    EXPECT_EQ(CodePage::Get("cp1252")->LanguageDriver(), 0x03);
    EXPECT_EQ(CodePage::Get("cp866")->LanguageDriver(), 0x65);
}

TEST(NumberText, StoredDigitsBecomeShortExactText) {
    EXPECT_EQ(CanonicalNumber("   12.50"), "12.5");
    EXPECT_EQ(CanonicalNumber("0.00"), "0");
    EXPECT_EQ(CanonicalNumber(" -0.00"), "0");
    EXPECT_EQ(CanonicalNumber("  -.5"), "-0.5");
    EXPECT_EQ(CanonicalNumber("123456789012345678"), "123456789012345678");  // no double
    EXPECT_EQ(CanonicalNumber("**********"), "");
    EXPECT_EQ(CanonicalNumber("          "), "");
    EXPECT_EQ(CanonicalNumber("12,5", ','), "12.5");
    EXPECT_EQ(CanonicalNumber("1.5E+3"), "1500");
    EXPECT_EQ(CanonicalNumber("12a"), std::nullopt);
    EXPECT_EQ(CanonicalNumber("1.2.3"), std::nullopt);
    EXPECT_EQ(CanonicalNumber("-"), std::nullopt);
}

TEST(NumberText, RoundingHalfAwayFromZeroOnTheDigits) {
    EXPECT_EQ(RoundDecimal("2.345", 2), "2.35");
    EXPECT_EQ(RoundDecimal("-2.345", 2), "-2.35");
    EXPECT_EQ(RoundDecimal("9.995", 2), "10.00");
    EXPECT_EQ(RoundDecimal("0.004", 2), "0.00");
    EXPECT_EQ(RoundDecimal("-0.004", 2), "0.00");
    EXPECT_EQ(RoundDecimal("7", 0), "7");
    EXPECT_EQ(RoundDecimal("7.5", 0), "8");
    EXPECT_EQ(RoundDecimal("12", 3), "12.000");
    EXPECT_EQ(DoubleText(0.1), "0.1");
    EXPECT_EQ(DoubleText(1e10), "10000000000");
    EXPECT_EQ(DoubleText(-2.5), "-2.5");
}

}  // namespace
}  // namespace orbelan
