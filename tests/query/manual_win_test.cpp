// The manual join dialog under Wine, opened through the main window: the
// opener's fields, the port that follows the game, joining and closing.
#include <windows.h>

#include <gtest/gtest.h>

#include "query/manual_win.h"
#include "query/loading_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/keyboard_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/screenshot_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::Keyboard;

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
    Tmanualform dialog(mainform->gametable(), mainform->gameimages(), nullptr);
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

// The dialog by keyboard: the first Tab enters the fields, Tab and Shift+Tab
// go round address, port and game list; a field reached by Tab has its text
// selected, so typing replaces it; the arrow keys choose a game (the port
// follows); Enter while the list is open only closes the list, Enter then
// joins. Escape is "cancel".
TEST_F(ManualTest, TheKeyboardMovesTheFocusJoinsAndCancels) {
    velmora::test::UdpResponder server(velmora::test::answerWithPrefix);
    const std::string port = std::to_string(server.port());
    Keyboard::releaseModifiers();
    // Off the window: an open list follows the pointer over its items.
    test::Pointer::park();
    Tmanualform& dialog = open(1);
    ASSERT_TRUE(foreground(dialog.handle()));
    const HWND address = dialog.addredit.handle(), portField = dialog.portedit.handle(),
               game = dialog.gamecombo.handle();
    auto focusIs = [](HWND w) { return [w] { return GetFocus() == w; }; };
    const auto press = [](WORD vk, std::vector<WORD> mods = {}) { return Keyboard::key(vk, std::move(mods)); };
    const size_t queriesBefore = mainform->queries().size();
    runSteps({
        {"Tab enters the fields", press(VK_TAB), focusIs(address)},
        {"an address typed over the selected one", [] { Keyboard::type("127.0.0.1"); },
         [&] { return dialog.addredit.text() == "127.0.0.1"; }},
        {"Tab to the port", press(VK_TAB), focusIs(portField)},
        {"Tab to the game list", press(VK_TAB), focusIs(game)},
        {"Tab goes round to the address", press(VK_TAB), focusIs(address)},
        {"Shift+Tab back to the game list", press(VK_TAB, {VK_SHIFT}), focusIs(game)},
        {"Down chooses the next game, the port follows", press(VK_DOWN),
         [&] { return dialog.gamecombo.ItemIndex() == 2 && dialog.portedit.text() == "26000"; }},
        {"Shift+Tab back to the port", press(VK_TAB, {VK_SHIFT}), focusIs(portField)},
        {"a port typed over the selected one", [&] { Keyboard::type(port); },
         [&] { return dialog.portedit.text() == port; }},
        {"Tab to the game list", press(VK_TAB), focusIs(game)},
        {"F4 opens the list", press(VK_F4), [&] { return SendMessageA(game, CB_GETDROPPEDSTATE, 0, 0) != 0; }},
        {"Enter in the open list closes it", press(VK_RETURN),
         [&] { return SendMessageA(game, CB_GETDROPPEDSTATE, 0, 0) == 0; }},
        {"Alt+A (\"&Address\") to the address", press('A', {VK_MENU}), focusIs(address)},
        {"Alt+G (\"&Game\") to the game list", press('G', {VK_MENU}), focusIs(game)},
    });
    if (HasFatalFailure()) return;
    EXPECT_TRUE(dialog.visible()) << "closing the list joins nothing";
    EXPECT_EQ(mainform->queries().size(), queriesBefore);
    EXPECT_EQ(dialog.gamecombo.ItemIndex(), 2);
    EXPECT_EQ(dialog.addredit.text(), "127.0.0.1");

    Keyboard::press(VK_RETURN);
    ASSERT_TRUE(pumpUntil(5000, [&] { return mainform->manualforms().empty(); }));
    ASSERT_EQ(mainform->queries().size(), queriesBefore + 1);
    EXPECT_EQ(mainform->queries().back()->gameIndex, 2);
    EXPECT_EQ(mainform->queries().back()->Label2.text(), "127.0.0.1:" + port + "...");
    EXPECT_EQ(mainform->games()[2].history.rfind("127.0.0.1:" + port + ",", 0), 0u) << mainform->games()[2].history;
    EXPECT_TRUE(pumpUntil(5000, [&] { return server.received().size() == 1; }));
    mainform->queries().back()->close();

    const std::string history = mainform->games()[0].history;
    Tmanualform& second = open(0);
    ASSERT_TRUE(foreground(second.handle()));
    Keyboard::press(VK_TAB);
    ASSERT_TRUE(pumpUntil(5000, focusIs(second.addredit.handle())));
    Keyboard::press(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil(5000, [&] { return mainform->manualforms().empty(); }));
    EXPECT_EQ(mainform->games()[0].history, history) << "Escape records nothing";
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
