// The class library's tree control, reduced to the items it holds: insert (always last under the
// parent), item data, the children test and deletion. Nothing is drawn; callers and tests read
// back what was put in. A null parent (TVI_ROOT) is the root. An item handle is opaque and never
// given twice by one tree, so that the handle of a deleted item stays refused.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "compat/cstring.h"
#include "compat/windows_types.h"

struct sTreeItem;  // never defined: a handle is not followed
using HTREEITEM = sTreeItem*;
inline constexpr HTREEITEM TVI_ROOT = nullptr;

class CTreeCtrl {
public:
    CTreeCtrl();
    ~CTreeCtrl();
    CTreeCtrl(const CTreeCtrl&) = delete;
    CTreeCtrl& operator=(const CTreeCtrl&) = delete;

    // The new item, last under parent; null when parent is not an item of this tree.
    HTREEITEM InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent = TVI_ROOT);
    // FALSE for an item that is not in the tree.
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    DWORD_PTR GetItemData(HTREEITEM item) const;
    BOOL ItemHasChildren(HTREEITEM item) const;
    // Removes the item with all its descendants; TVI_ROOT empties the tree.
    BOOL DeleteItem(HTREEITEM item);
    BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }

    int GetCount() const { return static_cast<int>(m_items.size()); }
    CString GetItemText(HTREEITEM item) const;
    BOOL GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
    HTREEITEM GetParentItem(HTREEITEM item) const;
    // The children of an item (TVI_ROOT: the top-level items) in order.
    std::vector<HTREEITEM> GetChildren(HTREEITEM item) const;

private:
    struct sItem;
    sItem* Find(HTREEITEM item);
    const sItem* Find(HTREEITEM item) const;

    std::list<sItem> m_items;
    uintptr_t m_lastHandle = 0;
};
