// Real windows with real markup labels under Wine: the GDI surface, clicks on
// the query window's command row, automatic sizing, hovering, and a captured
// picture of a label with bold, italics, colours, an image and anchors.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "markup/gdisurface_win.h"
#include "markup/markuplabel_win.h"
#include "tests/markup/about_text.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/screenshot_win.h"
#include "ui/application_win.h"
#include "tests/support/pointer_win.h"
#include "ui/form_win.h"

namespace velmora {
namespace {

Application& app() {
    static Application application;
    return application;
}

// Forwards to the GDI surface and keeps each run drawn, with its measured width.
struct Drawn {
    std::string text;
    MarkupRect cell;
    int width;
    int height;
};
class RecordingSurface : public MarkupSurface {
public:
    explicit RecordingSurface(MarkupSurface& inner) : inner_(inner) {}
    MarkupFont font() const override { return inner_.font(); }
    void setFont(const MarkupFont& f) override { inner_.setFont(f); }
    int textHeight(std::string_view s) override { return inner_.textHeight(s); }
    int blankWidth() override { return inner_.blankWidth(); }
    MarkupSize measureRun(std::string_view r) override { return inner_.measureRun(r); }
    void drawRun(std::string_view r, const MarkupRect& cell) override {
        const MarkupSize m = inner_.measureRun(r);
        runs.push_back({std::string(r), cell, m.width, m.height});
        inner_.drawRun(r, cell);
    }
    void setTransparentBackground() override { inner_.setTransparentBackground(); }
    Colour brushColour() const override { return inner_.brushColour(); }
    void setBrushColour(Colour c) override { inner_.setBrushColour(c); }
    Colour penColour() const override { return inner_.penColour(); }
    void setPenColour(Colour c) override { inner_.setPenColour(c); }
    void rectangle(const MarkupRect& r) override { inner_.rectangle(r); }
    void line(int a, int b, int c, int d) override { inner_.line(a, b, c, d); }
    void drawListImage(const MarkupImageList& l, int i, int x, int y) override { inner_.drawListImage(l, i, x, y); }
    int systemIconIndex(const std::string& p, bool large) override { return inner_.systemIconIndex(p, large); }
    MarkupSize systemIconSize(bool large) override { return inner_.systemIconSize(large); }
    void drawSystemIcon(int i, bool large, int x, int y) override { inner_.drawSystemIcon(i, large, x, y); }
    MarkupSize bitmapSize(const std::string& p) override { return inner_.bitmapSize(p); }
    void drawBitmap(const std::string& p, int x, int y) override { inner_.drawBitmap(p, x, y); }

