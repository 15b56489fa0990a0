#include "definitions/records/packed_ids.h"

namespace {

constexpr int32_t kDefaultOwner = 1000;

uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }

int32_t OwnerHigh(int32_t owner) { return static_cast<int32_t>(Bits(owner) << 16); }

}  // namespace

bool IsSpecialId(int32_t value) {
    return value == 0 || value == 1 || value == 900 || value == 1000 || value == 1900;
}

bool IsId900(int32_t value) { return value == 900; }

bool IsId1900(int32_t value) { return value == 1900; }

bool IsLocalId(int32_t value) { return value >= 2 && value < 999; }

bool IsOwnerId(int32_t value) { return value >= 1001 && value < 1999; }

int32_t GetLocalIdPart(int32_t value) {
    return value < 1 ? value : static_cast<int32_t>(Bits(value) & 0xFFFFu);
}

int32_t GetOwnerIdPart(int32_t value) {
    if (value <= 999) return kDefaultOwner;
    if (value < 2000) return value;
    return static_cast<int32_t>(Bits(value) >> 16);
}

int32_t MakeOwnerIdHigh(int32_t value) {
    return OwnerHigh(value < 1001 ? kDefaultOwner : value);
}

int32_t MakePackedId(int32_t local, int32_t owner) {
    if (local < 1) return local;
    return static_cast<int32_t>(Bits(MakeOwnerIdHigh(owner)) | (Bits(local) & 0xFFFFu));
}

int32_t IdentityId(int32_t value) { return value; }
