#include "driver/pelorad.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "compat/clock.h"
#include "compat/pps_library.h"
#include "definitions/records/definition_types.h"
#include "driver/nmea_codec.h"
#include "driver/nmea_decoders.h"
#include "foundation/debug_trace.h"
#include "foundation/sentence_checksum.h"
#include "foundation/system_time.h"

namespace {

enum eGroup { GROUP_POSITION, GROUP_ACCURACY, GROUP_HEADING, GROUP_RATE, GROUP_TIME };

using PositionDecoder = int (*)(CNmeaText&, PosRecord*, int, bool*);
using HeadingDecoder = int (*)(CNmeaText&, NavRecord*, double*);

// The sentence tokens in the order they are tried: by group, then within the group.
constexpr struct sToken {
    std::string_view token;
    eNmeaFormat format;
    eGroup group;
    PositionDecoder position;
    HeadingDecoder heading;
} kTokens[] = {
    {"GGA", NMEA_POS_GGA, GROUP_POSITION, &Vok::Nmea::DecodeGGA, nullptr},
    {"RMC", NMEA_POS_RMC, GROUP_POSITION, &Vok::Nmea::DecodeRMC, nullptr},
    {"GGK", NMEA_POS_GGK, GROUP_POSITION, &Vok::Nmea::DecodeGGK, nullptr},
    {"GLL", NMEA_POS_GLL, GROUP_POSITION, &Vok::Nmea::DecodeGLL, nullptr},
    {"GST", NMEA_ACC_GST, GROUP_ACCURACY, nullptr, nullptr},
    {"GSA", NMEA_ACC_GSA, GROUP_ACCURACY, nullptr, nullptr},
    {"GSV", NMEA_ACC_GSV, GROUP_ACCURACY, nullptr, nullptr},
    {"QUAL", NMEA_ACC_QUAL, GROUP_ACCURACY, nullptr, nullptr},
    {"HDT", NMEA_HDG_HDT, GROUP_HEADING, nullptr, &Vok::Nmea::DecodeHDT},
    {"HDG", NMEA_HDG_HDG, GROUP_HEADING, nullptr, &Vok::Nmea::DecodeHDG},
    {"HDM", NMEA_HDG_HDM, GROUP_HEADING, nullptr, &Vok::Nmea::DecodeHDM},
    {"HCD", NMEA_HDG_HCD, GROUP_HEADING, nullptr, &Vok::Nmea::DecodeHCD},
    {"HCC", NMEA_HDG_HCC, GROUP_HEADING, nullptr, &Vok::Nmea::DecodeHCC},
    {"ROT", NMEA_MSC_ROT, GROUP_RATE, nullptr, nullptr},
    {"ZDA", NMEA_MSC_ZDA, GROUP_TIME, nullptr, nullptr},
};

// A token counts only when its first occurrence starts within this many characters.
constexpr size_t kTokenWindow = 10;

// Whether a token of the table begins with the character.
constexpr std::array<bool, 256> kTokenLeads = [] {
    std::array<bool, 256> leads{};
    for (const sToken& t : kTokens) leads[static_cast<unsigned char>(t.token[0])] = true;
    return leads;
}();

// The first token of the table whose first occurrence starts within the window: one pass over the
// window's starts, each looked up among the tokens only when a token begins with its character.
const sToken* FindToken(std::string_view text) {
    const sToken* found = nullptr;
    for (size_t i = 0; i < kTokenWindow && i < text.size(); ++i) {
        if (!kTokenLeads[static_cast<unsigned char>(text[i])]) continue;
        const std::string_view from = text.substr(i);
        for (const sToken& t : kTokens) {
            if (found != nullptr && &t >= found) break;  // only an earlier token of the table can win
            if (from.substr(0, t.token.size()) == t.token) found = &t;
        }
        if (found == kTokens) break;
    }
    return found;
}

constexpr const char* kFormatNames[] = {
    "NMEA_POS_AUTO", "NMEA_POS_ALL", "NMEA_POS_GGA", "NMEA_POS_RMC", "NMEA_POS_GGK", "NMEA_POS_GLL",
    "NMEA_POS_MAX",  "NMEA_ACC_ALL", "NMEA_ACC_GST", "NMEA_ACC_GSA", "NMEA_ACC_GSV", "NMEA_ACC_QUAL",
    "NMEA_ACC_MAX",  "NMEA_HDG_ALL", "NMEA_HDG_HDT", "NMEA_HDG_HDG", "NMEA_HDG_HDM", "NMEA_HDG_HCD",
    "NMEA_HDG_HCC",  "NMEA_HDG_MAX", "NMEA_HVX_HVD", "NMEA_HVX_HVM", "NMEA_MSC_ROT", "NMEA_MSC_VTG",
    "NMEA_MSC_ZDA",  "NMEA_ALL_MAX",
};
static_assert(std::size(kFormatNames) == NMEA_ALL_MAX + 1);

bool IsPositionFormat(eNmeaFormat f) { return f >= NMEA_POS_AUTO && f <= NMEA_POS_MAX; }
bool IsHeadingFormat(eNmeaFormat f) { return f >= NMEA_HDG_HDT && f <= NMEA_HDG_MAX; }

CVOKTime ToTime(const SYSTEMTIME& st) { return CVOKTime(SystemTimeToMjdTime(st)); }

// A time of day in milliseconds, as the sentence gave it: compared without a time conversion.
int32_t TimeOfDayMs(const SYSTEMTIME& t) {
    return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

void ResetPartStore(int32_t& partNumber, int32_t& partCount, PosRecord& store) {
    // A run cut short leaves no count, so that GSV may be used again.
    if (partNumber > 0 && partNumber < partCount) partCount = 0;
    partNumber = -1;
    store = PosRecord{};
    std::fill(std::begin(store.alAccuracyKind), std::end(store.alAccuracyKind), ACCURACY_EMPTY);
}

// Calls visit (line, length) for each non-empty piece between line feeds.
template <typename F>
void ForEachLine(const char* bytes, DWORD length, F&& visit) {
    for (DWORD start = 0; start < length;) {
        const void* lf = std::memchr(bytes + start, '\n', length - start);
        const DWORD end = lf != nullptr ? static_cast<DWORD>(static_cast<const char*>(lf) - bytes) : length;
        if (end > start) visit(bytes + start, end - start);
        start = end + 1;
    }
}

// The result blocks in the order they are added, which is that of CPelorad::ResultBlockIndices.
constexpr struct {
    DWORD type;
    DWORD size;
    DWORD recordSize;
    const char* trace;
} kResultBlocks[] = {
    {POS_BLOCK_TYPE, sizeof(PosRecord), sizeof(PosRecord), "S: Add Pos Block to Buffer \n"},
    {NAV_BLOCK_TYPE, sizeof(NavRecord), sizeof(NavRecord), "S: Add Nav Block to Buffer \n"},
    {NAV_RING_BLOCK_TYPE, NAV_RING_BLOCK_SIZE, sizeof(NavRecord), nullptr},
    {ROT_BLOCK_TYPE, sizeof(RotRecord), sizeof(RotRecord), nullptr},
    {TIMETAG_BLOCK_TYPE, sizeof(TimetagRecord), sizeof(TimetagRecord), "S: Add Timetag Block to Buffer \n"},
};

}  // namespace

size_t SkipSentence(std::string_view line, size_t start, size_t next) {
    if (next != std::string_view::npos && next >= start + 3) return next;
    return line.find('$', start + 3);
}

eNmeaFormat FindSentenceFormat(std::string_view sentence) {
    const sToken* token = FindToken(sentence);
    return token != nullptr ? token->format : NMEA_POS_AUTO;
}

int CPelorad::IsPpsClockValid() {
    // The library asks the kernel each time; a clock's state changes far more rarely than once a
    // second, and datagrams may come many thousand times as often. The datagram's own reading of
    // the clock tells the second; one that went back asks again.
    const double now = m_receiptStamp.day * 86400.0 + m_receiptStamp.seconds;
    if (!(now < m_ppsCheckDue && now >= m_ppsCheckDue - 1.0)) {
        m_ppsValid = IsPpsValid();
        m_ppsCheckDue = now + 1.0;
    }
    return m_ppsValid;
}

void SubtractSecondsFromSystemTime(SYSTEMTIME& time, double seconds) {
    CVOKTime t = ToTime(time);
    t -= seconds;
    time = TimeToSystemTime(t);
}

CPelorad::CPelorad(DWORD checksum, DWORD headingTrigger, int mode)
    : m_checksum(checksum), m_headingTrigger(headingTrigger), m_mode(mode) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    m_pos.stFixTime = now;
    m_nav.stTime = now;
    m_rot.stTime = now;
    m_navRing = std::make_unique<CNavRingBuffer>(NAV_RING_CAPACITY);
    ResetDecoder(RESET_ALL);
    SetReceiveBufferSize(PELORAD_RECEIVE_SIZE);
    SetReceiveLength(PELORAD_RECEIVE_SIZE);
}

