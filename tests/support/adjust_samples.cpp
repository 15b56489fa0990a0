#include "tests/support/adjust_samples.h"

#include <memory>

namespace Vok::Test {

void FillSampleAdjDefs(CAdjDefList& list, CObsDefList& observations, CNodeDefList& nodes) {
    CAdjustDef* main = list.AddTail(std::make_unique<CAdjustDef>(1, "Main computation"));
    main->m_Def.priority = 0;
    main->m_Def.level = 0;
    main->m_Def.minInterval = 10.0f;
    main->m_Def.refNode.AssignNode(nodes.FindById(1));
    auto entry = std::make_unique<sAdjustEntry>(observations.FindById(1), true);
    entry->Link(observations.FindById(1), nodes.FindById(1), nodes.FindById(2));
    entry->state = ADJ_ENTRY_USED;
    entry->weight = 2.5f;
    main->AddEntry(std::move(entry));
    main->AddObservation(observations.FindById(3), nullptr);
    CAdjustDef* spare = list.AddTail(std::make_unique<CAdjustDef>(4, "Spare"));
    spare->AddObservation(observations.FindById(2), nullptr);
}

}  // namespace Vok::Test
