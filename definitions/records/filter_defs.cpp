#include "definitions/records/filter_defs.h"

#include <cstring>

#include "compat/resource_strings.h"
#include "compat/unit_library.h"

namespace {

constexpr uint32_t kSelectorBits = 0xFF00u;
constexpr uint32_t kHighSelector = 0xF000u;
constexpr uint32_t kDefaultSelectors = 0x1100u;
constexpr uint32_t kAllBits = 0xFFFFFFFFu;

constexpr uint32_t Bit(unsigned n) { return 1u << n; }

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

double M(double metres) { return MetersToUnits(metres); }

// "not greater than 0": a NaN counts as not greater.
void DefaultIfNotPositive(double& v, double fallback) {
    if (!(v > 0.0)) v = fallback;
}
void RaiseBelow(double& v, double minimum) {
    if (v < minimum) v = minimum;
}

// The low (bits 8..11) or high (bits 12..15) selector nibble: 1 becomes 2.
void RaiseSelectorOne(uint32_t& flags, unsigned shift) {
    if (((flags >> shift) & 0xFu) == 1u) flags = (flags & ~(0xFu << shift)) | (2u << shift);
}

}  // namespace

void InitFiltDef(sFiltDef* def) {
    if (def == nullptr) return;
    std::memset(def, 0, sizeof *def);
    def->recordSize = sFiltDef::kSize;
    def->version = sFiltDef::kVersion;
    def->flags = kDefaultSelectors;
    def->length24 = M(0.2);
    def->value32 = -1.0;
    def->count44 = 3;
    def->factor48 = 0.5;
    def->factor56 = 0.05;
    def->length64 = M(0.05);
    def->length72 = M(0.05);
    def->length80 = M(0.5);
    def->factor88 = 1.0;
    def->length96 = M(1.0);
    def->factor104 = 1.0;
    def->length112 = M(1.0);
    for (int32_t& id : def->refIds) id = sFiltDef::kNoReference;
    def->length136 = M(0.1);
    def->length144 = M(5.0);
    def->length152 = M(5.0);
    def->count196 = 10;
    def->length200 = M(0.05);
    def->value208 = 0.1;
    def->count216 = 5;
    def->filterInterval = 5.0;
    def->secondInterval = 30.0;
    def->value240 = 1.0;
    def->layoutMark = sFiltDef::kLayoutMark;
    ValidateFiltDef(def);
}

void ValidateFiltDef(sFiltDef* d) {
    if (d == nullptr) return;
    d->recordSize = sFiltDef::kSize;
    d->version = sFiltDef::kVersion;

    if ((d->flags & Bit(4)) != 0 && d->secondMode == 0 && d->length136 == 0.0 && d->mode >= 2) d->secondMode = 11;

    if (d->layoutMark == 0) {
        d->length136 = d->length80 > 0.0 ? d->length80 : M(0.1);
        if (M(0.5) * 0.5 >= d->length80) d->length80 *= 10.0;
        d->layoutMark = sFiltDef::kLayoutMark;
    }

    DefaultIfNotPositive(d->length24, M(0.2));
    DefaultIfNotPositive(d->length136, M(0.1));
    if (d->count44 < 1) d->count44 = 3;
    DefaultIfNotPositive(d->factor48, 0.5);
    RaiseBelow(d->factor48, 0.05);
    DefaultIfNotPositive(d->factor56, 0.05);
    RaiseBelow(d->factor56, 0.05);
    for (double* length : {&d->length64, &d->length72}) {
        DefaultIfNotPositive(*length, M(0.05));
        RaiseBelow(*length, M(0.005));
    }
    DefaultIfNotPositive(d->length80, M(0.5));
    RaiseBelow(d->length80, M(0.05));
    RaiseBelow(d->factor88, 1.0);
    RaiseBelow(d->length96, M(0.1));
    RaiseBelow(d->factor104, 1.0);
    RaiseBelow(d->length112, M(0.05));
    if (d->slotValues[0] < 0.0 || d->slotValues[0] >= 360.0) d->slotValues[0] = 0.0;
    if (d->slotValues[1] < 0.0) d->slotValues[1] = 0.0;
    if (d->slotValues[2] < 0.0) d->slotValues[2] = 0.0;
    RaiseBelow(d->length144, M(0.5));
    RaiseBelow(d->length152, M(0.5));
    if ((d->flags & Bit(1)) != 0 && d->mode >= 2) d->flags &= ~Bit(0);

    if ((d->flags & kSelectorBits) == 0 || (d->flags & kHighSelector) == 0)
        d->flags = (d->flags & ~kSelectorBits) | kDefaultSelectors;
    if ((d->flags2 & kSelectorBits) == 0) d->flags2 |= kDefaultSelectors;

    if (!InRange(d->mode, 2, 15)) {
        if (d->slotWords[0] == kAllBits) d->slotWords[0] = 0;
        if (d->slotWords[1] == kAllBits) d->slotWords[1] = 0;
        if (d->count216 == -1) d->count216 = 0;
        RaiseSelectorOne(d->flags2, 8);
    }
    if ((d->mode == 0 && d->secondMode == 0) || (!InRange(d->mode, 13, 15) && !InRange(d->secondMode, 2, 15))) {
        if (d->slotWords[2] == kAllBits) d->slotWords[2] = 0;
        RaiseSelectorOne(d->flags2, 12);
    }

    if (d->length200 < 0.0) d->length200 = 0.0;
    if (d->length200 > M(10.0)) d->length200 = M(10.0);
    if (d->count196 < 2) d->count196 = 2;
    if (d->count196 > 3600) d->count196 = 3600;
    RaiseBelow(d->value208, 0.1);
    if (d->count216 == 0) {
        d->count216 = 5;
    } else if (d->count216 == 1) {
        d->count216 = 2;
    }
    RaiseBelow(d->filterInterval, 1.0);
    RaiseBelow(d->secondInterval, 1.0);
    if (d->filterInterval > d->secondInterval) d->secondInterval = d->filterInterval * 30.0 / 5.0;
    RaiseBelow(d->value240, 0.1);
    if (d->value256 >= 1) d->value252 = d->value256;
}

