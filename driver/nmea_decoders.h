// Decoders of single NMEA 0183 sentences into the driver's result records. Each consumes its
// sentence text from the front and returns 1 on success, 0 on failure; a failed decoder has, as a
// rule, stored nothing (GST stores field by field; GSA, GSV and ZDA clear and count first).
#pragma once

#include <string_view>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "driver/nmea_codec.h"
#include "driver/result_records.h"

// Position decoders. The mode decides the GGA height: below 2 the altitude, 2 the geoid
// separation alone, above 2 their sum; the other decoders do not use it. A decoded sentence sets
// timed (when given) to whether it carried a time of day within the day of its own (ReadTimeOfDay);
// one without keeps the record's time. A coordinate field that holds no plain number counts as
// empty; one that is no coordinate (ReadLatitude) fails the sentence. A GGA of quality 0, an RMC
// or GLL of status V, without coordinates, stores quality 0 and its time (a GGA its satellites and
// HDOP too): the last fix's coordinates and height stay.
int DecodeGGA(CString& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeRMC(CString& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeGGK(CString& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeGLL(CString& text, PosRecord* record, int mode, bool* timed = nullptr);

// Accuracy decoders. GST is refused when its time of day is earlier than the record's; an empty
// GST field stores 999, not known.
int DecodeGST(CString& text, PosRecord* record);
int DecodeQUAL(CString& text, PosRecord* record);
// Multi-part sentences go into a store of PosRecord layout and count their parts.
int DecodeGSA(CString& text, PosRecord* store, int* partNumber, int* partCount);
int DecodeGSV(CString& text, PosRecord* store, int* partNumber, int* partCount);

// Merges part partNumber of a GSA or GSV store into the position record: part 1 replaces the
// satellite count and PRN list (and, withAccuracy, the accuracy slots); later parts add their
// count and append their PRNs while the list has room. 1 when partNumber is above 0.
int MergePartStore(PosRecord* record, const PosRecord* store, int partNumber, BOOL withAccuracy);

// The satellites in view that the GSV groups of one epoch report, by talker (GP, GL, GA, GB, GQ,
// GN...): a receiver that sends one group per constellation tells them all.
class CGsvTalkers {
public:
    // A new epoch: no talker counted.
    void Clear() { m_count = 0; }
    // Merges part partNumber of talker's group, held in store, into the position record: a part 1
    // starts that talker's count again, a later part adds to it, and the record's satellite count
    // and PRN list become those of every talker of the epoch (the PRNs as far as the list holds).
    // 1 when partNumber is above 0.
    int Merge(PosRecord* record, const PosRecord* store, int partNumber, std::string_view talker);

private:
    struct sTalker {
        char name[2];
        int32_t satellites;
        int32_t prnCount;
        int32_t prns[POS_PRN_COUNT];
    };
    sTalker m_talkers[8]{};
    int m_count = 0;
};

// Heading decoders. HDG stores the magnetic variation it reads; HDM, HCD and HCC add the one given,
// and without one (null) are magnetic, not true: marked invalid (STATUS_NEW_INVALID). So is an HDG
// whose variation field is empty (or holds no number): it adds the variation given, and leaves it
// as it is.
// A heading is stored within [0, 360). A heading field that is empty, holds no number or lies
// beyond [0, 360] gives a heading of 0 (before corrections) marked invalid (STATUS_NEW_INVALID);
// ROT does the same for its rate field. Other number fields that hold no number read as empty.
int DecodeHDT(CString& text, NavRecord* record, double* variation);
int DecodeHDG(CString& text, NavRecord* record, double* variation);
int DecodeHDM(CString& text, NavRecord* record, double* variation);
int DecodeHCD(CString& text, NavRecord* record, double* variation);
int DecodeHCC(CString& text, NavRecord* record, double* variation);

int DecodeROT(CString& text, RotRecord* record);
// Date and time of day; the local zone fields are not read.
int DecodeZDA(CString& text, SYSTEMTIME* time);
// Magnetic variation, negative to the west.
int DecodeHVD(CString& text, double* variation);
int DecodeHVM(CString& text, double* variation);

// Course over ground (true) and speed, the speed in the unit library's current units per second.
// Either output may be null.
int DecodeVTG(CString& text, double* course, double* speed);

// The same decoders over a view of the text, as the sentence loop calls them: the view keeps what
// the decoder left of it. A namespace of their own keeps the names above unambiguous.
namespace Vok::Nmea {

int DecodeGGA(CNmeaText& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeRMC(CNmeaText& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeGGK(CNmeaText& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeGLL(CNmeaText& text, PosRecord* record, int mode, bool* timed = nullptr);
int DecodeGST(CNmeaText& text, PosRecord* record);
int DecodeQUAL(CNmeaText& text, PosRecord* record);
int DecodeGSA(CNmeaText& text, PosRecord* store, int* partNumber, int* partCount);
int DecodeGSV(CNmeaText& text, PosRecord* store, int* partNumber, int* partCount);
int DecodeHDT(CNmeaText& text, NavRecord* record, double* variation);
int DecodeHDG(CNmeaText& text, NavRecord* record, double* variation);
// As the sentence loop calls it: *variationKnown tells whether *variation holds a variation that an
// HDG gave, and becomes true when this one gives it.
int DecodeHDG(CNmeaText& text, NavRecord* record, double* variation, bool* variationKnown);
int DecodeHDM(CNmeaText& text, NavRecord* record, double* variation);
int DecodeHCD(CNmeaText& text, NavRecord* record, double* variation);
int DecodeHCC(CNmeaText& text, NavRecord* record, double* variation);
int DecodeROT(CNmeaText& text, RotRecord* record);
int DecodeZDA(CNmeaText& text, SYSTEMTIME* time);
int DecodeHVD(CNmeaText& text, double* variation);
int DecodeHVM(CNmeaText& text, double* variation);
int DecodeVTG(CNmeaText& text, double* course, double* speed);

}  // namespace Vok::Nmea
