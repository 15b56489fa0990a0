// Datum references (sDatumRef, 576 bytes inside header payloads): a local datum of the project and
// an owner datum, each a code from a fixed list or a file. Their initialisation, comparison and
// path upgrade, the Chart Datum record (228) that holds two of them, and the rule that turns a
// stored path into the current form of a project file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

struct sDatumRef {
    static constexpr size_t kPathMax = 260;  // characters; the byte after them holds 0

    int32_t id;
    int32_t localWord;      // an id, -2 or -3
    int32_t localCode;      // 2..998 a datum of the list, 900 a file, below 1 none
    char localPath[264];
    int32_t ownerWord;
    int32_t ownerCode;      // 1000 default, 1001..1998 a datum of the list, 1900 a file (old: 900)
    char ownerPath[264];
    int32_t zero548;
    double value1;          // non-zero: an explicit reference
    double value2;
    uint8_t zero568[8];
};
static_assert(sizeof(sDatumRef) == 576);
static_assert(offsetof(sDatumRef, localWord) == 4);
static_assert(offsetof(sDatumRef, localCode) == 8);
static_assert(offsetof(sDatumRef, localPath) == 12);
static_assert(offsetof(sDatumRef, ownerWord) == 276);
static_assert(offsetof(sDatumRef, ownerCode) == 280);
static_assert(offsetof(sDatumRef, ownerPath) == 284);
static_assert(offsetof(sDatumRef, zero548) == 548);
static_assert(offsetof(sDatumRef, value1) == 552);
static_assert(offsetof(sDatumRef, value2) == 560);
static_assert(offsetof(sDatumRef, zero568) == 568);

// The Chart Datum record (228): 1192 bytes, its two references at these offsets.
namespace ChartDatum {
constexpr size_t kSize = 1192;
constexpr size_t kFirstRef = 16;
constexpr size_t kSecondRef = 592;
}  // namespace ChartDatum

// Zeroes the record from byte 8, sets id and codes from the packed code; returns the reference
// word (no local datum), or the owner code.
int32_t InitDatumRef(sDatumRef* ref, int32_t id, int32_t packedCode, double value1, double value2);
// The default reference (no local datum, the default owner); returns id.
int32_t InitDatumRefDefault(sDatumRef* ref, int32_t id);
// 0..5; the Fixed Node record (204) has its own kinds.
int32_t GetDatumRefKind(const sDatumRef* ref, int32_t recordType);
// -2 becomes -3 for the codes of the resolved ranges; every other word is returned unchanged.
int32_t ResolveDatumRefWord(int32_t word, int32_t code);
void UpgradeFilePaths(sDatumRef* ref, bool nameOnly);
// Copies the record, then upgrades the copy's paths; returns target.
sDatumRef* CopyDatumRef(sDatumRef* target, const sDatumRef* source, bool nameOnly);
// ToProjectFilePath of the stored path.
std::string GetDatumRefLocalFileName(const sDatumRef* ref, bool nameOnly);
std::string GetDatumRefOwnerFileName(const sDatumRef* ref, bool nameOnly);
// Same codes, first values within 0.001, and for file datums (local 900, owner 1900) the same
// file name, ignoring case.
bool IsSameDatumRef(const sDatumRef* a, const sDatumRef* b);
// Where the codes agree and the file names differ, the target takes the source's file name.
// Returns whether a path changed.
bool SyncDatumRefPaths(sDatumRef* target, const sDatumRef* source);

// Over Chart Datum payloads of 1192 bytes.
int32_t InitChartDatum(uint8_t* record, int32_t id);
void UpgradeChartDatumPaths(uint8_t* record);
uint8_t* CopyChartDatum(uint8_t* target, const uint8_t* source);
bool IsSameChartDatum(const uint8_t* a, const uint8_t* b);
// Whether SyncDatumRefPaths would change a path of a's references; neither record changes.
bool ChartDatumPathsDiffer(const uint8_t* a, const uint8_t* b);

// A ".pro" ending (any case) becomes ".xalmet", every "/" becomes "\", and with nameOnly only the
// part after the last "\" remains. The path's bytes are kept as they are stored.
std::string ToProjectFilePath(const std::string& path, bool nameOnly);
// True when value lies in some [lo, hi].
bool IsInRanges(std::span<const std::pair<int32_t, int32_t>> ranges, int32_t value);
