// Time tags that some senders put around the NMEA text of each datagram: a header in front, a
// trailer at the end, or a marker in each line. The decoder turns the tag into a UTC time and,
// when asked, removes it so that only the NMEA text is left.
#pragma once

#include "compat/collections.h"
#include "compat/windows_types.h"

enum eTimeTagType : DWORD {
    TIMETAG_NONE = 0,
    // ",seconds,microseconds" before the first CR.
    TIMETAG_ASCII_TRAILER = 1,
    // 24-byte text header beginning "RTA".
    TIMETAG_RTA = 2,
    // 31-byte little-endian header beginning "TDYRTA1".
    TIMETAG_TDYRTA1 = 3,
    // 16-byte little-endian header whose first byte is 2.
    TIMETAG_BINARY = 4,
    // 27-byte text header beginning "RRIO".
    TIMETAG_RRIO = 5,
    // "POS " and the milliseconds of the local day in each line.
    TIMETAG_POS_LINES = 6,
};

class C3RdPartyTimeTagDecoder {
public:
    // strip 1 removes the tag; any other value leaves the datagram as it is.
    C3RdPartyTimeTagDecoder(DWORD type, DWORD strip) : m_type(type), m_strip(strip) {}

    // Decodes the tag of the length bytes at data. On success time is set and, with stripping,
    // the tag is removed and length updated; on failure nothing is changed. Nothing outside the
    // length bytes is read or written. The text forms (1 and 6) end at the first zero byte. Form 6
    // dates its time of day by the local day that puts it within 12 hours of time's value on entry,
    // the time of receipt in UTC (of the clock now when that has no date).
    bool DecodeTimeTag(SYSTEMTIME& time, BYTE* data, DWORD& length) const;
    // The same over an array, which is resized to the new length.
    bool DecodeTimeTag(SYSTEMTIME& time, CByteArray& data) const;

private:
    DWORD m_type;
    DWORD m_strip;
};