    std::vector<Drawn> runs;

private:
    MarkupSurface& inner_;
};

Font verdana9() {
    Font f;
    f.name = "Verdana";
    f.height = -9;
    f.color = 0x80000000 | COLOR_WINDOWTEXT;
    return f;
}

class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() { ReleaseDC(nullptr, dc_); }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Where the runs of `text` land in a label box, with the real font.
std::vector<Drawn> layout(const std::string& text, const MarkupRect& box, const Font& font = verdana9()) {
    ScreenDC dc;
    GdiSurface gdi(dc.get(), font, 0x80000000 | COLOR_BTNFACE);
    RecordingSurface rec(gdi);
    DrawMarkup(rec, text, box, nullptr, MarkupMode::Draw, {}, 0xFF0000);
    return rec.runs;
}

const Drawn& findRun(const std::vector<Drawn>& runs, const std::string& text) {
    for (const Drawn& r : runs)
        if (r.text == text) return r;
    ADD_FAILURE() << "no run " << text;
    static Drawn none{};
    return none;
}

void pump() {
    for (int i = 0; i < 5; ++i) {
        app().processMessages();
        Sleep(5);
    }
}

void post(const Form& form, UINT message, WPARAM keys, int x, int y) {
    PostMessageA(form.handle(), message, keys, MAKELPARAM(x, y));
}

// --- the GDI surface ---

TEST(GdiSurface, PrefixCharactersAreMeasuredAsDrawn) {
    // A single "&" takes no room; "&&" is one "&".
    ScreenDC dc;
    GdiSurface s(dc.get(), verdana9(), 0x80000000 | COLOR_BTNFACE);
    EXPECT_EQ(s.measureRun("a&b").width, s.measureRun("ab").width);
    SIZE amp{};
    GetTextExtentPointA(dc.get(), "a&b", 3, &amp);
    EXPECT_EQ(s.measureRun("a&&b").width, amp.cx);
    EXPECT_GT(s.measureRun("ab").width, 0);
    EXPECT_EQ(s.measureRun("ab").height, s.textHeight("gh"));
}

TEST(GdiSurface, TheDeviceContextGetsItsSelectionsBack) {
    // The surface's fonts and pens are deleted only after the DC has its own back.
    ScreenDC dc;
    const HGDIOBJ font = GetCurrentObject(dc.get(), OBJ_FONT);
    const HGDIOBJ pen = GetCurrentObject(dc.get(), OBJ_PEN);
    const COLORREF text = GetTextColor(dc.get());
    const int mode = GetBkMode(dc.get());
    {
        GdiSurface s(dc.get(), verdana9(), 0x0000FF);
        DrawMarkup(s, "<b>x</b><font color=\"clred\" bgcolor=\"clyellow\">y</font><hr>", {0, 0, 50, 50}, nullptr,
                   MarkupMode::Draw, {}, 0xFF0000);
        EXPECT_NE(GetCurrentObject(dc.get(), OBJ_FONT), font);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), pen);
    EXPECT_EQ(GetTextColor(dc.get()), text);
    EXPECT_EQ(GetBkMode(dc.get()), mode);
}

TEST(GdiSurface, EntryFontKeepsItsPixelHeight) {
    // Verdana -9 is about 7 points; going back to the entry font must not change its cell.
    ScreenDC dc;
    GdiSurface s(dc.get(), verdana9(), 0);
    const int entryCell = s.textHeight("gh");
    MarkupFont f = s.font();
    f.bold = true;
    s.setFont(f);
    f.bold = false;
    s.setFont(f);
    EXPECT_EQ(s.textHeight("gh"), entryCell);
}

// At 192 dpi the engine still speaks 96-dpi units: text is measured in
// pixels and given back in units, the entry font is made twice as tall, and
// a rectangle in units fills twice its size in pixels.
TEST(GdiSurface, UnitsAreDrawnAtTheSurfacesDensity) {
    ScreenDC screen;
    const HDC dc = CreateCompatibleDC(screen.get());
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, 64, -64, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, canvas);
    MarkupSize one{};
    {
        GdiSurface at96(dc, verdana9(), 0);
        one = at96.measureRun("Velmora");
    }
    {
        GdiSurface at192(dc, verdana9(), 0, 192);
        const MarkupSize two = at192.measureRun("Velmora");
        // Verdana at 18 pixels is about twice as wide as at 9, in units about as wide.
        EXPECT_NEAR(two.width, one.width, one.width / 8 + 1);
        EXPECT_NEAR(two.height, one.height, 2);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 18) << "the entry font's character height";
        at192.setBrushColour(0x00FF00);
        at192.setPenColour(0x00FF00);
        at192.rectangle({4, 4, 14, 14});
    }
    GdiFlush();
    const auto green = [&](int x, int y) { return static_cast<const DWORD*>(bits)[y * 64 + x] == 0x0000FF00; };
    int filled = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) filled += green(x, y);
    EXPECT_EQ(filled, 20 * 20) << "10 x 10 units at 192 dpi";
    EXPECT_TRUE(green(8, 8));
    EXPECT_TRUE(green(27, 27));
    EXPECT_FALSE(green(28, 28));
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
}

TEST(GdiSurface, RightAlignedDoneStandsFlushWithTheBoxEdge) {
    // The settings window's 32 x 18 "Done".
    const auto runs = layout("<p align=\"right\"><a href=\"done\">Done</a>", {0, 0, 32, 18});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cell.left + runs[0].width, 32);
}

// --- the query window's command row ---

// One window for the suite: showing a window under Wine without a window
// manager takes about two seconds.
class CommandRow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        form = new Form("Tmarkuptestform", "commands", 210, 190, FormStyle::Dialog);
        form->font.name = "Verdana";
        form->font.height = -9;
        label = new TMarkupLabel(*form, 8, 160, 187, 18);
        label->setMarkupText({test::kCommandRow});
        test::Pointer::park();  // the real pointer stays off the form unless a test moves it
        form->show();
        UpdateWindow(form->handle());
        pump();
    }
    static void TearDownTestSuite() {
        delete label;
        delete form;
        pump();
    }
    void SetUp() override {
        label->OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { clicks.push_back(a); };
        label->OnAnchorEnter = nullptr;
        label->OnAnchorExit = nullptr;
        // Start every test off the anchors.
        post(*form, WM_MOUSEMOVE, 0, label->left() + 2, label->top() + 8);
        pump();
    }
    void click(UINT down, UINT up, WPARAM keys, int x, int y) {
        post(*form, down, keys, label->left() + x, label->top() + y);
        post(*form, up, 0, label->left() + x, label->top() + y);
        pump();
    }

    static Form* form;
    static TMarkupLabel* label;
    std::vector<std::string> clicks;
};
Form* CommandRow::form = nullptr;
TMarkupLabel* CommandRow::label = nullptr;

