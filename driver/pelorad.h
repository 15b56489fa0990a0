// The driver class: the one object that main creates. The bases run the host link, the command
// loop and the UDP receive path; this class adds the result blocks that the observation
// definitions ask for, splits each datagram into messages, runs the NMEA 0183 sentence loop over
// them, gives each result its time and writes the due records into the host's output buffer.
#pragma once

#include <array>
#include <map>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "driver/drv_udp_client.h"
#include "driver/nav_ring_buffer.h"
#include "driver/nmea_codec.h"
#include "driver/nmea_decoders.h"
#include "driver/result_records.h"
#include "foundation/time_value.h"

enum eNmeaFormat : int {
    NMEA_POS_AUTO = 0,  // also "none"
    NMEA_POS_ALL = 1,
    NMEA_POS_GGA = 2,
    NMEA_POS_RMC = 3,
    NMEA_POS_GGK = 4,
    NMEA_POS_GLL = 5,
    NMEA_POS_MAX = 6,
    NMEA_ACC_ALL = 7,
    NMEA_ACC_GST = 8,
    NMEA_ACC_GSA = 9,
    NMEA_ACC_GSV = 10,
    NMEA_ACC_QUAL = 11,
    NMEA_ACC_MAX = 12,
    NMEA_HDG_ALL = 13,
    NMEA_HDG_HDT = 14,
    NMEA_HDG_HDG = 15,
    NMEA_HDG_HDM = 16,
    NMEA_HDG_HCD = 17,
    NMEA_HDG_HCC = 18,
    NMEA_HDG_MAX = 19,
    NMEA_HVX_HVD = 20,
    NMEA_HVX_HVM = 21,
    NMEA_MSC_ROT = 22,
    NMEA_MSC_VTG = 23,
    NMEA_MSC_ZDA = 24,
    NMEA_ALL_MAX = 25,
};

// The receive buffer's size and the length asked for per receive.
constexpr DWORD PELORAD_RECEIVE_SIZE = 16384;

// Result blocks of the output buffer: type, block size and record size.
constexpr DWORD POS_BLOCK_TYPE = 35;
constexpr DWORD NAV_BLOCK_TYPE = 11;
constexpr DWORD NAV_RING_BLOCK_TYPE = 86;
constexpr DWORD NAV_RING_CAPACITY = 500;
constexpr DWORD NAV_RING_BLOCK_SIZE = NAV_RING_CAPACITY * sizeof(NavRecord);
constexpr DWORD ROT_BLOCK_TYPE = 11;
constexpr DWORD TIMETAG_BLOCK_TYPE = 115;

// Groups of ResetDecoder.
constexpr int RESET_ALL = 0;
constexpr int RESET_POS_LISTS = 1;
constexpr int RESET_GSA_STORE = 9;
constexpr int RESET_GSV_STORE = 10;

// Converts to the time value and back, so that the fields come out normalised (day of the week
// included), less the seconds.
void SubtractSecondsFromSystemTime(SYSTEMTIME& time, double seconds);

// Where the sentence loop goes on after a sentence that is not used: its first 3 characters dropped,
// the next "$" after them; npos when there is none. next is the first "$" after start.
size_t SkipSentence(std::string_view line, size_t start, size_t next);
// The format that the sentence loop detects a sentence by: the first token of its table that starts
// within the sentence's first characters; NMEA_POS_AUTO for none.
eNmeaFormat FindSentenceFormat(std::string_view sentence);

// What became of the sentences that the driver met since it started.
struct sSentenceCounts {
    uint64_t decoded = 0;
    uint64_t unused = 0;  // of a format it decodes, not used (a first position only tells the format)
    uint64_t wrongChecksum = 0;
    uint64_t missingChecksum = 0;
    uint64_t unknownFormat = 0;
};

class CPelorad : public CDrvUdpClient {
public:
    // checksum 1: each sentence's checksum is tested ("NOCS" gives 0); headingTrigger 1: heading
    // and rate-of-turn formats may close an update ("NOTH" gives 0); mode goes to the position
    // decoders.
    CPelorad(DWORD checksum, DWORD headingTrigger, int mode);
    ~CPelorad() override;

