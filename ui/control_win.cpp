#include "ui/control_win.h"

#include <algorithm>

#include "ui/form_win.h"

namespace velmora {

COLORREF toColorRef(Color color) {
    if (isSystemColour(color)) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

HFONT createFont(const Font& font, int dpi) {
    LOGFONTA lf{};
    lf.lfHeight = Scale{dpi}.fontPx(font.height);
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfStrikeOut = font.strikeout;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    const size_t length = std::min(font.name.size(), sizeof lf.lfFaceName - 1);
    std::copy_n(font.name.data(), length, lf.lfFaceName);
    return CreateFontIndirectA(&lf);
}

GraphicControl::GraphicControl(Form& parent) : parent_(parent) {
    font = parent.font;
    color = parent.color;
    parent_.addControl(this);
}

GraphicControl::~GraphicControl() { parent_.removeControl(this); }

void GraphicControl::setBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    invalidate();
    left_ = left;
    top_ = top;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    invalidate();
}

RECT GraphicControl::pixelBounds() const { return parent_.pixelRect(boundsRect()); }

RECT GraphicControl::pixelRect() const {
    const RECT r = pixelBounds();
    return {0, 0, r.right - r.left, r.bottom - r.top};
}

const Scale& GraphicControl::scale() const { return parent_.scale(); }

void GraphicControl::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    parent_.invalidateRect(boundsRect());
}

void GraphicControl::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    invalidate();
}

bool GraphicControl::hintAt(int, int, POINT cursor, std::string& text, POINT& where) {
    if (!showHint || hint.empty()) return false;
    // Only the part before the first "|" is the short tip.
    text = hint.substr(0, hint.find('|'));
    where = {cursor.x, cursor.y + scale().px(20)};
    return true;
}

void GraphicControl::invalidate() {
    if (visible_) parent_.invalidateRect(boundsRect());
}

}  // namespace velmora
