#include "definitions/obj_def_list.h"

CObjDefList::~CObjDefList() {
    RemoveAll();
}

void CObjDefList::RemoveAll() {
    POSITION pos = GetHeadPosition();
    while (pos != nullptr) delete static_cast<sObjDef*>(GetNext(pos));
    CPtrList::RemoveAll();
}

sObjDef* CObjDefList::GetDefAt(INT_PTR index) const {
    const POSITION pos = FindIndex(index);
    return pos != nullptr ? static_cast<sObjDef*>(GetAt(pos)) : nullptr;
}
