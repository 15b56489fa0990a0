// The upgrade of system definitions from older project files: old driver ids are renumbered to
// the form system type x 10000 + n (and some systems change type), five obsolete driver ids are
// replaced by their successors, and an "ASCII Logger" output system is added where none exists.
#pragma once

#include <cstdint>

#include "definitions/records/definition_records.h"

class CSysDefList;

// false for null; true, the record untouched, when the version's low byte is 1 or more (already
// upgraded); otherwise upgrades the record in place and returns false. The version stays 0: the
// block writer stamps it.
bool UpgradeSystemType(sSysDef* def);
// true when at least one record's driver id was replaced.
bool RemapSystemTypeIds(CSysDefList& list);
// Appends the "ASCII Logger" system when the list has none and writes its new system id; when it
// has one, nothing changes and sysId is not written.
void AddAsciiLoggerSystem(CSysDefList& list, uint32_t& sysId);
