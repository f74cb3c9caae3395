// The window framework on real windows: message routing through the one
// window procedure, the error report at the message boundary, the idle slot,
// and window-less controls fed by their form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "base/error.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/pointer_win.h"
#include "ui/application_win.h"
#include "ui/clock_win.h"
#include "ui/form_win.h"
#include "ui/label_win.h"
#include "ui/win32error_win.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr UINT WM_TEST_THROW = WM_USER + 10;
constexpr UINT WM_TEST_COUNT = WM_USER + 11;

class TestForm : public Form {
public:
    TestForm() : Form("Tframeworktestform", "framework test", 200, 100) {}
    int counted = 0;
    int shows = 0;
    CloseAction action = CloseAction::Hide;
    bool allowClose = true;

protected:
    bool formMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message == WM_TEST_THROW) throw Error("handler failed");
        if (message == WM_TEST_COUNT) {
            result = ++counted;
            return true;
        }
        return false;
    }
    void formShow() override { ++shows; }
    void formCloseQuery(bool& canClose) override { canClose = allowClose; }
    void formClose(CloseAction& a) override { a = action; }
};

// Records what the form routes to it.
class ProbeControl : public GraphicControl {
public:
    explicit ProbeControl(Form& form) : GraphicControl(form) {}
    std::vector<std::string> events;
    int paints = 0;
    void paint(HDC dc) override {
        ++paints;
        // Drawing at (0, 0) must land at the control's own corner.
        SetPixel(dc, 0, 0, RGB(255, 0, 0));
    }
    void mouseDown(MouseButton b, int x, int y) override {
        events.push_back(std::string(b == MouseButton::Left ? "L" : b == MouseButton::Right ? "R" : "M") + "down " +
                         std::to_string(x) + "," + std::to_string(y));
    }
    void mouseUp(MouseButton, int x, int y) override {
        events.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    }
    void mouseMove(int x, int y) override { events.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
};

Application& app() {
    static Application* application = new Application();
    return *application;
}

void pump() { app().processMessages(); }

}  // namespace

