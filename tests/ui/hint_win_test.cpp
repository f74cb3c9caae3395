// The tip window is drawn at the density of the monitor it shows on, which
// may not be the system's: its font, padding and border follow that density.
#include <gtest/gtest.h>

#include "ui/application_win.h"
#include "ui/hint_win.h"

using namespace velmora;

TEST(HintWindow, ATipOnADenseMonitorIsHalfAsLargeAgain) {
    if (!Application::current()) new Application();
    HintWindow tip;
    const auto shown = [&](int dpi) {
        tip.showAt("2 on Friday night", POINT{100, 100}, dpi);
        RECT r{};
        GetWindowRect(tip.handle(), &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    const SIZE normal = shown(96), dense = shown(144);
    tip.hide();
    ASSERT_GT(normal.cx, 0);
    ASSERT_GT(normal.cy, 0);
    const double wider = double(dense.cx) / normal.cx, taller = double(dense.cy) / normal.cy;
    EXPECT_GT(wider, 1.3) << normal.cx << " -> " << dense.cx;
    EXPECT_LT(wider, 1.7) << normal.cx << " -> " << dense.cx;
    EXPECT_GT(taller, 1.3) << normal.cy << " -> " << dense.cy;
    EXPECT_LT(taller, 1.7) << normal.cy << " -> " << dense.cy;
}
