#include "ui/label_win.h"

#include "ui/form_win.h"
#include "ui/handles_win.h"

namespace velmora {

Label::Label(Form& parent, int left, int top, const std::string& text) : GraphicControl(parent), text_(text) {
    setBounds(left, top, 0, 0);
    adjustSize();
}

void Label::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    adjustSize();
    invalidate();
}

void Label::setAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    adjustSize();
}

void Label::adjustSize() {
    if (!autoSize_) return;
    const HDC dc = GetDC(nullptr);
    ScopedGdiObject gdiFont(createFont(font));
    RECT r{0, 0, 0, 0};
    {
        SelectGuard select(dc, gdiFont.get());
        // An empty text still has the height of one line.
        DrawTextA(dc, text_.empty() ? " " : text_.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    }
    ReleaseDC(nullptr, dc);
    setBounds(left(), top(), r.right - r.left, r.bottom - r.top);
}

void Label::paint(HDC dc) {
    RECT r = clientRect();
    if (!transparent) {
        ScopedGdiObject brush(CreateSolidBrush(toColorRef(color)));
        FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    ScopedGdiObject gdiFont(createFont(font));
    SelectGuard select(dc, gdiFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, toColorRef(enabled() ? font.color : clBtnShadow));
    DrawTextA(dc, text_.c_str(), -1, &r, DT_LEFT | DT_SINGLELINE);
}

}  // namespace velmora