CPelorad::~CPelorad() { m_navRing.reset(); }

int CPelorad::OnCmdInit() {
    const int result = CDrvUdpClient::OnCmdInit() != 0 ? 1 : 0;
    // Another output buffer handle: the ring goes into its block whole first.
    m_ringImageBlock = 0;
    SelectResultBlocks();
    return result;
}

std::array<int32_t*, 5> CPelorad::ResultBlockIndices() {
    return {&m_posBlock, &m_navBlock, &m_navRingBlock, &m_rotBlock, &m_timetagBlock};
}

void CPelorad::SelectResultBlocks() {
    if (m_settingsDone == 0) return;
    const std::array<int32_t*, 5> indices = ResultBlockIndices();
    const auto found = m_blocksByBuffer.find(GetOutputName().Str());
    bool kept = false;
    if (IpcBufferHandle* out = GetOutputBuffer(); out != nullptr && found != m_blocksByBuffer.end()) {
        const CBufferHold hold(*out, LockOutput(false));
        kept = static_cast<bool>(hold);
        for (size_t k = 0; k < indices.size() && kept; ++k) {
            const int32_t block = found->second[k];
            kept = block <= 0 || IsOwnBlock(static_cast<DWORD>(block), kResultBlocks[k].type,
                                             kResultBlocks[k].recordSize);
        }
    }
    for (size_t k = 0; k < indices.size(); ++k) {
        if (*indices[k] != -1) *indices[k] = kept ? std::max(found->second[k], 0) : 0;
    }
}

