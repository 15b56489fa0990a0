// The project's object definitions: heap sObjDef records (384 bytes) that the list owns, in list
// order. The list deletes its records when it is emptied or destroyed.
#pragma once

#include "compat/collections.h"
#include "definitions/obj_def_record.h"

class CObjDefList : public CPtrList {
public:
    CObjDefList() = default;
    ~CObjDefList() override;
    CObjDefList(const CObjDefList&) = delete;
    CObjDefList& operator=(const CObjDefList&) = delete;

    // Deletes every record.
    void RemoveAll();
    // The record at a 0-based position; null outside the list.
    sObjDef* GetDefAt(INT_PTR index) const;
};
