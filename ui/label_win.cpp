#include "ui/label_win.h"

#include <cctype>

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

HWND Label::acceleratorTarget(char key) const {
    if (!focusControl) return nullptr;
    for (size_t i = 0; i + 1 < text_.size(); ++i) {
        if (text_[i] != '&') continue;
        if (text_[i + 1] == '&') {
            ++i;  // "&&" is a plain "&"
            continue;
        }
        return std::toupper(static_cast<unsigned char>(text_[i + 1])) == std::toupper(static_cast<unsigned char>(key))
                   ? focusControl
                   : nullptr;
    }
    return nullptr;
}

void Label::setAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    adjustSize();
}

void Label::adjustSize() {
    if (!autoSize_) return;
    ScopedGdiObject gdiFont(createFont(font, scale().dpi));
    RECT r{0, 0, 0, 0};
    {
        const WindowDC dc(nullptr);
        SelectGuard select(dc.get(), gdiFont.get());
        // An empty text still has the height of one line.
        DrawTextA(dc.get(), text_.empty() ? " " : text_.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    }
    setBounds(left(), top(), scale().unitsCeil(r.right - r.left), scale().unitsCeil(r.bottom - r.top));
}

void Label::paint(HDC dc) {
    RECT r = pixelRect();
    if (!transparent) {
        ScopedGdiObject brush(CreateSolidBrush(toColorRef(color)));
        FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    ScopedGdiObject gdiFont(createFont(font, scale().dpi));
    SelectGuard select(dc, gdiFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, toColorRef(enabled() ? font.color : clBtnShadow));
    DrawTextA(dc, text_.c_str(), -1, &r, DT_LEFT | DT_SINGLELINE);
}

}  // namespace velmora