void CPelorad::AddResultBlock(int32_t& index, DWORD type, DWORD size, DWORD recordSize) {
    if (index != 0) return;
    try {
        index = static_cast<int32_t>(GetOutputBuffer()->buffer.AddBlock(type, size, recordSize)) + 1;
    } catch (const std::exception& e) {
        CString text;
        text.Format("no block of type %u could be added to the output buffer \"%s\"", type, GetOutputName());
        if (!EndForDescriptors(text, e)) ReportDriverProblem(text + ": " + e.what());
    }
}

int CPelorad::OnCmdSettings() {
    if (CDrvUdpClient::OnCmdSettings() == 0) return 0;
    if (m_settingsDone == 0) {
        for (const sObsDef& def : GetObsDefs()) {
            const auto id = static_cast<uint32_t>(def.id);
            switch (def.obsType) {
            case OBS_BEARING_TRUE:
                m_nav.dwObsId = id;
                m_navBlock = 0;
                m_navRingBlock = 0;
                break;
            case OBS_LATITUDE:
                m_pos.dwLatitudeId = id;
                m_posBlock = 0;
                break;
            case OBS_LONGITUDE: m_pos.dwLongitudeId = id; break;
            case OBS_HEIGHT: m_pos.dwHeightId = id; break;
            case OBS_GENERIC:
                m_rot.dwObsId = id;
                m_rotBlock = 0;
                break;
            case OBS_PPS_TIMETAG:
                m_timetag.dwSystemId = static_cast<uint32_t>(def.sysId);
                m_timetag.dwObsId = id;
                m_timetagBlock = 0;
                break;
            default: break;
            }
        }
        m_settingsDone = 1;
    }
    // Into each output buffer once: the first SETTINGS after an INIT that opened another buffer
    // adds the configured kinds' blocks there too, so that records go on flowing.
    const std::array<int32_t*, 5> indices = ResultBlockIndices();
    const bool missing = std::any_of(indices.begin(), indices.end(), [](const int32_t* i) { return *i == 0; });
    if (IpcBufferHandle* out = GetOutputBuffer(); out != nullptr && missing) {
        const CBufferHold hold(*out, LockOutput(false));
        if (hold) {
            std::array<int32_t, 5>& added = m_blocksByBuffer[GetOutputName().Str()];
            for (size_t k = 0; k < indices.size() && !IsOutOfDescriptors(); ++k) {
                if (kResultBlocks[k].trace != nullptr) DebugTrace(kResultBlocks[k].trace);
                const auto& block = kResultBlocks[k];
                AddResultBlock(*indices[k], block.type, block.size, block.recordSize);
                added[k] = *indices[k];
            }
        }
    }
    return m_posBlock > 0 || m_timetagBlock > 0 ? 1 : 0;
}

int CPelorad::DecodeData(bool reset) {
    if (m_settingsDone == 0) return 0;
    if (reset) {
        ResetDecoder(RESET_ALL);
        return 0;
    }
    const char* bytes = reinterpret_cast<const char*>(GetReceiveBuffer());
    const DWORD length = bytes != nullptr ? GetReceivedLength() : 0;
    int result = 0;
    int index = 0;
    const COutputHold hold(*this);
    m_fixWritten = false;
    ForEachLine(bytes, length, [&](const char* line, DWORD n) {
        DebugTrace("[%d] %.*s\n", index++, static_cast<int>(n), line);
        size_t rest = 0;
        if (ProcessMessage(std::string_view(line, n), rest) != 0) result = 1;
    });
    // The update's time is that of the fix written, also when a heading came after it.
    if (m_fixWritten) m_stPpsTime = m_lastPosTime;
    if (index < 1) {
        DebugTrace("E: %s No messages were found, abort decoding\n", "CPelorad::DecodeData");
        return 0;
    }
    DebugTrace(">>> %d message%s received:\n", index, index == 1 ? "" : "s");
    // Records written into a file cut short meanwhile went nowhere: asked once for all of them,
    // here or, inside a datagram's hold, at its end.
    return result != 0 && (!IsOutermostHold() || IsHoldIntact()) ? 1 : 0;
}

int CPelorad::ProcessMessage(CString& message) {
    size_t rest = 0;
    const std::string_view line(message.GetString(), static_cast<size_t>(message.GetLength()));
    const int result = ProcessMessage(line, rest);
    if (rest >= static_cast<size_t>(message.GetLength())) {
        message.Empty();
    } else {
        message.Delete(0, static_cast<int>(rest));
    }
    return result;
}

