#include "cleaning/cnp.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <string>

namespace orbelan {
namespace {

namespace chr = std::chrono;

// Day numbers computed through the standard calendar, not through the engine's date code.
int Day(int y, unsigned m, unsigned d) {
    const chr::sys_days epoch = chr::year{1899} / chr::December / 30;
    const chr::sys_days date = chr::year{y} / chr::month{m} / chr::day{d};
    return static_cast<int>((date - epoch).count());
}

TEST(CnpCorect, AcceptsValidCodesAndReadsTheirDateAndSex) {
    struct Case {
        const char* code;
        int birth;
        const char* sex;
    };
    const Case cases[] = {
        {"1000101990013", Day(1900, 1, 1), "masculin"},  // sum 135, remainder 3
        {"1000101990031", Day(1900, 1, 1), "masculin"},  // sum 153, remainder 10 -> 1
        {"5000229990017", Day(2000, 2, 29), "masculin"},
        {"6001231990031", Day(2000, 12, 31), "feminin"},
        {"7000101990049", Day(1900, 1, 1), "masculin"},
        {"8000101990059", Day(1900, 1, 1), "feminin"},
        {"9000101990069", Day(1900, 1, 1), "masculin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_TRUE(CnpCorect(c.code, false));
        EXPECT_EQ(CnpNascutLa(c.code), c.birth);
        EXPECT_EQ(CnpSex(c.code), c.sex);
    }
    EXPECT_EQ(CnpNascutLa("1000101990013"), 2);
    EXPECT_EQ(CnpNascutLa("5000229990017") - CnpNascutLa("5000228990010"), 1);
}

TEST(CnpCorect, RejectsImpossibleDatesEvenWhenTheCheckDigitMatches) {
    // Check digit right (sum 175 -> 10 -> 1) but 1900 is not a leap year.
    EXPECT_FALSE(CnpCorect("1000229990011", false));
    EXPECT_EQ(CnpNascutLa("1000229990011"), 0);
    // Month 13 and day 32, each with its own correct check digit.
    EXPECT_FALSE(CnpCorect("1001301990011", false));
    EXPECT_FALSE(CnpCorect("1000132990012", false));
    EXPECT_EQ(CnpNascutLa("1001301990011"), 0);
    EXPECT_EQ(CnpNascutLa("1000132990012"), 0);
    EXPECT_EQ(CnpNascutLa("1000001990013"), 0);  // month 0
}

TEST(CnpCorect, FirstDigitsZeroThreeAndFourAreNeverValid) {
    for (char s : {'0', '3', '4'}) {
        for (char check = '0'; check <= '9'; ++check) {
            std::string code = std::string(1, s) + "00010199001" + check;
            SCOPED_TRACE(code);
            EXPECT_FALSE(CnpCorect(code, false));
            EXPECT_FALSE(CnpCorect(code, true));
            EXPECT_EQ(CnpNascutLa(code), Day(1900, 1, 1));  // read as the 1900s
            EXPECT_EQ(CnpSex(code), "feminin");
        }
    }
}

TEST(CnpCorect, WrongLengthEmptyAndNonDigitTexts) {
    EXPECT_FALSE(CnpCorect("1000101990012", false));   // wrong check digit
    EXPECT_FALSE(CnpCorect("100010199001", false));    // 12 characters
    EXPECT_FALSE(CnpCorect("10001019900133", false));  // 14 characters
    EXPECT_FALSE(CnpCorect("", false));
    EXPECT_TRUE(CnpCorect("", true));
    EXPECT_FALSE(CnpCorect(" ", true));  // a blank is not empty
    // Thirteen characters holding a non-digit: invalid, never an error.
    EXPECT_FALSE(CnpCorect("1000101 90013", false));
    EXPECT_FALSE(CnpCorect("100010199001A", false));
    EXPECT_FALSE(CnpCorect(" 000101990013", false));
    EXPECT_FALSE(
        CnpCorect("1000101990\xC4\x83"
                  "3",
                  false));  // "ă" makes 13 characters
}

TEST(CnpNascutLa, NeedsOnlySevenDigitCharacters) {
    EXPECT_EQ(CnpNascutLa(""), 0);
    EXPECT_EQ(CnpNascutLa("100010"), 0);
    EXPECT_EQ(CnpNascutLa("1000101"), Day(1900, 1, 1));
    EXPECT_EQ(CnpNascutLa("1000101990012"), Day(1900, 1, 1));  // check digit not looked at
    EXPECT_EQ(CnpNascutLa("5991231"), Day(2099, 12, 31));
    EXPECT_EQ(CnpNascutLa("6000101xyz"), Day(2000, 1, 1));
    EXPECT_EQ(CnpNascutLa("X851120"), Day(1985, 11, 20));  // any other first character: 1900s
    EXPECT_EQ(CnpNascutLa("\xC4\x83"
                          "851120"),
              Day(1985, 11, 20));  // counted in characters
}

TEST(CnpNascutLa, DatePartsMustBeDigits) {
    EXPECT_EQ(CnpNascutLa("1 00101990013"), 0);
    EXPECT_EQ(CnpNascutLa("100 101990013"), 0);
    EXPECT_EQ(CnpNascutLa("10001 1990013"), 0);
    EXPECT_EQ(CnpNascutLa("1+10101990013"), 0);
    EXPECT_EQ(CnpNascutLa("1-10101990013"), 0);
    EXPECT_EQ(CnpNascutLa("100\xC4\x83"
                          "0101"),
              0);
}

TEST(CnpSex, FollowsTheFirstCharacter) {
    EXPECT_EQ(CnpSex(""), "");
    for (char s : std::string("1579")) EXPECT_EQ(CnpSex(std::string(1, s)), "masculin") << s;
    for (char s : std::string("023468A ")) EXPECT_EQ(CnpSex(std::string(1, s)), "feminin") << s;
}

// Independent reading of a code: weights kept as numbers, dates checked by std::chrono.
struct Expected {
    bool valid;
    int birth;
};

Expected ComputeIndependently(const std::string& code) {
    static constexpr std::array<int, 12> kWeights = {2, 7, 9, 1, 4, 6, 3, 5, 8, 2, 7, 9};
    static constexpr std::array<int, 11> kCheckOf = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1};
    auto num = [&](int pos) { return (code[pos] - '0') * 10 + (code[pos + 1] - '0'); };
    const int century = (code[0] == '5' || code[0] == '6') ? 2000 : 1900;
    const chr::year_month_day ymd{chr::year{century + num(1)},
                                  chr::month{static_cast<unsigned>(num(3))},
                                  chr::day{static_cast<unsigned>(num(5))}};
    const int birth =
        ymd.ok() ? static_cast<int>(
                       (chr::sys_days{ymd} - chr::sys_days{chr::year{1899} / chr::December / 30})
                           .count())
                 : 0;
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += kWeights[i] * (code[i] - '0');
    const bool firstOk = std::string("1256789").find(code[0]) != std::string::npos;
    return {firstOk && ymd.ok() && kCheckOf[sum % 11] == code[12] - '0', birth};
}

TEST(CnpGenerated, AgreesWithAnIndependentComputation) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto two = [](int v) { return std::string(1, char('0' + v / 10)) + char('0' + v % 10); };
    int valid = 0;
    for (int n = 0; n < 2000; ++n) {
        // Mostly plausible dates with some impossible ones, half of them with a real check digit.
        std::string code = std::to_string(pick(0, 9)) + two(pick(0, 99)) + two(pick(0, 13)) +
                           two(pick(n % 7 == 0 ? 28 : 0, n % 7 == 0 ? 31 : 32));
        for (int i = 0; i < 5; ++i) code += char('0' + pick(0, 9));
        code += '0';
        if (n % 2 == 0) {
            for (int check = 0; check <= 9; ++check) {
                code[12] = char('0' + check);
                if (ComputeIndependently(code).valid) break;
            }
        } else {
            code[12] = char('0' + pick(0, 9));
        }
        const Expected e = ComputeIndependently(code);
        SCOPED_TRACE(code);
        ASSERT_EQ(CnpCorect(code, false), e.valid);
        ASSERT_EQ(CnpNascutLa(code), e.birth);
        ASSERT_EQ(CnpNascutLa(code.substr(0, 7)), e.birth);
        valid += e.valid;
    }
    // The set must exercise both outcomes in earnest.
    EXPECT_GT(valid, 300);
    EXPECT_LT(valid, 1500);
}

}  // namespace
}  // namespace orbelan
