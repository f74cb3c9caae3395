#include "markup/animate_win.h"

#include <algorithm>
#include <vector>

#include "ui/form_win.h"
#include "ui/handles_win.h"

namespace velmora {

namespace {

// Fills with the DC's own brush: no brush made and deleted at every frame.
void fill(HDC dc, const RECT& rect, Color color) {
    SetDCBrushColor(dc, toColorRef(color));
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace

// The control paints everything in its rectangle, what lies beneath it too,
// so where no later control lies above it a frame goes straight onto the
// form: the picture a repaint of the rectangle would make, without the
// form's paint cycle at every tick. Under a later control the form repaints
// the rectangle, so that control stays on top.
void TImageControl::paintNow() {
    const HWND form = parent().handle();
    if (!form) return;
    if (coveredByLaterControl()) {
        invalidate();
        UpdateWindow(form);
        return;
    }
    const WindowDC dc(form);
    if (!dc.get()) return;
    const RECT at = pixelBounds();
    SetViewportOrgEx(dc.get(), at.left, at.top, nullptr);
    IntersectClipRect(dc.get(), 0, 0, at.right - at.left, at.bottom - at.top);
    paint(dc.get());
}

bool TImageControl::coveredByLaterControl() const {
    const std::vector<GraphicControl*>& controls = parent().controls();
    const auto self = std::find(controls.begin(), controls.end(), this);
    const RECT mine = pixelBounds();
    for (auto later = self == controls.end() ? self : self + 1; later != controls.end(); ++later) {
        RECT theirs = (*later)->pixelBounds(), overlap;
        if ((*later)->visible() && IntersectRect(&overlap, &mine, &theirs)) return true;
    }
    return false;
}

void TImageControl::paint(HDC dc) {
    const RECT pixels = pixelRect();
    const int w = pixels.right, h = pixels.bottom;
    if (w <= 0 || h <= 0 || !fitBuffer(w, h)) return;
    // Off screen first, so the frame never shows half drawn.
    const HDC memory = buffer_.get();
    fill(memory, {0, 0, w, h}, color);
    drawing_ = true;
    try {
        drawContent(memory);
    } catch (...) {
        drawing_ = false;
        throw;
    }
    drawing_ = false;
    BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
}

// A 32-bit bitmap of the program's own, made without asking the window's DC
// (a bitmap or memory DC made from a window's DC has Wine fetch the window's
// visible region again), and kept: a new one at every tick would be memory
// mapped and unmapped at every frame.
bool TImageControl::fitBuffer(int width, int height) {
    if (buffer_ && width == bufferWidth_ && height == bufferHeight_) return true;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    if (!buffer_.hold(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0))) return false;
    bufferWidth_ = width;
    bufferHeight_ = height;
    return true;
}

TAnimatedImage::TAnimatedImage(Form& parent, int left, int top, int width, int height) : TImageControl(parent) {
    setBounds(left, top, width, height);
    timer_.SetEnabled(false);
    timer_.SetInterval(100);
}

TAnimatedImage::~TAnimatedImage() {
    destroying_ = true;
    OnFrameChanged = nullptr;
    OnStart = nullptr;
    OnStop = nullptr;
    SetActive(false);
    if (glyph_) DeleteObject(glyph_);
    if (denseGlyph_) DeleteObject(denseGlyph_);
}

void TAnimatedImage::computeFrameSize() { frame_ = framesize(stripWidth_, stripHeight_, state_.numGlyphs(), Orientation); }

void TAnimatedImage::SetDenseGlyph(HBITMAP strip, int factor) {
    if (denseGlyph_ && denseGlyph_ != strip) DeleteObject(denseGlyph_);
    denseGlyph_ = strip;
    maskStrip_ = nullptr;  // a new bitmap may be given a deleted one's handle
    denseFactor_ = strip && factor > 1 ? factor : 1;
    if (!drawing()) invalidate();
}

void TAnimatedImage::SetGlyph(HBITMAP strip) {
    if (glyph_ && glyph_ != strip) DeleteObject(glyph_);
    glyph_ = strip;
    maskStrip_ = nullptr;
    stripWidth_ = stripHeight_ = 0;
    TransparentColor = clNone;
    if (strip) {
        BITMAP info{};
        GetObjectA(strip, sizeof info, &info);
        stripWidth_ = info.bmWidth;
        stripHeight_ = info.bmHeight;
        // The strip's transparent colour is that of its bottom-left pixel.
        const MemoryDC dc(nullptr);
        SelectGuard selected(dc.get(), strip);
        TransparentColor = info.bmBitsPixel == 1 ? 0xFFFFFF : GetPixel(dc.get(), 0, stripHeight_ - 1) & 0xFFFFFF;
    }
    state_.glyphChanged(stripWidth_, stripHeight_, Orientation);
    computeFrameSize();
    pictureChanged();
}

void TAnimatedImage::SetGlyphNum(int value) {
    if (!state_.setGlyphNum(value)) return;
    FrameChanged();
    pictureChanged();
}

void TAnimatedImage::SetNumGlyphs(int value) {
    state_.setNumGlyphs(value);
    computeFrameSize();
    FrameChanged();
    pictureChanged();
}

void TAnimatedImage::SetInactiveGlyph(int value) {
    if (!state_.setInactiveGlyph(value)) return;
    FrameChanged();
    pictureChanged();
}

void TAnimatedImage::SetActive(bool value) {
    if (value == state_.active()) return;
    if (value) {
        timer_.SetOnTimer([this] { FrameStep(); });
        timer_.SetEnabled(true);
        state_.setActive(true);
        Start();
    } else {
        timer_.SetEnabled(false);
        timer_.SetOnTimer(nullptr);
        state_.setActive(false);
        FrameChanged();
        Stop();
        pictureChanged();
    }
}

void TAnimatedImage::pictureChanged() {
    if (destroying_) return;
    if (AutoSize && !state_.loading && frame_.width > 0 && frame_.height > 0) resizeToContent();
    if (!drawing()) invalidate();
}

void TAnimatedImage::resizeToContent() { setBounds(left(), top(), frame_.width, frame_.height); }

void TAnimatedImage::FrameStep() {
    if (!visible() || state_.numGlyphs() <= 1 || !parent().handle() || paintCopy) return;
    state_.step();
    // The handler may move the frame (the query window sends 8 back to 0)
    // before anything is painted.
    FrameChanged();
    paintNow();
}

FrameRect TAnimatedImage::destination() const { return destrect(frame_, width(), height(), Stretch, Center); }

void TAnimatedImage::drawContent(HDC dc) {
    if (!Opaque) {
        // What lies beneath shows through: the form's background, then every
        // earlier visible sibling that overlaps, shifted into this control.
        fill(dc, pixelRect(), parent().color);
        const RECT mine = pixelBounds();
        for (GraphicControl* sibling : parent().controls()) {
            if (sibling == this) break;
            RECT theirs = sibling->pixelBounds(), overlap;
            if (!sibling->visible() || !IntersectRect(&overlap, &mine, &theirs)) continue;
            auto* image = dynamic_cast<TImageControl*>(sibling);
            if (image) image->paintCopy = true;
            {
                SavedDC saved(dc);
                const int dx = theirs.left - mine.left, dy = theirs.top - mine.top;
                IntersectClipRect(dc, dx, dy, dx + theirs.right - theirs.left, dy + theirs.bottom - theirs.top);
                SetViewportOrgEx(dc, dx, dy, nullptr);
                sibling->paint(dc);
            }
            if (image) image->paintCopy = false;
        }
    }
    if (!glyph_ || frame_.width <= 0 || frame_.height <= 0) return;
    FrameRect src = sourcerect(state_.shownFrame(), frame_, Orientation);
    const FrameRect at = destination();
    const Scale& s = scale();
    const FrameRect dst{s.px(at.left), s.px(at.top), s.px(at.left + at.width) - s.px(at.left),
                        s.px(at.top + at.height) - s.px(at.top)};
    // A frame shown larger than the strip draws it comes from the dense strip.
    HBITMAP glyph = glyph_;
    if (denseGlyph_ && (dst.width > src.width || dst.height > src.height)) {
        glyph = denseGlyph_;
        src = {src.left * denseFactor_, src.top * denseFactor_, src.width * denseFactor_, src.height * denseFactor_};
    }
    const HDC strip = stripDc_.get();
    const HDC mask = TransparentColor == clNone ? nullptr : maskOf(glyph);
    SelectGuard selected(strip, glyph);
    SetStretchBltMode(dc, COLORONCOLOR);
    if (!mask) {
        StretchBlt(dc, dst.left, dst.top, dst.width, dst.height, strip, src.left, src.top, src.width, src.height,
                   SRCCOPY);
        return;
    }
    // dest ^ src, & mask, ^ src: the frame where it is opaque, the
    // background where it is not.
    const COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    StretchBlt(dc, dst.left, dst.top, dst.width, dst.height, strip, src.left, src.top, src.width, src.height, SRCINVERT);
    StretchBlt(dc, dst.left, dst.top, dst.width, dst.height, mask, src.left, src.top, src.width, src.height, SRCAND);
    StretchBlt(dc, dst.left, dst.top, dst.width, dst.height, strip, src.left, src.top, src.width, src.height, SRCINVERT);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
}

HDC TAnimatedImage::maskOf(HBITMAP strip) {
    if (mask_ && strip == maskStrip_ && TransparentColor == maskColor_) return mask_.get();
    BITMAP info{};
    if (!GetObjectA(strip, sizeof info, &info) || !mask_.hold(CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr)))
        return nullptr;
    {
        SelectGuard selected(stripDc_.get(), strip);
        // Copying colour to a monochrome bitmap makes the background colour white.
        SetBkColor(stripDc_.get(), toColorRef(TransparentColor));
        BitBlt(mask_.get(), 0, 0, info.bmWidth, info.bmHeight, stripDc_.get(), 0, 0, SRCCOPY);
    }
    maskStrip_ = strip;
    maskColor_ = TransparentColor;
    return mask_.get();
}

void TAnimatedImage::FrameChanged() {
    if (OnFrameChanged) OnFrameChanged(*this);
}
void TAnimatedImage::Start() {
    if (OnStart) OnStart(*this);
}
void TAnimatedImage::Stop() {
    if (OnStop) OnStop(*this);
}

}  // namespace velmora