int CPelorad::ProcessMessage(std::string_view line, size_t& rest) {
    const COutputHold hold(*this);
    int result = 0;
    // One pass over the line finds its sentences and tests their checksums; each sentence is
    // decoded from a text that ends with the next "$", so the cost grows with the line's length,
    // not with its square, whatever the line holds, and no decoder reads another's fields.
    CLineChecksum checksum(line);
    size_t start = line.find('$');
    while (start != std::string_view::npos && line.size() - start >= 4) {
        const size_t next = line.find('$', start + 1);
        // Each sentence's checksum follows its own "*", before the next "$", CR or LF: sentences
        // glued on one line, or ended by CR alone, are each tested on their own.
        if (m_checksum != 0 && !checksum.Check(start)) {
            DebugTrace("E: CheckSum Failed %s \n", line.data() + start);
            ++(line.substr(start, next - start).find('*') == std::string_view::npos ? m_counts.missingChecksum
                                                                                      : m_counts.wrongChecksum);
            start = SkipSentence(line, start, next);
            continue;
        }
        eNmeaFormat format = NMEA_POS_AUTO;
        // What a time tag keeps of the text from here on.
        m_sentence = line.substr(start, TIMETAG_TEXT_SIZE - 1);
        // With the next "$", so that a last field that ends on it reads as it does in the line.
        const size_t length = (next == std::string_view::npos ? line.size() : next + 1) - start;
        CNmeaText text(line.substr(start, length));
        const int decoded = DetectAndDecode(text, format);
        // A fix that its cycle left unwritten went out as this position sentence began, whether or
        // not this one decodes.
        const bool late = std::exchange(m_lateWritten, 0) != 0;
        if (late) result = 1;
        if (decoded == 0) {
            ++(FindToken(line.substr(start, length)) != nullptr ? m_counts.unused : m_counts.unknownFormat);
            start = SkipSentence(line, start, next);
            continue;
        }
        ++m_counts.decoded;
        const CVOKTime positionTime = AssignGroupTime(format);
        // The update keeps the time of the fix it wrote, as when the fix is written in its cycle.
        if (late) m_stPpsTime = m_lastPosTime;
        if (format == NMEA_ACC_GSA) {
            MergeGsa();
            if (m_gsaPartNumber < m_gsaPartCount) format = NMEA_POS_AUTO;  // more parts to come
        } else if (format == NMEA_ACC_GSV) {
            MergeGsv();
            if (m_gsvPartNumber < m_gsvPartCount) format = NMEA_POS_AUTO;
        } else if (!IsPositionFormat(format)) {
            // A position's detection has just emptied both stores.
            ResetDecoder(RESET_GSA_STORE);
            ResetDecoder(RESET_GSV_STORE);
        }
        if (WritePosition(format) != 0) result = 1;
        if (WriteTimetag(format, positionTime) != 0) result = 1;
        if (WriteHeading() != 0) result = 1;
        if (WriteRateOfTurn() != 0) result = 1;
        // The decoder took the leading "$" and read nothing past the next one, which starts the
        // next sentence, also when the last field read ended right on it.
        start = next;
    }
    // What is left is too short to be a sentence.
    rest = start == std::string_view::npos ? line.size() : start;
    m_sentence = {};  // the line's bytes are not kept
    return result;
}

