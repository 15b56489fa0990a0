#include "foundation/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <regex>

namespace {

TEST(ToString, FloatingPointWithPrecisionAndNotation) {
    EXPECT_EQ(ToString(3.14159, 2), "3.14");
    EXPECT_EQ(ToString(3.14159, 3, std::ios_base::scientific), "3.142e+00");
    EXPECT_EQ(ToString(3.14159, 4, std::ios_base::hex), "3.142");
    EXPECT_EQ(ToString(1234567.0, 2), "1234567.00");
    EXPECT_EQ(ToString(0.1f, 6), "0.100000");
    EXPECT_EQ(ToString(0.1f, 9), "0.100000001");
    EXPECT_EQ(ToStringW(3.14159, 2), L"3.14");
    EXPECT_EQ(ToStringW(3.14159, 3, std::ios_base::scientific), L"3.142e+00");
}

TEST(ToString, Integers) {
    EXPECT_EQ(ToString(-42), "-42");
    EXPECT_EQ(ToString(9000000000LL), "9000000000");
    EXPECT_EQ(ToStringW(-42), L"-42");
    EXPECT_EQ(ToStringW(9000000000LL), L"9000000000");
}

TEST(ToNumber, DoubleGivesDefaultOnFailure) {
    EXPECT_EQ(ToNumber("12.5abc", -1.0), 12.5);
    EXPECT_EQ(ToNumber("  7", -1.0), 7.0);
    EXPECT_EQ(ToNumber("abc", -1.0), -1.0);
    EXPECT_EQ(ToNumber("", -1.0), -1.0);
    EXPECT_EQ(ToNumber("1e400", -1.0), -1.0);
    EXPECT_EQ(ToNumber(L"12.5abc", -1.0), 12.5);
    EXPECT_EQ(ToNumber(L"1e400", -1.0), -1.0);
}

TEST(ToNumber, IntegersInBaseTenWithinTheirWidth) {
    EXPECT_EQ(ToNumber("2147483647", -1), 2147483647);
    EXPECT_EQ(ToNumber("2147483648", -1), -1);
    EXPECT_EQ(ToNumber("-2147483648", -1), INT_MIN);
    EXPECT_EQ(ToNumber("-2147483649", -1), -1);
    EXPECT_EQ(ToNumber("0x1A", -1), 0);
    EXPECT_EQ(ToNumber(" +12 apples", -1), 12);
    EXPECT_EQ(ToNumber("9223372036854775807", -1LL), LLONG_MAX);
    EXPECT_EQ(ToNumber("9223372036854775808", -1LL), -1LL);
    EXPECT_EQ(ToNumber("-9223372036854775808", -1LL), LLONG_MIN);
    EXPECT_EQ(ToNumber(L"2147483648", -1), -1);
    EXPECT_EQ(ToNumber(L"-77", -1), -77);
    EXPECT_EQ(ToNumber(L"9223372036854775808", -1LL), -1LL);
}

TEST(ExtractNumber, TakesTheLastRunOfDigits) {
    EXPECT_EQ(ExtractNumber("Channel12Port345x", -1), 345);
    EXPECT_EQ(ExtractNumber("Line-7", -1), 7);
    EXPECT_EQ(ExtractNumber("no digits", -1), -1);
    EXPECT_EQ(ExtractNumber("abc99999999999", -1), -1);
    EXPECT_EQ(ExtractNumber("7 then 00012", -1), 12);
    EXPECT_EQ(ExtractNumber("12\nabc", -1), 12);
    EXPECT_EQ(ExtractNumber(L"Port345x", -1), 345);
    EXPECT_EQ(ExtractNumber(L"none", -1), -1);
}

// The behaviour is defined by a full match of ".*?([0-9]+)[^0-9]*"; compare with a real regex
// on short random texts, line terminators included.
template <typename Char>
void CompareWithRegex(const std::basic_string<Char>& alphabet, const std::basic_regex<Char>& pattern) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::basic_string<Char> text(random() % 10, Char('a'));
        for (auto& c : text) c = alphabet[random() % alphabet.size()];
        std::match_results<typename std::basic_string<Char>::const_iterator> match;
        int expected = -1;
        if (std::regex_match(text, match, pattern)) {
            expected = ToNumber(match[1].str(), -1);
        }
        ASSERT_EQ(ExtractNumber(text, -1), expected) << "round " << round;
    }
}

TEST(ExtractNumber, MatchesTheRegularExpressionItReplaces) {
    CompareWithRegex(std::string("0123456789a-\0\xE2 ", 15), std::regex(".*?([0-9]+)[^0-9]*"));
    const std::wstring wideAlphabet{L'0', L'1', L'9', L'x', 0xFF11, L' '};
    CompareWithRegex(wideAlphabet, std::wregex(L".*?([0-9]+)[^0-9]*"));
}

TEST(ExtractNumber, LineBreaksDoNotHideTheLastNumber) {
    EXPECT_EQ(ExtractNumber(std::string("ab\n12"), -1), 12);
    EXPECT_EQ(ExtractNumber(std::string("7\r\nline 8\n"), -1), 8);
    EXPECT_EQ(ExtractNumber(std::wstring(L"x\u2028") + L"31", -1), 31);
}

TEST(ExtractNumber, LongTextDoesNotExhaustTheStack) {
    std::string text(1000000, 'a');
    text.replace(10, 2, "17");
    EXPECT_EQ(ExtractNumber(text, -1), 17);
    text.replace(999990, 3, "345");
    EXPECT_EQ(ExtractNumber(text, -1), 345);
    EXPECT_EQ(ExtractNumber(std::string(1000000, '1'), -1), -1);
    EXPECT_EQ(ExtractNumber(std::string(999998, '0') + "42", -1), 42);
    EXPECT_EQ(ExtractNumber(std::wstring(1000000, L'b') + L"8", -1), 8);
}

}  // namespace
