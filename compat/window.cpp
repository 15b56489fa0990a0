#include "compat/window.h"

void CWnd::GetClientRect(RECT* rect) const {
    if (rect != nullptr) *rect = {0, 0, m_width, m_height};
}

void CWnd::SetClientSize(int width, int height) {
    m_width = width;
    m_height = height;
}

int CWnd::GetTextWidth(const CString& text) const {
    if (m_measure) return m_measure(text.GetString(), text.GetLength());
    return text.GetLength() * DEFAULT_CHARACTER_WIDTH;
}