int CPelorad::DetectAndDecode(CNmeaText& message, eNmeaFormat& format) {
    format = NMEA_POS_AUTO;
    if (message.IsEmpty() || message[0] != '$') return 0;
    const sToken* token = FindToken(message.View());
    if (token == nullptr) return 0;
    const eNmeaFormat code = token->format;
    const char* name = GetFormatName(code);
    switch (token->group) {
    case GROUP_POSITION:
        if (m_positionFormat == NMEA_POS_AUTO) {
            // The first position sentence after a reset is only detected.
            DebugTrace("S: Detected POS Format (%02d) %s \n", code, name);
            m_pos.stFixTime = m_stPpsTime;
            m_nav.stTime = m_stPpsTime;
            m_rot.stTime = m_stPpsTime;
            m_positionFormat = code;
            m_receiverTimeKnown = false;
            m_updateFormat = NMEA_POS_AUTO;
            m_lastDetected = code;
            return 0;
        }
        if (m_positionFormat != code) return 0;
        // A cycle that ended without its closing sentence (a gyro fell silent, a datagram was lost,
        // two closers take turns) writes its fix before this sentence overwrites it.
        WritePendingPosition();
        if (m_updateFormat == NMEA_POS_AUTO) {
            DebugTrace("S: Reset Update Format (%02d) %s \n", m_lastDetected, GetFormatName(m_lastDetected));
            m_updateFormat = m_lastDetected;
        }
        if (token->position(message, &m_pos, m_mode, &m_posTimed) == 0) return 0;
        m_positionPending = true;
        m_fixTimeOfDay = m_posTimed ? TimeOfDayMs(m_pos.stFixTime) : -1;
        if (m_posTimed) m_receiverTimeKnown = true;
        format = code;
        ResetDecoder(RESET_GSA_STORE);
        ResetDecoder(RESET_GSV_STORE);
        m_gsvTalkers.Clear();  // a new epoch
        return 1;
    case GROUP_ACCURACY: {
        // GSV is used only while no GSA parts are known.
        if (code == NMEA_ACC_GSV && m_gsaPartCount > 0) return 0;
        if (m_positionFormat == NMEA_POS_AUTO) return 0;
        if (m_updateFormat == NMEA_POS_AUTO) {
            DebugTrace("S: Detected ACC Format (%02d) %s \n", code, name);
            if (CanCloseCycle(code)) m_lastDetected = code;
        }
        int decoded = 0;
        switch (code) {
        case NMEA_ACC_GST: {
            FollowGstEpoch(message);
            // Until a position has told the receiver's time, the record holds the detection's, the
            // computer's clock: a GST is not refused as earlier than that.
            const SYSTEMTIME held = m_pos.stFixTime;
            if (!m_receiverTimeKnown) {
                CNmeaText text = message;
                if (SkipPastToken(text, "GST") != 0) ReadTimeOfDay(text, &m_pos.stFixTime);
            }
            decoded = Vok::Nmea::DecodeGST(message, &m_pos);
            m_pos.stFixTime = held;
            break;
        }
        case NMEA_ACC_QUAL: decoded = Vok::Nmea::DecodeQUAL(message, &m_pos); break;
        case NMEA_ACC_GSA:
            m_gsaStoreEmpty = false;
            decoded = Vok::Nmea::DecodeGSA(message, &m_gsaStore, &m_gsaPartNumber, &m_gsaPartCount);
            break;
        default: {
            m_gsvStoreEmpty = false;
            // The talker stands before the token: "$GLGSV" is GLONASS's group.
            const size_t at = message.View().find(token->token);
            const std::string_view talker = at >= 3 ? message.View().substr(at - 2, 2) : std::string_view();
            std::fill(std::begin(m_gsvTalker), std::end(m_gsvTalker), '\0');
            std::copy(talker.begin(), talker.end(), m_gsvTalker);
            decoded = Vok::Nmea::DecodeGSV(message, &m_gsvStore, &m_gsvPartNumber, &m_gsvPartCount);
            break;
        }
        }
        if (decoded == 0) return 0;
        DebugTrace("S: ACC pos (%02d) %s (GSA %d of %d GSV %d of %d) \n", code, name, m_gsaPartNumber,
                   m_gsaPartCount, m_gsvPartNumber, m_gsvPartCount);
        format = code;
        return 1;
    }
    case GROUP_HEADING:
        if (m_updateFormat == NMEA_POS_AUTO && CanCloseCycle(code)) {
            DebugTrace("S: Detected HDG Format (%02d) %s \n", code, name);
            m_lastDetected = code;
        }
        {
            // A magnetic heading is true only with a variation that an HDG gave; an HDG without
            // its variation is magnetic too.
            const bool magnetic = code != NMEA_HDG_HDT;
            const int decoded =
                code == NMEA_HDG_HDG
                    ? Vok::Nmea::DecodeHDG(message, &m_nav, &m_variation, &m_variationKnown)
                    : token->heading(message, &m_nav, magnetic && !m_variationKnown ? nullptr : &m_variation);
            if (decoded == 0) return 0;
            if (magnetic && !m_variationKnown)
                m_variationProblem.Begin("magnetic headings (HDM, HCD, HCC, an HDG without its variation) while no "
                                         "HDG has given the magnetic variation: written as not valid (status -2)");
        }
        DebugTrace("S: HDG obs %lf \n", m_nav.dHeading);
        format = code;
        return 1;
    case GROUP_RATE:
        if (m_updateFormat == NMEA_POS_AUTO && CanCloseCycle(code)) {
            DebugTrace("S: Detected ROT Format (%02d) %s \n", code, name);
            m_lastDetected = code;
        }
        if (Vok::Nmea::DecodeROT(message, &m_rot) == 0) return 0;
        DebugTrace("S: ROT obs %lf \n", m_rot.dRate);
        format = code;
        return 1;
    case GROUP_TIME: {
        m_zdaSeen = 1;
        if (m_timetagBlock <= 0) return 0;
        DebugTrace("S: Detected ZDA Format (%02d) %s \n", code, name);
        // Decoded from the message itself, so that the loop goes on past it.
        SYSTEMTIME time{};
        if (Vok::Nmea::DecodeZDA(message, &time) == 0) return 0;
        TagPps(time, m_sentence);
        format = code;
        return 1;
    }
    }
    return 0;
}

