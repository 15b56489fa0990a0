// The driver class: the one object that main creates. The bases run the host link, the command
// loop and the UDP receive path; this class turns each received datagram into messages and
// recognises the NMEA 0183 sentences in them.
//
// At this stage it adds no result blocks and writes no result records: a datagram counts as
// decoded when one of its sentences is recognised (checksum, then a known token).
#pragma once

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "driver/drv_udp_client.h"

enum eNmeaFormat : int {
    NMEA_POS_AUTO = 0,
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

class CPelorad : public CDrvUdpClient {
public:
    // checksum 1: each sentence's checksum is tested ("NOCS" gives 0); headingTrigger 1: heading
    // and rate-of-turn formats may close an update ("NOTH" gives 0); mode goes to the position
    // decoders.
    CPelorad(DWORD checksum, DWORD headingTrigger, int mode);
    ~CPelorad() override;

    int OnCmdInit() override;
    // Decoding starts with the first SETTINGS.
    int OnCmdSettings() override;
    // 0 until the first SETTINGS; with reset, clears the decoder. Otherwise 1 when a message of
    // the datagram was decoded.
    int DecodeData(bool reset) override;
    // One line of a datagram, consumed from the front: 1 when a sentence of it was decoded.
    int ProcessMessage(CString& message);
    // The format of the sentence at the front of the message; 0 for none. A token counts when
    // it starts within the first ten characters.
    static eNmeaFormat FindFormat(const CString& message);

    DWORD GetChecksumFlag() const { return m_checksum; }
    DWORD GetHeadingTriggerFlag() const { return m_headingTrigger; }
    int GetMode() const { return m_mode; }
    int IsSettingsDone() const { return m_settingsDone; }

private:
    int32_t m_settingsDone = 0;
    DWORD m_checksum;
    DWORD m_headingTrigger;
    int m_mode;
};