    int OnCmdInit() override;
    // Adds the result blocks once in the life of the object: 1 when a position or a time-tag
    // block was added.
    int OnCmdSettings() override;
    // 0 until the first SETTINGS; with reset, clears the decoder. Otherwise 1 when a message of
    // the datagram wrote a result record.
    int DecodeData(bool reset) override;

    // One line of a datagram, consumed sentence by sentence (what is left is shorter than a
    // sentence): 1 when a result record was written.
    int ProcessMessage(CString& message);
    // The same over the line's bytes where they lie; rest is where what is left begins.
    int ProcessMessage(std::string_view line, size_t& rest);
    // Recognises the sentence at the front of the message and decodes it (consuming it); 1 with
    // its format, 0 with NMEA_POS_AUTO when it is not used.
    int DetectAndDecode(CNmeaText& message, eNmeaFormat& format);
    // Group RESET_ALL, RESET_POS_LISTS, RESET_GSA_STORE or RESET_GSV_STORE; others do nothing.
    void ResetDecoder(int group);
    // Merge the current GSA or GSV part into the position record: 1 when there is a part. The GSV
    // groups of several talkers in one epoch add up.
    int MergeGsa();
    int MergeGsv();
    // 1 (and last := newTime) when the times differ by at least the update interval.
    int IsTimeDue(SYSTEMTIME newTime, SYSTEMTIME& last) const;
    // Fills the time-tag record from the PPS clock with the fix time and the sentence's text.
    void TagPps(const SYSTEMTIME& fixTime, std::string_view sentence);
    // "UNKNOWN" for a value that is not a format.
    static const char* GetFormatName(eNmeaFormat format);

    DWORD GetChecksumFlag() const { return m_checksum; }
    DWORD GetHeadingTriggerFlag() const { return m_headingTrigger; }
    int GetMode() const { return m_mode; }
    int IsSettingsDone() const { return m_settingsDone; }
    eNmeaFormat GetPositionFormat() const { return m_positionFormat; }
    eNmeaFormat GetUpdateFormat() const { return m_updateFormat; }
    int GetGsaPartCount() const { return m_gsaPartCount; }
    const PosRecord& GetPosRecord() const { return m_pos; }
    const NavRecord& GetNavRecord() const { return m_nav; }
    const sSentenceCounts& GetSentenceCounts() const { return m_counts; }
    // Times refused as outliers, more than a second behind the newest, that no later one confirmed.
    uint64_t GetRefusedHeadingTimes() const { return m_navRing->GetRefusedOutliers(); }
    uint64_t GetRefusedTagTimes() const { return m_refusedTagTimes; }

private:
    // The group's time of a decoded sentence; for a position, its fix time on the update's day
    // (invalid for other groups).
    CVOKTime AssignGroupTime(eNmeaFormat format);
    // GST and QUAL; a heading or rate of turn when they may close an update and their block is added.
    bool CanCloseCycle(eNmeaFormat format) const;
    // Writes the fix decoded and not yet closed, as a later epoch begins.
    void WritePendingPosition();
    // Before a GST is decoded: a later time than the last position's writes that fix first; the
    // same time after that fix was closed makes GST the closing sentence.
    void FollowGstEpoch(const CNmeaText& message);
    // The PPS library's IsPpsValid, asked at most once a second.
    int IsPpsClockValid();
    // Each 1 when its record was written.
    int WritePosition(eNmeaFormat format);
    int WriteTimetag(eNmeaFormat format, const CVOKTime& positionTime);
    int WriteHeading();
    int WriteRateOfTurn();
    // Copies the heading ring into its block (loaded under the hold): the slot that the last add
    // changed while the block holds what the last copy put there, else the whole ring.
    // std::out_of_range when it does not fit.
    void WriteRing(Vok::MultiIPCBuffer& buffer, const Vok::MultiIPCBuffer::sBlockView& view, bool oneSlot,
                   const IpcBufferHandle* out);
    // Adds one result block under the output buffer's held lock; index stays 0 when it fails.
    void AddResultBlock(int32_t& index, DWORD type, DWORD size, DWORD recordSize);
    // The block indices of the five result kinds, in the order they are added.
    std::array<int32_t*, 5> ResultBlockIndices();
    // After INIT: the result blocks that an earlier SETTINGS added to the buffer now open, while it
    // still holds them; otherwise each configured kind waits (index 0) for the next SETTINGS.
    void SelectResultBlocks();
    // Record 1 of a result block, stamped with the time of receipt; the caller holds the lock.
    bool WriteResultRecord(int32_t index, DWORD type, const void* record, DWORD size);