CVOKTime CPelorad::AssignGroupTime(eNmeaFormat format) {
    if (IsPositionFormat(format)) {
        CVOKTime t = ToTime(m_pos.stFixTime);
        t.AdjustDayToReference(ToTime(m_stPpsTime));
        if (!m_posTimed) {
            // Without a time of its own a position is timed by its arrival, as on a clock that is
            // not synchronised: never by the time of the fix before it, nor at midnight.
            ApplyTimeOffset();
            t = ToTime(m_stPpsTime);
        }
        m_fixTime = TimeToSystemTime(t);
        if (IsPpsClockValid() == 0) {
            ApplyTimeOffset();
        } else {
            m_stPpsTime = m_fixTime;
        }
        m_posTime = m_stPpsTime;
        const sGpsWeekTime gps = TimeToGpsWeekTime(t, GetHdrList().GetUtcToGpsOffset());
        m_pos.lGpsWeek = gps.week;
        m_pos.dwReserved20 = 0;
        m_pos.dGpsSeconds = gps.seconds;
        return t;
    }
    if (IsHeadingFormat(format)) {
        ApplyTimeOffset();
        m_navTime = m_stPpsTime;
    } else if (format == NMEA_MSC_ROT) {
        // A rate that the sensor does not call valid is written all the same, marked invalid, as
        // one without a rate is.
        if (m_rot.fStatus == STATUS_NONE) m_rot.fStatus = STATUS_NEW_INVALID;
        ApplyTimeOffset();
        m_rotTime = m_stPpsTime;
    }
    return CVOKTime();
}

void CPelorad::WritePendingPosition() {
    if (!std::exchange(m_positionPending, false)) return;
    // With its own time and accuracy, a cycle late, never lost. A fix that the interval held back
    // the same tests refuse again.
    const COutputHold hold(*this);
    m_lateWritten = WritePosition(m_updateFormat);
    // Its epoch has ended: no GST to come belongs to it.
    m_fixTimeOfDay = -1;
}

void CPelorad::FollowGstEpoch(const CNmeaText& message) {
    if (m_fixTimeOfDay < 0) return;
    CNmeaText text = message;
    SYSTEMTIME time{};
    if (SkipPastToken(text, "GST") == 0 || !ReadTimeOfDay(text, &time)) return;
    int32_t d = TimeOfDayMs(time) - m_fixTimeOfDay;
    // More than half a day apart is a crossed midnight, as the decoder counts it.
    if (d < -43200000) d += 86400000;
    if (d > 43200000) d -= 86400000;
    if (d > 0) {
        // The accuracy of a later epoch: the fix in hand goes out with its own first.
        WritePendingPosition();
    } else if (d == 0 && !m_positionPending && m_updateFormat != NMEA_ACC_GST) {
        // The accuracy of the fix that its closing sentence has just closed: the receiver's cycle
        // ends later, with its GST.
        DebugTrace("S: Reset Update Format (%02d) %s \n", NMEA_ACC_GST, GetFormatName(NMEA_ACC_GST));
        m_updateFormat = NMEA_ACC_GST;
    }
}

bool CPelorad::CanCloseCycle(eNmeaFormat format) const {
    if (format == NMEA_ACC_GST || format == NMEA_ACC_QUAL) return true;
    if (m_headingTrigger == 0) return false;
    return (IsHeadingFormat(format) && m_navBlock > 0) || (format == NMEA_MSC_ROT && m_rotBlock > 0);
}

int CPelorad::IsTimeDue(SYSTEMTIME newTime, SYSTEMTIME& last) const {
    // The same time is no time apart: the usual answer for a group with nothing new, found without
    // converting either.
    if (std::memcmp(&newTime, &last, sizeof newTime) == 0) return 0;
    const double d = std::fabs(ToTime(newTime) - ToTime(last));
    if (d != 0.0 && ReachesUpdateInterval(d)) {
        last = newTime;
        return 1;
    }
    return 0;
}

bool CPelorad::WriteResultRecord(int32_t index, DWORD type, const void* record, DWORD size) {
    // A block number from an earlier output buffer must not be written into another one.
    return WriteSoleRecord(static_cast<DWORD>(index), type, record, size);
}

int CPelorad::WritePosition(eNmeaFormat format) {
    // A format of 0 (a part of a run with more to come) closes nothing, also before the update
    // format is chosen.
    if (format == NMEA_POS_AUTO || format != m_updateFormat) return 0;
    // Closed, written or not.
    m_positionPending = false;
    if (IsTimeDue(m_posTime, m_lastPosTime) == 0 || m_posBlock <= 0 || HoldOutput() == nullptr) return 0;
    m_pos.stFixTime = m_posTime;
    const bool written = WriteResultRecord(m_posBlock, POS_BLOCK_TYPE, &m_pos, sizeof m_pos);
    // The record in hand keeps the receiver's time of the fix, not the update's (on a clock that
    // is not synchronised, the computer's): a GST's time is compared with it.
    m_pos.stFixTime = m_fixTime;
    if (!written) return 0;
    m_stPpsTime = m_posTime;
    m_fixWritten = true;
    ResetDecoder(RESET_POS_LISTS);
    return 1;
}