TEST_F(CommandRow, TheRowIsOneRightAlignedLine) {
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    ASSERT_FALSE(runs.empty());
    for (const Drawn& r : runs) EXPECT_EQ(r.cell.top, 0) << r.text;
    const Drawn& last = runs.back();
    EXPECT_EQ(last.text, "cancel");
    EXPECT_EQ(last.cell.left + last.width, 187);
}

TEST_F(CommandRow, LeftAndRightClicksOnEachAnchorReportItsWord) {
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    const struct {
        const char* run;
        const char* word;
    } anchors[] = {{"Refresh", "refresh"}, {"Join ", "go"}, {"Game", "go"}, {"cancel", "cancel"}};
    for (const auto& a : anchors) {
        const Drawn& r = findRun(runs, a.run);
        const int x = r.cell.left + r.width / 2;
        const int y = r.cell.top + r.height / 2;
        clicks.clear();
        click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, x, y);
        EXPECT_EQ(clicks, std::vector<std::string>{a.word}) << "left click on " << a.run;
        clicks.clear();
        click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, x, y);
        EXPECT_EQ(clicks, std::vector<std::string>{a.word}) << "right click on " << a.run;
    }
}

TEST_F(CommandRow, AClickBetweenAnchorsOrOffTheTextReportsNothing) {
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    const Drawn& refresh = findRun(runs, "Refresh");
    const Drawn& join = findRun(runs, "Join ");
    ASSERT_LT(refresh.cell.left + refresh.width + 2, join.cell.left);
    const int between = (refresh.cell.left + refresh.width + join.cell.left) / 2;
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, between, refresh.height / 2);
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 3, 9);  // left of the right-aligned row
    EXPECT_TRUE(clicks.empty());
}

TEST_F(CommandRow, ADoubleClickReportsTheAnchorTwice) {
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    const Drawn& r = findRun(runs, "cancel");
    const int x = r.cell.left + r.width / 2, y = r.height / 2;
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, x, y);
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, x, y);
    EXPECT_EQ(clicks, (std::vector<std::string>{"cancel", "cancel"}));
}

TEST_F(CommandRow, HoveringEntersEachAnchorOnceAndLeavesToTheDefaultCursor) {
    std::vector<std::string> events;
    label->OnAnchorEnter = [&](TMarkupLabel&, const std::string& a) { events.push_back("enter " + a); };
    label->OnAnchorExit = [&](TMarkupLabel&, const std::string&) { events.push_back("exit"); };
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    const Drawn& refresh = findRun(runs, "Refresh");
    const Drawn& cancel = findRun(runs, "cancel");
    auto move = [&](int x, int y) {
        post(*form, WM_MOUSEMOVE, 0, label->left() + x, label->top() + y);
        pump();
    };
    move(refresh.cell.left + 2, 8);
    EXPECT_EQ(label->cursor(), Cursor::HandPoint);
    move(refresh.cell.left + 4, 8);  // within the same anchor
    move(cancel.cell.left + 3, 8);
    move(2, 8);  // plain space left of the row
    EXPECT_EQ(label->cursor(), Cursor::Default);
    EXPECT_EQ(events, (std::vector<std::string>{"enter refresh", "enter cancel", "exit"}));
}

