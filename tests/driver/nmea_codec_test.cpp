#include "driver/nmea_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string_view>
#include <functional>
#include <string>

namespace {

struct sCutRow {
    const char* name;
    std::function<int(CString&)> cut;
    const char* input;
    int result;
    const char* rest;
};

TEST(NmeaCodec, CuttingOperations) {
    const char* gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    const sCutRow rows[] = {
        {"token leaves the first field", [](CString& t) { return SkipPastToken(t, "GGA"); }, gga, 1,
         "123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"},
        {"token at the very end", [](CString& t) { return SkipPastToken(t, "GGA"); }, "$GPGGA", 0, ""},
        {"token and one character", [](CString& t) { return SkipPastToken(t, "GGA"); }, "$GPGGA,", 0, ""},
        {"token missing", [](CString& t) { return SkipPastToken(t, "RMC"); }, gga, 0, ""},
        {"token longer than text", [](CString& t) { return SkipPastToken(t, "GGA"); }, "GG", 0, ""},
        {"token on empty text", [](CString& t) { return SkipPastToken(t, "GGA"); }, "", 0, ""},
        {"two fields", [](CString& t) { return SkipFields(t, 2); }, "4807.038,N,01131.000,E", 1, "01131.000,E"},
        {"delimiter is the last character", [](CString& t) { return SkipFields(t, 1); }, "4807.038,", 0, ""},
        {"no delimiter", [](CString& t) { return SkipFields(t, 1); }, "4807", 0, ""},
        {"star and CR delimit", [](CString& t) { return SkipFields(t, 2); }, "A*4F\r\n", 1, "\n"},
        {"zero fields", [](CString& t) { return SkipFields(t, 0); }, "a,b", 1, "a,b"},
        {"past first of set", [](CString& t) { return SkipPastFirstOf(t, "*"); }, "A,B*12", 1, "12"},
        {"first of set kept", [](CString& t) { return SkipToFirstOf(t, "$"); }, "xx$GPHDT", 1, "$GPHDT"},
        {"first of set missing", [](CString& t) { return SkipToFirstOf(t, "$"); }, "GPHDT", 0, ""},
        {"sentence start is idempotent", [](CString& t) { return SkipToSentenceStart(t, 3); }, "a$b$c", 1, "$b$c"},
        {"sentence start missing", [](CString& t) { return SkipToSentenceStart(t, 1); }, "abc", 0, ""},
    };
    for (const sCutRow& row : rows) {
        CString text(row.input);
        EXPECT_EQ(row.cut(text), row.result) << row.name;
        EXPECT_EQ(std::string(text.GetString()), row.rest) << row.name;
    }
}

TEST(NmeaCodec, FieldLengthAndDelimiters) {
    EXPECT_EQ(GetFieldLength(CString("123.4,T*00")), 5);
    EXPECT_EQ(GetFieldLength(CString(",T")), 0);
    EXPECT_EQ(GetFieldLength(CString("123")), -1);
    EXPECT_EQ(GetFieldLength(CString("")), -1);
    const CString text("a$,*\r\nb");
    const int expected[] = {0, 1, 1, 1, 1, 1, 0};
    for (int i = 0; i < text.GetLength(); ++i) EXPECT_EQ(IsFieldDelimiter(text, i), expected[i]) << i;
    EXPECT_EQ(IsFieldDelimiter(text, -1), 0);
    EXPECT_EQ(IsFieldDelimiter(text, 99), 0);
    EXPECT_EQ(IsFieldDelimiter(CString(""), 0), 0);
}

TEST(NmeaCodec, CoordinatesCarryTheirHemisphere) {
    EXPECT_DOUBLE_EQ(ParseLatitude(CString("4807.038,N,01131.000,E")), 48.1173);
    EXPECT_DOUBLE_EQ(ParseLatitude(CString("4807.038,S,01131.000,E")), -48.1173);
    EXPECT_DOUBLE_EQ(ParseLongitude(CString("01131.000,W*47")), -(11 + 31.0 / 60));
    EXPECT_DOUBLE_EQ(ParseLongitude(CString("01131.000,E")), 11 + 31.0 / 60);
    // High-precision minutes as sent by survey receivers.
    EXPECT_NEAR(ParseLatitude(CString("5000.97323841,N")), 50.016220640, 1e-9);
    EXPECT_NEAR(ParseLongitude(CString("00827.62010742,E")), 8.460335124, 1e-9);
    EXPECT_EQ(ParseLatitude(CString(",N,01131.000")), 0.0);
    EXPECT_EQ(ParseLatitude(CString("480")), 0.0);
    EXPECT_EQ(ParseLongitude(CString("0113")), 0.0);
    // Without a hemisphere field the value stays positive.
    EXPECT_DOUBLE_EQ(ParseLatitude(CString("4807.038")), 48.1173);
    EXPECT_DOUBLE_EQ(ParseLatitude(CString("4807.038,")), 48.1173);
}

TEST(NmeaCodec, Numbers) {
    EXPECT_DOUBLE_EQ(ParseDouble(CString("545.4,M")), 545.4);
    EXPECT_DOUBLE_EQ(ParseDouble(CString("-12.5,A")), -12.5);
    EXPECT_EQ(ParseDouble(CString(",M")), 0.0);
    EXPECT_EQ(ParseDouble(CString("")), 0.0);
    EXPECT_EQ(ParseInteger(CString("08,0.9")), 8);
    EXPECT_EQ(ParseInteger(CString("-3")), -3);
    EXPECT_EQ(ParseInteger(CString("*47")), 0);
    EXPECT_EQ(ParseInteger(CString("99999999999999999999,")), 2147483647);
    EXPECT_EQ(ParseInteger(CString("-99999999999999999999,")), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(ParseNumberSkippingPrefix(CString("EHT-12.345,M*30")), -12.345);
    EXPECT_DOUBLE_EQ(ParseNumberSkippingPrefix(CString("EHT150.790,M")), 150.79);
    EXPECT_EQ(ParseNumberSkippingPrefix(CString("A5,M")), 0.0);
    EXPECT_EQ(ParseNumberSkippingPrefix(CString("EHT0.000,M")), 0.0);
    EXPECT_EQ(ParseNumberSkippingPrefix(CString("EHT150")), 0.0);  // no end of field
    EXPECT_DOUBLE_EQ(ParseSignedValueEW(CString("3.5,W*00")), -3.5);
    EXPECT_DOUBLE_EQ(ParseSignedValueEW(CString("3.5,E")), 3.5);
    EXPECT_DOUBLE_EQ(ParseSignedValueEW(CString("3.5")), 3.5);
}

SYSTEMTIME Dated(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = 7;
    st.wMinute = 8;
    st.wSecond = 9;
    st.wMilliseconds = 10;
    return st;
}

void ExpectTime(const SYSTEMTIME& st, int h, int m, int s, int ms) {
    EXPECT_EQ(st.wHour, h);
    EXPECT_EQ(st.wMinute, m);
    EXPECT_EQ(st.wSecond, s);
    EXPECT_EQ(st.wMilliseconds, ms);
}

void ExpectDate(const SYSTEMTIME& st, int year, int month, int day) {
    EXPECT_EQ(st.wYear, year);
    EXPECT_EQ(st.wMonth, month);
    EXPECT_EQ(st.wDay, day);
}

TEST(NmeaCodec, TimeOfDayKeepsTheDate) {
    SYSTEMTIME st = Dated(2011, 10, 24);
    ParseTime(CString("123519,4807.038"), &st);
    ExpectTime(st, 12, 35, 19, 0);
    ExpectDate(st, 2011, 10, 24);
    ParseTime(CString("123519.999,A"), &st);
    ExpectTime(st, 12, 35, 19, 999);
    ParseTime(CString("081836.75"), &st);
    ExpectTime(st, 8, 18, 36, 750);
    // A fraction that rounds to a whole second is kept as 1000 ms.
    ParseTime(CString("000000.9996,"), &st);
    ExpectTime(st, 0, 0, 0, 1000);
    ParseTime(CString("08"), &st);
    ExpectTime(st, 0, 0, 0, 0);
    ExpectDate(st, 2011, 10, 24);
    ParseTime(CString("123519"), nullptr);
}

TEST(NmeaCodec, TimeFieldNeverReadsTheNextField) {
    SYSTEMTIME st = Dated(2011, 10, 24);
    ParseTime(CString(",4807.038,N"), &st);
    ExpectTime(st, 0, 0, 0, 0);
    st = Dated(2011, 10, 24);
    ParseTime(CString("1235,4807.038,N"), &st);
    ExpectTime(st, 0, 0, 0, 0);
    // Garbage in a long field stays garbage but stays defined.
    ParseTime(CString("1235191e300,"), &st);
    EXPECT_EQ(st.wHour, 12);
    ParseTime(CString("1235nan,"), &st);
    EXPECT_EQ(st.wSecond, 0);
}

TEST(NmeaCodec, SixDigitDates) {
    SYSTEMTIME st = Dated(2000, 1, 1);
    ParseDateDdMmYy(CString("130998,011.3,E"), &st);
    ExpectDate(st, 1998, 9, 13);
    ExpectTime(st, 7, 8, 9, 10);
    ParseDateMmDdYy(CString("051910,5000.97"), &st);
    ExpectDate(st, 2010, 5, 19);
    ParseDateDdMmYyyy(CString("11,03,2004,-1,00*7D"), &st);
    ExpectDate(st, 2004, 3, 11);
    ParseDateDdMmYyyy(CString("11.03.2004"), &st);
    ExpectDate(st, 2004, 3, 11);
    ParseDateDdMmYyyy(CString("31.12.1999"), &st);
    ExpectDate(st, 1999, 12, 31);
    ParseDateDdMmYyyy(CString("01.01.2080"), &st);
    ExpectDate(st, 2080, 1, 1);
}

TEST(NmeaCodec, MalformedDatesKeepThePreviousDate) {
    const char* bad[] = {",011.3,E", "", "13099,8", "1309989,", "13a998,", "1309", "-30998,", " 30998,"};
    for (const char* text : bad) {
        SYSTEMTIME st = Dated(2012, 5, 29);
        ParseDateDdMmYy(CString(text), &st);
        ExpectDate(st, 2012, 5, 29);
        ParseDateMmDdYy(CString(text), &st);
        ExpectDate(st, 2012, 5, 29);
    }
    const char* badLong[] = {"11,03,04", "11,03,20041", "1103,2004,", "11,3,2004,", "ab,03,2004"};
    for (const char* text : badLong) {
        SYSTEMTIME st = Dated(2012, 5, 29);
        ParseDateDdMmYyyy(CString(text), &st);
        ExpectDate(st, 2012, 5, 29);
    }
    ParseDateDdMmYy(CString("130998"), nullptr);
}

TEST(NmeaCodec, ImpossibleSixDigitDateBecomesToday) {
    SYSTEMTIME st = Dated(2012, 5, 29);
    ParseDateDdMmYy(CString("321398"), &st);
    EXPECT_GE(st.wYear, 2024);
    EXPECT_GE(st.wMonth, 1);
    EXPECT_LE(st.wMonth, 12);
}

TEST(NmeaCodec, Formatters) {
    EXPECT_EQ(FormatLatitude(48.1173), "4807.038000,N");
    EXPECT_EQ(FormatLatitude(-48.1173), "4807.038000,S");
    EXPECT_EQ(FormatLongitude(-(11 + 31.0 / 60)), "01131.000000,W");
    EXPECT_EQ(FormatLongitude(8.5), "00830.000000,E");
    EXPECT_EQ(FormatLongitude(-179.75), "17945.000000,W");
    // Seconds just below the cap carry into a whole degree.
    EXPECT_EQ(FormatLatitude(52.99999999999), "5300.000000,N");
    EXPECT_EQ(FormatLatitude(52.999999967694), "5300.000000,N");  // minutes rounded up to 60
    EXPECT_EQ(FormatHeight(123456.0), "99999.999,M");
    EXPECT_EQ(FormatHeight(-123456.0), "-9999.999,M");
    EXPECT_EQ(FormatHeight(45.5), "00045.500,M");
    EXPECT_EQ(FormatSignedValueEW(-3.1), "3.100,W");
    EXPECT_EQ(FormatSignedValueEW(3.1), "3.100,E");

    SYSTEMTIME st = Dated(2004, 3, 11);
    st.wHour = 12;
    st.wMinute = 59;
    st.wSecond = 59;
    st.wMilliseconds = 996;
    EXPECT_EQ(FormatTime(&st), "130000.00");
    EXPECT_EQ(st.wHour, 13);
    EXPECT_EQ(st.wMinute, 0);
    st.wHour = 12;
    st.wMinute = 59;
    st.wMilliseconds = 995;  // where the carry begins
    EXPECT_EQ(FormatTime(&st), "130000.00");
    st.wSecond = 12;
    st.wMilliseconds = 710;
    EXPECT_EQ(FormatTime(&st), "130012.71");
    st.wHour = 23;
    st.wMinute = 59;
    st.wSecond = 59;
    st.wMilliseconds = 999;
    EXPECT_EQ(FormatTime(&st), "000000.00");
    EXPECT_EQ(FormatTime(nullptr), "");
    EXPECT_EQ(FormatDateDdMmYyyy(&st), "11,03,2004");
    EXPECT_EQ(FormatDateDdMmYy(&st), "110304");
    EXPECT_EQ(FormatDateMmDdYy(&st), "031104");
    EXPECT_EQ(FormatDateDdMmYy(nullptr), "");
}

TEST(NmeaCodec, FormattedFieldsParseBack) {
    const double values[] = {0.0, 1e-7, 12.3456789, -33.999999, 89.5, -0.25};
    for (double v : values) {
        EXPECT_NEAR(ParseLatitude(FormatLatitude(v)), v, 1e-7) << v;
        EXPECT_NEAR(ParseLongitude(FormatLongitude(v * 2)), v * 2, 1e-7) << v;
    }
    SYSTEMTIME st = Dated(2019, 12, 31);
    SYSTEMTIME back = Dated(2000, 1, 1);
    ParseDateDdMmYy(FormatDateDdMmYy(&st), &back);
    ExpectDate(back, 2019, 12, 31);
    ParseDateMmDdYy(FormatDateMmDdYy(&st), &back);
    ExpectDate(back, 2019, 12, 31);
    ParseTime(FormatTime(&st), &back);
    ExpectTime(back, 7, 8, 9, 10);
}

// Numbers are read as strtod and strtol read them in the C locale, but never past the view's end.
TEST(NmeaCodec, NumbersReadAsTheCLibraryReadsThem) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::string full = "1e400," + std::string(122, '0');  // fills the copy handed to strtod
    const struct {
        std::string_view text;
        double value;
    } decimals[] = {
        {full, inf},
        {"545.4,M", 545.4},     {"  -3.25*", -3.25},  {"+4.5", 4.5},      {"+-1", 0.0},        {"-+1", 0.0},
        {"1e3,", 1000.0},       {"1e", 1.0},          {"5e+2", 500.0},    {".5", 0.5},         {"-.5", -0.5},
        {"0012.50", 12.5},      {"\r\n7", 7.0},       {"0x1A", 26.0},     {"-0x10", -16.0},    {"00x1", 0.0},
        {"1e400", inf},         {"-1e400", -inf},     {"1e-400", 0.0},    {"4.9e-324", 4.9e-324},
        {"inf", inf},           {"-Infinity", -inf},  {"abc", 0.0},       {"", 0.0},           {",5", 0.0},
        {std::string_view("1\0" "2", 3), 1.0},        {std::string_view("123", 2), 12.0},
        {"9.961983914549817", 9.961983914549817},     {"-12345678.901234567", -12345678.901234567},
    };
    for (const auto& row : decimals) {
        EXPECT_EQ(ParseDecimal(row.text), row.value) << row.text;
        EXPECT_EQ(ParseDouble(CNmeaText(row.text)), row.value) << row.text;
    }
    EXPECT_TRUE(std::isnan(ParseDecimal("nan,1")));
    EXPECT_TRUE(std::isnan(ParseDecimal("-NAN(12)")));

    const struct {
        std::string_view text;
        int value;
    } integers[] = {
        {"08,", 8},           {" -7", -7},         {"+8", 8},             {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},                   {"-2147483648", INT_MIN},                  {"-99999999999", INT_MIN},
        {"12abc", 12},        {"abc", 0},          {"", 0},               {"0x10", 0},          {"+-3", 0},
        {std::string_view("123", 2), 12},          {"\t42", 42},
        // 2^64 + 1: capped, never wrapped to 1.
        {"18446744073709551617", INT_MAX},         {"-18446744073709551617", INT_MIN},
    };
    for (const auto& row : integers) EXPECT_EQ(ParseDecimalInteger(row.text), row.value) << row.text;
}

// A view of a sentence ends where its bytes go on: nothing after its end is read, whatever follows.
TEST(NmeaCodec, AViewIsReadNoFurtherThanItsEnd) {
    const std::string bytes = "123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M";
    const struct {
        size_t length;
        double latitude;
        int fields;
    } rows[] = {{9, 0.0, 1}, {12, 48.0 + 7.0 / 60.0, 1}, {bytes.size(), 48.0 + 7.038 / 60.0, 4}};
    for (const auto& row : rows) {
        CNmeaText text(std::string_view(bytes).substr(0, row.length));
        SYSTEMTIME t{};
        ParseTime(text, &t);
        ExpectTime(t, 12, 35, 19, 0);
        ASSERT_EQ(SkipFields(text, 1), 1) << row.length;
        EXPECT_NEAR(ParseLatitude(text), row.latitude, 1e-12) << row.length;
        EXPECT_EQ(CountDataFields(text, 4), row.fields) << row.length;
    }
    // Cut at the view's end as a CString of those bytes would be cut.
    CNmeaText text(std::string_view(bytes).substr(0, 16));
    CString same(bytes.substr(0, 16).c_str());
    EXPECT_EQ(SkipFields(text, 1), SkipFields(same, 1));
    EXPECT_EQ(std::string(text.View()), same.Str());
    EXPECT_EQ(SkipFields(text, 1), SkipFields(same, 1));
    EXPECT_EQ(text.View(), "");
    EXPECT_EQ(same, "");
}

}  // namespace
