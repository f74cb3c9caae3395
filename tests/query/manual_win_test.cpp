// The manual join dialog under Wine, opened through the main window: the
// opener's fields, the port that follows the game, joining and closing.
#include <windows.h>

#include <gtest/gtest.h>

#include "query/manual_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/screenshot_win.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

class ManualTest : public GameTableTest {
protected:
    Tmanualform& open(int g) {
        mainform->openmanual(g);
        return *mainform->manualforms().back();
    }
    static void typeInto(EditBox& edit, const std::string& text) {
        SendMessageA(edit.handle(), EM_SETSEL, 0, -1);
        for (char c : text) SendMessageA(edit.handle(), WM_CHAR, static_cast<unsigned char>(c), 0);
    }
};

}  // namespace

TEST_F(ManualTest, OpenedForAGameItShowsThatGameTheBroadcastAddressAndItsPort) {
    Tmanualform& dialog = open(1);
    EXPECT_TRUE(dialog.visible());
    EXPECT_EQ(dialog.caption(), "Join Server");
    EXPECT_EQ(dialog.gamecombo.ItemIndex(), 1);
    EXPECT_EQ(dialog.gamecombo.item(1), "<img src=\"idx:2\" align=\"top\"> Gamma Game");
    EXPECT_EQ(dialog.addredit.text(), "255.255.255.255");
    EXPECT_EQ(dialog.portedit.text(), "27960");
}

TEST_F(ManualTest, WithoutAnOpenerThePlaceholdersStayAndTheFirstGameIsSelected) {
    Tmanualform dialog(mainform->games(), mainform->gameimages(), nullptr);
    EXPECT_EQ(dialog.addredit.text(), "xxx.xxx.xxx.xxx");
    EXPECT_EQ(dialog.portedit.text(), "xxxxx");
    EXPECT_EQ(dialog.gamecombo.ItemIndex(), 0);
}

TEST_F(ManualTest, ChoosingAnotherGameOverwritesThePortAndLeavesTheAddress) {
    Tmanualform& dialog = open(0);
    typeInto(dialog.addredit, "10.1.2.3");
    typeInto(dialog.portedit, "1234");
    SendMessageA(dialog.gamecombo.handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(dialog.gamecombo.ItemIndex(), 1);
    EXPECT_EQ(dialog.portedit.text(), "27960");
    EXPECT_EQ(dialog.addredit.text(), "10.1.2.3");
}

// "go" records the typed server (placeholders and the broadcast address
// included: nothing is checked) and closes; every way of closing releases
// the dialog.
TEST_F(ManualTest, JoiningRecordsTheServerAndEveryCloseReleasesTheDialog) {
    struct Case {
        const char* address;  // null: leave the opener's
        const char* how;      // anchor, or "close box"
        std::string entry;  // empty: nothing recorded
    } cases[] = {
        {"127.0.0.1", "go", "127.0.0.1:27960"},
        {nullptr, "go", "255.255.255.255:27960"},
        {"127.0.0.1", "cancel", ""},
        {"127.0.0.1", "close box", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.how) + " " + (c.address ? c.address : "-"));
        const std::string before = mainform->games()[1].history;
        Tmanualform& dialog = open(1);
        const HWND window = dialog.handle();
        if (c.address) typeInto(dialog.addredit, c.address);
        if (std::string(c.how) == "close box")
            SendMessageA(window, WM_CLOSE, 0, 0);
        else
            clickAnchor(dialog.MarkupLabel1, c.how);
        EXPECT_FALSE(IsWindowVisible(window));
        pump();
        EXPECT_TRUE(mainform->manualforms().empty());
        EXPECT_FALSE(IsWindow(window));
        const std::string after = mainform->games()[1].history;
        EXPECT_EQ(userString(gamekey("gam"), "history"), after);
        if (c.entry.empty())
            EXPECT_EQ(after, before);
        else
            EXPECT_EQ(after.substr(0, c.entry.size() + 1), c.entry + ",");
    }
}

// Only closed dialogs go: one still open stays while another is released.
TEST_F(ManualTest, AnOpenDialogIsKeptWhileAClosedOneIsReleased) {
    Tmanualform& first = open(0);
    Tmanualform& second = open(2);
    clickAnchor(first.MarkupLabel1, "cancel");
    pump();
    ASSERT_EQ(mainform->manualforms().size(), 1u);
    EXPECT_EQ(mainform->manualforms()[0].get(), &second);
    EXPECT_TRUE(second.visible());
}

TEST_F(ManualTest, Screenshot) {
    test::Pointer::park();
    Tmanualform& dialog = open(1);
    pump();
    test::Pointer::leave(dialog.handle());
    pump();
    const std::vector<Bgr> pixels = captureClient(dialog.handle(), VELMORA_SHOT_DIR "/manual-join.bmp");
    EXPECT_GT(countColour(pixels, RGB(0, 0, 255)), 20) << "the blue anchors";
    expectGolden(VELMORA_SHOT_DIR "/manual-join.bmp", VELMORA_GOLDEN_DIR "/manual-join.bmp");
}