    int32_t m_settingsDone = 0;
    DWORD m_checksum;
    DWORD m_headingTrigger;
    int m_mode;

    SYSTEMTIME m_posTime{};
    SYSTEMTIME m_lastPosTime{};
    // The fix time of the position in hand on the update's day, converted once for the update's
    // time and its time tag.
    SYSTEMTIME m_fixTime{};

    eNmeaFormat m_updateFormat = NMEA_POS_AUTO;
    eNmeaFormat m_positionFormat = NMEA_POS_AUTO;
    int32_t m_gsaPartNumber = -1;
    int32_t m_gsaPartCount = -1;
    PosRecord m_gsaStore{};
    int32_t m_gsvPartNumber = -1;
    int32_t m_gsvPartCount = -1;
    PosRecord m_gsvStore{};
    // The talker of the GSV in hand, and the satellites of the epoch's GSV groups by talker.
    char m_gsvTalker[2] = {};
    CGsvTalkers m_gsvTalkers;
    // Whether a part store is as its reset left it: no decoder has written it since.
    bool m_gsaStoreEmpty = false;
    bool m_gsvStoreEmpty = false;

    PosRecord m_pos{};
    // Whether the position in hand carried a time of day of its own.
    bool m_posTimed = true;
    int32_t m_posBlock = -1;

    SYSTEMTIME m_navTime{};
    SYSTEMTIME m_lastNavTime{};
    NavRecord m_nav{};
    int32_t m_navBlock = -1;
    std::unique_ptr<CNavRingBuffer> m_navRing;
    int32_t m_navRingBlock = -1;

    SYSTEMTIME m_rotTime{};
    SYSTEMTIME m_lastRotTime{};
    RotRecord m_rot{};
    int32_t m_rotBlock = -1;

    double m_variation = 0.0;
    // Whether an HDG has given the variation; until one has, magnetic headings are not valid.
    bool m_variationKnown = false;
    CProblemEpisode m_variationProblem;
    int32_t m_zdaSeen = 0;

    int32_t m_timetagBlock = -1;
    TimetagRecord m_timetag{};
    // The last position time refused as an outlier, while the next one may confirm it; invalid
    // when none is. The count of those that none confirmed.
    CVOKTime m_tagOutlierTime;
    uint64_t m_refusedTagTimes = 0;
    // The result blocks added to each output buffer, by its name, so that each buffer gets them
    // once, and a driver sent back to a buffer writes on into its blocks.
    std::map<std::string, std::array<int32_t, 5>> m_blocksByBuffer;

    // The format that the update format takes when the position format comes back. Kept here
    // rather than once per process: there is one driver object.
    eNmeaFormat m_lastDetected = NMEA_POS_AUTO;
    // A position was decoded and its cycle not yet closed: the next position sentence, or a GST of
    // a later time, writes it. 1 once that wrote it, until the loop has counted it.
    bool m_positionPending = false;
    int m_lateWritten = 0;
    // The time of day in ms that the last decoded position sentence gave; -1 when it gave none,
    // or once that fix's epoch has ended.
    int32_t m_fixTimeOfDay = -1;
    // A position sentence has given the receiver's time of day since the format was detected.
    bool m_receiverTimeKnown = false;
    // A fix was written for the datagram in hand.
    bool m_fixWritten = false;
    int m_ppsValid = 0;
    // In seconds since MJD 0 of the time of receipt: NaN until the first question.
    double m_ppsCheckDue = std::numeric_limits<double>::quiet_NaN();
    // The ring block that holds what the last ring write put there, in that buffer; 0 when none
    // does (the next write copies the whole ring).
    DWORD m_ringImageBlock = 0;
    const IpcBufferHandle* m_ringImageBuffer = nullptr;
    uint64_t m_ringImageRefusals = 0;
    // The text of the sentence in hand as far as a time tag keeps it; it views the line.
    std::string_view m_sentence;
    sSentenceCounts m_counts;
};