int IsValidFiltDef(const sFiltDef* def) {
    return def != nullptr && def->recordSize == sFiltDef::kSize && (def->version & 0xFFu) == 3 && def->setupId >= 1 &&
                   def->objectId >= 1
               ? 1
               : 0;
}

void ClearFiltSlot(sFiltDef* def, int slotMask) {
    if (def == nullptr) return;
    auto clear = [def](int slot) {
        def->refIds[slot] = sFiltDef::kNoReference;
        def->slotValues[slot] = 0.0;
    };
    switch (slotMask) {
        case 14:
            def->flags &= ~(Bit(1) | Bit(2) | Bit(3));
            for (int slot = 0; slot < 3; ++slot) clear(slot);
            break;
        case 2:
        case 4:
            def->flags &= ~(Bit(1) | Bit(2));
            clear(slotMask == 2 ? 0 : 1);
            break;
        case 8:
            def->flags &= ~Bit(3);
            clear(2);
            break;
        default:
            break;
    }
}

void ClearFiltSlotWords(sFiltDef* def, int slotMask) {
    if (def == nullptr) return;
    switch (slotMask) {
        case 14:
            for (uint32_t& w : def->slotWords) w = 0;
            break;
        case 2:
            def->slotWords[0] = 0;
            break;
        case 4:
            def->slotWords[1] = 0;
            break;
        case 8:
            def->slotWords[2] = 0;
            break;
        default:
            break;
    }
}

int FiltModeIsSet(const sFiltDef* def) { return def != nullptr && InRange(def->mode, 1, 15) ? 1 : 0; }

int FiltModeIsActive(const sFiltDef* def) { return def != nullptr && InRange(def->mode, 2, 15) ? 1 : 0; }

int FiltModeIsGroupA(const sFiltDef* def) {
    return def != nullptr && (InRange(def->mode, 2, 3) || InRange(def->mode, 8, 11)) ? 1 : 0;
}

int FiltModeIsGroupB(const sFiltDef* def) {
    return def != nullptr && (InRange(def->mode, 4, 7) || InRange(def->mode, 12, 15)) ? 1 : 0;
}

int FiltSecondModeIsSet(const sFiltDef* def) { return def != nullptr && InRange(def->secondMode, 1, 15) ? 1 : 0; }

int FiltDefUsesSecondStage(const sFiltDef* def) {
    if (def == nullptr || (def->mode == 0 && def->secondMode == 0)) return 0;
    if (InRange(def->mode, 13, 15)) return 1;
    return InRange(def->secondMode, 2, 15) ? 1 : 0;
}

int FiltDefIsActive(const sFiltDef* def) {
    if (def == nullptr || (def->mode == 0 && def->secondMode == 0)) return 0;
    if (InRange(def->mode, 2, 15)) return 1;
    return InRange(def->secondMode, 2, 15) ? 1 : 0;
}

int FiltModeAccepts(int32_t mode, int32_t a, int32_t b) {
    if (mode == 1) return a == 0 ? 1 : 0;
    if (InRange(mode, 2, 3) || InRange(mode, 8, 11)) return a < 2 && b != 0 ? 1 : 0;
    if (InRange(mode, 4, 7) || mode == 12) return a < 3 && b >= 2 ? 1 : 0;
    if (InRange(mode, 13, 15)) return a < 4 && b >= 3 ? 1 : 0;
    return 0;
}

CString GetFiltModeName(int32_t mode) {
    if (InRange(mode, 0, 14)) return ZRES_GetString(static_cast<UINT>(20000 + mode));
    if (mode == 15) return ZRES_GetString(20016);
    return CString();
}

namespace {

constexpr double kSizeClassLengths[] = {0.025, 0.075, 0.2, 0.5, 1.5};
constexpr double kSizeClassBorders[] = {0.05, 0.1375, 0.35, 1.0};
constexpr double kFineClassLengths[] = {0.005, 0.02, 0.1, 0.5, 2.5};
constexpr double kFineClassBorders[] = {0.0125, 0.06, 0.3, 1.5};
constexpr UINT kSizeClassTexts[] = {20066, 20065, 20063, 20061, 20060};

double ClassLength(const double (&lengths)[5], int sizeClass) {
    return sizeClass >= 0 && sizeClass < 5 ? M(lengths[sizeClass]) : 0.0;
}

// A length in the current unit against borders in metres; not greater than 0 is class 2.
int ClassOf(const double (&borders)[4], double length) {
    if (!(length > 0.0)) return 2;
    for (int c = 0; c < 4; ++c) {
        if (length <= M(borders[c])) return c;
    }
    return 4;
}

}  // namespace

double GetSizeClassLength(int sizeClass) { return ClassLength(kSizeClassLengths, sizeClass); }

int GetSizeClass(double length) { return ClassOf(kSizeClassBorders, length); }

double GetFineSizeClassLength(int sizeClass) { return ClassLength(kFineClassLengths, sizeClass); }

int GetFineSizeClass(double length) { return ClassOf(kFineClassBorders, length); }

CString GetSizeClassText(double length) { return ZRES_GetString(kSizeClassTexts[GetSizeClass(length)]); }

CString GetFiltDescription(int32_t mode, double length) {
    CString text;
    text.Format("%s - %s", GetFiltModeName(mode), GetSizeClassText(length));
    return text;
}