TEST_F(CommandRow, AnchorHintsShowTheHrefNextToTheCursorAndFollowTheAnchor) {
    const auto runs = layout(test::kCommandRow, {0, 0, 187, 18});
    const Drawn& refresh = findRun(runs, "Refresh");
    const Drawn& cancel = findRun(runs, "cancel");
    form->hintPause = 30;
    test::Pointer pointer;
    ASSERT_TRUE(pointer.hooked());
    // The real pointer moves, as a user's would: the form is told by the system.
    auto restAt = [&](int x, int y) {
        ASSERT_TRUE(pointer.moveTo(form->handle(), label->left() + x, label->top() + y, [] { pump(); }))
            << "pointer at " << pointer.failedAt().x << "," << pointer.failedAt().y << " over "
            << pointer.failedUnder() << ", the form is " << form->handle();
    };
    // A busy machine may take longer than the pause: rest until the tip shows, up to seconds.
    auto tipShowsAt = [&](int x, int y, const std::string& expected) {
        return pointer.restUntil(form->handle(), label->left() + x, label->top() + y, [] { pump(); },
                                 [&] { return form->shownHint() == expected; });
    };
    label->anchorHint = false;
    restAt(refresh.cell.left + 2, 8);
    for (int i = 0; i < 10; ++i) pump();  // several pauses long
    EXPECT_EQ(form->shownHint(), "");  // no anchor hints, no own hint: nothing

    label->anchorHint = true;
    restAt(2, 8);  // off the anchors first, so the next rest is a new anchor
    EXPECT_TRUE(tipShowsAt(refresh.cell.left + 3, 8, "refresh")) << form->shownHint();
    POINT cursor{label->left() + refresh.cell.left + 3, label->top() + 8};
    ClientToScreen(form->handle(), &cursor);
    const HWND tip = FindWindowA("THintWindow", "refresh");
    ASSERT_TRUE(tip);
    RECT r;
    GetWindowRect(tip, &r);
    EXPECT_EQ(r.left, cursor.x + 10);
    EXPECT_EQ(r.top, cursor.y - 10);

    // Over the next anchor the tip is cancelled and shows that anchor.
    EXPECT_TRUE(tipShowsAt(cancel.cell.left + 3, 8, "cancel")) << form->shownHint();
    // A click puts the tip away.
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, cancel.cell.left + 3, 8);
    EXPECT_EQ(form->shownHint(), "");
    label->anchorHint = false;
    form->hintPause = 500;
    test::Pointer::park();
}

// --- automatic sizing ---

TEST(MarkupLabelWindow, AnAutoSizingLabelTakesTheTextWidthPlusSix) {
    app();
    Form form("Tmarkuptestform", "auto", 300, 100, FormStyle::Dialog);
    form.font.name = "Verdana";
    form.font.height = -9;
    const std::string text = "enter the <b>address</b> of the server";
    TMarkupLabel label(form, 8, 8, 20, 10);
    label.setAutoSizing(true);
    label.setMarkupText({text});
    form.show();
    UpdateWindow(form.handle());
    pump();

    ScreenDC dc;
    GdiSurface s(dc.get(), verdana9(), 0);
    const MarkupResult measured =
        DrawMarkup(s, text, {0, 0, 20 + 65535, 10 + 250}, nullptr, MarkupMode::HitTest, {}, 0xFF0000);
    ASSERT_GT(measured.width, 20);
    EXPECT_EQ(label.width(), measured.width + 6);
    EXPECT_GE(label.height(), measured.height + 6);

    // A shorter text shrinks it again.
    label.setMarkupText({"ok"});
    pump();
    const MarkupResult ok = DrawMarkup(s, "ok", {0, 0, 65535, 250}, nullptr, MarkupMode::HitTest, {}, 0xFF0000);
    EXPECT_EQ(label.width(), ok.width + 6);
}

TEST(MarkupLabelWindow, TwoLinesOfMarkupTextAreOneWord) {
    app();
    Form form("Tmarkuptestform", "join", 200, 60, FormStyle::Dialog);
    TMarkupLabel label(form, 0, 0, 150, 20);
    label.setMarkupText({"<a href=\"x\">x", "y</a>"});
    std::string hit;
    // "xy" is one run: a point near its right end hits it although "y" came from the second line.
    const auto runs = layout(joinMarkupLines(label.markupText()), {0, 0, 150, 20}, Font{});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, "xy");
    EXPECT_EQ(label.AnchorAt(runs[0].cell.left + runs[0].width - 1, runs[0].height / 2), "x");
}

TEST(MarkupLabelWindow, ADestroyedImageListIsDropped) {
    app();
    Form form("Tmarkuptestform", "images", 100, 40, FormStyle::Dialog);
    TMarkupLabel label(form, 0, 0, 90, 30);
    {
        GdiImageList list(ImageList_Create(16, 16, ILC_COLOR24, 1, 1));
        label.setImages(&list);
        EXPECT_EQ(label.images(), &list);
        ImageList_Destroy(list.handle());
    }
    EXPECT_EQ(label.images(), nullptr);
}

