#include "foundation/lat_lon_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "compat/combo_box.h"

namespace {

constexpr float kEncoderCap = 59.999996f;

void ExpectDms(const sDmsAngle& a, int deg, int min, float sec, char letter) {
    EXPECT_EQ(a.degrees, deg);
    EXPECT_EQ(a.minutes, min);
    EXPECT_FLOAT_EQ(a.seconds, sec);
    EXPECT_EQ(a.hemisphere, letter);
}

TEST(DegreesToDms, SplitsWithHemisphereLetter) {
    sDmsAngle a{};
    EXPECT_EQ(DegreesToDms(-12.5, TRUE, &a, kEncoderCap), 'S');
    ExpectDms(a, 12, 30, 0.0f, 'S');
    DegreesToDms(52.0 + 15.0 / 60 + 30.25 / 3600, TRUE, &a, kEncoderCap);
    ExpectDms(a, 52, 15, 30.25f, 'N');
    EXPECT_EQ(DegreesToDms(0.0, FALSE, &a, kEncoderCap), 'E');
    DegreesToDms(-1e-12, FALSE, &a, kEncoderCap);
    ExpectDms(a, 0, 0, a.seconds, 'W');
    EXPECT_LT(a.seconds, 1e-6f);
}

TEST(DegreesToDms, CarriesAtTheSecondsCap) {
    sDmsAngle a{};
    // Seconds that round to 60 in single precision: into the minutes, then into the degrees.
    DegreesToDms(10.9999999999, TRUE, &a, kEncoderCap);
    ExpectDms(a, 11, 0, 0.0f, 'N');
    DegreesToDms(-(10.0 + 59.0 / 60 + 59.999998 / 3600), TRUE, &a, kEncoderCap);
    ExpectDms(a, 11, 0, 0.0f, 'S');
    DegreesToDms(-(179.0 + 59.0 / 60 + 59.9996 / 3600), FALSE, &a, 59.9995f);
    ExpectDms(a, 180, 0, 0.0f, 'W');
    // Into the minutes only.
    DegreesToDms(10.0 + 30.0 / 60 + 59.9996 / 3600, FALSE, &a, 59.9995f);
    ExpectDms(a, 10, 31, 0.0f, 'E');
    // Below the cap nothing carries.
    DegreesToDms(10.0 + 30.0 / 60 + 59.9990 / 3600, FALSE, &a, 59.9995f);
    EXPECT_EQ(a.minutes, 30);
    EXPECT_NEAR(a.seconds, 59.999f, 1e-4f);
}

TEST(DegreesToDms, NonFiniteValueGivesZeros) {
    sDmsAngle a{};
    DegreesToDms(std::numeric_limits<double>::quiet_NaN(), TRUE, &a, kEncoderCap);
    EXPECT_EQ(a.degrees, 0);
    DegreesToDms(-std::numeric_limits<double>::infinity(), TRUE, &a, kEncoderCap);
    ExpectDms(a, 0, 0, 0.0f, 'S');
}

TEST(DmsConversions, SignFromTheLetter) {
    const sDmsAngle south{10, 30, 36.0f, 's', {}};
    EXPECT_DOUBLE_EQ(DmsToDegrees(south), -10.51);
    EXPECT_DOUBLE_EQ(DmsPartsToDegrees(10, 30, 36.0f, 'E'), 10.51);
    EXPECT_DOUBLE_EQ(DmsPartsToDegrees(10, 30, 36.0f, 'W'), -10.51);
    EXPECT_DOUBLE_EQ(DmsToRadians(south), -10.51 * 0.017453292519943295);
    EXPECT_NEAR(DmsPartsToRadians(10, 30, 36, '-'), -0.1834341044, 1e-10);
    EXPECT_NEAR(DmsPartsToRadians(10, 30, 36, 'N'), 0.1834341044, 1e-10);
}

TEST(CoordinateFormats, MasksAndFormatsByCode) {
    EXPECT_EQ(DisplayMask(0, TRUE, TRUE), "dd;mm;ss.sssss H");
    EXPECT_EQ(DisplayMask(0, FALSE, FALSE), "ddd;mm;ss.sss H");
    EXPECT_EQ(EditMask(12, FALSE, FALSE), "#####.######,E");
    EXPECT_EQ(PrintfFormat(9, FALSE, FALSE), "%+4d;%08.5lf");
    EXPECT_EQ(DisplayMask(15, TRUE, FALSE), "");
    EXPECT_EQ(EditMask(-1, TRUE, FALSE), "");
    EXPECT_EQ(PrintfFormat(15, TRUE, FALSE), "");
}

TEST(CoordinateFormats, FillFormatComboListsLongitudeMasksWithTheirCodes) {
    struct Row {
        int level;
        std::vector<std::pair<const char*, DWORD_PTR>> items;
    } rows[] = {
        {0, {{"ddd;mm;ss.sss H", 0}, {"ddd;mm.mmmmm H", 1}, {"+ddd.ddddddd", 2}}},
        {1,
         {{"ddd;mm;ss.sssss H", 5}, {"ddd;mm;ss.sss H", 0}, {"ddd;mm.mmmmmmm H", 6}, {"ddd;mm.mmmmm H", 1},
          {"+ddd.ddddddddd", 7}, {"+ddd.ddddddd", 2}}},
        {2,
         {{"ddd;mm;ss.sssssss H", 5}, {"ddd;mm;ss.sssss H", 0}, {"ddd;mm.mmmmmmmmm H", 6},
          {"ddd;mm.mmmmmmm H", 1}, {"+ddd.ddddddddddd", 7}, {"+ddd.ddddddddd", 2}}},
        {-1,
         {{"ddd;mm;ss.sssss H", 5}, {"ddd;mm;ss.sss H", 0}, {"ddd;mm.mmmmmmm H", 6}, {"ddd;mm.mmmmm H", 1},
          {"+ddd.ddddddddd", 7}, {"+ddd.ddddddd", 2}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        CComboBox box;
        box.AddString("old");  // emptied first
        FillFormatCombo(&box, row.level);
        ASSERT_EQ(box.GetCount(), static_cast<int>(row.items.size()));
        for (int i = 0; i < box.GetCount(); ++i) {
            EXPECT_EQ(box.GetItemText(i), row.items[static_cast<std::size_t>(i)].first);
            EXPECT_EQ(box.GetItemData(i), row.items[static_cast<std::size_t>(i)].second);
        }
    }
    FillFormatCombo(nullptr, 0);
    CWnd notABox;
    FillFormatCombo(&notABox, 0);
}

TEST(CoordinateFormats, FormatDegreesInEachArgumentShape) {
    EXPECT_EQ(FormatDegrees(0, 52.5, TRUE, FALSE), "52;30;00.000 N");
    EXPECT_EQ(FormatDegrees(0, -4.25, FALSE, TRUE), "  4;15;00.00000 W");
    EXPECT_EQ(FormatDegrees(1, 52.5, TRUE, FALSE), "52;30.00000 N");
    EXPECT_EQ(FormatDegrees(2, -52.5, TRUE, FALSE), "-52.5000000");
    EXPECT_EQ(FormatDegrees(3, 4.5, FALSE, FALSE), "0043000.000E");
    EXPECT_EQ(FormatDegrees(8, -52.5, TRUE, FALSE), "-52;30;00.000");
    EXPECT_EQ(FormatDegrees(8, 52.5, TRUE, FALSE), "+52;30;00.000");
    EXPECT_EQ(FormatDmsAuto(0, sDmsAngle{4, 15, 0.0f, 'e', {}}, FALSE), "  4;15;00.000 e");
    EXPECT_EQ(FormatDegrees(9, -4.25, FALSE, FALSE), "  -4;15.00000");
    EXPECT_EQ(FormatDegrees(12, 52.5, TRUE, FALSE), "5230.000000,N");
    EXPECT_EQ(FormatDegrees(13, 4.5, FALSE, FALSE), "  4 30.0000E");
    EXPECT_EQ(FormatDegrees(14, 10.51, TRUE, FALSE), " 0.1834341044");
    EXPECT_EQ(FormatDegrees(15, 10.51, TRUE, FALSE), "");
}

TEST(CoordinateFormats, CodeCapsPreventSixtySeconds) {
    // 59.96 s would print as 60.0 with one decimal; the cap of code 4 carries it.
    EXPECT_EQ(FormatDegrees(4, 1.0 + 59.96 / 3600, TRUE, FALSE), " 1;01;00.0 N");
    EXPECT_EQ(FormatDegrees(4, 1.0 + 59.94 / 3600, TRUE, FALSE), " 1;00;59.9 N");
    EXPECT_EQ(FormatDegrees(0, 1.0 + 59.997 / 3600, TRUE, FALSE), " 1;00;59.997 N");
}

TEST(FixedCoordinateTexts, DegreesAndDecimalMinutes) {
    EXPECT_EQ(LatitudeText(-52.9999999, 3), "53 00.000 S");
    EXPECT_EQ(LongitudeText(-4.25, 2), "004 15.00 W");
    EXPECT_EQ(LongitudeText(4.5, 0), "004 30 E");
    EXPECT_EQ(PositionText(52.5, 4.25, 1), "52 30.0 N  004 15.0 E");
}

TEST(FixedCoordinateTexts, DmsTextCarriesWhenRounding) {
    EXPECT_EQ(DmsText(10.999999, 2, TRUE), "11;00;00.00N");
    EXPECT_EQ(DmsText(10.999999, 4, TRUE), "10;59;59.9964N");
    EXPECT_EQ(DmsText(-4.5, 0, FALSE), " 4;30;00W");
    EXPECT_EQ(Vok::DmsText(-4.5, 0, FALSE), " 4;30;00W");
}

}  // namespace
