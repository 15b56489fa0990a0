// Packed 32-bit ids: the low 16 bits hold a local code (2 to 998), the high 16 bits an owner code
// (1001 to 1998; 1000 is the default owner). Values below 1 are not packed; 0, 1, 900, 1000 and
// 1900 are special. Shifts and masks work on the unsigned bits, so no value is shifted as signed.
#pragma once

#include <cstdint>

bool IsSpecialId(int32_t value);
bool IsId900(int32_t value);
bool IsId1900(int32_t value);
// 2 <= value < 999.
bool IsLocalId(int32_t value);
// 1001 <= value < 1999.
bool IsOwnerId(int32_t value);
// The value itself below 1, else its low 16 bits.
int32_t GetLocalIdPart(int32_t value);
// 1000 up to 999; the value itself below 2000; else its high 16 bits.
int32_t GetOwnerIdPart(int32_t value);
// The owner code in the high half; the default owner 1000 for values below 1001.
int32_t MakeOwnerIdHigh(int32_t value);
// local when it is below 1; with the default owner 1000 when owner is below 1001.
int32_t MakePackedId(int32_t local, int32_t owner);
int32_t IdentityId(int32_t value);
