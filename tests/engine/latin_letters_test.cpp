// Case and base letters of the Latin letters tables hold: every search, name check and page
// guess folds text through these.
#include "engine/latin_letters.h"

#include <gtest/gtest.h>

namespace orbelan {
namespace {

TEST(LatinLetters, CaseFoldAndBaseOfEachKindOfLetter) {
    struct Case {
        char32_t capital, small;
        char base;  // of the capital
        bool romanian;
    };
    const Case cases[] = {
        {U'A', U'a', 'A', false}, {U'Ă', U'ă', 'A', true},  {U'Â', U'â', 'A', true},
        {U'Î', U'î', 'I', true},  {U'Ș', U'ș', 'S', true},  {U'Ş', U'ş', 'S', true},
        {U'Ț', U'ț', 'T', true},  {U'Ţ', U'ţ', 'T', true},  {U'É', U'é', 'E', false},
        {U'Ő', U'ő', 'O', false}, {U'Ł', U'ł', 'L', false},  // capital odd in its run
        {U'Ž', U'ž', 'Z', false}, {U'Ÿ', U'ÿ', 'Y', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.capital));
        EXPECT_EQ(latin::ToLower(c.capital), c.small);
        EXPECT_EQ(latin::ToUpper(c.small), c.capital);
        EXPECT_EQ(latin::ToLower(c.small), c.small);
        EXPECT_EQ(latin::ToUpper(c.capital), c.capital);
        EXPECT_TRUE(latin::IsUpper(c.capital));
        EXPECT_FALSE(latin::IsUpper(c.small));
        EXPECT_EQ(latin::BaseLetter(c.capital), c.base);
        EXPECT_EQ(latin::BaseLetter(c.small), c.base + 32);
        EXPECT_EQ(latin::IsRomanianLetter(c.small), c.romanian);
    }
    // Not letters, or letters without a case: unchanged, no base.
    for (const char32_t c : {U'1', U'×', U'÷', U'ß', U'€', U'Ж'}) {
        EXPECT_EQ(latin::ToLower(c), c);
        EXPECT_EQ(latin::ToUpper(c), c);
    }
    EXPECT_EQ(latin::BaseLetter(U'×'), 0);
    EXPECT_EQ(latin::BaseLetter(U'Ж'), 0);
    // A search sees the comma and cedilla forms as one letter, whatever its case.
    EXPECT_EQ(latin::Folded(U'Ș'), U'ş');
    EXPECT_EQ(latin::Folded(U'ț'), U'ţ');
    EXPECT_EQ(latin::Folded(U'Ţ'), U'ţ');
    EXPECT_EQ(latin::CommaCedillaTwin(U'ş'), U'ș');
    EXPECT_EQ(latin::CommaCedillaTwin(U'a'), 0u);
    // Keywords and extensions: ASCII letters only, the bytes of other characters kept.
    EXPECT_EQ(latin::AsciiUpper("abc-ăz"), "ABC-ăZ");
    EXPECT_EQ(latin::AsciiLower("DBF.Ă"), "dbf.Ă");
}

}  // namespace
}  // namespace orbelan
