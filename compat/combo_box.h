// The class library's combo box, reduced to the list it holds: reset, add a text, attach item data,
// select, count. Nothing is drawn; callers and tests read back what was put in.
#pragma once

#include <vector>

#include "compat/cstring.h"
#include "compat/window.h"
#include "compat/windows_types.h"

constexpr int CB_ERR = -1;

class CComboBox : public CWnd {
public:
    void ResetContent();
    // Index of the new item.
    int AddString(const char* text);
    // CB_ERR for an index outside the list.
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    // -1 clears the selection; another index outside the list clears it too and gives CB_ERR.
    int SetCurSel(int index);
    int GetCurSel() const { return m_selected; }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CString GetItemText(int index) const;

private:
    struct sItem {
        CString text;
        DWORD_PTR data = 0;
    };
    bool IsIndex(int index) const { return index >= 0 && index < GetCount(); }

    std::vector<sItem> m_items;
    int m_selected = -1;
};
