#include "compat/combo_box.h"

void CComboBox::ResetContent() {
    m_items.clear();
    m_selected = -1;
}

int CComboBox::AddString(const char* text) {
    m_items.push_back({CString(text != nullptr ? text : ""), 0});
    return GetCount() - 1;
}

int CComboBox::SetItemData(int index, DWORD_PTR data) {
    if (!IsIndex(index)) return CB_ERR;
    m_items[static_cast<size_t>(index)].data = data;
    return 0;
}

DWORD_PTR CComboBox::GetItemData(int index) const {
    return IsIndex(index) ? m_items[static_cast<size_t>(index)].data : static_cast<DWORD_PTR>(CB_ERR);
}

int CComboBox::SetCurSel(int index) {
    if (!IsIndex(index)) {
        m_selected = -1;
        return index == -1 ? -1 : CB_ERR;
    }
    m_selected = index;
    return index;
}

CString CComboBox::GetItemText(int index) const {
    return IsIndex(index) ? m_items[static_cast<size_t>(index)].text : CString();
}