TEST(WindowFramework, MessagesReachTheirFormThroughTheOneWindowProcedure) {
    app();
    TestForm a, b;
    EXPECT_EQ(SendMessageA(a.handle(), WM_TEST_COUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(a.handle(), WM_TEST_COUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(b.handle(), WM_TEST_COUNT, 0, 0), 1);
    char cls[32] = {};
    GetClassNameA(a.handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "Tframeworktestform");
    RECT client;
    GetClientRect(a.handle(), &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_FALSE(a.visible());  // forms are created hidden
}

// Told of a new density without a place, a form keeps its corner and its
// size in units; controls, mouse and repaints follow the new density.
TEST(WindowFramework, ANewDensityScalesTheFormInPlace) {
    app();
    TestForm form;
    RECT before{};
    GetWindowRect(form.handle(), &before);
    for (const int dpi : {144, 192, 96}) {
        form.dpiChanged(dpi, nullptr);
        RECT client{}, now{};
        GetClientRect(form.handle(), &client);
        GetWindowRect(form.handle(), &now);
        EXPECT_EQ(client.right, 200 * dpi / 96) << dpi;
        EXPECT_EQ(client.bottom, 100 * dpi / 96) << dpi;
        EXPECT_EQ(now.left, before.left);
        EXPECT_EQ(now.top, before.top);
    }
}

TEST(WindowFramework, AnErrorInAHandlerIsReportedAndTheLoopGoesOn) {
    app();
    MessageBoxWatcher boxes;
    TestForm form;
    PostMessageA(form.handle(), WM_TEST_THROW, 0, 0);
    pump();
    ASSERT_TRUE(boxes.waitFor(1));
    // After the box: a message that arrives while a box is being closed may
    // be dropped by the box's own loop.
    PostMessageA(form.handle(), WM_TEST_COUNT, 0, 0);
    pump();
    EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
    EXPECT_EQ(boxes.messages()[0].text, "handler failed");
    EXPECT_EQ(form.counted, 1);  // the next message was handled as usual
}

TEST(WindowFramework, TheIdleSlotRunsWhenTheQueueIsEmptyAndKeepsTheLoopAwake) {
    app();
    int idles = 0;
    app().setOnIdle([&](bool& done) {
        ++idles;
        done = false;  // not done: the loop does not wait for a message
    });
    for (int i = 0; i < 5; ++i) app().handleNextMessage();
    EXPECT_EQ(idles, 5);
    // A waiting message is handled first; the idle step only runs on an empty queue.
    TestForm form;
    PostMessageA(form.handle(), WM_TEST_COUNT, 0, 0);
    app().handleNextMessage();
    EXPECT_EQ(form.counted, 1);
    EXPECT_EQ(idles, 5);
    app().clearOnIdle();
    EXPECT_FALSE(app().hasOnIdle());

    MessageBoxWatcher boxes;
    app().setOnIdle([](bool& done) {
        done = false;
        throw Error("idle failed");
    });
    app().handleNextMessage();
    app().clearOnIdle();
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts()[0], "idle failed");
}

// The firings of the window-less timer the test below counts, with the moment of each.
static std::vector<std::int64_t> otherFirings;
static void CALLBACK countOtherFiring(HWND, UINT, UINT_PTR, DWORD) { otherFirings.push_back(clockMicroseconds() / 1000); }

// The loop sleeps until the moment the idle handler asks for, however many
// other messages wake it meanwhile, and is woken once: the application
// window's timer goes off at that moment and not again.
TEST(WindowFramework, TheLoopWakesOnceAtTheMomentTheIdleHandlerAskedFor) {
    app();
    pump();
    int wakeUps = 0;
    const int hook = app().addHook([&](UINT message, WPARAM, LPARAM) { wakeUps += message == WM_TIMER; });
    // Messages every 20 ms while the loop waits, until 50 ms before the
    // moment (then only the wake-up can end the sleep), and a backstop; both
    // for the thread rather than the application window.
    otherFirings.clear();
    UINT_PTR others = SetTimer(nullptr, 0, 20, &countOtherFiring);
    const UINT_PTR backstop = SetTimer(nullptr, 0, 5000, nullptr);
    // A millisecond clock, as the frame timer's (GetTickCount moves in 16 ms steps).
    const auto ms = [] { return clockMicroseconds() / 1000; };
    const std::int64_t start = ms(), due = start + 200;
    std::int64_t woke = 0, longestAsk = 0;
    int asked = 0;
    app().setOnIdle([&](bool& done) {
        done = true;
        const std::int64_t now = ms();
        if (woke) return;
        if (others && due - now <= 50) {
            KillTimer(nullptr, others);
            others = 0;
        }
        if (due > now) {
            ++asked;
            longestAsk = std::max(longestAsk, due - now);
            app().wakeWithin(static_cast<DWORD>(due - now));
        } else {
            woke = now;
        }
    });
    while (!woke && ms() - start < 5000) app().handleNextMessage();
    // Messages again, until the other timer has fired twice after the moment
    // a wake-up timer left running would have gone off again (its period is
    // at most the longest wait asked for): that one was due first, so it
    // would have come before the second of them.
    const std::int64_t again = woke + longestAsk;
    const auto firedAfterAgain = [&] {
        return std::count_if(otherFirings.begin(), otherFirings.end(), [&](std::int64_t t) { return t > again; });
    };
    otherFirings.clear();
    others = SetTimer(nullptr, 0, 20, &countOtherFiring);
    while (woke && firedAfterAgain() < 2 && ms() - woke < 10000) app().handleNextMessage();
    app().clearOnIdle();
    KillTimer(nullptr, others);
    KillTimer(nullptr, backstop);
    app().removeHook(hook);
    ASSERT_NE(woke, 0) << "the asked moment never came";
    ASSERT_EQ(firedAfterAgain(), 2) << "the other timer stopped";
    EXPECT_GT(asked, 3) << "the other messages woke the loop before the moment";
    EXPECT_EQ(wakeUps, 1);
}

TEST(WindowFramework, HooksSeeActivationAndTrackTheActiveState) {
    app();
    pump();
    // Each step is checked by what it added last: the focus changes an
    // earlier test's box left behind may still arrive under Wine.
    std::vector<UINT> seen;
    const int id = app().addHook([&](UINT message, WPARAM, LPARAM) {
        if (message == CM_ACTIVATE || message == CM_DEACTIVATE) seen.push_back(message);
    });
    app().activationChanged(true);
    pump();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), CM_ACTIVATE);
    EXPECT_TRUE(app().active());
    app().activationChanged(false);
    pump();
    EXPECT_EQ(seen.back(), CM_DEACTIVATE);
    EXPECT_FALSE(app().active());
    app().removeHook(id);
    const size_t before = seen.size();
    app().activationChanged(true);
    pump();
    EXPECT_EQ(seen.size(), before) << "a removed hook sees nothing";
    EXPECT_TRUE(app().active());
}

TEST(WindowFramework, ClosingFollowsTheCloseQueryAndTheCloseAction) {
    app();
    TestForm form;
    form.show();
    EXPECT_EQ(form.shows, 1);
    form.show();  // already visible: no second show event
    EXPECT_EQ(form.shows, 1);
    form.allowClose = false;
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.visible());
    form.allowClose = true;
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.visible());
    EXPECT_TRUE(IsWindow(form.handle()));  // hidden, not destroyed
    form.show();
    EXPECT_EQ(form.shows, 2);
    form.action = CloseAction::Free;
    const HWND hwnd = form.handle();
    form.close();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(form.handle(), nullptr);
}

