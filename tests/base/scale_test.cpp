#include "base/scale.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Scale, LayoutValuesBecomePixelsRoundedToTheNearest) {
    struct Case {
        int dpi, value, pixels;
    } cases[] = {
        {96, 202, 202},  {96, -9, -9},   {120, 9, 11},  // 11.25
        {144, 202, 303}, {144, 9, 14},   {144, -9, -14}, {144, 25, 38},  // 13.5 and 37.5 away from zero
        {192, 177, 354}, {192, -11, -22}, {168, 1, 2},  {144, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Scale{c.dpi}.px(c.value), c.pixels) << c.dpi << " dpi, " << c.value;
}

// Fonts never come out larger than their scaled size, so scaled text wraps
// where it did at 96 dpi.
TEST(Scale, FontHeightsRoundTowardsZero) {
    struct Case {
        int dpi, height, pixels;
    } cases[] = {{96, -9, -9}, {144, -9, -13}, {144, -11, -16}, {192, -9, -18}, {120, -16, -20}, {144, 9, 13}};
    for (const Case& c : cases) EXPECT_EQ(Scale{c.dpi}.fontPx(c.height), c.pixels) << c.dpi << " dpi, " << c.height;
}

TEST(Scale, PixelsComeBackAsLayoutUnits) {
    struct Case {
        int dpi, pixels, floor, ceil;
    } cases[] = {
        {96, 17, 17, 17}, {144, 0, 0, 0},   {144, 1, 0, 1},   {144, 2, 1, 2},   {144, 3, 2, 2},
        {144, 14, 9, 10}, {192, 35, 17, 18}, {120, -1, -1, 0}, {144, -3, -2, -2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scale{c.dpi}.unitsFloor(c.pixels), c.floor) << c.dpi << " dpi, " << c.pixels;
        EXPECT_EQ(Scale{c.dpi}.unitsCeil(c.pixels), c.ceil) << c.dpi << " dpi, " << c.pixels;
    }
}

TEST(Scale, UnitsInPixelsComeBackWhole) {
    for (int dpi : {96, 120, 144, 168, 192, 240, 288})
        for (int units = -50; units < 400; ++units) ASSERT_EQ(Scale{dpi}.units(Scale{dpi}.px(units)), units) << dpi;
}

// Rectangles that meet in units meet in pixels, at every density.
TEST(Scale, NeighbouringRectanglesStillMeet) {
    struct Box {
        int left, top, right, bottom;
    };
    for (int dpi : {96, 120, 144, 168, 192}) {
        const Scale s{dpi};
        const Box a = s.rect(Box{8, 48, 201, 145}), b = s.rect(Box{201, 145, 260, 180});
        EXPECT_EQ(a.right, b.left) << dpi;
        EXPECT_EQ(a.bottom, b.top) << dpi;
        EXPECT_EQ(a.left, s.px(8)) << dpi;
    }
}

// A measured extent turned into units and back never loses a pixel, so a
// text laid out in units fits the pixels it was measured in.
TEST(Scale, AnExtentRoundTripNeverShrinks) {
    for (int dpi : {96, 120, 144, 168, 192, 240, 288})
        for (int pixels = 0; pixels < 400; ++pixels)
            ASSERT_GE(Scale{dpi}.px(Scale{dpi}.unitsCeil(pixels)), pixels) << dpi << " dpi, " << pixels;
}

}  // namespace
}  // namespace velmora
