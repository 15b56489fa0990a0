// The display of definitions in a tree control: one item per definition, its name as text, an
// image chosen by its type from an image base, and the definition's address as item data.
#pragma once

#include <cstdint>

#include "compat/tree_ctrl.h"
#include "definitions/records/definition_records.h"
#include "definitions/records/obj_def_record.h"

class CObsDefList;
class CSysDefList;

// Each inserts the definition last under parent and returns the item; null for a null tree or
// definition.
HTREEITEM InsertObsDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sObsDef* def, int32_t imageBase);
// Images base + 0, 3, 1, 2, 2, 4 for node types 0 to 5, base for other types.
HTREEITEM InsertNodeDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sNodeDef* def, int32_t imageBase);
HTREEITEM InsertObjDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sObjDef* def, int32_t imageBase);
HTREEITEM InsertSysDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, const sSysDef* def, int32_t imageBase);

// Image bases of the definition tree.
constexpr int32_t kSystemImageBase = 40;
constexpr int32_t kObservationImageBase = 88;

// Mode 0: every system (time synchronisation systems never, offset systems not when
// skipOffsetSystems is non-zero) with its observations under it; a system without observations is
// not shown. Mode 1: every observation under parent. Any other mode inserts nothing. The fifth
// argument is not read.
void FillDefinitionTree(int32_t mode, HTREEITEM parent, CTreeCtrl* tree, const CObsDefList* observations,
                        const void* unused, const CSysDefList* systems, int32_t skipOffsetSystems);
