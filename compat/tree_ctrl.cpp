#include "compat/tree_ctrl.h"

#include <algorithm>

struct sTreeItem {
    sTreeItem* parent = nullptr;
    CString text;
    int image = 0;
    int selectedImage = 0;
    DWORD_PTR data = 0;
};

CTreeCtrl::CTreeCtrl() = default;
CTreeCtrl::~CTreeCtrl() = default;

bool CTreeCtrl::Holds(HTREEITEM item) const {
    return item != nullptr &&
           std::any_of(m_items.begin(), m_items.end(), [&](const sTreeItem& i) { return &i == item; });
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent) {
    if (parent != TVI_ROOT && !Holds(parent)) return nullptr;
    m_items.push_back(sTreeItem{parent, CString(text != nullptr ? text : ""), image, selectedImage, 0});
    return &m_items.back();
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
    if (!Holds(item)) return FALSE;
    item->data = data;
    return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
    return Holds(item) ? item->data : 0;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
    if (item != TVI_ROOT && !Holds(item)) return FALSE;
    return std::any_of(m_items.begin(), m_items.end(), [&](const sTreeItem& i) { return i.parent == item; });
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
    if (item == TVI_ROOT) {
        m_items.clear();
        return TRUE;
    }
    if (!Holds(item)) return FALSE;
    // Collect the item and its descendants first: children always follow their parent in the list.
    std::vector<const sTreeItem*> doomed{item};
    for (const sTreeItem& i : m_items) {
        if (std::find(doomed.begin(), doomed.end(), i.parent) != doomed.end()) doomed.push_back(&i);
    }
    m_items.remove_if([&](const sTreeItem& i) { return std::find(doomed.begin(), doomed.end(), &i) != doomed.end(); });
    return TRUE;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
    return Holds(item) ? item->text : CString();
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
    if (!Holds(item)) return FALSE;
    image = item->image;
    selectedImage = item->selectedImage;
    return TRUE;
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
    return Holds(item) ? item->parent : nullptr;
}

std::vector<HTREEITEM> CTreeCtrl::GetChildren(HTREEITEM item) const {
    std::vector<HTREEITEM> children;
    for (const sTreeItem& i : m_items) {
        if (i.parent == item) children.push_back(const_cast<HTREEITEM>(&i));
    }
    return children;
}
