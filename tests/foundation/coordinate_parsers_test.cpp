#include "foundation/coordinate_parsers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kUntouched = 99.0;

struct sParseRow {
    const char* text;
    bool ok;
    double value;
};

TEST(CoordinateParsers, Latitude) {
    const sParseRow rows[] = {
        {"52 30.5 N", true, 52.508333333333333}, {"52,5S", true, -52.5},      {"-95", false, kUntouched},
        {"52 60", false, kUntouched},            {"S52.5", false, kUntouched}, {"", false, kUntouched},
        {"abc", false, kUntouched},              {"INF", false, kUntouched},   {"nan", false, kUntouched},
        {"52.5", true, 52.5},                    {"-52.5", true, -52.5},       {" 52.5n ", true, 52.5},
        {"90", true, 90.0},                      {"90 0.1", false, kUntouched}, {"-90", true, -90.0},
        {"52 30 S", true, -52.5},                {"1e1", true, 10.0},          {"52 59.99", true, 52.999833333333333},
    };
    for (const sParseRow& row : rows) {
        double out = kUntouched;
        EXPECT_EQ(ParseLatitudeText(row.text, &out), row.ok ? TRUE : FALSE) << row.text;
        EXPECT_NEAR(out, row.value, 1e-12) << row.text;
    }
}

TEST(CoordinateParsers, Longitude) {
    const sParseRow rows[] = {
        {"350E", true, 350.0},   {"190W", true, -190.0},  {"400", false, kUntouched}, {"360.5", false, kUntouched},
        {"-181", true, -181.0},  {"W4.5", false, kUntouched}, {"4 15.5 W", true, -4.258333333333333},
        {"4 15.5 E", true, 4.258333333333333}, {"", false, kUntouched}, {"-INF", false, kUntouched},
        {"0", true, 0.0},
    };
    for (const sParseRow& row : rows) {
        double out = kUntouched;
        EXPECT_EQ(ParseLongitudeText(row.text, &out), row.ok ? TRUE : FALSE) << row.text;
        EXPECT_NEAR(out, row.value, 1e-12) << row.text;
    }
}

TEST(CoordinateParsers, LooseAngles) {
    const struct {
        const char* text;
        double degrees;
    } rows[] = {{"52 30 15.5 N", 52.504305555555556},
                {"10d 30m W", -10.5},
                {"", 0.0},
                {"-12.5", -12.5},
                {"S 33 52 0", -33.866666666666667},
                {"abc", 0.0},
                {"e 1e999", 0.0},
                {"N 1 2 3 4", 1.0341666666666667},
                {"+5", 5.0},
                {"w5", -5.0}};
    for (const auto& row : rows) {
        EXPECT_NEAR(ParseAngleText(row.text), row.degrees, 1e-12) << row.text;
        EXPECT_NEAR(ParseAngleText(std::string(row.text)), row.degrees, 1e-12) << row.text;
        EXPECT_NEAR(ParseAngleText(CString(row.text)), row.degrees, 1e-12) << row.text;
        EXPECT_NEAR(ParseAngleTextToRadians(row.text), row.degrees * 0.017453292519943295, 1e-12) << row.text;
    }
    EXPECT_EQ(ParseAngleText(static_cast<const char*>(nullptr)), 0.0);
    EXPECT_EQ(ParseAngleTextToRadians(nullptr), 0.0);
    EXPECT_DOUBLE_EQ(ParseAngleTextToRadians("180"), M_PI);
}

TEST(CoordinateParsers, StrictAngles) {
    const sParseRow rows[] = {
        {"52;30;15.5 N", true, 52.504305555555556}, {"52;30.5 S", true, -52.508333333333333},
        {"-52;30 S", true, 52.5},                   {"52.5083", true, 52.5083},
        {"52;30.5;10", false, 0.0},                 {"1;2;3;4", false, 0.0},
        {"-1;-2", false, 0.0},                      {"", false, 0.0},
        {"N", false, 0.0},                          {"INF", false, 0.0},
        {"NAN", false, 0.0},                        {"1;INF", false, 0.0},
        {"52 ; 30", true, 52.5},                    {"52 30", false, 0.0},
        {" 12;30 w ", true, -12.5},                 {"52\xB0" "30", false, 0.0},
        {"52;61", true, 53.016666666666667},        {"52;;30", false, 0.0},
        {"0;0;0 W", true, 0.0},
    };
    for (const sParseRow& row : rows) {
        double out = kUntouched;
        EXPECT_EQ(ParseAngleTextStrict(row.text, &out), row.ok) << row.text;
        EXPECT_NEAR(out, row.value, 1e-12) << row.text;
    }
}

