#include "markup/markuplabel_win.h"

#include <shellapi.h>

#include <algorithm>
#include <initializer_list>

#include "base/error.h"
#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/handles_win.h"

namespace velmora {

namespace {

// A pen (and optionally the hollow brush) selected for one drawing step.
class PenSelection {
public:
    PenSelection(HDC dc, int width, COLORREF colour, bool hollow)
        : dc_(dc), pen_(CreatePen(PS_SOLID, width, colour)), previousPen_(SelectObject(dc, pen_)) {
        if (hollow) previousBrush_ = SelectObject(dc, GetStockObject(NULL_BRUSH));
    }
    PenSelection(const PenSelection&) = delete;
    PenSelection& operator=(const PenSelection&) = delete;
    ~PenSelection() {
        SelectObject(dc_, previousPen_);
        if (previousBrush_) SelectObject(dc_, previousBrush_);
        if (pen_) DeleteObject(pen_);
    }

private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ previousPen_;
    HGDIOBJ previousBrush_ = nullptr;
};

void polyline(HDC dc, COLORREF colour, std::initializer_list<POINT> points) {
    const PenSelection pen(dc, 1, colour, false);
    Polyline(dc, points.begin(), static_cast<int>(points.size()));
}

// n one-pixel rings, top and left edges in `top`, bottom and right in `bottom`;
// `r` shrinks by n on every side.
void frame3D(HDC dc, RECT& r, Colour top, Colour bottom, int n) {
    --r.right;
    --r.bottom;
    for (int i = 0; i < n; ++i) {
        polyline(dc, toColorRef(top), {{r.left, r.bottom}, {r.left, r.top}, {r.right, r.top}});
        polyline(dc, toColorRef(bottom), {{r.right, r.top}, {r.right, r.bottom}, {r.left - 1, r.bottom}});
        InflateRect(&r, -1, -1);
    }
    ++r.right;
    ++r.bottom;
}

void bevel(HDC dc, RECT& r, BevelKind kind, int width) {
    if (kind == BevelKind::None) return;
    constexpr Colour shadow = 0x80000000 | COLOR_BTNSHADOW;
    constexpr Colour highlight = 0x80000000 | COLOR_BTNHIGHLIGHT;
    if (kind == BevelKind::Lowered)
        frame3D(dc, r, shadow, highlight, width);
    else
        frame3D(dc, r, highlight, shadow, width);
}

}  // namespace

TMarkupLabel::TMarkupLabel(Form& parent) : GraphicControl(parent) {}

TMarkupLabel::TMarkupLabel(Form& parent, int left, int top, int width, int height) : GraphicControl(parent) {
    setBounds(left, top, width, height);
}

TMarkupLabel::~TMarkupLabel() {
    if (images_) images_->removeRemovalListener(this);
}

void TMarkupLabel::setMarkupText(const std::vector<std::string>& lines) {
    markupText_ = lines;
    textFailed_ = false;
    invalidate();
}

void TMarkupLabel::addMarkupLine(const std::string& line) {
    markupText_.push_back(line);
    textFailed_ = false;
    invalidate();
}

void TMarkupLabel::setMarkupLine(long index, const std::string& line) {
    if (index < 0 || static_cast<size_t>(index) >= markupText_.size()) throwListIndex(index);
    markupText_[static_cast<size_t>(index)] = line;
    textFailed_ = false;
    invalidate();
}

void TMarkupLabel::clearMarkupText() {
    markupText_.clear();
    textFailed_ = false;
    invalidate();
}

void TMarkupLabel::setAutoSizing(bool on) {
    autoSizing_ = on;
    invalidate();
}

void TMarkupLabel::setImages(GdiImageList* images) {
    if (images_) images_->removeRemovalListener(this);
    images_ = images;
    if (images_) images_->addRemovalListener(this, [this] { images_ = nullptr; invalidate(); });
    invalidate();
}

void TMarkupLabel::setURLColor(Colour colour) {
    if (colour == urlColor_) return;
    urlColor_ = colour;
    invalidate();
}

void TMarkupLabel::setBevelInner(BevelKind kind) {
    frame_.bevelInner = kind;
    invalidate();
}
void TMarkupLabel::setBevelOuter(BevelKind kind) {
    frame_.bevelOuter = kind;
    invalidate();
}
void TMarkupLabel::setBevelWidth(int width) {
    frame_.bevelWidth = std::max(width, 1);
    invalidate();
}
void TMarkupLabel::setBorderWidth(int width) {
    frame_.borderWidth = std::max(width, 0);
    invalidate();
}
void TMarkupLabel::setBorderStyle(LabelBorder style) {
    frame_.borderStyle = style;
    invalidate();
}

Font TMarkupLabel::markupFont() const {
    Font f = font;
    // A disabled label draws its markup in the button-shadow colour.
    f.color = enabled() ? static_cast<Colour>(font.color) : static_cast<Colour>(0x80000000 | COLOR_BTNSHADOW);
    return f;
}

MarkupRect TMarkupLabel::textBox() const { return labelTextBox(width(), height(), frame_, autoSizing_); }

void TMarkupLabel::paint(HDC dc) {
    RECT r = pixelRect();
    if (!transparent) {
        const ScopedGdiObject brush(CreateSolidBrush(toColorRef(color)));
        FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    const Scale& s = scale();
    bevel(dc, r, frame_.bevelOuter, s.px(frame_.bevelWidth));
    frame3D(dc, r, color, color, s.px(frame_.borderWidth));  // a band in the label's colour
    bevel(dc, r, frame_.bevelInner, s.px(frame_.bevelWidth));
    if (frame_.borderStyle == LabelBorder::Single && frame_.borderWidth > 0) {
        const PenSelection pen(dc, s.px(frame_.borderWidth), RGB(0, 0, 0), true);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }

    // A text that cannot be laid out is reported at its first paint and then
    // left undrawn until it changes: every later paint would fail the same way.
    if (textFailed_) return;
    MarkupResult result;
    try {
        GdiSurface surface(dc, markupFont(), color, scale().dpi);
        result = DrawMarkup(surface, joinMarkupLines(markupText_), textBox(), images_, MarkupMode::Draw, {}, urlColor_);
    } catch (const std::exception& e) {
        textFailed_ = true;
        Application::reportError(e);
        return;
    }
    if (autoSizing_) {
        // Resizing repaints, which repeats this until the size is stable.
        const MarkupSize size = autoSizedLabel({width(), height()}, result.width, result.height);
        if (size.width != width() || size.height != height()) setBounds(left(), top(), size.width, size.height);
    }
}

int TMarkupLabel::laidOutHeight(const std::vector<std::string>& lines) {
    const WindowDC dc(parent().handle());
    if (!dc.get()) return 0;
    MarkupRect box = textBox();
    box.bottom = box.top + (1 << 20);
    try {
        GdiSurface surface(dc.get(), markupFont(), color, scale().dpi);
        // A hit test far outside lays the lines out without drawing them.
        return DrawMarkup(surface, joinMarkupLines(lines), box, images_, MarkupMode::HitTest, {-1, -1}, urlColor_)
            .height;
    } catch (...) {
        return 0;
    }
}

std::string TMarkupLabel::AnchorAt(int x, int y) {
    if (textFailed_) return {};
    const WindowDC dc(parent().handle());
    if (!dc.get()) return {};
    MarkupResult result;
    try {
        GdiSurface surface(dc.get(), markupFont(), color, scale().dpi);
        result = DrawMarkup(surface, joinMarkupLines(markupText_), textBox(), images_, MarkupMode::HitTest, {x, y},
                            urlColor_);
    } catch (...) {
        // Raised once, to whoever asked first; from then on the text has no anchors.
        textFailed_ = true;
        throw;
    }
    return result.hit ? result.anchor : std::string();
}

void TMarkupLabel::mouseMove(int x, int y) {
    if (OnMouseMove) OnMouseMove(x, y);
    const std::string anchor = AnchorAt(x, y);
    const AnchorMove m =
        hover_.move(anchor, cursor() == Cursor::Default, cursor() == Cursor::HandPoint, anchorHint);
    if (m.toHand) {
        setCursor(Cursor::HandPoint);
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    }
    if (m.cancelHint) parent().cancelHint();
    if (m.enter && OnAnchorEnter) OnAnchorEnter(*this, anchor);
    if (m.toDefault) {
        setCursor(Cursor::Default);
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    }
    if (m.exit && OnAnchorExit) OnAnchorExit(*this, anchor);
}

bool TMarkupLabel::hintAt(int x, int y, POINT cursor, std::string& text, POINT& where) {
    if (anchorHint) {
        const std::string anchor = AnchorAt(x, y);
        if (!anchor.empty()) {
            text = anchor;
            where = {cursor.x + scale().px(10), cursor.y - scale().px(10)};
            return true;
        }
    }
    return GraphicControl::hintAt(x, y, cursor, text, where);
}

void TMarkupLabel::mouseDown(MouseButton button, int x, int y) {
    if (OnMouseDown) OnMouseDown(button, x, y);
    const std::string anchor = AnchorAt(x, y);
    if (anchor.empty()) return;
    if (opensInShell(anchor)) {
        // The shell's result is not looked at.
        ShellExecuteA(parent().handle(), "open", anchor.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    if (OnAnchorClick) OnAnchorClick(*this, anchor);
}

}  // namespace velmora
