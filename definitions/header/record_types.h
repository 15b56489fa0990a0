// The vocabulary of header and data record types (0..275): header codes and captions, fixed payload
// sizes, the companion data record of a header record, data record layouts and their time fields,
// display names and the key words by which records refer to each other. Stateless.
//
// A payload passed by pointer alone must hold at least the fixed size of its type (GetRecordSize
// for header records, GetDataRecordFixedSize for data records); every offset these functions read
// lies within that size.
#pragma once

#include <cstdint>

#include "compat/cstring.h"
#include "foundation/time_value.h"

struct sHdrEntry;

// A record type 0..275: the record id of a header entry, or the type of a data record.
using RecordType = int32_t;

constexpr RecordType RECORD_TYPE_LAST = 275;

// mode 0: the caption (for some types the text stored in the payload, when not empty); any other
// mode: the header code. Type 263 and types outside 0..275 read "Unsupported (%d)".
CString GetRecordHeaderCode(RecordType recordType, int32_t mode, const uint8_t* payload);
// The fixed payload size of a header type; 0 when it has none.
uint32_t GetRecordSize(RecordType recordType);
// The record type of a header record's companion data record; 0 when none.
RecordType GetDataRecordType(RecordType headerType, int32_t variant);
// As above, the variant read from the entry's first payload word for the types that carry one.
RecordType GetDataRecordTypeOfEntry(const sHdrEntry* entry);
// mode 1: "%d (%s)", mode -1: "%s (%d)", else the text alone; "%d" of the variant for unlisted types.
CString GetRecordVariantText(RecordType recordType, int32_t variant, int32_t mode);

void GetDataRecordLayout(RecordType dataType, uint32_t& fixedSize, bool& variable);
uint32_t GetDataRecordFixedSize(RecordType dataType);
// The fixed size, or for a variable type with a payload the size its head states (at most
// 0xFFFFFFFF).
uint32_t GetDataRecordSize(RecordType dataType, const uint8_t* payload);
// The record's time; invalid for types without one and for a null payload.
CVOKTime GetDataRecordTime(RecordType dataType, const uint8_t* payload);
// Writes the time, and for some types its calendar copy; nothing for other types.
void SetDataRecordTime(RecordType dataType, uint8_t* payload, const CVOKTime& time);
// Zeroes the second time of the types that have one; false for other types and a null payload.
bool ClearDataRecordExtraTime(RecordType dataType, uint8_t* payload);

// A payload text, a fixed text or the header code.
CString GetRecordDisplayName(RecordType recordType, const uint8_t* payload);
// Each key not given by the type's row is set to -1; null outputs are skipped.
void GetRecordKeys(RecordType recordType, const uint8_t* payload, int32_t* key1, int32_t* key2, int32_t* key3);

bool IsGeodeticRecordType(RecordType recordType);
bool IsGnssRecordType(RecordType recordType);
bool IsGnssAuxRecordType(RecordType recordType);
bool IsDatumRecordType(RecordType recordType);
// The first payload word, or 0 when it is -1.
int32_t GetIdOrZero(const uint8_t* payload);
