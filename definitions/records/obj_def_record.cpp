#include "definitions/records/obj_def_record.h"

#include <algorithm>
#include <cstring>

#include "foundation/archive.h"

namespace {

constexpr int32_t kKindScale = 1000000;

template <typename T, size_t N>
void Fill(T (&field)[N], T value) {
    std::fill(field, field + N, value);
}

template <typename T, size_t N>
bool SameArray(const T (&a)[N], const T (&b)[N]) {
    return std::equal(a, a + N, b);
}

size_t NameLength(const char (&name)[36]) { return strnlen(name, sizeof(name)); }

template <size_t N>
void ReadWords(Vok::IArchive& ar, int32_t (&words)[N]) {
    for (int32_t& w : words) ar.ReadInt32(w);
}

template <size_t N>
void WriteWords(Vok::IArchive& ar, const int32_t (&words)[N]) {
    for (int32_t w : words) ar.WriteInt32(w);
}

void Skip(Vok::IArchive& ar, int32_t count) {
    uint8_t scratch[1044];
    ar.ReadBytes(scratch, count);
}

}  // namespace

void sObjDef::Init() {
    recordSize = kSize;
    version = kVersion;
    Fill(settings1, 0);
    Fill(settings2, 0);
    Fill(codeTable, 0);
    Fill(heightArea, 0);
    squatModel = -1;
    Fill(settings216, -1);
    Fill(pad228, uint8_t{0});
    refPointValue = 0.0;
    value240 = 0.0;
    displayOrder = -1;
    setting252 = -1;
    refPointFlag = 0;
    settings260[0] = 5;
    settings260[1] = 0;
    Fill(settings5, 0);
    objType = 0;
    subtype = 0;
    environment1 = 0;
    pressure = kDefaultPressure;
    environment2 = 0;
    density = kDefaultDensity;
    Fill(settings332, 0);
    Fill(values352, 0.0);
    ClassifyType();
}

void sObjDef::UpdateStamp() {
    recordSize = kSize;
    version = kVersion;
    ClassifyType();
}

void sObjDef::ClassifyType() {
    if (objType != 0) return;
    if (objectId == -2) objType = 101;
    else if (objectId == -1) objType = 102;
    else if (objectId >= 200 && objectId <= 299) objType = 1;
    else if (objectId >= 300 && objectId <= 399) objType = 2;
    else if (objectId >= 400 && objectId <= 499) objType = 3;
}

void sObjDef::ResetEnvironment() {
    environment1 = 0;
    environment2 = 0;
    pressure = kDefaultPressure;
    density = kDefaultDensity;
}

bool sObjDef::HasDefaultPressureAndDensity() const {
    return (pressure == 0.0f || pressure == kDefaultPressure) &&
           (density == 0.0f || density == 1.0f || density == kDefaultDensity) && environment1 == 0 &&
           environment2 == 0;
}

bool sObjDef::operator==(const sObjDef& o) const {
    const size_t length = NameLength(name);
    return recordSize == o.recordSize && version == o.version && objectId == o.objectId &&
           length == NameLength(o.name) && std::memcmp(name, o.name, length) == 0 && refNodeId == o.refNodeId &&
           SameArray(settings1, o.settings1) && SameArray(settings2, o.settings2) &&
           SameArray(codeTable, o.codeTable) && SameArray(heightArea, o.heightArea) &&
           squatModel == o.squatModel && SameArray(settings216, o.settings216) &&
           refPointValue == o.refPointValue && value240 == o.value240 && displayOrder == o.displayOrder &&
           setting252 == o.setting252 && refPointFlag == o.refPointFlag && SameArray(settings260, o.settings260) &&
           SameArray(settings5, o.settings5) && objType == o.objType && subtype == o.subtype &&
           environment1 == o.environment1 && pressure == o.pressure && environment2 == o.environment2 &&
           density == o.density && SameArray(settings332, o.settings332) && SameArray(values352, o.values352);
}

int32_t GetCodeKind(int32_t code) {
    if (code <= kKindScale) return 0;
    int32_t kind = code / kKindScale;
    if (kind == 30 || kind == 37 || kind == 43 || kind == 46 || kind == 68) kind += code % 10;
    return kind;
}

