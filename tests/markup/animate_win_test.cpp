// The animated image in a real window under Wine: where a frame lands, what
// its transparent pixels show, and which frames the timer's ticks really paint.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "markup/animate_win.h"
#include "tests/net/netloop_win.h"
#include "tests/support/guiresources_win.h"
#include "tests/support/screenshot_win.h"
#include "tests/support/strip_win.h"
#include "ui/form_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::pump;

namespace {

constexpr int kFrames = 10, kFrameW = 18, kFrameH = 16;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kParent = RGB(0x20, 0x80, 0x40);

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// Frame i: a block of its own colour on white (or `background`), with one
// hole of the background in it at column `holeX`.
COLORREF frameColour(int i) { return RGB(20 + 20 * i, 200 - 15 * i, 60 + 7 * i); }

HBITMAP makeStrip(COLORREF background = kWhite, int holeX = 9) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kFrames * kFrameW;
    bi.bmiHeader.biHeight = -kFrameH;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const int stride = (kFrames * kFrameW * 3 + 3) & ~3;
    for (int y = 0; y < kFrameH; ++y)
        for (int x = 0; x < kFrames * kFrameW; ++x) {
            const int i = x / kFrameW, fx = x % kFrameW;
            const bool block = fx >= 2 && fx < 16 && y >= 3 && y < 13 && !(fx == holeX && y == 8);
            const COLORREF c = block ? frameColour(i) : background;
            BYTE* p = static_cast<BYTE*>(bits) + y * stride + x * 3;
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return strip;
}

int frameOfColour(COLORREF c) {
    for (int i = 0; i < kFrames; ++i)
        if (frameColour(i) == c) return i;
    return -1;
}

// Records, at every paint, which frame the drawing really put on the
// off-screen bitmap (read back from its pixels, not from GlyphNum).
class RecordingImage : public TAnimatedImage {
public:
    using TAnimatedImage::TAnimatedImage;
    std::vector<int> painted;

protected:
    void drawContent(HDC dc) override {
        TAnimatedImage::drawContent(dc);
        const velmora::FrameRect d = destination();
        painted.push_back(frameOfColour(GetPixel(dc, d.left + 4, d.top + 5)));
    }
};

class AnimatedImageWin : public ::testing::Test {
protected:
    void SetUp() override {
        velmora::test::app();
        form_.color = kParent;
        image_.AutoSize = false;
        image_.Center = true;
        image_.Stretch = false;
        image_.SetGlyph(makeStrip());
        image_.SetNumGlyphs(kFrames);
        form_.show();
        UpdateWindow(form_.handle());
    }
    void TearDown() override { image_.SetActive(false); }

    // The form's picture once it has painted what is due, or (`asItIs`) as
    // it stands, with only what was drawn straight onto it since.
    std::vector<Bgr> shot(bool asItIs = false) {
        if (!asItIs) UpdateWindow(form_.handle());
        const auto path = std::filesystem::temp_directory_path() /
                          ("velmora-animate-" + std::to_string(GetCurrentProcessId()) + ".bmp");
        return captureClient(form_.handle(), path.string());
    }
    int mismatches(int frame, int dx, int dy, bool asItIs = false, COLORREF transparent = kWhite) {
        RECT client{};
        GetClientRect(form_.handle(), &client);
        const StripPixels strip = readStrip(image_.Glyph());
        return frameMismatches(shot(asItIs), client.right, image_.left(), image_.top(), image_.width(),
                               image_.height(), strip, frame, kFrameW, dx, dy, transparent, kParent);
    }
    // Runs the real timer until `count` paints have been recorded.
    bool runPaints(size_t count) {
        return pump(20000, [&] { return image_.painted.size() >= count; });
    }

    Form form_{"Tanimatetest", "animate", 120, 80, FormStyle::ToolWindow};
    RecordingImage image_{form_, 40, 20, 25, 25};
};

}  // namespace

// The frame lands where the rules put it, and the strip's white is the parent.
TEST_F(AnimatedImageWin, AFrameIsDrawnInPlaceWithItsWhiteShowingTheParent) {
    struct Case {
        int width, height;
        bool center, stretch;
        int frame, dx, dy;
    } cases[] = {
        {25, 25, true, false, 0, 3, 4},  // the hand's 25 x 25 box
        {25, 25, true, false, 9, 3, 4},
        {30, 21, true, false, 5, 6, 2},
        {25, 25, false, false, 7, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " frame " + std::to_string(c.frame));
        image_.setBounds(40, 20, c.width, c.height);
        image_.Center = c.center;
        image_.Stretch = c.stretch;
        if (c.frame == image_.GlyphNum()) image_.SetGlyphNum(c.frame == 0 ? 1 : 0);
        image_.SetGlyphNum(c.frame);
        ASSERT_EQ(image_.GlyphNum(), c.frame);
        EXPECT_EQ(mismatches(c.frame, c.dx, c.dy), 0);
    }
}

// A strip given later shows the parent through its own transparent pixels,
// not through those of the strip drawn before it.
TEST_F(AnimatedImageWin, AStripGivenLaterShowsTheParentThroughItsOwnTransparentPixels) {
    image_.SetGlyphNum(2);
    ASSERT_EQ(mismatches(2, 3, 4), 0);
    const struct {
        COLORREF background;
        int holeX, frame;
    } strips[] = {{kMagenta, 5, 3}, {kWhite, 12, 6}, {kWhite, 9, 1}};
    for (const auto& s : strips) {
        SCOPED_TRACE("hole at " + std::to_string(s.holeX) + " frame " + std::to_string(s.frame));
        image_.SetGlyph(makeStrip(s.background, s.holeX));
        image_.SetNumGlyphs(kFrames);
        image_.SetGlyphNum(s.frame);
        ASSERT_EQ(image_.TransparentColor, s.background & 0xFFFFFF);
        EXPECT_EQ(mismatches(s.frame, 3, 4, false, s.background), 0);
    }
}

