// The frame rules of the animated image, free of any window: which frame is
// current, which is shown, how a strip divides into frames and where a frame
// is drawn. The control (animate_win.h) calls these and paints.
#pragma once

namespace velmora {

enum class TGlyphOrientation { goHorizontal, goVertical };

struct FrameRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const FrameRect&) const = default;
};

// The frame state. Setters return true when they changed something that
// raises OnFrameChanged.
class GlyphState {
public:
    int glyphNum() const { return glyphNum_; }
    int numGlyphs() const { return numGlyphs_; }
    int inactiveGlyph() const { return inactiveGlyph_; }
    bool active() const { return active_; }
    bool loading = false;

    // A new strip: NumGlyphs from its shape (a whole multiple of the frame
    // side, else 1), GlyphNum 0.
    void glyphChanged(int stripWidth, int stripHeight, TGlyphOrientation orientation);
    // Ignored (false) when equal, not below NumGlyphs, or below 0.
    bool setGlyphNum(int value);
    bool setNumGlyphs(int value);
    bool setInactiveGlyph(int value);
    // True when Active changed; turning it off applies the inactive rule.
    bool setActive(bool value);
    // One tick: the next frame, or 0 after the last, skipping the inactive one.
    // False (nothing happens) with fewer than two frames.
    bool step();
    // The frame painted: GlyphNum while Active or without a valid inactive
    // frame, otherwise InactiveGlyph.
    int shownFrame() const;

private:
    void inactiveRule();
    int glyphNum_ = 0;
    int numGlyphs_ = 1;
    int inactiveGlyph_ = -1;
    bool active_ = false;
};

// One frame's size for a strip of `count` frames (at least 1).
FrameRect framesize(int stripWidth, int stripHeight, int count, TGlyphOrientation orientation);
// The strip rectangle of `frame`.
FrameRect sourcerect(int frame, const FrameRect& size, TGlyphOrientation orientation);
// Where the frame goes in a client area: all of it when stretched, centred
// (halves truncated toward zero), or at the corner.
FrameRect destrect(const FrameRect& size, int clientWidth, int clientHeight, bool stretch, bool center);

}  // namespace velmora
