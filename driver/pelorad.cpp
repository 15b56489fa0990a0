#include "driver/pelorad.h"

#include <cstring>

#include "driver/nmea_codec.h"
#include "foundation/debug_trace.h"
#include "foundation/sentence_checksum.h"

namespace {

// The sentence tokens in the order they are tried: by group, then within the group.
constexpr struct {
    const char* token;
    eNmeaFormat format;
} kTokens[] = {
    {"GGA", NMEA_POS_GGA}, {"RMC", NMEA_POS_RMC}, {"GGK", NMEA_POS_GGK},   {"GLL", NMEA_POS_GLL},
    {"GST", NMEA_ACC_GST}, {"GSA", NMEA_ACC_GSA}, {"GSV", NMEA_ACC_GSV},   {"QUAL", NMEA_ACC_QUAL},
    {"HDT", NMEA_HDG_HDT}, {"HDG", NMEA_HDG_HDG}, {"HDM", NMEA_HDG_HDM},   {"HCD", NMEA_HDG_HCD},
    {"HCC", NMEA_HDG_HCC}, {"ROT", NMEA_MSC_ROT}, {"ZDA", NMEA_MSC_ZDA},
};

constexpr int kTokenWindow = 10;

bool IsTimedByOffset(eNmeaFormat format) {
    return (format >= NMEA_HDG_HDT && format <= NMEA_HDG_HCC) || format == NMEA_MSC_ROT;
}

// Drops the front of a sentence that is not used and goes on at the next "$".
void SkipSentence(CString& message) {
    if (message.GetLength() > 3) {
        message.Delete(0, 3);
        SkipToSentenceStart(message, 1);
    } else {
        message.Empty();
    }
}

}  // namespace

CPelorad::CPelorad(DWORD checksum, DWORD headingTrigger, int mode)
    : m_checksum(checksum), m_headingTrigger(headingTrigger), m_mode(mode) {
    SetReceiveBufferSize(PELORAD_RECEIVE_SIZE);
    SetReceiveLength(PELORAD_RECEIVE_SIZE);
}

CPelorad::~CPelorad() = default;

int CPelorad::OnCmdInit() { return CDrvUdpClient::OnCmdInit() != 0 ? 1 : 0; }

int CPelorad::OnCmdSettings() {
    if (CDrvUdpClient::OnCmdSettings() == 0) return 0;
    m_settingsDone = 1;
    return 1;
}

int CPelorad::DecodeData(bool reset) {
    if (m_settingsDone == 0 || reset) return 0;
    const BYTE* bytes = GetReceiveBuffer();
    const DWORD length = GetReceivedLength();
    int messages = 0;
    int result = 0;
    // The lines between line feeds, empty ones skipped, each taken as it stands in the buffer.
    for (DWORD start = 0; bytes != nullptr && start < length;) {
        const void* lf = std::memchr(bytes + start, '\n', length - start);
        const DWORD end = lf != nullptr ? static_cast<DWORD>(static_cast<const BYTE*>(lf) - bytes) : length;
        if (end > start) {
            CString message(reinterpret_cast<const char*>(bytes + start), static_cast<int>(end - start));
            DebugTrace("[%d] %s\n", messages, message);
            ++messages;
            if (ProcessMessage(message) != 0) result = 1;
        }
        start = end + 1;
    }
    if (messages < 1) DebugTrace("E: %s No messages were found, abort decoding\n", "CPelorad::DecodeData");
    return result;
}

int CPelorad::ProcessMessage(CString& message) {
    int result = 0;
    SkipToFirstOf(message, "$");
    while (message.GetLength() >= 4) {
        if (m_checksum != 0 && !CheckNmeaChecksum(message)) {
            DebugTrace("E: CheckSum Failed %s \n", message);
            SkipSentence(message);
            continue;
        }
        const eNmeaFormat format = FindFormat(message);
        if (format != NMEA_POS_AUTO) {
            if (IsTimedByOffset(format)) ApplyTimeOffset();
            result = 1;
        }
        SkipSentence(message);
    }
    return result;
}

eNmeaFormat CPelorad::FindFormat(const CString& message) {
    if (message.GetLength() == 0 || message[0] != '$') return NMEA_POS_AUTO;
    for (const auto& t : kTokens) {
        const int at = message.Find(t.token);
        if (at >= 0 && at < kTokenWindow) return t.format;
    }
    return NMEA_POS_AUTO;
}
