#include "foundation/sentence_checksum.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> cols;
    std::stringstream in(line);
    for (std::string col; std::getline(in, col, '\t');) cols.push_back(col);
    return cols;
}

// The peer table keeps C escapes as text.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char e = s[++i];
        if (e == 'r') out += '\r';
        else if (e == 'n') out += '\n';
        else if (e == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += e;
    }
    return out;
}

bool Check(const std::string& s) { return CheckNmeaChecksum(CString(s.data(), static_cast<int>(s.size()))); }

TEST(CheckNmeaChecksum, AgreesWithStrictPeerCases) {
    std::ifstream in(VOK_SOURCE_DIR "/tests/data/peers/minmea-check.tsv");
    ASSERT_TRUE(in.is_open());
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#' || line.rfind("sentence", 0) == 0) continue;
        const auto cols = Columns(line);
        ASSERT_GE(cols.size(), 3u) << line;
        EXPECT_EQ(Check(Unescape(cols[0])), cols[2] == "true") << cols[0];
        ++rows;
    }
    EXPECT_EQ(rows, 39);
}

TEST(CheckNmeaChecksum, AgreesWithRecordedReceiverCorpus) {
    std::ifstream in(VOK_SOURCE_DIR "/tests/data/gpsd/nmea-corpus.tsv");
    ASSERT_TRUE(in.is_open());
    int ok = 0;
    int bad = 0;
    int bang = 0;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        const auto cols = Columns(line);
        ASSERT_EQ(cols.size(), 5u) << line;
        const std::string& sentence = cols[4];
        if (sentence[0] == '!') {
            EXPECT_FALSE(Check(sentence)) << sentence;
            ++bang;
            continue;
        }
        if (cols[3] != "ok" && cols[3] != "bad") continue;
        EXPECT_EQ(Check(sentence), cols[3] == "ok") << sentence;
        ++(cols[3] == "ok" ? ok : bad);
    }
    EXPECT_EQ(ok, 35934);
    EXPECT_EQ(bad, 112);
    EXPECT_GT(bang, 0);
}

TEST(CheckNmeaChecksum, AcceptedAndRejectedForms) {
    const struct {
        const char* sentence;
        bool ok;
    } rows[] = {
        // 'A' is 0x41; 'G' ^ ',' ^ '1' is 0x5A.
        {"$G,1*5A\r\n", true}, {"$G,1*5a", true}, {"$A*041", true}, {"$A*0x41", true},
        {"$A* 41", true},        {"$A*41,tail", true}, {"$A*B*41", false}, {"$A*B*29", true},  // the last star counts
        {"", false},             {" $A*41", false},  {"!A*41", false},   {"$A,41", false},
        {"$A*42", false},        {"$A*4", false},    {"$A*+41", false},
        {"$A*0X41", true},       {"$A*\t\v\f41", true},
        // Digits beyond the XOR's two never wrap around to a match.
        {"$A*100000041", false}, {"$A*141", false},  {"$A*FFFFFFFFFFFFFFFF41", false},
        // A star without a hex digit carries no checksum, even when the XOR is 0.
        {"$*", false},           {"$AA*", false},    {"$AA*\r\n", false}, {"$AA*zz", false},
        {"$AA*00", true},        {"$*0", true},
    };
    for (const auto& row : rows) EXPECT_EQ(Check(row.sentence), row.ok) << row.sentence;
}

// The test of each sentence of a line: each ends at the next "$", CR or LF, and its checksum
// follows its own last "*" before that.
TEST(LineChecksum, EachSentenceOfALine) {
    // 'A' is 0x41, 'B' 0x42.
    const struct {
        std::string line;
        std::vector<bool> ok;  // for each "$" in order
    } rows[] = {
        {"$A*41", {true}},
        {"$A*41$B*42", {true, true}},           // glued: each on its own
        {"$A*41\r$B*42\r", {true, true}},       // ended by CR alone
        {"$A*41\rjunk*00$B*42\n", {true, true}},  // a star after the CR is not the first one's
        {"$A*41$B*08", {true, false}},
        {"x$A$B*42\r", {false, true}},          // the first has no star of its own
        {"$A$B*27", {false, false}},            // 'A' ^ '$' ^ 'B' is 0x27: no longer one sentence
        {"$A\r*41", {false}},
        {"$A*B*29$B*42", {true, true}},         // its last star counts
        {"$B*42$A", {true, false}},
        {"$$$", {false, false, false}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        std::vector<bool> forward;
        const CLineChecksum line(row.line);
        for (size_t i = 0; i < row.line.size(); ++i) {
            if (row.line[i] == '$') forward.push_back(line.Check(i));
        }
        EXPECT_EQ(forward, row.ok);
        EXPECT_FALSE(line.Check(row.line.size()));  // beyond the line
    }
}

TEST(ChecksumText, CheckValuesOfEachType) {
    const CString digits("123456789");
    EXPECT_EQ(ChecksumText(digits, 0, CHECKSUM_XOR), "31");
    EXPECT_EQ(ChecksumText(digits, 0, CHECKSUM_SUM), "DD");
    EXPECT_EQ(ChecksumText(digits, 0, CHECKSUM_CRC16), "2189");
    EXPECT_EQ(ChecksumText(digits, 0, CHECKSUM_CRC32), "2DFD2D88");
    EXPECT_EQ(ChecksumText(digits, 0, 5), "31");
    EXPECT_EQ(ChecksumText("x123456789", 1, CHECKSUM_CRC32), "2DFD2D88");
    EXPECT_EQ(ChecksumText(digits, 50, CHECKSUM_CRC16), "0000");
    EXPECT_EQ(Crc32Step(1), 0x77073096u);
}

TEST(AppendChecksum, FormsByType) {
    CString s("$GPHDT,1.0,T");
    AppendChecksum(s, 1, CHECKSUM_XOR);
    EXPECT_TRUE(CheckNmeaChecksum(s));
    CString sum("ab");
    AppendChecksum(sum, 0, CHECKSUM_SUM);
    EXPECT_EQ(sum, "abC3");
    CString crc32("123456789");
    AppendChecksum(crc32, 0, CHECKSUM_CRC32);
    EXPECT_EQ(crc32, "123456789*2DFD2D88");
}

TEST(AppendChecksum, StandardStringKeepsItsBytes) {
    // UTF-8 text must not be encoded a second time.
    std::string s = "$GPTXT,caf\xc3\xa9";
    AppendChecksum(s, 1, CHECKSUM_XOR);
    const unsigned x = 'G' ^ 'P' ^ 'T' ^ 'X' ^ 'T' ^ ',' ^ 'c' ^ 'a' ^ 'f' ^ 0xC3 ^ 0xA9;
    char expected[4];
    std::snprintf(expected, sizeof expected, "%02X", x);
    EXPECT_EQ(s, std::string("$GPTXT,caf\xc3\xa9*") + expected);
}

}  // namespace