int CPelorad::WriteTimetag(eNmeaFormat format, const CVOKTime& positionTime) {
    if (m_timetagBlock <= 0) return 0;
    if (format == NMEA_MSC_ZDA) {
        // Tagged by the detection; an invalid ZDA time is not written.
        if (!ToTime(m_timetag.stFixTime).IsValid()) return 0;
    } else {
        if (m_zdaSeen != 0 || !positionTime.IsValid()) return 0;
        if (format != NMEA_POS_GGA && format != NMEA_POS_RMC && format != NMEA_POS_GGK) return 0;
        // Later than the last tag by more than 0.2 s, counted in the milliseconds that both have.
        const CVOKTime last = ToTime(m_timetag.stFixTime);
        // Rounded to whole milliseconds, at most 200 (what does not round, as llround gives it, too).
        const double ms = (positionTime - last) * 1000.0;
        // One time far behind the last tag (a stale fix repeated) is refused and kept in mind; the
        // next one that far behind and not older shows a step that lasts (a clock set back, a tag
        // of another day) and starts the tags again, which would otherwise stop until the last
        // one's time came round.
        const bool far = last.IsValid() && ms < -1000.0 * CRingBuffer::TIME_ORDER_RESTART_SECONDS;
        const bool restart = far && m_tagOutlierTime.IsValid() && !(positionTime < m_tagOutlierTime);
        if (far && !restart) {
            m_tagOutlierTime = positionTime;
            ++m_refusedTagTimes;
            return 0;
        }
        const double step = restart ? last - m_tagOutlierTime : 0.0;
        m_tagOutlierTime = CVOKTime();
        if (last.IsValid() && !restart && !(std::isfinite(ms) && ms >= 200.5)) return 0;
        // The position time as AssignGroupTime converted it.
        TagPps(m_fixTime, m_sentence);
        if (restart) {
            --m_refusedTagTimes;
            SayTimeStep(TIME_ORDER_TIME_TAGS, step);
        }
    }
    return HoldOutput() != nullptr &&
                   WriteResultRecord(m_timetagBlock, TIMETAG_BLOCK_TYPE, &m_timetag, sizeof m_timetag)
               ? 1
               : 0;
}

int CPelorad::WriteHeading() {
    if (IsTimeDue(m_navTime, m_lastNavTime) == 0 || m_navBlock <= 0 || m_nav.fStatus == STATUS_NONE) return 0;
    IpcBufferHandle* out = HoldOutput();
    if (out == nullptr) return 0;
    m_nav.stTime = m_navTime;
    if (!WriteResultRecord(m_navBlock, NAV_BLOCK_TYPE, &m_nav, sizeof m_nav)) return 0;
    // An add changes one slot, the one before the write position, unless the store was filled from
    // outside and not yet lined up: then the add moves every sample.
    const int countBefore = m_navRing->GetCount();
    bool oneSlot = countBefore == 0 || static_cast<DWORD>(countBefore) >= m_navRing->GetCapacity() ||
                         m_navRing->GetWritePosition() >= countBefore;
    m_navRing->AddSample(m_nav);
    if (m_navRing->GetRestartStep() > 0.0) {
        // A restart drops samples and stores two.
        SayTimeStep(TIME_ORDER_HEADING_RING, m_navRing->GetRestartStep());
        oneSlot = false;
    }
    const auto ring = static_cast<DWORD>(m_navRingBlock);
    if (m_navRingBlock > 0) {
        Vok::MultiIPCBuffer& buffer = out->buffer;
        try {
            // One look at the ring block's descriptor serves the check that it is this driver's
            // and everything written into it.
            const Vok::MultiIPCBuffer::sBlockView view = buffer.LoadBlock(ring - 1);
            if (view.descriptor.id == NAV_RING_BLOCK_TYPE && view.descriptor.recordSize == sizeof(NavRecord)) {
                WriteRing(buffer, view, oneSlot, out);
            } else {
                m_ringImageBlock = 0;
            }
        } catch (const std::exception&) {
            // The heading record itself is written; the ring follows, whole, with the next one.
            m_ringImageBlock = 0;
        }
    }
    m_nav.fStatus = STATUS_NONE;
    return 1;
}

void CPelorad::WriteRing(Vok::MultiIPCBuffer& buffer, const Vok::MultiIPCBuffer::sBlockView& view, bool oneSlot,
                         const IpcBufferHandle* out) {
    const DWORD ring = view.index + 1;
    const auto count = static_cast<DWORD>(m_navRing->GetCount());
    // The block holds the store's first count samples. While it holds what the last write put
    // there, writing the slot that changed gives it the same bytes as copying them all. A hold
    // refused since may have left anything in the block.
    if (!oneSlot || m_ringImageBlock != ring || m_ringImageBuffer != out || m_ringImageRefusals != GetRefusedHolds()) {
        m_ringImageBlock = 0;
        const DWORD bytes = std::min<DWORD>(count * sizeof(NavRecord), NAV_RING_BLOCK_SIZE);
        const DWORD size = std::min(bytes, view.descriptor.size);
        if (size != 0) std::memcpy(view.bytes, m_navRing->GetStore(), size);
    } else {
        const auto slot = static_cast<DWORD>(std::max(m_navRing->GetWritePosition() - 1, 0));
        const uint64_t offset = uint64_t{slot} * sizeof(NavRecord);
        const DWORD length = count > 0 ? sizeof(NavRecord) : 0;
        if (offset + length > view.descriptor.size) throw std::out_of_range("IPCBuffer: Invalid record index");
        if (length != 0) std::memcpy(view.bytes + offset, m_navRing->GetStore() + slot, length);
    }
    // The copy counts as one write of the block.
    buffer.CompleteBlockWrite(view, 1, m_receiptStamp, count);
    m_ringImageBlock = ring;
    m_ringImageBuffer = out;
    m_ringImageRefusals = GetRefusedHolds();
}

