// Byte-exact conversions between the current layouts of stored definition records and the layouts
// that older project files hold: system definitions to and from their 148- and 436-byte forms,
// echosounder DTM definitions to and from their 568-byte form, and an 80-byte record into its
// 128-byte version-1 form. Every target is zeroed before it is filled, so no byte of it is left
// from before. Old records are byte images of at least the stated size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "definitions/records/definition_records.h"
#include "definitions/records/es_dtm_def_record.h"

namespace OldSysDefLayout {
constexpr size_t kSize148 = 148;
constexpr size_t kSize436 = 436;
}  // namespace OldSysDefLayout

void ConvertSysDefLayout148(const uint8_t* old, sSysDef& def);
void SysDefToLayout148(uint8_t* old, const sSysDef& def);
void ConvertSysDefLayout436(const uint8_t* old, sSysDef& def);
void SysDefToLayout436(uint8_t* old, const sSysDef& def);

// Only a record of version 1 has an old form: for another version the target is left zeroed and
// the result is false.
bool EsDtmDefToOldLayout(const sEsDtmDef& def, uint8_t* old);
void EsDtmDefFromOldLayout(const uint8_t* old, sEsDtmDef& def);

void ConvertRecordVersion1(const uint8_t* source, uint8_t* target);