// A text that cannot be laid out is reported once, not at every paint and
// mouse move, and is not drawn until the text changes.
TEST(MarkupLabelWindow, AFailingTextIsReportedOnceUntilTheTextChanges) {
    app();
    velmora::testing::MessageBoxWatcher boxes;
    Form form("Tmarkuptestform", "broken", 200, 60, FormStyle::Dialog);
    TMarkupLabel label(form, 0, 0, 150, 20);
    label.setMarkupText({"<a href=\"go\">gogogo</a> <font size=\"x\">big</font>"});
    form.show();
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(form.handle(), nullptr, FALSE);
        UpdateWindow(form.handle());
        post(form, WM_MOUSEMOVE, 0, 3 + i, 5);
        pump();
    }
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"'x' is not a valid integer value"});
    EXPECT_EQ(label.AnchorAt(3, 5), "");

    // A new text is drawn again, and a new failing text is reported again.
    label.setMarkupText({"<a href=\"go\">gogogo</a>"});
    UpdateWindow(form.handle());
    EXPECT_EQ(label.AnchorAt(3, 5), "go");
    label.setMarkupText({"<font size=\"y\">"});
    UpdateWindow(form.handle());
    pump();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"'x' is not a valid integer value",
                                                       "'y' is not a valid integer value"}));
}

// --- a picture of a label ---

using testing::Bgr;
using testing::capture;
using testing::expectGolden;

TEST(MarkupLabelWindow, ScreenshotShowsBoldItalicsColoursAnImageAndAnchors) {
    app();
    InitCommonControls();
    // A 16 x 16 pure green picture in the label's image list.
    HIMAGELIST handle = ImageList_Create(16, 16, ILC_COLOR24, 1, 1);
    {
        ScreenDC screen;
        HDC memory = CreateCompatibleDC(screen.get());
        HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), 16, 16);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        RECT all{0, 0, 16, 16};
        FillRect(memory, &all, green);
        DeleteObject(green);
        SelectObject(memory, previous);
        DeleteDC(memory);
        ImageList_Add(handle, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    GdiImageList list(handle);
    constexpr int width = 260, height = 110;
    Form form("Tmarkuptestform", "markup", width, height, FormStyle::Dialog);
    form.font.name = "Verdana";
    form.font.height = -16;
    TMarkupLabel label(form, 0, 0, width, height);
    label.color = 0x00FFFFFF;
    label.setImages(&list);
    label.setMarkupText({"<b>Bold</b> <i>italic</i> <font color=\"clred\">red</font> ",
                         "<font color=\"#008000\">green</font><br>",
                         "<img src=\"idx:0\" align=\"top\"> <a href=\"go\">Join Game</a> ",
                         "<img src=\"ssys:0\"><br><p align=\"right\"><a href=\"cancel\">cancel</a>"});
    form.show();
    UpdateWindow(form.handle());
    pump();

    const std::vector<Bgr> pixels = capture(form.handle(), width, height, VELMORA_SCREENSHOT);
    auto count = [&](BYTE r, BYTE g, BYTE b) {
        int n = 0;
        for (const Bgr& p : pixels) n += (p.r == r && p.g == g && p.b == b);
        return n;
    };
    EXPECT_GT(count(255, 255, 255), width * height / 2) << "the white label";
    EXPECT_GT(count(255, 0, 0), 10) << "the red word";
    EXPECT_GT(count(0, 128, 0), 10) << "the green word";
    EXPECT_GT(count(0, 0, 255), 20) << "the blue anchors";
    // The picture hangs from the second line's top at the left edge.
    const auto runs = layout(joinMarkupLines(label.markupText()), {0, 0, width, height},
                             Font{"Verdana", -16, false, false, false, false, 0});
    const Drawn& join = findRun(runs, "Join ");
    const int imageTop = join.cell.top;
    EXPECT_EQ(count(0, 255, 0), 16 * 16) << "the image, whole";
    const Bgr corner = pixels[static_cast<size_t>(imageTop) * width + 0];
    EXPECT_EQ(corner.g, 255);
    EXPECT_EQ(corner.r, 0);
    expectGolden(VELMORA_SCREENSHOT, VELMORA_GOLDEN);
}

}  // namespace
}  // namespace velmora
