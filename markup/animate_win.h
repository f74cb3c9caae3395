// TImageControl: a window-less control that paints flicker-free through an
// off-screen bitmap.
// TAnimatedImage: a strip of equal frames in one bitmap, one frame shown at a
// time, stepped by a TTickTimer whose ticks run on the user-interface thread.
// Its state needs no lock: ticks, property changes and paints all come on
// that one thread, one after the other (a handler that sets GlyphNum from
// inside a tick runs within that tick).
#pragma once
#include <windows.h>

#include <functional>

#include "markup/animate.h"
#include "markup/ticktimer_win.h"
#include "ui/control_win.h"
#include "ui/handles_win.h"

namespace velmora {

class TImageControl : public GraphicControl {
public:
    explicit TImageControl(Form& parent) : GraphicControl(parent) {}

    // Paints into an off-screen bitmap of the client size, then copies it to
    // `dc` in one BitBlt. The bitmap is kept for the next paint while the
    // size stays.
    void paint(HDC dc) override;
    bool drawing() const { return drawing_; }
    // Set while the control is painted as the background of another one.
    bool paintCopy = false;

protected:
    // Draws the content on `dc` (already filled with Color).
    virtual void drawContent(HDC dc) = 0;
    // Resizes the control to its content.
    virtual void resizeToContent() {}
    // Repaints now, from the user-interface thread.
    void paintNow();
    // A later visible control of the form overlaps this one.
    bool coveredByLaterControl() const;

private:
    // Makes the off-screen bitmap `width` x `height` unless it is already.
    bool fitBuffer(int width, int height);

    bool drawing_ = false;
    BitmapDC buffer_;
    int bufferWidth_ = 0, bufferHeight_ = 0;
};

class TAnimatedImage : public TImageControl {
public:
    using TNotifyEvent = std::function<void(TAnimatedImage& sender)>;

    TAnimatedImage(Form& parent, int left, int top, int width = 105, int height = 105);
    ~TAnimatedImage() override;

    // The control takes the bitmap (and deletes it); null empties the strip.
    void SetGlyph(HBITMAP strip);
    HBITMAP Glyph() const { return glyph_; }
    // The same strip drawn `factor` times as large, for denser screens: the
    // frames are counted and placed on Glyph(), and drawn from this one
    // wherever a frame is shown larger than the strip's own size. Owned.
    void SetDenseGlyph(HBITMAP strip, int factor);
    int GlyphNum() const { return state_.glyphNum(); }
    void SetGlyphNum(int value);
    int NumGlyphs() const { return state_.numGlyphs(); }
    void SetNumGlyphs(int value);
    int InactiveGlyph() const { return state_.inactiveGlyph(); }
    void SetInactiveGlyph(int value);
    bool Active() const { return state_.active(); }
    void SetActive(bool value);
    UINT Interval() const { return timer_.Interval(); }
    void SetInterval(UINT value) { timer_.SetInterval(value); }

    bool AutoSize = true;
    bool Center = false;
    bool Stretch = true;
    bool Opaque = false;
    TGlyphOrientation Orientation = TGlyphOrientation::goHorizontal;
    // 0x1FFFFFFF (clNone): no transparent colour.
    static constexpr Color clNone = 0x1FFFFFFF;
    Color TransparentColor = clNone;

    // A form that sets its stored properties brackets them with these.
    void BeginLoading() { state_.loading = true; }
    void Loaded() { state_.loading = false; }

    TNotifyEvent OnFrameChanged;
    TNotifyEvent OnStart;
    TNotifyEvent OnStop;

    // One tick of the timer (public for the tests, which step it by hand).
    void FrameStep();
    FrameRect frameSize() const { return frame_; }
    // The rectangle the current frame is drawn into.
    FrameRect destination() const;

protected:
    void drawContent(HDC dc) override;
    void resizeToContent() override;
    virtual void FrameChanged();
    virtual void Start();
    virtual void Stop();

private:
    void pictureChanged();
    void computeFrameSize();
    // The mask of `strip` (white where it shows TransparentColor), made
    // once for each strip and colour and kept in `mask_`.
    HDC maskOf(HBITMAP strip);

    GlyphState state_;
    HBITMAP glyph_ = nullptr;
    HBITMAP denseGlyph_ = nullptr;
    int denseFactor_ = 1;
    int stripWidth_ = 0, stripHeight_ = 0;
    FrameRect frame_;
    MemoryDC stripDc_{nullptr};
    BitmapDC mask_;
    HBITMAP maskStrip_ = nullptr;
    Color maskColor_ = clNone;
    TTickTimer timer_;
    bool destroying_ = false;
};

}  // namespace velmora
