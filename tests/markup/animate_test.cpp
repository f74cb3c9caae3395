// The frame rules of the animated image.
#include <gtest/gtest.h>

#include "markup/animate.h"

using namespace velmora;

namespace {
std::vector<int> run(GlyphState& s, int steps) {
    std::vector<int> seen;
    for (int i = 0; i < steps; ++i) {
        s.step();
        seen.push_back(s.glyphNum());
    }
    return seen;
}
}  // namespace

TEST(AnimateRules, TheInactiveFrameIsSkippedWhileRunningAndShownWhenStopped) {
    GlyphState s;
    s.setNumGlyphs(4);
    EXPECT_TRUE(s.setInactiveGlyph(2));
    EXPECT_EQ(s.glyphNum(), 2);  // not active: the inactive frame stands
    s.setActive(true);
    s.setGlyphNum(0);
    EXPECT_EQ(run(s, 4), (std::vector<int>{1, 3, 0, 1}));
    s.setActive(false);
    EXPECT_EQ(s.glyphNum(), 2);
    EXPECT_EQ(s.shownFrame(), 2);
}

// The hand is loaded in the order Active, Center, Glyph, GlyphNum, NumGlyphs.
TEST(AnimateRules, LoadingTheHandRefusesGlyphNumUntilNumGlyphsIsSet) {
    GlyphState s;
    s.loading = true;
    s.setActive(true);
    s.glyphChanged(180, 16, TGlyphOrientation::goHorizontal);
    EXPECT_EQ(s.numGlyphs(), 1);  // 180 is no multiple of 16
    EXPECT_FALSE(s.setGlyphNum(4));
    s.setNumGlyphs(10);
    s.loading = false;
    EXPECT_EQ(s.glyphNum(), 0);
    EXPECT_EQ(framesize(180, 16, s.numGlyphs(), TGlyphOrientation::goHorizontal), (FrameRect{0, 0, 18, 16}));
}

TEST(AnimateRules, StripShapesAndRefusedValues) {
    struct Case {
        int w, h;
        TGlyphOrientation o;
        int frames;
    } cases[] = {{160, 16, TGlyphOrientation::goHorizontal, 10},
                 {16, 160, TGlyphOrientation::goVertical, 10},
                 {16, 160, TGlyphOrientation::goHorizontal, 1},
                 {0, 0, TGlyphOrientation::goHorizontal, 1}};
    for (const auto& c : cases) {
        GlyphState s;
        s.glyphChanged(c.w, c.h, c.o);
        EXPECT_EQ(s.numGlyphs(), c.frames) << c.w << "x" << c.h;
    }
    GlyphState s;
    s.setNumGlyphs(3);
    s.setGlyphNum(1);
    for (int refused : {1, 3, 4, -1}) EXPECT_FALSE(s.setGlyphNum(refused)) << refused;
    EXPECT_EQ(s.glyphNum(), 1);
    EXPECT_FALSE(s.setInactiveGlyph(3));
    GlyphState one;
    one.setActive(true);
    EXPECT_FALSE(one.step());
    EXPECT_EQ(one.glyphNum(), 0);
}

TEST(AnimateRules, WhereAFrameIsDrawn) {
    const FrameRect frame{0, 0, 18, 16};
    EXPECT_EQ(destrect(frame, 25, 25, false, true), (FrameRect{3, 4, 18, 16}));
    EXPECT_EQ(destrect(frame, 25, 25, true, true), (FrameRect{0, 0, 25, 25}));  // Stretch ignores Center
    EXPECT_EQ(destrect(frame, 25, 25, false, false), (FrameRect{0, 0, 18, 16}));
    EXPECT_EQ(destrect(frame, 10, 10, false, true), (FrameRect{-4, -3, 18, 16}));
    EXPECT_EQ(sourcerect(8, frame, TGlyphOrientation::goHorizontal), (FrameRect{144, 0, 18, 16}));
    EXPECT_EQ(sourcerect(2, {0, 0, 16, 16}, TGlyphOrientation::goVertical), (FrameRect{0, 32, 16, 16}));
}