int CPelorad::WriteRateOfTurn() {
    if (IsTimeDue(m_rotTime, m_lastRotTime) == 0 || m_rotBlock <= 0 || m_rot.fStatus == STATUS_NONE) return 0;
    if (HoldOutput() == nullptr) return 0;
    m_rot.stTime = m_rotTime;
    if (!WriteResultRecord(m_rotBlock, ROT_BLOCK_TYPE, &m_rot, sizeof m_rot)) return 0;
    m_rot.fStatus = STATUS_NONE;
    return 1;
}

void CPelorad::TagPps(const SYSTEMTIME& fixTime, std::string_view sentence) {
    // The library's times are whole calendar times of the milliseconds already, day of week
    // included: taking no seconds from them would give the same bytes. The datagram's one reading
    // of the clock serves its tags.
    GetDatagramPpsTimes(&m_timetag.stPulseTime, &m_timetag.llPulseCounter, &m_timetag.llNowCounter,
                        &m_timetag.stNowTime);
    m_timetag.stFixTime = fixTime;
    size_t n = sentence.size();
    if (const size_t lf = sentence.find('\n'); lf != std::string_view::npos) n = lf + 1;
    // A sentence that ends in CR alone ends there, not with the next sentence of its line.
    if (const size_t cr = sentence.find('\r'); cr < n && sentence.substr(cr, 2) != "\r\n") n = cr + 1;
    n = std::min(n, static_cast<size_t>(TIMETAG_TEXT_SIZE - 1));
    // A view without text may have no data pointer at all, which memcpy may not be given.
    if (n != 0) std::memcpy(m_timetag.szSentence, sentence.data(), n);
    std::memset(m_timetag.szSentence + n, 0, sizeof m_timetag.szSentence - n);
}

void CPelorad::ResetDecoder(int group) {
    switch (group) {
    case RESET_ALL:
        m_zdaSeen = 0;
        m_positionFormat = NMEA_POS_AUTO;
        m_updateFormat = NMEA_POS_AUTO;
        m_positionPending = false;
        m_fixTimeOfDay = -1;
        // No accuracy is known until a GST or QUAL says one.
        for (float* f : {&m_pos.fRms, &m_pos.fSemiMajor, &m_pos.fSemiMinor, &m_pos.fOrientation, &m_pos.fSdLatitude,
                         &m_pos.fSdLongitude, &m_pos.fSdHeight}) {
            *f = ACCURACY_NOT_KNOWN;
        }
        ResetDecoder(RESET_POS_LISTS);
        ResetDecoder(RESET_GSA_STORE);
        ResetDecoder(RESET_GSV_STORE);
        m_gsaPartCount = -1;
        m_gsvPartCount = -1;
        m_gsvTalkers.Clear();
        m_nav.fStatus = STATUS_NONE;
        m_rot.fStatus = STATUS_NONE;
        break;
    case RESET_POS_LISTS:
        std::fill(std::begin(m_pos.alPrn), std::end(m_pos.alPrn), 0);
        std::fill(std::begin(m_pos.alAccuracyKind), std::end(m_pos.alAccuracyKind), ACCURACY_EMPTY);
        break;
    // A store that no decoder wrote since its last reset is reset already.
    case RESET_GSA_STORE:
        if (!m_gsaStoreEmpty) ResetPartStore(m_gsaPartNumber, m_gsaPartCount, m_gsaStore);
        m_gsaStoreEmpty = true;
        break;
    case RESET_GSV_STORE:
        if (!m_gsvStoreEmpty) ResetPartStore(m_gsvPartNumber, m_gsvPartCount, m_gsvStore);
        m_gsvStoreEmpty = true;
        break;
    default: break;
    }
}

int CPelorad::MergeGsa() { return MergePartStore(&m_pos, &m_gsaStore, m_gsaPartNumber, TRUE); }

int CPelorad::MergeGsv() {
    return m_gsvTalkers.Merge(&m_pos, &m_gsvStore, m_gsvPartNumber, std::string_view(m_gsvTalker, 2));
}

const char* CPelorad::GetFormatName(eNmeaFormat format) {
    const int code = static_cast<int>(format);
    return code >= 0 && code <= NMEA_ALL_MAX ? kFormatNames[code] : "UNKNOWN";
}
