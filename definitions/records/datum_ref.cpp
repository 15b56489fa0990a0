#include "definitions/records/datum_ref.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "definitions/records/packed_ids.h"
#include "foundation/string_utils.h"

namespace {

constexpr int32_t kLocalFile = 900;
constexpr int32_t kOwnerFile = 1900;
constexpr int32_t kOldOwnerFile = 900;
constexpr int32_t kDefaultOwner = 1000;
constexpr int32_t kUnresolved = -2;
constexpr int32_t kResolved = -3;
constexpr double kValueTolerance = 0.001;
constexpr size_t kPathTextBytes = sDatumRef::kPathMax + 1;

constexpr std::pair<int32_t, int32_t> kResolvedCodes[] = {
    {2, 3}, {5, 13}, {18, 21}, {26, 35}, {60, 62}, {69, 84}, {89, 95}, {1001, 1003},
};

bool InList(int32_t code) { return code >= 2 && code <= 998; }

bool IsListOwner(int32_t code) { return code >= 1001 && code <= 1998; }

std::string PathText(const char (&path)[264]) {
    return std::string(path, strnlen(path, sDatumRef::kPathMax));
}

// At most kPathMax characters, then zeros to the end of the text.
void SetPath(char (&path)[264], const std::string& text) {
    const size_t n = std::min(text.size(), sDatumRef::kPathMax);
    std::memset(path, 0, kPathTextBytes);
    std::memcpy(path, text.data(), n);
}

// Converts the stored path when its project form differs; a path that fills its field gets its
// terminator.
void UpgradePath(char (&path)[264], bool nameOnly) {
    const std::string stored = PathText(path);
    const std::string upgraded = ToProjectFilePath(stored, nameOnly);
    if (upgraded != stored || path[sDatumRef::kPathMax] != 0) SetPath(path, upgraded);
}

bool SameFileName(const char (&a)[264], const char (&b)[264]) {
    return Equals(ToProjectFilePath(PathText(a), true), ToProjectFilePath(PathText(b), true), true);
}

// The target takes the source's file name when the two names differ.
bool SyncPath(char (&target)[264], const char (&source)[264]) {
    const std::string name = ToProjectFilePath(PathText(source), true);
    if (ToProjectFilePath(PathText(target), true) == name) return false;
    SetPath(target, name);
    return true;
}

sDatumRef LoadRef(const uint8_t* record, size_t offset) {
    sDatumRef ref;
    std::memcpy(&ref, record + offset, sizeof(ref));
    return ref;
}

void StoreRef(uint8_t* record, size_t offset, const sDatumRef& ref) {
    std::memcpy(record + offset, &ref, sizeof(ref));
}

int32_t LoadWord(const uint8_t* record, size_t offset) {
    int32_t word;
    std::memcpy(&word, record + offset, sizeof(word));
    return word;
}

void StoreWord(uint8_t* record, size_t offset, int32_t word) {
    std::memcpy(record + offset, &word, sizeof(word));
}

}  // namespace

int32_t InitDatumRef(sDatumRef* ref, int32_t id, int32_t packedCode, double value1, double value2) {
    if (ref == nullptr) return 0;
    std::memset(reinterpret_cast<uint8_t*>(ref) + 8, 0, sizeof(sDatumRef) - 8);
    ref->id = id;
    ref->localWord = id;
    ref->ownerWord = id;
    ref->localCode = GetLocalIdPart(packedCode);
    ref->ownerCode = GetOwnerIdPart(packedCode);
    ref->value1 = value1;
    ref->value2 = value2;
    if (ref->localCode < 1) {
        ref->ownerCode = kDefaultOwner;
        ref->value1 = 0.0;
        const int64_t word = std::llabs(static_cast<int64_t>(id) + ref->localCode);
        const auto clamped = static_cast<int32_t>(std::min<int64_t>(word, std::numeric_limits<int32_t>::max()));
        ref->localWord = clamped;
        ref->ownerWord = clamped;
        return clamped;
    }
    if (ref->localCode > 1) {
        ref->localWord = kUnresolved;
        ref->ownerWord = kUnresolved;
        return ref->ownerCode;
    }
    if (ref->ownerCode > kDefaultOwner) ref->ownerWord = kUnresolved;
    return ref->ownerCode;
}

int32_t InitDatumRefDefault(sDatumRef* ref, int32_t id) {
    if (ref == nullptr) return id;
    std::memset(ref->localPath, 0, sizeof(ref->localPath));
    std::memset(ref->ownerPath, 0, sizeof(ref->ownerPath));
    ref->zero548 = 0;
    ref->value1 = 0.0;
    ref->value2 = 0.0;
    std::memset(ref->zero568, 0, sizeof(ref->zero568));
    ref->id = id;
    ref->localWord = std::max(id, 0);
    ref->ownerWord = std::max(id, 0);
    ref->localCode = 0;
    ref->ownerCode = kDefaultOwner;
    return id;
}

int32_t GetDatumRefKind(const sDatumRef* ref, int32_t recordType) {
    if (ref == nullptr) return 0;
    const bool fixedNode = recordType == 204;
    if (ref->value1 != 0.0 || IsListOwner(ref->ownerCode)) return fixedNode ? 5 : 2;
    if (!InList(ref->localCode)) return fixedNode ? 4 : 0;
    return fixedNode ? 0 : 1;
}

int32_t ResolveDatumRefWord(int32_t word, int32_t code) {
    if (word != kUnresolved) return word;
    return IsInRanges(kResolvedCodes, code) ? kResolved : kUnresolved;
}

