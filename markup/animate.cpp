#include "markup/animate.h"

namespace velmora {

void GlyphState::glyphChanged(int w, int h, TGlyphOrientation orientation) {
    numGlyphs_ = 1;
    glyphNum_ = 0;
    if (orientation == TGlyphOrientation::goHorizontal && h > 0 && w % h == 0) numGlyphs_ = w / h;
    if (orientation == TGlyphOrientation::goVertical && w > 0 && h % w == 0) numGlyphs_ = h / w;
    if (numGlyphs_ < 1) numGlyphs_ = 1;
}

void GlyphState::inactiveRule() {
    if (!active_ && inactiveGlyph_ >= 0 && inactiveGlyph_ < numGlyphs_ && glyphNum_ != inactiveGlyph_)
        glyphNum_ = inactiveGlyph_;
}

bool GlyphState::setGlyphNum(int value) {
    if (value == glyphNum_ || value >= numGlyphs_ || value < 0) return false;
    glyphNum_ = value;
    inactiveRule();
    return true;
}

bool GlyphState::setNumGlyphs(int value) {
    numGlyphs_ = value;
    if (inactiveGlyph_ < value) {
        inactiveRule();
    } else {
        inactiveGlyph_ = -1;
        glyphNum_ = 0;
    }
    if (numGlyphs_ < 1) numGlyphs_ = 1;
    // A current frame past the new end would paint nothing.
    if (glyphNum_ >= numGlyphs_) glyphNum_ = 0;
    return true;
}

bool GlyphState::setInactiveGlyph(int value) {
    if (value < 0) value = -1;
    if (value == inactiveGlyph_) return false;
    if (value >= numGlyphs_ && !loading) return false;
    inactiveGlyph_ = value;
    inactiveRule();
    return true;
}

bool GlyphState::setActive(bool value) {
    if (value == active_) return false;
    active_ = value;
    if (!value) inactiveRule();
    return true;
}

bool GlyphState::step() {
    if (numGlyphs_ <= 1) return false;
    auto next = [this](int g) { return g + 1 >= numGlyphs_ ? 0 : g + 1; };
    glyphNum_ = next(glyphNum_);
    if (glyphNum_ == inactiveGlyph_) glyphNum_ = next(glyphNum_);
    return true;
}

int GlyphState::shownFrame() const {
    if (active_ || inactiveGlyph_ < 0 || inactiveGlyph_ >= numGlyphs_) return glyphNum_;
    return inactiveGlyph_;
}

FrameRect framesize(int w, int h, int count, TGlyphOrientation orientation) {
    if (count < 1) count = 1;
    if (orientation == TGlyphOrientation::goHorizontal) return {0, 0, w / count, h};
    return {0, 0, w, h / count};
}

FrameRect sourcerect(int frame, const FrameRect& size, TGlyphOrientation orientation) {
    if (orientation == TGlyphOrientation::goHorizontal) return {frame * size.width, 0, size.width, size.height};
    return {0, frame * size.height, size.width, size.height};
}

FrameRect destrect(const FrameRect& size, int cw, int ch, bool stretch, bool center) {
    if (stretch) return {0, 0, cw, ch};
    if (center) return {(cw - size.width) / 2, (ch - size.height) / 2, size.width, size.height};
    return {0, 0, size.width, size.height};
}

}  // namespace velmora
