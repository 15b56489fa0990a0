// The search for the header record that carries the set-up of an observation definition.
#pragma once

#include <cstdint>

#include "definitions/records/definition_records.h"

class CHdrList;
class CNodeDefList;
class CSysDefList;
struct sHdrEntry;

// The first entry of the header list that belongs to the definition, by its observation type,
// header number (the link value), system and nodes; null for type 0, a negative header number,
// unlisted types, a missing list, or a node that the node list does not hold. `unused` is not read.
sHdrEntry* FindHdrEntryOfObsDef(const sObsDef* def, const CHdrList* headers, const CSysDefList* systems,
                                int32_t unused, const CNodeDefList* nodes);
