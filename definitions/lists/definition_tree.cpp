#include "definitions/lists/definition_tree.h"

#include <iterator>

#include "definitions/records/definition_predicates.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/lists/sys_def_list.h"

namespace {

constexpr int32_t kOffsetSystem = 16;
constexpr int32_t kTimeSynchronizationSystem = 18;

HTREEITEM Insert(CTreeCtrl* tree, HTREEITEM parent, const CString& text, int32_t image, const void* def) {
    HTREEITEM item = tree->InsertItem(text, image, image, parent);
    if (item != nullptr) tree->SetItemData(item, reinterpret_cast<DWORD_PTR>(def));
    return item;
}

int32_t NodeImageOffset(uint32_t nodeType) {
    constexpr int32_t kOffsets[] = {0, 3, 1, 2, 2, 4};
    return nodeType < std::size(kOffsets) ? kOffsets[nodeType] : 0;
}

}  // namespace

HTREEITEM InsertObsDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sObsDef* def, int32_t imageBase) {
    if (tree == nullptr || def == nullptr) return nullptr;
    const auto image = imageBase + static_cast<int32_t>(GetObsTypeIconIndex(def->obsType));
    return Insert(tree, parent, FieldText(def->name), image, def);
}

HTREEITEM InsertNodeDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sNodeDef* def, int32_t imageBase) {
    if (tree == nullptr || def == nullptr) return nullptr;
    return Insert(tree, parent, FieldText(def->name), imageBase + NodeImageOffset(def->nodeType), def);
}

HTREEITEM InsertObjDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sObjDef* def, int32_t imageBase) {
    if (tree == nullptr || def == nullptr) return nullptr;
    const int32_t image = imageBase + GetObjTypeIconIndex(def->objType, def->objectId);
    return Insert(tree, parent, FieldText(def->name), image, def);
}

HTREEITEM InsertSysDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sSysDef* def, int32_t imageBase) {
    if (tree == nullptr || def == nullptr) return nullptr;
    return Insert(tree, parent, FieldText(def->name), imageBase + GetSysTypeIconIndex(def->sysType), def);
}

void FillDefinitionTree(int32_t mode, HTREEITEM parent, CTreeCtrl* tree, const CObsDefList* observations,
                        const void*, const CSysDefList* systems, int32_t skipOffsetSystems) {
    if (tree == nullptr || observations == nullptr) return;
    if (mode == 1) {
        for (const sObsDef& obs : *observations) InsertObsDefTreeItem(tree, parent, &obs, kObservationImageBase);
        return;
    }
    if (mode != 0 || systems == nullptr) return;
    for (const sSysDef& sys : *systems) {
        if (sys.sysType == kTimeSynchronizationSystem) continue;
        if (sys.sysType == kOffsetSystem && skipOffsetSystems != 0) continue;
        HTREEITEM item = InsertSysDefTreeItem(tree, parent, &sys, kSystemImageBase);
        if (item == nullptr) continue;
        observations->FillTreeForSystem(tree, item, sys.sysId, kObservationImageBase);
        if (tree->ItemHasChildren(item) == FALSE) tree->DeleteItem(item);
    }
}
