// The markup combo box as a real child window of the system's combo box class
// under Wine: row heights, the open list's height, change events, anchors in
// the selected item, and a picture of the open list.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/markupcombo_win.h"
#include "tests/support/screenshot_win.h"
#include "ui/application_win.h"
#include "ui/form_win.h"

namespace velmora {
namespace {

using testing::Bgr;

Application& app() {
    static Application application;
    return application;
}

void pump() {
    for (int i = 0; i < 5; ++i) {
        app().processMessages();
        Sleep(5);
    }
}

class Host : public Form {
public:
    Host() : Form("Tcombotestform", "combo", 200, 60, FormStyle::Dialog) {}

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        return ChildWindow::reflect(message, wParam, lParam, result);
    }
};

// Three 16 x 16 pictures of pure red, green and blue.
HIMAGELIST colourList() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 3, 0);
    HDC screen = GetDC(nullptr);
    for (COLORREF c : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}) {
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        HBRUSH brush = CreateSolidBrush(c);
        RECT all{0, 0, 16, 16};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        SelectObject(memory, previous);
        DeleteDC(memory);
        ImageList_Add(list, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

class ComboTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        host = std::make_unique<Host>();
        combo = std::make_unique<TMarkupComboBox>(host->handle(), 10, 10, 153, 22);
        combo->setEditHeight(16);
        combo->setDropWidth(153);
        combo->setImages(&images);
        host->show();
        pump();
    }
    void TearDown() override {
        SendMessageA(combo->handle(), CB_SHOWDROPDOWN, FALSE, 0);
        combo.reset();
        host.reset();
        ImageList_Destroy(images.handle());
    }
    bool dropped() const { return SendMessageA(combo->handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }
    // A client point of the selected item over `anchor`, found by the combo's own hit test.
    POINT pointOn(const std::string& anchor) {
        RECT r{};
        GetClientRect(combo->handle(), &r);
        for (int x = 0; x < r.right; ++x)
            if (combo->AnchorAt(x, r.bottom / 2) == anchor) return {x, r.bottom / 2};
        ADD_FAILURE() << "no point over " << anchor;
        return {0, 0};
    }

    GdiImageList images{colourList()};
    std::unique_ptr<Host> host;
    std::unique_ptr<TMarkupComboBox> combo;
};

// Every row has one height, and the open list gets about DropHeight below the
// field (the system trims it to whole rows).
TEST_F(ComboTest, EditHeightSizesFieldAndRowsAndTheOpenListGetsDropHeight) {
    for (int i = 0; i < 30; ++i) combo->addItem("item");
    EXPECT_EQ(SendMessageA(combo->handle(), CB_GETITEMHEIGHT, 0, 0), 16);
    combo->setEditHeight(24);
    EXPECT_EQ(SendMessageA(combo->handle(), CB_GETITEMHEIGHT, 0, 0), 24);
    combo->setEditHeight(16);
    EXPECT_EQ(SendMessageA(combo->handle(), CB_GETITEMHEIGHT, 0, 0), 16);
    // The closed field follows the edit height (Wine counts 2 pixels of padding in it).
    const RECT closed = combo->boundsRect();
    EXPECT_LE(closed.bottom - closed.top, combo->EditHeight() + 6);
    EXPECT_EQ(combo->DropWidth(), 153);
    for (int drop : {200, 100}) {
        combo->DropHeight = drop;
        SendMessageA(combo->handle(), CB_SHOWDROPDOWN, TRUE, 0);
        ASSERT_TRUE(dropped());
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(combo->handle(), &info));
        RECT list{};
        GetWindowRect(info.hwndList, &list);
        EXPECT_GT(list.bottom - list.top, drop - 16 - 8) << drop;
        EXPECT_LE(list.bottom - list.top, drop + 4) << drop;
        SendMessageA(combo->handle(), CB_SHOWDROPDOWN, FALSE, 0);
    }
}