TEST(WindowFramework, MouseInputGoesToTheControlUnderItInItsOwnCoordinates) {
    app();
    TestForm form;
    ProbeControl left(form), right(form);
    left.setBounds(10, 10, 50, 20);
    right.setBounds(100, 10, 50, 20);
    PostMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 12));
    PostMessageA(form.handle(), WM_LBUTTONUP, 0, MAKELPARAM(15, 12));
    PostMessageA(form.handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(149, 29));
    PostMessageA(form.handle(), WM_RBUTTONUP, 0, MAKELPARAM(149, 29));
    PostMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 15));  // between: nobody
    PostMessageA(form.handle(), WM_LBUTTONUP, 0, MAKELPARAM(80, 15));
    PostMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 15));  // right edge is outside
    PostMessageA(form.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    pump();
    EXPECT_EQ(left.events, (std::vector<std::string>{"Ldown 5,2", "up 5,2", "move 10,10"}));
    EXPECT_EQ(right.events, (std::vector<std::string>{"Rdown 49,19", "up 49,19"}));

    // A press captures: moves and the release go to the pressed control.
    left.events.clear();
    right.events.clear();
    PostMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 12));
    PostMessageA(form.handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 12));
    PostMessageA(form.handle(), WM_LBUTTONUP, 0, MAKELPARAM(120, 12));
    pump();
    EXPECT_EQ(left.events, (std::vector<std::string>{"Ldown 2,2", "move 110,2", "up 110,2"}));
    EXPECT_TRUE(right.events.empty());

    // A hidden control gets nothing.
    right.setVisible(false);
    PostMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 12));
    PostMessageA(form.handle(), WM_LBUTTONUP, 0, MAKELPARAM(120, 12));
    pump();
    EXPECT_TRUE(right.events.empty());
}

TEST(WindowFramework, ControlsPaintInsideTheirBounds) {
    app();
    TestForm form;
    ProbeControl probe(form);
    probe.setBounds(30, 40, 20, 10);
    form.show();
    UpdateWindow(form.handle());
    pump();
    EXPECT_GE(probe.paints, 1);
    const HDC dc = GetDC(form.handle());
    EXPECT_EQ(GetPixel(dc, 30, 40), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(dc, 29, 40), RGB(255, 0, 0));
    ReleaseDC(form.handle(), dc);
    form.hide();
}

TEST(WindowFramework, APlainLabelTakesTheSizeOfItsText) {
    app();
    TestForm form;
    Label label(form, 8, 8, "Getting server info for");
    const int oneLine = label.height();
    EXPECT_GT(label.width(), 50);
    EXPECT_GT(oneLine, 5);
    const int before = label.width();
    label.setText("x");
    EXPECT_LT(label.width(), before);
    label.setText("");
    EXPECT_EQ(label.height(), oneLine);  // an empty label keeps one line's height
    label.font.bold = true;
    label.setText("Getting server info for");
    EXPECT_GT(label.width(), before);
}

TEST(WindowFramework, AControlsOwnHintShowsWhenTheMouseRestsOnIt) {
    app();
    test::Pointer pointer;
    ASSERT_TRUE(pointer.hooked());
    TestForm form;
    ProbeControl probe(form), quiet(form);
    probe.setBounds(10, 10, 50, 20);
    quiet.setBounds(100, 10, 50, 20);
    probe.hint = "the Velmora|more text";
    probe.showHint = true;
    quiet.hint = "not shown";  // showHint is off
    form.hintPause = 30;
    test::Pointer::park();  // not where the form appears
    form.show();
    // The real pointer moves, as a user's would: the form is told by the system.
    auto failure = [&] {
        return "pointer at " + std::to_string(pointer.failedAt().x) + "," + std::to_string(pointer.failedAt().y) +
               ", tip \"" + form.shownHint() + "\"";
    };
    // A busy machine may take longer than the pause: rest until the tip shows, up to seconds.
    auto tipShowsAt = [&](int x, int y, const std::string& expected) {
        return pointer.restUntil(form.handle(), x, y, pump, [&] { return form.shownHint() == expected; });
    };
    EXPECT_TRUE(tipShowsAt(20, 15, "the Velmora")) << failure();  // the part before "|"
    ASSERT_TRUE(pointer.moveTo(form.handle(), 110, 15, pump)) << failure();
    EXPECT_EQ(form.shownHint(), "");  // another control: the tip goes with its own
    EXPECT_TRUE(tipShowsAt(20, 16, "the Velmora")) << failure();
    PostMessageA(form.handle(), WM_MOUSELEAVE, 0, 0);
    pump();
    EXPECT_EQ(form.shownHint(), "");
    form.hide();
    test::Pointer::park();
}

TEST(WindowFramework, SystemErrorsCarryTheRuntimeText) {
    EXPECT_EQ(win32ErrorText(0), "A Win32 API function failed");
    const std::string text = win32ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text.rfind("Win32 Error.  Code: 2.\n", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("Win32 Error.  Code: 2.\n").size());
}
