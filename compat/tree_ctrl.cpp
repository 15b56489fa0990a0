#include "compat/tree_ctrl.h"

#include <algorithm>
#include <cstdint>

struct CTreeCtrl::sItem {
    HTREEITEM handle = nullptr;
    HTREEITEM parent = nullptr;
    CString text;
    int image = 0;
    int selectedImage = 0;
    DWORD_PTR data = 0;
};

CTreeCtrl::CTreeCtrl() = default;
CTreeCtrl::~CTreeCtrl() = default;

CTreeCtrl::sItem* CTreeCtrl::Find(HTREEITEM item) {
    if (item == nullptr) return nullptr;
    const auto found = std::find_if(m_items.begin(), m_items.end(), [&](const sItem& i) { return i.handle == item; });
    return found != m_items.end() ? &*found : nullptr;
}

const CTreeCtrl::sItem* CTreeCtrl::Find(HTREEITEM item) const {
    return const_cast<CTreeCtrl*>(this)->Find(item);
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent) {
    if (parent != TVI_ROOT && Find(parent) == nullptr) return nullptr;
    // A handle is a number counted for the tree's life, never an address that a later item could
    // take over.
    const auto handle = reinterpret_cast<HTREEITEM>(static_cast<uintptr_t>(m_lastHandle + 1));
    m_items.push_back(sItem{handle, parent, CString(text != nullptr ? text : ""), image, selectedImage, 0});
    ++m_lastHandle;
    return handle;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
    sItem* found = Find(item);
    if (found == nullptr) return FALSE;
    found->data = data;
    return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
    const sItem* found = Find(item);
    return found != nullptr ? found->data : 0;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
    if (item != TVI_ROOT && Find(item) == nullptr) return FALSE;
    return std::any_of(m_items.begin(), m_items.end(), [&](const sItem& i) { return i.parent == item; });
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
    if (item == TVI_ROOT) {
        m_items.clear();
        return TRUE;
    }
    if (Find(item) == nullptr) return FALSE;
    // Collect the item and its descendants first: children always follow their parent in the list.
    std::vector<HTREEITEM> doomed{item};
    for (const sItem& i : m_items) {
        if (std::find(doomed.begin(), doomed.end(), i.parent) != doomed.end()) doomed.push_back(i.handle);
    }
    m_items.remove_if([&](const sItem& i) { return std::find(doomed.begin(), doomed.end(), i.handle) != doomed.end(); });
    return TRUE;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
    const sItem* found = Find(item);
    return found != nullptr ? found->text : CString();
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
    const sItem* found = Find(item);
    if (found == nullptr) return FALSE;
    image = found->image;
    selectedImage = found->selectedImage;
    return TRUE;
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
    const sItem* found = Find(item);
    return found != nullptr ? found->parent : nullptr;
}

std::vector<HTREEITEM> CTreeCtrl::GetChildren(HTREEITEM item) const {
    std::vector<HTREEITEM> children;
    for (const sItem& i : m_items) {
        if (i.parent == item) children.push_back(i.handle);
    }
    return children;
}