int32_t FindCodeInTable(const int32_t* table, int32_t kind) {
    if (table == nullptr) return 0;
    for (size_t k = 0; k < sObjDef::kCodeCount; ++k) {
        if (table[k] > kKindScale && GetCodeKind(table[k]) == kind) return table[k];
    }
    return 0;
}

int32_t FindCodeInFirstTable(const sObjDef* def, int32_t kind) {
    return def != nullptr ? FindCodeInTable(def->settings1, kind) : 0;
}

int32_t FindCodeInSecondTable(const sObjDef* def, int32_t kind) {
    return def != nullptr ? FindCodeInTable(def->settings2, kind) : 0;
}

int32_t FindCodeOfKind(const sObjDef* def, int32_t kind) {
    return def != nullptr ? FindCodeInTable(def->codeTable, kind) : 0;
}

void ReadObjDefFromArchive(Vok::IArchive& ar, sObjDef& def, uint8_t major, uint8_t minor) {
    const bool current = major == 5 && minor == 0;
    const bool old = (major == 3 || major == 4) && minor == 0;
    if (!current && !old) {
        ar.ThrowError(7, "ObjDef");
        return;
    }
    // Read into a copy, so that a short archive leaves the record as it was.
    sObjDef d = def;
    ar.ReadInt32(d.objectId);
    ReadWords(ar, d.settings1);
    ReadWords(ar, d.settings2);
    ReadWords(ar, d.codeTable);
    if (current) {
        ReadWords(ar, d.heightArea);
    } else {
        int32_t word = 0;
        float value = 0.0f;
        ar.ReadInt32(d.heightArea[0]);
        ar.ReadInt32(word);
        ar.ReadFloat(value);
        ar.ReadInt32(word);
        Skip(ar, 16);
        Skip(ar, 1044);
    }
    ar.ReadInt32(d.squatModel);
    ReadWords(ar, d.settings216);
    ar.ReadDouble(d.refPointValue);
    ar.ReadDouble(d.value240);
    ar.ReadInt32(d.displayOrder);
    ar.ReadInt32(d.setting252);
    ar.ReadInt32(d.refPointFlag);
    ReadWords(ar, d.settings260);
    ReadWords(ar, d.settings5);
    ar.ReadInt32(d.objType);
    ar.ReadInt32(d.subtype);
    ar.ReadInt32(d.environment1);
    ar.ReadFloat(d.pressure);
    if (current) {
        ar.ReadInt32(d.environment2);
    } else {
        uint8_t environment = 0;
        ar.ReadUInt8(environment);
        d.environment2 = environment;
    }
    ar.ReadFloat(d.density);
    ReadWords(ar, d.settings332);
    if (current) {
        ar.ReadBytes(d.values352, sizeof(d.values352));
    } else if (major == 3) {
        Skip(ar, 3);
        Skip(ar, 36);
    } else {
        int32_t word = 0;
        float value = 0.0f;
        ar.ReadFloat(value);
        ar.ReadInt32(word);
        ar.ReadInt32(word);
        Skip(ar, 3);
        Skip(ar, 24);
    }
    def = d;
}

void WriteObjDefToArchive(Vok::IArchive& ar, const sObjDef& def) {
    ar.WriteInt32(def.objectId);
    WriteWords(ar, def.settings1);
    WriteWords(ar, def.settings2);
    WriteWords(ar, def.codeTable);
    WriteWords(ar, def.heightArea);
    ar.WriteInt32(def.squatModel);
    WriteWords(ar, def.settings216);
    ar.WriteDouble(def.refPointValue);
    ar.WriteDouble(def.value240);
    ar.WriteInt32(def.displayOrder);
    ar.WriteInt32(def.setting252);
    ar.WriteInt32(def.refPointFlag);
    WriteWords(ar, def.settings260);
    WriteWords(ar, def.settings5);
    ar.WriteInt32(def.objType);
    ar.WriteInt32(def.subtype);
    ar.WriteInt32(def.environment1);
    ar.WriteFloat(def.pressure);
    ar.WriteInt32(def.environment2);
    ar.WriteFloat(def.density);
    WriteWords(ar, def.settings332);
    ar.WriteBytes(def.values352, sizeof(def.values352));
}