// The query window's steering: the step to frame 8 raises the frame event,
// which sends it back to 0 before anything is painted.
TEST_F(AnimatedImageWin, TheStepToFrameEightIsNeverPainted) {
    image_.OnFrameChanged = [](TAnimatedImage& sender) {
        if (sender.GlyphNum() >= 8) sender.SetGlyphNum(0);
    };
    image_.SetInterval(5);
    image_.SetActive(true);
    image_.SetGlyphNum(0);
    image_.painted.clear();
    ASSERT_TRUE(runPaints(30));
    image_.SetActive(false);
    const std::vector<int> seen = image_.painted;
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_GE(seen[i], 0) << "paint " << i << " drew no known frame";
        ASSERT_LT(seen[i], 8) << "paint " << i;
        // Each tick paints the next frame of the loop (a repaint repeats one).
        if (i > 0 && seen[i] != seen[i - 1]) {
            EXPECT_EQ(seen[i], (seen[i - 1] + 1) % 8) << "paint " << i;
        }
    }
    EXPECT_NE(std::find(seen.begin(), seen.end(), 7), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), 0), seen.end());
}

// A tick draws its frame straight onto the form, in its place, with the
// strip's white showing the form: the picture right after the tick, before
// the form paints anything, is the frame the tick drew.
TEST_F(AnimatedImageWin, ATickDrawsItsFrameInPlaceOnTheForm) {
    image_.SetInterval(5);
    image_.SetActive(true);
    image_.painted.clear();
    ASSERT_TRUE(runPaints(12));
    EXPECT_FALSE(GetUpdateRect(form_.handle(), nullptr, FALSE)) << "nothing is left for the form to paint";
    EXPECT_EQ(mismatches(image_.painted.back(), 3, 4, true), 0);
}

// A control made after the image and lying over part of it stays on top
// while the image ticks below it.
TEST_F(AnimatedImageWin, AControlAboveTheImageStaysOnTopWhileItTicks) {
    class Block : public GraphicControl {
    public:
        using GraphicControl::GraphicControl;
        void paint(HDC dc) override {
            const RECT all = pixelRect();
            const HBRUSH brush = CreateSolidBrush(RGB(200, 0, 200));
            FillRect(dc, &all, brush);
            DeleteObject(brush);
        }
    } above(form_);
    above.setBounds(50, 20, 15, 25);  // the image's right half
    UpdateWindow(form_.handle());
    image_.SetInterval(5);
    image_.SetActive(true);
    image_.painted.clear();
    ASSERT_TRUE(runPaints(12));
    RECT client{};
    GetClientRect(form_.handle(), &client);
    const std::vector<Bgr> picture = shot(true);
    int wrong = 0;
    for (int y = 20; y < 45; ++y)
        for (int x = 50; x < 65; ++x) {
            const Bgr& p = picture[static_cast<size_t>(y * client.right + x)];
            if (p.r != 200 || p.g != 0 || p.b != 200) ++wrong;
        }
    EXPECT_EQ(wrong, 0) << "pixels of the control above painted over";
    image_.SetActive(false);
}

// Running skips the inactive frame; stopping shows it.
TEST_F(AnimatedImageWin, TheInactiveFrameIsSkippedWhileRunningAndShownWhenStopped) {
    image_.SetInactiveGlyph(2);
    EXPECT_EQ(mismatches(2, 3, 4), 0) << "stopped with an inactive frame";
    image_.SetInterval(5);
    image_.SetActive(true);
    image_.SetGlyphNum(0);
    image_.painted.clear();
    ASSERT_TRUE(runPaints(25));
    image_.SetActive(false);
    const std::vector<int> seen = image_.painted;
    EXPECT_EQ(std::find(seen.begin(), seen.end(), 2), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), 3), seen.end());
    EXPECT_EQ(image_.GlyphNum(), 2);
    EXPECT_EQ(mismatches(2, 3, 4), 0) << "stopped again";
}

// Two hundred frames leave the process with as many GDI and USER objects as
// it held after the first few, both where a tick draws straight onto the form
// and where the form repaints under a later control: a frame that kept a DC,
// a bitmap, a brush or a region would grow the count at every tick.
TEST_F(AnimatedImageWin, TwoHundredFramesLeaveNoGdiOrUserObjectBehind) {
    class Cover : public GraphicControl {
    public:
        using GraphicControl::GraphicControl;
        void paint(HDC dc) override {
            const RECT all = pixelRect();
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
    };
    int frames = 0;
    image_.OnFrameChanged = [&](TAnimatedImage&) { ++frames; };
    image_.SetInterval(5);
    image_.SetActive(true);
    for (const bool covered : {false, true}) {
        SCOPED_TRACE(covered ? "under a later control" : "straight onto the form");
        std::unique_ptr<Cover> above;
        if (covered) {
            above = std::make_unique<Cover>(form_);
            above->setBounds(50, 20, 15, 25);
        }
        // The first frames make what is kept from one frame to the next.
        frames = 0;
        ASSERT_TRUE(pump(20000, [&] { return frames >= 20; }));
        const GuiObjects before = guiObjects();
        frames = 0;
        ASSERT_TRUE(pump(60000, [&] { return frames >= 200; }));
        const GuiObjects after = guiObjects();
        EXPECT_EQ(after.gdi, before.gdi) << (after.walked ? "walked" : "GetGuiResources");
        EXPECT_EQ(after.user, before.user) << (after.walked ? "walked" : "GetGuiResources");
    }
    image_.SetActive(false);
}