// Windows select a game by index without the handler that overwrites fields.
TEST_F(ComboTest, SelectingByIndexFiresNoChangeButThePlayersPickDoes) {
    for (const char* name : {"a", "b", "c"}) combo->addItem(name);
    int changes = 0;
    combo->OnChange = [&](TMarkupComboBox&) { ++changes; };
    combo->setItemIndex(1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(changes, 0);
    SendMessageA(combo->handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(changes, 1);
}

// A click on an anchor of the selected item is reported and keeps the list
// closed; anywhere else, or with nothing selected, the list drops down.
TEST_F(ComboTest, AClickOnTheSelectedItemsAnchorIsReportedInsteadOfDroppingDown) {
    combo->addItem("x");
    combo->addItem("<a href=\"edit\">edit</a> <a href=\"http://example.org/\">web</a>");
    struct Case {
        int index;
        bool onAnchor;
        bool reported;
        bool drops;
    } cases[] = {{1, true, true, false}, {1, false, false, true}, {-1, false, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.index << " " << c.onAnchor);
        combo->setItemIndex(c.index);
        std::vector<std::pair<int, std::string>> clicks;
        combo->OnAnchorClick = [&](TMarkupComboBox&, int i, const std::string& a) { clicks.push_back({i, a}); };
        const POINT p = c.onAnchor ? pointOn("edit") : POINT{150 - 20, 8};
        SendMessageA(combo->handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageA(combo->handle(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        EXPECT_EQ(dropped(), c.drops);
        EXPECT_EQ(clicks.size(), c.reported ? 1u : 0u);
        if (c.reported && !clicks.empty()) {
            EXPECT_EQ(clicks[0], (std::pair<int, std::string>{1, "edit"}));
        }
        SendMessageA(combo->handle(), CB_SHOWDROPDOWN, FALSE, 0);
        pump();
    }
}

// Over an anchor the cursor is the hand and OnAnchorEnter fires on every move.
TEST_F(ComboTest, MovingOverAnAnchorShowsTheHandAndReportsIt) {
    combo->addItem("<a href=\"edit\">edit</a> plain text here");
    combo->setItemIndex(0);
    std::vector<std::string> entered;
    combo->OnAnchorEnter = [&](TMarkupComboBox&, int, const std::string& a) { entered.push_back(a); };
    const POINT on = pointOn("edit");
    const HCURSOR hand = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    for (int i = 0; i < 2; ++i) SendMessageA(combo->handle(), WM_MOUSEMOVE, 0, MAKELPARAM(on.x, on.y));
    EXPECT_EQ(entered, (std::vector<std::string>{"edit", "edit"}));
    EXPECT_EQ(GetCursor(), hand);
    SendMessageA(combo->handle(), WM_MOUSEMOVE, 0, MAKELPARAM(120, on.y));
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(entered.size(), 2u);
}

// The open list draws each game's picture at the row's left edge and its name
// after it; the selected row on the highlight colour.
TEST_F(ComboTest, TheOpenListDrawsPictureAndNamePerRow) {
    for (const char* name : {"Quake 1", "QuakeWorld", "Quake III Arena"})
        combo->addItem("<img src=\"idx:" + std::to_string(combo->itemCount()) + "\" align=\"top\"> " + name);
    combo->setItemIndex(1);
    combo->setFocus();
    SendMessageA(combo->handle(), CB_SHOWDROPDOWN, TRUE, 0);
    pump();
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo->handle(), &info));
    RedrawWindow(info.hwndList, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    pump();
    const std::vector<Bgr> pixels = testing::captureClient(info.hwndList, VELMORA_SHOT_DIR "/markup-combo.bmp");
    RECT client{};
    GetClientRect(info.hwndList, &client);
    for (COLORREF c : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)})
        EXPECT_EQ(testing::countColour(pixels, c), 16 * 16) << "each picture whole, once";
    // The first picture sits at the left edge of the first row.
    EXPECT_EQ(pixels[0].r, 255);
    EXPECT_GT(testing::countColour(pixels, GetSysColor(COLOR_HIGHLIGHT)), 100) << "the selected row";
    testing::expectGolden(VELMORA_SHOT_DIR "/markup-combo.bmp", VELMORA_GOLDEN_DIR "/markup-combo.bmp");
}

}  // namespace
}  // namespace velmora
