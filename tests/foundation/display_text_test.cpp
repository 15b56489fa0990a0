#include "foundation/display_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

struct sTextRow {
    CString actual;
    const char* expected;
};

void ExpectRows(std::initializer_list<sTextRow> rows) {
    int i = 0;
    for (const sTextRow& row : rows) EXPECT_EQ(row.actual, row.expected) << "row " << i++;
}

TEST(DisplayText, AutoDecimals) {
    const struct {
        double value;
        int expected;
    } rows[] = {{0.0, 1},     {0.00005, 5}, {-0.05, 2},  {12.0, 0}, {1e-6, 6},   {0.0005, 4}, {0.005, 3},
                {0.5, 1},     {1.0, 0},     {-1e-7, 6},  {0.09999, 2}, {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& row : rows) EXPECT_EQ(AutoDecimals(row.value), row.expected) << row.value;
}

TEST(DisplayText, Distances) {
    ExpectRows({
        {DistanceText(0.5, -1, DISTANCE_UNIT_AUTO), "926.0 m"},
        {DistanceText(0.54, 2, DISTANCE_UNIT_AUTO), "0.54 NM"},
        {DistanceText(0.5, 2, 7), ""},
        {DistanceText(0.5, 2, -1), ""},
        {DistanceText(1.0, 2, DISTANCE_UNIT_KM), "1.85 km"},
        {DistanceText(1.0, 0, DISTANCE_UNIT_METRE), "1852 m"},
        {DistanceText(2.0, -1, DISTANCE_UNIT_NM), "2 NM"},
        {DistanceText(-1.0, 1, DISTANCE_UNIT_AUTO), "-1852.0 m"},
        {DistanceText(0.001, -1, DISTANCE_UNIT_AUTO), "1.852 m"},
        {DistanceText(1.0, -2, DISTANCE_UNIT_NM), "1 NM"},
        {ValueWithUnitText(3.14159, 2, "rad"), "3.14 rad"},
        {ValueWithUnitText(0.05, -1, "%d"), "0.05 %d"},
        {ValueWithUnitText(7.0, 0, ""), "7 "},
    });
}

TEST(DisplayText, Headings) {
    const double inf = std::numeric_limits<double>::infinity();
    ExpectRows({
        {HeadingText(-90.0, 1), "270.0\xB0"},
        {HeadingText(720.0, 1), "0.0\xB0"},
        {HeadingText(45.25, 2), "45.25\xB0"},
        {HeadingText(-1e-20, 1), "0.0\xB0"},
        {HeadingText(-725.5, 1), "354.5\xB0"},
        {HeadingText(359.5, 0), "360\xB0"},
        {HeadingText(12.0, -3), "12\xB0"},
        {HeadingText(inf, 1), "inf\xB0"},
        {HeadingText(-inf, 1), "-inf\xB0"},
        {HeadingText(std::numeric_limits<double>::quiet_NaN(), 1), "nan\xB0"},
    });
    // A huge heading is brought into range at once.
    const CString huge = HeadingText(1e300, 3);
    const double value = std::stod(huge.GetString());
    EXPECT_GE(value, 0.0);
    EXPECT_LT(value, 360.0);
}

TEST(DisplayText, SpecialCharacters) {
    const char* western[11] = {"\xA6", "\xA9", "\xAE", "\xB0", "\xB1", "\xDF", "\xDC", "\xFC", "\xD6", "\xF6", "\xB2"};
    const char* ascii[11] = {"|", "(c)", "(r)", "deg", "+/-", "B", "UE", "ue", "OE", "oe", "2"};
    for (int i = 0; i < 11; ++i) {
        for (const WORD language : {0x0406, 0x0407, 0x0409, 0x080A, 0x040B, 0x040C, 0x0410, 0x0413, 0x0416, 0x041D})
            EXPECT_EQ(SpecialCharText(language, i), western[i]) << language << " " << i;
        for (const WORD language : {0x0411, 0x0419, 0x0405, 0x0000})
            EXPECT_EQ(SpecialCharText(language, i), ascii[i]) << language << " " << i;
    }
    EXPECT_EQ(SpecialCharText(0x0409, 11), "");
    EXPECT_EQ(SpecialCharText(0x0411, -1), "");
}

TEST(DisplayText, TrailingZeros) {
    const struct {
        const char* text;
        int minimum;
        const char* expected;
    } rows[] = {{"12.3400", 0, "12.34"}, {"12.000", 0, "12"},   {"12.000", 1, "12.0"}, {"1200", 0, "1200"},
                {"12.3", 3, "12.3"},     {"12.30", 3, "12.30"}, {"0.0", 0, "0"},       {"-5.500", 0, "-5.5"},
                {"1.2.300", 0, "1.2.3"}, {"", 2, ""},           {".", 0, ""}};
    for (const auto& row : rows) {
        CString text(row.text);
        TrimTrailingZeros(text, row.minimum);
        EXPECT_EQ(text, row.expected) << row.text << " " << row.minimum;
    }
    ExpectRows({
        {DoubleToText(1.5, 0), "1.5"},
        {DoubleToText(2.0, 0), "2"},
        {DoubleToText(2.0, 2), "2.00"},
        {DoubleToText(-0.125, 0), "-0.125"},
        {DoubleToText(1e-11, 0), "0"},
        {DoubleToText(0.1234567890123, 0), "0.123456789"},
        {FloatToText(0.1f, 0), "0.1"},
        {FloatToText(3.0f, 1), "3.0"},
    });
}

TEST(DisplayText, Chainage) {
    ExpectRows({
        {ChainageText(1.23456, 2), "12+34.56"},
        {ChainageText(1.23456, 0), "12+35"},
        {ChainageText(-1.23456, 2), "-12-34.56"},
        {ChainageText(1.29996, 1), "12+100.0"},
        {ChainageText(0.0, 2), "0+00.00"},
        {ChainageText(0.05, 1), "0+50.0"},
        {ChainageText(-0.05, 1), "0-50.0"},
        {ChainageText(10.0, 0), "100+00"},
        {ChainageText(1.23456, -1), "12+35"},
    });
}

TEST(DisplayText, RoundNumberTextInDouble) {
    const struct {
        const char* text;
        int decimals;
        const char* expected;
    } rows[] = {{"12345678.91", 2, "12345678.91"}, {"2.5678", 2, "2.57"},  {"12", 2, "12"},
                {"abc.5", 1, "abc.5"},             {"2.5678", -1, "2.5678"}, {" 3.14159 ", 3, "3.142"},
                {"123456789.123", 1, "123456789.1"}, {"1.", 3, "1.000"}};
    for (const auto& row : rows) {
        CString text(row.text);
        RoundNumberText(text, row.decimals);
        EXPECT_EQ(text, row.expected) << row.text;
    }
}

TEST(DisplayText, NumberTests) {
    const struct {
        const char* text;
        BOOL number;
        BOOL integer;
    } rows[] = {{" 12.5 ", TRUE, FALSE}, {"1.2.3", FALSE, FALSE}, {"5-", FALSE, TRUE},  {"-", TRUE, TRUE},
                {"+", TRUE, TRUE},       {".", TRUE, FALSE},      {"+-5", FALSE, TRUE}, {nullptr, FALSE, FALSE},
                {"", FALSE, FALSE},      {"   ", FALSE, FALSE},   {"-12", TRUE, TRUE},  {"1e5", FALSE, FALSE},
                {"12a", FALSE, FALSE},   {"+5", TRUE, TRUE},      {"1-2", FALSE, TRUE}, {" -12 ", TRUE, TRUE},
                {"1 2", FALSE, FALSE}};
    for (const auto& row : rows) {
        const std::string name = row.text != nullptr ? row.text : "(null)";
        EXPECT_EQ(IsNumberText(row.text), row.number) << name;
        EXPECT_EQ(IsIntegerText(row.text), row.integer) << name;
    }
}

TEST(DisplayText, FindNumber) {
    const struct {
        const char* text;
        bool found;
        double value;
    } rows[] = {{"x=-12.50m", true, -12.5},
                {"abc", false, 99.0},
                {"7", true, 7.0},
                {"a", false, 99.0},
                {"", false, 99.0},
                {"a7", true, 7.0},
                {"depth 12.5.3 m", true, 12.5},
                {"x-y", false, 99.0},
                {"--5", true, -5.0},
                {"no 3", true, 3.0},
                // The negative of the largest float means "no number".
                {"-340282346638528859811704183484516925440", false, 99.0},
                {"340282346638528859811704183484516925440", true, 3.4028234663852886e38}};
    for (const auto& row : rows) {
        double out = 99.0;
        EXPECT_EQ(FindNumberInText(row.text, &out), row.found) << row.text;
        EXPECT_DOUBLE_EQ(out, row.value) << row.text;
    }
}

TEST(DisplayText, Binary) {
    EXPECT_EQ(BinaryText(0), "0");
    EXPECT_EQ(BinaryText(1), "1");
    EXPECT_EQ(BinaryText(5), "101");
    EXPECT_EQ(BinaryText(0xFFFFFFFFu), std::string(32, '1'));
    EXPECT_EQ(BinaryText(0x80000000u), "1" + std::string(31, '0'));
}

}  // namespace