TEST(CoordinateParsers, SplitAngles) {
    sDmsAngle out{};
    ASSERT_TRUE(ParseLatLonText("52;59;59.9999996 N", &out, TRUE));
    EXPECT_EQ(out.degrees, 53);
    EXPECT_EQ(out.minutes, 0);
    EXPECT_EQ(out.seconds, 0.0f);
    EXPECT_EQ(out.hemisphere, 'N');
    ASSERT_TRUE(ParseLatLonText("4;15;30 W", &out, FALSE));
    EXPECT_EQ(out.degrees, 4);
    EXPECT_EQ(out.minutes, 15);
    EXPECT_NEAR(out.seconds, 30.0f, 1e-4);
    EXPECT_EQ(out.hemisphere, 'W');
    ASSERT_TRUE(ParseLatLonText("95", &out, TRUE));  // no range test
    EXPECT_EQ(out.degrees, 95);
    EXPECT_EQ(out.hemisphere, 'N');
    out = sDmsAngle{7, 8, 9.0f, 'S', {}};
    EXPECT_FALSE(ParseLatLonText("bad", &out, TRUE));
    EXPECT_EQ(out.degrees, 0);
    EXPECT_EQ(out.minutes, 0);
    EXPECT_EQ(out.seconds, 0.0f);
    EXPECT_EQ(out.hemisphere, 'N');
    EXPECT_FALSE(ParseLatLonText("", &out, FALSE));
    EXPECT_EQ(out.hemisphere, 'E');
}

TEST(CoordinateParsers, RangeChecks) {
    const struct {
        sDmsAngle angle;
        BOOL latitude;
        BOOL longitude;
    } rows[] = {
        {{52, 30, 0.0f, 'N', {}}, TRUE, FALSE},   {{52, 30, 0.0f, 'x', {}}, FALSE, FALSE},
        {{90, 0, 0.0f, 'S', {}}, TRUE, FALSE},    {{90, 0, 1.0f, 'N', {}}, FALSE, FALSE},
        {{88, 61, 0.0f, 'n', {}}, TRUE, FALSE},   {{180, 0, 0.0f, 'W', {}}, FALSE, TRUE},
        {{180, 0, 0.5f, 'e', {}}, FALSE, FALSE},  {{179, 59, 59.9f, 'w', {}}, FALSE, TRUE},
        {{-91, 0, 0.0f, 's', {}}, FALSE, FALSE},  {{10, 0, 0.0f, 'E', {}}, FALSE, TRUE},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsValidLatitude(row.angle), row.latitude) << row.angle.degrees << row.angle.hemisphere;
        EXPECT_EQ(IsValidLongitude(row.angle), row.longitude) << row.angle.degrees << row.angle.hemisphere;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(IsLatitudeInRange(-90.0));
    EXPECT_FALSE(IsLatitudeInRange(90.0000001));
    EXPECT_FALSE(IsLatitudeInRange(nan));
    EXPECT_TRUE(IsLongitudeInRange(180.0));
    EXPECT_FALSE(IsLongitudeInRange(-180.1));
    EXPECT_FALSE(IsLongitudeInRange(nan));

    const struct {
        sDateYmd date;
        BOOL valid;
    } dates[] = {{{1979, 12, 31}, FALSE}, {{1980, 2, 31}, TRUE},  {{2024, 1, 0}, FALSE},       {{2024, 0, 1}, FALSE},
                 {{2024, 13, 1}, FALSE},  {{2024, 12, 31}, TRUE}, {{2024, 1, 32}, FALSE},      {{2024, -1, 5}, FALSE},
                 {{1980, 1, 1}, TRUE},    {{2024, 1, INT_MIN}, FALSE}, {{INT_MAX, 1, 1}, TRUE}};
    for (const auto& row : dates)
        EXPECT_EQ(IsValidDate(row.date), row.valid) << row.date.year << "-" << row.date.month << "-" << row.date.day;
}

}  // namespace