void UpgradeFilePaths(sDatumRef* ref, bool nameOnly) {
    if (ref == nullptr) return;
    if (InList(ref->localCode)) {
        ref->localWord = ResolveDatumRefWord(ref->localWord, ref->localCode);
        UpgradePath(ref->localPath, nameOnly);
    } else {
        std::memset(ref->localPath, 0, kPathTextBytes);
    }
    if (ref->ownerCode == 0) {
        ref->ownerCode = kDefaultOwner;
        std::memset(ref->ownerPath, 0, kPathTextBytes);
        return;
    }
    if (ref->ownerCode == kOldOwnerFile) ref->ownerCode = kOwnerFile;
    if (!IsListOwner(ref->ownerCode)) {
        std::memset(ref->ownerPath, 0, kPathTextBytes);
        return;
    }
    ref->ownerWord = ResolveDatumRefWord(ref->ownerWord, ref->ownerCode);
    UpgradePath(ref->ownerPath, nameOnly);
}

sDatumRef* CopyDatumRef(sDatumRef* target, const sDatumRef* source, bool nameOnly) {
    if (target == nullptr || source == nullptr) return target;
    if (target != source) std::memcpy(target, source, sizeof(sDatumRef));
    UpgradeFilePaths(target, nameOnly);
    return target;
}

std::string GetDatumRefLocalFileName(const sDatumRef* ref, bool nameOnly) {
    return ref != nullptr ? ToProjectFilePath(PathText(ref->localPath), nameOnly) : std::string();
}

std::string GetDatumRefOwnerFileName(const sDatumRef* ref, bool nameOnly) {
    return ref != nullptr ? ToProjectFilePath(PathText(ref->ownerPath), nameOnly) : std::string();
}

bool IsSameDatumRef(const sDatumRef* a, const sDatumRef* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (a->localCode != b->localCode || a->ownerCode != b->ownerCode) return false;
    if (std::fabs(a->value1 - b->value1) > kValueTolerance) return false;
    if (a->localCode == kLocalFile && !SameFileName(a->localPath, b->localPath)) return false;
    if (a->ownerCode == kOwnerFile && !SameFileName(a->ownerPath, b->ownerPath)) return false;
    return true;
}

bool SyncDatumRefPaths(sDatumRef* target, const sDatumRef* source) {
    if (target == nullptr || source == nullptr) return false;
    bool changed = false;
    if (target->localCode == source->localCode) changed |= SyncPath(target->localPath, source->localPath);
    if (target->ownerCode == source->ownerCode) changed |= SyncPath(target->ownerPath, source->ownerPath);
    return changed;
}

int32_t InitChartDatum(uint8_t* record, int32_t id) {
    if (record == nullptr) return std::max(id, 0);
    StoreWord(record, 0, 0);
    StoreWord(record, 4, 0);
    StoreWord(record, 8, -999);
    StoreWord(record, 12, 0);
    for (size_t offset : {ChartDatum::kFirstRef, ChartDatum::kSecondRef}) {
        sDatumRef ref{};
        InitDatumRefDefault(&ref, id);
        StoreRef(record, offset, ref);
    }
    StoreWord(record, 1168, 0);
    std::memset(record + 1172, 0, 20);
    return std::max(id, 0);
}

void UpgradeChartDatumPaths(uint8_t* record) {
    if (record == nullptr) return;
    for (size_t offset : {ChartDatum::kFirstRef, ChartDatum::kSecondRef}) {
        sDatumRef ref = LoadRef(record, offset);
        UpgradeFilePaths(&ref, true);
        StoreRef(record, offset, ref);
    }
}

uint8_t* CopyChartDatum(uint8_t* target, const uint8_t* source) {
    if (target == nullptr || source == nullptr) return target;
    if (target != source) std::memmove(target, source, ChartDatum::kSize);
    UpgradeChartDatumPaths(target);
    return target;
}

bool IsSameChartDatum(const uint8_t* a, const uint8_t* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (LoadWord(a, 0) != LoadWord(b, 0)) return false;
    for (size_t offset : {ChartDatum::kFirstRef, ChartDatum::kSecondRef}) {
        const sDatumRef ra = LoadRef(a, offset);
        const sDatumRef rb = LoadRef(b, offset);
        if (!IsSameDatumRef(&ra, &rb)) return false;
    }
    return true;
}

bool ChartDatumPathsDiffer(const uint8_t* a, const uint8_t* b) {
    if (a == nullptr || b == nullptr) return false;
    bool differ = false;
    for (size_t offset : {ChartDatum::kFirstRef, ChartDatum::kSecondRef}) {
        sDatumRef target = LoadRef(a, offset);
        const sDatumRef source = LoadRef(b, offset);
        differ |= SyncDatumRefPaths(&target, &source);
    }
    return differ;
}

std::string ToProjectFilePath(const std::string& path, bool nameOnly) {
    std::string result = path;
    static const std::string kOldExtension = ".pro";
    if (EndsWith(result, kOldExtension, true)) result.replace(result.size() - kOldExtension.size(), std::string::npos, ".xalmet");
    std::replace(result.begin(), result.end(), '/', '\\');
    if (nameOnly) {
        const size_t slash = result.rfind('\\');
        if (slash != std::string::npos) result.erase(0, slash + 1);
    }
    return result;
}

bool IsInRanges(std::span<const std::pair<int32_t, int32_t>> ranges, int32_t value) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const auto& range) { return value >= range.first && value <= range.second; });
}
