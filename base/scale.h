// Every layout value in the program is written for a 96-dpi screen. A window
// on a screen of another density multiplies them by its dots per inch over 96
// at the edge where they become pixels, and divides pixels back where they
// come in (the mouse, measured text).
#pragma once

namespace velmora {

struct Scale {
    int dpi = 96;

    // A layout value in pixels, rounded to the nearest (a half away from zero).
    constexpr int px(int value) const { return roundedQuotient(value * dpi, 96); }
    // A font's height (a LOGFONT height, negative for the character height)
    // in pixels, rounded towards zero: scaled text is never wider than its
    // 96-dpi layout times the scale, so it wraps where it did at 96 dpi.
    constexpr int fontPx(int height) const { return height * dpi / 96; }
    // Pixels in layout units, rounded to the nearest: the inverse of px at
    // every density from 96 dpi up.
    constexpr int units(int pixels) const { return roundedQuotient(pixels * 96, dpi); }
    // A pixel position in layout units, rounded down: the mouse over pixel x
    // is over the layout unit that pixel starts in.
    constexpr int unitsFloor(int pixels) const { return floorQuotient(pixels * 96, dpi); }
    // A pixel extent in layout units, rounded up: measured text keeps the room it needs.
    constexpr int unitsCeil(int pixels) const { return -floorQuotient(-pixels * 96, dpi); }
    // A rectangle of layout values (anything with left, top, right and
    // bottom) in pixels: each edge on its own, so rectangles that meet in
    // units meet in pixels.
    template <typename Rect>
    constexpr Rect rect(const Rect& r) const {
        return {px(r.left), px(r.top), px(r.right), px(r.bottom)};
    }
    constexpr bool identity() const { return dpi == 96; }

private:
    static constexpr int floorQuotient(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
    static constexpr int roundedQuotient(int a, int b) { return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b); }
};

}  // namespace velmora
