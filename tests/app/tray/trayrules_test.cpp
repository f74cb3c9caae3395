#include <gtest/gtest.h>

#include "app/tray/traymenu.h"
#include "app/tray/trayrules.h"

using namespace velmora;

// The shell's tip field holds 63 characters and its NUL; a "|" ends the tip.
TEST(TrayRules, TheTipIsThePartBeforeTheBarCutTo63) {
    const std::string long70(70, 'x');
    const struct {
        std::string hint, tip;
    } cases[] = {
        {"the Velmora", "the Velmora"},
        {"the Velmora|long help", "the Velmora"},
        {"|x", ""},
        {long70, std::string(63, 'x')},
        {std::string(63, 'y') + "|z", std::string(63, 'y')},
    };
    for (const auto& c : cases) EXPECT_EQ(shorthint(c.hint), c.tip) << c.hint;
}

TEST(TrayRules, FramesWrapAndAreClampedToTheList) {
    EXPECT_EQ(nextframe(0, 2), 1);
    EXPECT_EQ(nextframe(1, 2), 0);
    EXPECT_EQ(nextframe(-1, 2), 0);  // the index before the first step
    EXPECT_EQ(nextframe(5, 0), 0);
    EXPECT_EQ(clampframe(-1, 2), 0);
    EXPECT_EQ(clampframe(7, 2), 1);
}

namespace {
using K = TrayEventKind;
using B = TrayButton;
std::vector<TrayEvent> run(std::initializer_list<TrayMouse> messages) {
    TrayPressed pressed;
    std::vector<TrayEvent> out;
    for (TrayMouse m : messages)
        for (const TrayEvent& e : trayevents(m, pressed)) out.push_back(e);
    return out;
}
}  // namespace

// A click needs its press over the icon; a double click comes between the
// first click's release and the second press's events.
TEST(TrayRules, MouseNotificationsBecomeEventsInOrder) {
    const struct {
        const char* what;
        std::vector<TrayEvent> events;
        std::vector<TrayEvent> expected;
    } cases[] = {
        {"double click",
         run({TrayMouse::LeftDown, TrayMouse::LeftUp, TrayMouse::LeftDouble, TrayMouse::LeftUp}),
         {{K::MouseDown, B::Left}, {K::Click, B::Left}, {K::MouseUp, B::Left}, {K::DblClick, B::Left},
          {K::MouseDown, B::Left, true}, {K::MouseUp, B::Left}}},
        {"right click", run({TrayMouse::RightDown, TrayMouse::RightUp}),
         {{K::MouseDown, B::Right}, {K::Click, B::Right}, {K::MouseUp, B::Right}}},
        {"right pressed elsewhere", run({TrayMouse::RightUp}), {{K::MouseUp, B::Right}}},
        {"one press, two releases", run({TrayMouse::RightDown, TrayMouse::RightUp, TrayMouse::RightUp}),
         {{K::MouseDown, B::Right}, {K::Click, B::Right}, {K::MouseUp, B::Right}, {K::MouseUp, B::Right}}},
        {"left press is no right click", run({TrayMouse::LeftDown, TrayMouse::RightUp}),
         {{K::MouseDown, B::Left}, {K::MouseUp, B::Right}}},
        {"middle never clicks", run({TrayMouse::MiddleDown, TrayMouse::MiddleUp, TrayMouse::MiddleDouble}),
         {{K::MouseDown, B::Middle}, {K::MouseUp, B::Middle}, {K::MouseDown, B::Middle, true}}},
        {"right double", run({TrayMouse::RightDouble, TrayMouse::Move}),
         {{K::MouseDown, B::Right, true}, {K::MouseMove}}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.events, c.expected) << c.what;
}

// Servers and games show their "&" rather than underlining the next letter.
TEST(TrayRules, MenuTextDoublesEveryAmpersand) {
    EXPECT_EQ(menutext("Tom & Jerry"), "Tom && Jerry");
    EXPECT_EQ(menutext("&&"), "&&&&");
    EXPECT_EQ(menutext("1.2.3.4:27960"), "1.2.3.4:27960");
}
