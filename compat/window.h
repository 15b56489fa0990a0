// The class library's window, reduced to what text fitting asks of it: the size of its client
// area and the width of a text as its device context measures it. Nothing is drawn. Each
// character advances a fixed width unless a measure of its own is set.
#pragma once

#include <functional>

#include "compat/cstring.h"
#include "compat/desktop_types.h"
#include "compat/object.h"

class CWnd : public CObject {
public:
    // The width in pixels of length bytes of text.
    using TextMeasure = std::function<int(const char* text, int length)>;
    static constexpr int DEFAULT_CHARACTER_WIDTH = 8;

    CWnd() = default;
    CWnd(int clientWidth, int clientHeight) : m_width(clientWidth), m_height(clientHeight) {}

    // {0, 0, width, height}.
    void GetClientRect(RECT* rect) const;
    void SetClientSize(int width, int height);
    // GetTextExtentPoint32A on the window's device context: the text's width.
    int GetTextWidth(const CString& text) const;
    // An empty measure restores the fixed advance.
    void SetTextMeasure(TextMeasure measure) { m_measure = std::move(measure); }

private:
    int m_width = 0;
    int m_height = 0;
    TextMeasure m_measure;
};
