// A small list of computation set-ups over the sample definitions, built alike by the tests and
// by the peer that publishes it, so that a list written in one process can be compared with the
// one read in another.
#pragma once

#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"

namespace Vok::Test {

// Two set-ups over the sample observations and nodes (FillSampleObsDefs, FillSampleNodeDefs),
// which must outlive the list.
void FillSampleAdjDefs(CAdjDefList& list, CObsDefList& observations, CNodeDefList& nodes);

}  // namespace Vok::Test
