#include "driver/time_tag_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compat/clock.h"
#include "foundation/system_time.h"
#include "foundation/time_value.h"

namespace {

using namespace std::string_literals;

constexpr SYSTEMTIME kUntouched{1999, 12, 5, 31, 23, 59, 59, 999};

std::string Text(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u (%u) %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// Decodes bytes in a heap buffer of exactly their size, so that a read past the end is caught.
struct sDecoded {
    bool ok;
    SYSTEMTIME time;
    std::string rest;
};
sDecoded Decode(DWORD type, DWORD strip, const std::string& bytes, const SYSTEMTIME& receipt = kUntouched) {
    std::vector<BYTE> data(bytes.begin(), bytes.end());
    DWORD length = static_cast<DWORD>(data.size());
    sDecoded d{false, receipt, {}};
    d.ok = C3RdPartyTimeTagDecoder(type, strip).DecodeTimeTag(d.time, data.data(), length);
    d.rest.assign(data.begin(), data.begin() + length);
    return d;
}

struct sRow {
    const char* name;
    DWORD type;
    std::string input;
    bool ok;
    SYSTEMTIME time;
    std::string rest;
};

TEST(TimeTagDecoder, GoldenBytesOfEachForm) {
    const SYSTEMTIME sept9{2001, 9, 0, 9, 1, 46, 40, 500};
    const SYSTEMTIME april9{2005, 4, 6, 9, 2, 32, 50, 250};
    const std::string full(16384 - 19, 'x');
    const sRow rows[] = {
        {"trailer", 1, "$GPZDA,1*00,1113013970,250000\r\n", true, april9, "$GPZDA,1*00\r\n"},
        {"trailer, microseconds run to the end of a full buffer", 1, full + ",1113013970,250000\r", true, april9,
         full + "\r\n"},
        {"trailer before the lower bound", 1, "$A,1000000000,0\r\n", false, {}, {}},
        {"trailer without CR", 1, "$A,1113013970,0\n", false, {}, {}},
        {"trailer with one comma", 1, "1113013970,0\r\n", false, {}, {}},
        {"trailer with one comma, at the start", 1, ",1113013970\r\n", false, {}, {}},
        {"trailer comma after the CR", 1, "$A,1113013970,0\r\n,", false, {}, {}},
        {"trailer with negative microseconds", 1, "$A,1113013970,-1\r\n", false, {}, {}},
        {"trailer with infinite seconds", 1, "$A,inf,0\r\n", false, {}, {}},
        {"trailer beyond the calendar", 1, "$A,1e300,0\r\n", false, {}, {}},
        {"trailer stops at a zero byte", 1, "$A,1113013970\r\n\0,0\r\n"s, false, {}, {}},
        {"full buffer without CR", 1, std::string(16384, ','), false, {}, {}},
        {"RTA", 2, "RTA,09092001014640500 \x05\x00$GPxx"s, true, sept9, "$GPxx"},
        {"RTA exactly 24 bytes", 2, "RTA,09092001014640500 \x00\x00"s, false, {}, {}},
        {"RTA payload longer than the rest", 2, "RTA,09092001014640500 \x06\x00$GPxx"s, false, {}, {}},
        {"RTA marker", 2, "RTB,09092001014640500 \x05\x00$GPxx"s, false, {}, {}},
        {"TDYRTA1", 3,
         "TDYRTA1x\xd1\x07\x00\x00\x09\x00\x09\x00\x01\x00\x2e\x00\x28\x00\x50\xc3\x00\x00x\x05\x00\x00\x00$GPxx"s,
         true, sept9, "$GPxx"},
        {"TDYRTA1 payload one byte longer", 3,
         "TDYRTA1x\xd1\x07\x00\x00\x09\x00\x09\x00\x01\x00\x2e\x00\x28\x00\x50\xc3\x00\x00x\x06\x00\x00\x00$GPxx"s,
         false, {}, {}},
        {"integers", 4, "\x02\x00\x00\x00\x00\x00\x00\x00\x00\xca\x9a\x3b\x20\xa1\x07\x00$GPx"s, true, sept9,
         "$GPx"},
        {"integers, flag bit set", 4,
         "\x02\x00\x00\x00\x00\x00\x00\x01\x00\xca\x9a\x3b\x20\xa1\x07\x00$GPx"s, false, {}, {}},
        {"integers, first byte 3", 4,
         "\x03\x00\x00\x00\x00\x00\x00\x00\x00\xca\x9a\x3b\x20\xa1\x07\x00$GPx"s, false, {}, {}},
        {"integers, header alone", 4,
         "\x02\x00\x00\x00\x00\x00\x00\x00\x00\xca\x9a\x3b\x20\xa1\x07\x00"s, false, {}, {}},
        {"RRIO", 5, "RRIO1234090920010146405001x$GPxx", true, sept9, "$GPxx"},
        {"RRIO 27 bytes", 5, "RRIO123409092001014640500xx", false, {}, {}},
        {"type 0", 0, "$GPxx", false, {}, {}},
        {"type 7", 7, "$GPxx", false, {}, {}},
        {"empty", 4, "", false, {}, {}},
    };
    for (const sRow& r : rows) {
        SCOPED_TRACE(r.name);
        const sDecoded d = Decode(r.type, 1, r.input);
        EXPECT_EQ(d.ok, r.ok);
        EXPECT_EQ(Text(d.time), Text(r.ok ? r.time : kUntouched));
        EXPECT_EQ(d.rest, r.ok ? r.rest : r.input);
    }
}

// The POS form reads milliseconds of the local day, on the day that puts them within 12 hours of
// their receipt: by default 1999-12-31 23:59:59.999 UTC, 01:59:59.999 local on 2000-01-01, as the
// zone is two hours east of UTC.
TEST(TimeTagDecoder, PosLinesLastMarkedLineGivesTheTimeAndEveryMarkerGoes) {
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved != nullptr ? saved : "";
    setenv("TZ", "XXX-2", 1);
    const std::string tail(16384 - 12, 'x');
    const struct {
        const char* name;
        std::string input;
        int dayOffset, hour, minute, second, millisecond;  // UTC from 2000-01-01; hour -1: fails
        std::string rest;
        SYSTEMTIME receipt = kUntouched;
    } rows[] = {
        {"two lines", "POS 1000 $A\r\nPOS 43200250 $B\r\n", 0, 10, 0, 0, 250, "$A\r\n$B\r\n"},
        {"unmarked and empty lines", "junk\n\nPOS 37230000 $A\n", 0, 8, 20, 30, 0, "junk\n$A\n"},
        {"a time out of the day is none", "POS 3600000 $A\nPOS inf $B\nPOS -1 $C", -1, 23, 0, 0, 0, "$A\n$B\n$C\n"},
        {"full buffer without a line end", "POS 7200000 " + tail, 0, 0, 0, 0, 0, tail + "\n"},
        {"zero byte ends the text", "POS 7200000 $A\n\0junk"s, 0, 0, 0, 0, 0, "$A\n"},
        {"no space after the number", "POS 1000", 0, -1, 0, 0, 0, {}},
        {"no marker", "$A\r\n$B\r\n", 0, -1, 0, 0, 0, {}},
        {"only times out of the day", "POS nan $A\nPOS 86401000 $B\n", 0, -1, 0, 0, 0, {}},
        // In a leap second the local day has 86401 s: its last one is a time of that day.
        {"a leap second", "POS 86400500 $A\n", -1, 22, 0, 0, 500, "$A\n"},
        {"23:59:59.5 read at 00:00:04 local", "POS 86399500 $A\n", -1, 21, 59, 59, 500, "$A\n",
         {1999, 12, 5, 31, 22, 0, 4, 0}},
        {"00:00:00.5 read at 23:59:58 local", "POS 500 $A\n", -1, 22, 0, 0, 500, "$A\n", {1999, 12, 5, 31, 21, 59, 58, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const sDecoded d = Decode(6, 1, r.input, r.receipt);
        EXPECT_EQ(d.ok, r.hour >= 0);
        EXPECT_EQ(d.rest, r.hour >= 0 ? r.rest : r.input);
        SYSTEMTIME expected = r.receipt;
        if (r.hour >= 0) {
            expected = TimeToSystemTime(CVOKTime(2000, 1, 1, r.hour, r.minute, r.second + r.millisecond * 0.001) +
                                        r.dayOffset * 86400.0);
        }
        EXPECT_EQ(Text(d.time), Text(expected));
    }
    EXPECT_TRUE(Decode(6, 1, "POS 1000 $A\n", SYSTEMTIME{}).ok);  // no time of receipt: the clock's day
    if (saved != nullptr) setenv("TZ", savedTz.c_str(), 1);
    else unsetenv("TZ");
    tzset();  // later tests of this process read the zone as it was
}

TEST(TimeTagDecoder, WithoutStrippingOrOverAByteArray) {
    const std::string input = "RRIO1234090920010146405001x$GPxx";
    for (DWORD strip : {0u, 2u}) EXPECT_EQ(Decode(5, strip, input).rest, input);
    CByteArray data;
    data.SetSize(static_cast<INT_PTR>(input.size()));
    std::memcpy(data.GetData(), input.data(), input.size());
    SYSTEMTIME t = kUntouched;
    ASSERT_TRUE(C3RdPartyTimeTagDecoder(5, 1).DecodeTimeTag(t, data));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.GetData()), data.GetSize()), "$GPxx");
    data.SetSize(0);
    EXPECT_FALSE(C3RdPartyTimeTagDecoder(5, 1).DecodeTimeTag(t, data));
}

}  // namespace
