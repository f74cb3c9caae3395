// The settings window under Wine: its game list, the path field stored at
// every keystroke, the master servers' field, the join step's "Game Paths"
// entry, the first-run greeting, browsing, the two desktop actions with their
// failure rule, and pictures of both pages.
#include <windows.h>
#include <aclapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "core/plugincalls.h"
#include "settings/gamestore_win.h"
#include "settings/associations.h"
#include "settings/associations_win.h"
#include "settings/settingsform_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/keyboard_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/screenshot_win.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr char kTestClasses[] = "Software\\VelmoraTest\\Classes\\";
constexpr char kTestMerged[] = "Software\\VelmoraTest\\Merged";

class SettingsTest : public GameTableTest {
protected:
    void SetUp() override {
        GameTableTest::SetUp();
        if (HasFatalFailure()) return;
        form = std::make_unique<Tsettingsform>(mainform->gametable(), mainform->gameimages());
        mainform->settingsform = form.get();
    }
    void TearDown() override {
        form.reset();
        GameTableTest::TearDown();
    }
    void type(const std::string& text) {
        for (char c : text) SendMessageA(form->pathedit.handle(), WM_CHAR, static_cast<unsigned char>(c), 0);
    }
    std::unique_ptr<Tsettingsform> form;
};


}  // namespace

TEST_F(SettingsTest, TheGameListHasEachGamesPictureAndNameWithTheFirstSelected) {
    EXPECT_EQ(form->gamecombo.itemCount(), 3);
    EXPECT_EQ(form->gamecombo.item(0), "<img src=\"idx:1\" align=\"top\"> Alpha Game");
    EXPECT_EQ(form->gamecombo.item(2), "<img src=\"idx:3\" align=\"top\"> No Icon");
    EXPECT_EQ(form->gamecombo.ItemIndex(), 0);
    EXPECT_EQ(form->pathedit.text(), "");
    EXPECT_EQ(form->pages.activeTab(), 0);
}

// The join step reads the game table: every keystroke must reach it and the registry.
TEST_F(SettingsTest, TypingAPathStoresEveryIntermediateTextAndDeletingStoresEmpty) {
    form->gamecombo.setItemIndex(1);
    const std::string path = "C:\\q\\g.exe";
    for (size_t n = 1; n <= path.size(); ++n) {
        type(path.substr(n - 1, 1));
        EXPECT_EQ(storedPath(1), path.substr(0, n));
        EXPECT_EQ(mainform->games()[1].path, path.substr(0, n));
    }
    SendMessageA(form->pathedit.handle(), EM_SETSEL, 0, -1);
    type("\b");
    EXPECT_TRUE(userKeyExists(gamekey("gam")));
    EXPECT_EQ(storedPath(1), "");
    EXPECT_EQ(mainform->games()[0].path, "") << "the other game is untouched";
    EXPECT_FALSE(userKeyExists(gamekey("alp")));
}

TEST_F(SettingsTest, PickingAGameShowsItsPath) {
    mainform->gametable().setpath(1, "C:\\gamma.exe");
    SendMessageA(form->gamecombo.handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(form->gamecombo.ItemIndex(), 1);
    EXPECT_EQ(form->pathedit.text(), "C:\\gamma.exe");
}

// The join step for a game without a path, while the field shows another
// game's path: the field empties (storing the chosen game's empty path) and
// the page is "Game Paths".
TEST_F(SettingsTest, ShowGamePathsLandsOnGamePathsWithThatGameSelected) {
    mainform->gametable().setpath(0, "C:\\alpha.exe");
    form->loadpath();
    ASSERT_EQ(form->pathedit.text(), "C:\\alpha.exe");
    int changes = 0;
    form->gamecombo.OnChange = [&](TMarkupComboBox&) { ++changes; };
    form->showgamepaths(2);
    EXPECT_TRUE(form->visible());
    EXPECT_EQ(form->pages.activeTab(), 1);
    EXPECT_TRUE(IsWindowVisible(form->pathspage.handle()));
    EXPECT_FALSE(IsWindowVisible(form->vlmsheet.handle()));
    EXPECT_EQ(form->gamecombo.ItemIndex(), 2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(form->pathedit.text(), "");
    EXPECT_TRUE(userKeyExists(gamekey("non")));
    EXPECT_EQ(mainform->games()[0].path, "C:\\alpha.exe");
}

// Greeting once: a later showing (the join step's) keeps its page.
TEST_F(SettingsTest, TheFirstRunGreetingIsShownOnceOnTheFirstPage) {
    MessageBoxWatcher boxes;
    form->pages.setActiveTab(1);
    form->firstrun = true;
    form->show();
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{kFirstRunGreeting}));
    EXPECT_EQ(form->pages.activeTab(), 0);
    clickAnchor(form->MarkupLabel1, "done");
    EXPECT_FALSE(form->visible());
    form->showgamepaths(1);
    form->doclicks("done");
    form->show();
    pump();
    EXPECT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(form->pages.activeTab(), 1);
}

// The window by keyboard: the first Tab reaches the page strip, whose arrow
// keys turn the pages; on "Game Paths" Tab goes round path field, game list
// and strip, and Shift+Tab back; typing in the field stores the path;
// Ctrl+Tab and Ctrl+Shift+Tab turn the pages and take the focus off a page
// that goes; Escape hides the window, the next showing gives the focus back,
// and Enter is "Done".
TEST_F(SettingsTest, TheKeyboardMovesTheFocusTurnsThePagesAndCloses) {
    using test::Keyboard;
    MessageBoxWatcher boxes;
    mainform->gametable().setpath(1, "C:\\gamma.exe");
    Keyboard::releaseModifiers();
    test::Pointer::park();
    form->show();
    ASSERT_TRUE(foreground(form->handle()));
    const HWND strip = form->pages.handle(), path = form->pathedit.handle(), game = form->gamecombo.handle(),
               watch = form->watchcombo.handle();
    auto focusIs = [](HWND w) { return [w] { return GetFocus() == w; }; };
    auto pageIs = [&](int page, HWND focus) {
        return [this, page, focus] { return form->pages.activeTab() == page && GetFocus() == focus; };
    };
    const auto press = [](WORD vk, std::vector<WORD> mods = {}) { return Keyboard::key(vk, std::move(mods)); };
    runSteps({
        {"Tab reaches the watcher's minutes", press(VK_TAB), focusIs(watch)},
        {"Tab on the first page goes round to the strip", press(VK_TAB), focusIs(strip)},
        {"Right turns to Game Paths", press(VK_RIGHT), pageIs(1, strip)},
        {"Tab to the path field", press(VK_TAB), focusIs(path)},
        {"a path typed is stored", [] { Keyboard::type("C:\\g.exe"); },
         [&] { return storedPath(0) == "C:\\g.exe" && mainform->games()[0].path == "C:\\g.exe"; }},
        {"Tab to the game list", press(VK_TAB), focusIs(game)},
        {"Down picks the next game and shows its path", press(VK_DOWN),
         [&] { return form->gamecombo.ItemIndex() == 1 && form->pathedit.text() == "C:\\gamma.exe"; }},
        {"Tab goes round to the strip", press(VK_TAB), focusIs(strip)},
        {"Shift+Tab back to the game list", press(VK_TAB, {VK_SHIFT}), focusIs(game)},
        {"Ctrl+Tab turns to the first page, the focus to the strip", press(VK_TAB, {VK_CONTROL}),
         pageIs(0, strip)},
        {"Ctrl+Shift+Tab turns back", press(VK_TAB, {VK_CONTROL, VK_SHIFT}), pageIs(1, strip)},
        {"Tab to the path field", press(VK_TAB), focusIs(path)},
        {"Escape hides", press(VK_ESCAPE), [&] { return !form->visible(); }},
    });
    if (HasFatalFailure()) return;
    form->show();
    ASSERT_TRUE(foreground(form->handle()));
    ASSERT_TRUE(pumpUntil(5000, focusIs(path))) << "the focus comes back to the path field";
    Keyboard::press(VK_RETURN);
    EXPECT_TRUE(pumpUntil(5000, [&] { return !form->visible(); })) << "Enter is Done";
    EXPECT_EQ(storedPath(0), "C:\\g.exe");
    EXPECT_TRUE(boxes.messages().empty());
}

// Only a file that exists is taken from the dialog; it gets the field's text first.
TEST_F(SettingsTest, BrowseTakesAnExistingFileOnly) {
    const std::string existing = (folder_ / "game.exe").string();
    std::ofstream(existing) << "x";
    struct Case {
        std::optional<std::string> chosen;
        std::string field;
    } cases[] = {{existing, existing}, {(folder_ / "missing.exe").string(), existing}, {std::nullopt, existing}};
    for (const Case& c : cases) {
        std::string initial;
        form->opendialog = [&](const std::string& i) {
            initial = i;
            return c.chosen;
        };
        const std::string before = form->pathedit.text();
        clickAnchor(form->MarkupLabel2, "browse");
        EXPECT_EQ(initial, before);
        EXPECT_EQ(form->pathedit.text(), c.field);
    }
    EXPECT_EQ(storedPath(0), existing);
}

TEST_F(SettingsTest, TheBrowseDialogIsTheSystemsFileDialogTitledFindTheGame) {
    MessageBoxWatcher dialogs;  // presses the dialog's OK ("Open") button
    const std::string initial = (folder_ / "quake.exe").string();
    const std::optional<std::string> chosen = findgamedialog(form->handle(), initial);
    ASSERT_TRUE(dialogs.waitFor(1));
    EXPECT_EQ(dialogs.messages()[0].caption, "Find the game");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, initial);
}

class DesktopActionsTest : public SettingsTest {
protected:
    void SetUp() override {
        deleteClasses();
        SettingsTest::SetUp();
    }
    void TearDown() override {
        SettingsTest::TearDown();
        deleteClasses();
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelmoraTest");
        SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
    }
};

// Both actions confirm, and HKEY_CLASSES_ROOT (where the shell looks) shows
// the open command with the executable's quoted path.
TEST_F(DesktopActionsTest, FixAndRunAtStartupWriteQuotedPathsAndConfirm) {
    MessageBoxWatcher boxes;
    clickAnchor(form->aboutlabel, "fix");
    clickAnchor(form->aboutlabel, "dostartup");
    ASSERT_TRUE(boxes.waitFor(2));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Fixed Associations.", "made Startup shortcut (in the registry)"}));
    const std::string exe = exepath();
    for (const ClassesValue& v : associationvalues(exe)) {
        if (v.binary) continue;
        SCOPED_TRACE(v.key + "/" + v.name);
        EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, v.key, v.name), v.data);
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, kUserClassesKey + v.key, v.name), v.data);
    }
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, "VelmoraFile\\shell\\open\\command", ""), "\"" + exe + "\" %1");
    DWORD type = 0;
    EXPECT_EQ(userValue("Software\\Classes\\VelmoraFile", "EditFlags", &type), std::string("\0\0\1\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(rootString(HKEY_CURRENT_USER, kRunKey, kRunValue), "\"" + exe + "\"");
}

// The merged root is written only where it does not already show the per-user
// open command; the decision reads it back.
TEST_F(DesktopActionsTest, TheMergedRootIsWrittenOnlyWhereItLacksTheOpenCommand) {
    const std::string exe = "C:\\Some Where\\velmora.exe";
    struct Case {
        bool showsCommand;
        std::string vlmType;
    } cases[] = {{false, "VelmoraPlugin"}, {true, "<missing>"}};
    for (const Case& c : cases) {
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelmoraTest");
        HKEY merged = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, kTestMerged, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &merged, nullptr);
        if (c.showsCommand)
            SHSetValueA(merged, kLinkCommandKey, nullptr, REG_SZ, linkopencommand(exe).c_str(),
                        static_cast<DWORD>(linkopencommand(exe).size() + 1));
        fixassociations(exe, kTestClasses, merged);
        EXPECT_EQ(rootString(merged, ".vlm", ""), c.vlmType);
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, std::string(kTestClasses) + ".vlm", ""), "VelmoraPlugin");
        RegCloseKey(merged);
    }
}

namespace {
// Denies everyone setting values in the per-user key (deleting it stays
// allowed); false where the registry does not enforce the access list.
bool refuseValuesIn(const std::string& key) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS)
        return false;
    EXPLICIT_ACCESSA deny{};
    deny.grfAccessPermissions = KEY_SET_VALUE;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    deny.Trustee.ptstrName = const_cast<char*>("EVERYONE");
    PACL acl = nullptr;
    SetEntriesInAclA(1, &deny, nullptr, &acl);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(opened);
    LocalFree(acl);
    HKEY probe = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &probe) != ERROR_SUCCESS) return true;
    RegCloseKey(probe);
    return false;
}
}  // namespace

// A key the player may not write: the error names the value, the action stops
// there (what came before stays, what comes after is not written), and no
// confirmation follows.
TEST_F(DesktopActionsTest, ARefusedWriteIsReportedAndStopsTheAction) {
    const struct {
        const char* anchor;
        const char* refusedKey;
        const char* writtenKey;  // a value written before the refused one
        const char* writtenName;
        const char* writtenData;
        const char* laterKey;  // a key written after it
    } cases[] = {
        {"fix", "VelmoraFile", ".server", "Content Type", "application/Velmora", ".vlm"},
        {"dolinks", "quake2", "qw", "", "URL:QuakeWorld Server", "quake3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.anchor);
        deleteClasses();
        if (!refuseValuesIn(std::string(kUserClassesKey) + c.refusedKey))
            GTEST_SKIP() << "this registry does not enforce the key's access list";
        MessageBoxWatcher boxes;
        clickAnchor(form->aboutlabel, c.anchor);
        ASSERT_TRUE(boxes.waitFor(1));
        pump();
        EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Failed to set data for ''"}));
        EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, kUserClassesKey + std::string(c.writtenKey), c.writtenName),
                  c.writtenData);
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, kUserClassesKey + std::string(c.laterKey), ""), "<missing>");
    }
    deleteClasses();
    EXPECT_FALSE(userKeyExists("Software\\Classes\\VelmoraFile")) << "later tests find no refused key";
    EXPECT_FALSE(userKeyExists("Software\\Classes\\quake2"));
}

// The three schemes are registered per user and, where the shell reads them
// (HKEY_CLASSES_ROOT), with the quoted path and quoted link; then confirmed.
TEST_F(DesktopActionsTest, OpenGameLinksRegistersTheThreeSchemesAndConfirms) {
    MessageBoxWatcher boxes;
    clickAnchor(form->aboutlabel, "dolinks");
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{kWebLinksRegistered}));
    const std::string exe = exepath();
    for (const ClassesValue& v : weblinkvalues(exe)) {
        SCOPED_TRACE(v.key + "/" + v.name);
        EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, v.key, v.name), v.data);
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, kUserClassesKey + v.key, v.name), v.data);
    }
    for (const char* scheme : {"qw", "quake2", "quake3"})
        EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, std::string(scheme) + "\\shell\\open\\command", ""),
                  "\"" + exe + "\" \"%1\"");
    DWORD type = REG_NONE;
    EXPECT_EQ(userValue("Software\\Classes\\quake3", "URL Protocol", &type), std::string(1, '\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, ".server", ""), "<missing>") << "the file types are another action";
}

// As for the file types: the merged root is written only where it does not
// already show the per-user open command.
TEST_F(DesktopActionsTest, WebLinksGoToTheMergedRootOnlyWhereItLacksTheirOpenCommand) {
    const std::string exe = "C:\\Some Where\\velmora.exe";
    for (const bool showsCommand : {false, true}) {
        SCOPED_TRACE(showsCommand);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelmoraTest");
        HKEY merged = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, kTestMerged, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &merged, nullptr);
        if (showsCommand)
            SHSetValueA(merged, kWebLinkCommandKey, nullptr, REG_SZ, weblinkopencommand(exe).c_str(),
                        static_cast<DWORD>(weblinkopencommand(exe).size() + 1));
        registerweblinks(exe, kTestClasses, merged);
        EXPECT_EQ(rootString(merged, "quake3", ""), showsCommand ? "<missing>" : "URL:Quake III Server");
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, std::string(kTestClasses) + "quake3\\shell\\open\\command", ""),
                  "\"" + exe + "\" \"%1\"");
        RegCloseKey(merged);
    }
}

// Pictures of both pages, with the three games' pictures in the list.
TEST_F(SettingsTest, ScreenshotsOfBothPages) {
    MessageBoxWatcher boxes;
    mainform->gametable().setpath(1, "C:\\Games\\Gamma\\gamma.exe");
    test::Pointer::park();
    form->show();
    pump();
    test::Pointer::leave(form->handle());
    pump();
    const std::vector<Bgr> first = captureClient(form->handle(), VELMORA_SHOT_DIR "/settings-velmora.bmp");
    EXPECT_GT(countColour(first, RGB(0, 0, 255)), 30) << "the blue anchors";
    expectGolden(VELMORA_SHOT_DIR "/settings-velmora.bmp", VELMORA_GOLDEN_DIR "/settings-velmora.bmp");
    form->showgamepaths(1);
    test::Pointer::leave(form->handle());
    pump();
    captureClient(form->handle(), VELMORA_SHOT_DIR "/settings-gamepaths.bmp");
    expectGolden(VELMORA_SHOT_DIR "/settings-gamepaths.bmp", VELMORA_GOLDEN_DIR "/settings-gamepaths.bmp");
    EXPECT_TRUE(boxes.messages().empty());
}

// The watcher's rows store "watch" from the list of minutes and turn
// "notify" on and off; each change tells the program.
TEST_F(SettingsTest, TheWatchRowsStoreIntervalAndNotifications) {
    const std::string root = "software\\Drovik\\Velmora";
    int changes = 0;
    form->OnWatchChange = [&] { ++changes; };
    EXPECT_EQ(form->watchcombo.itemCount(), 5);
    EXPECT_EQ(form->watchcombo.item(0), "0");
    EXPECT_EQ(form->watchcombo.item(4), "10");
    EXPECT_EQ(form->watchcombo.ItemIndex(), 2) << "missing means two minutes";
    const struct {
        WPARAM key;
        const char* stored;
    } steps[] = {{VK_DOWN, "5"}, {VK_DOWN, "10"}, {VK_HOME, "0"}, {VK_DOWN, "1"}};
    for (const auto& s : steps) {
        SendMessageA(form->watchcombo.handle(), WM_KEYDOWN, s.key, 0);
        EXPECT_EQ(userValue(root, "watch"), std::string(s.stored) + '\0');
    }
    EXPECT_EQ(changes, 4);
    const auto notifyText = [&] { return form->watchlabel.markupText().back(); };
    EXPECT_NE(notifyText().find(">on</a>"), std::string::npos);
    clickAnchor(form->watchlabel, "notify");
    EXPECT_EQ(userValue(root, "notify"), std::string("0") + '\0');
    EXPECT_NE(notifyText().find(">off</a>"), std::string::npos);
    clickAnchor(form->watchlabel, "notify");
    EXPECT_EQ(userValue(root, "notify"), std::string("1") + '\0');
    EXPECT_EQ(changes, 6);
    // A new window shows what is stored.
    setUserString(root, "watch", "10");
    Tsettingsform again(mainform->gametable(), mainform->gameimages());
    EXPECT_EQ(again.watchcombo.ItemIndex(), 4);
}

namespace {
const char* VELMORA_CALL mastersendstr() { return "\xFF\xFF\xFF\xFFgetservers"; }
int VELMORA_CALL decodenomaster(MasterEntry*, int, const char*, int, int*) { return 0; }

// A game table of its own on the registry, so its rows can say whether their
// plug-in lists servers: alp lists (defaults from its plug-in), gam was made
// without a library (a stored list of the player's), non cannot be listed.
class MastersFieldTest : public GameTableTest {
protected:
    static constexpr const char* kAlphaDefaults = "alpha.master.test:27950 alpha.backup.test:27950";
    void SetUp() override {
        GameTableTest::SetUp();
        if (HasFatalFailure()) return;
        setUserString(gamekey("gam"), "masters", "mine.test:27900");
        auto lists = std::make_shared<PluginCalls>();
        lists->getmastersendstr = mastersendstr;
        lists->decodemaster = decodenomaster;
        const struct {
            const char* id;
            const char* name;
            const char* defaults;
            std::shared_ptr<const PluginCalls> calls;
        } rows[] = {{"alp", "Alpha Game", kAlphaDefaults, lists},
                    {"gam", "Gamma Game", "gamma.master.test:27900", nullptr},
                    {"non", "No Icon", "", std::make_shared<PluginCalls>()}};
        for (const auto& r : rows) {
            tplugin row;
            row.gameid = r.id;
            row.gamename = r.name;
            row.defaultmasters = r.defaults;
            row.calls = r.calls;
            ASSERT_EQ(table.add(row), "");
        }
        form = std::make_unique<Tsettingsform>(table, mainform->gameimages());
    }
    void TearDown() override {
        form.reset();
        GameTableTest::TearDown();
    }
    void type(const std::string& text) {
        for (char c : text) SendMessageA(form->masteredit.handle(), WM_CHAR, static_cast<unsigned char>(c), 0);
    }
    void pick(WPARAM key) { SendMessageA(form->gamecombo.handle(), WM_KEYDOWN, key, 0); }
    // "masters" of the game key as the registry has it; nothing when missing.
    static std::optional<std::string> storedMasters(const char* id) {
        DWORD type = REG_NONE;
        const std::string raw = userValue(gamekey(id), "masters", &type);
        if (type == REG_NONE) return std::nullopt;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        return raw.substr(0, raw.find('\0'));
    }
    bool fieldEnabled() const { return IsWindowEnabled(form->masteredit.handle()) != FALSE; }

    RegistryGameStore store;
    GameTable table{store};
    std::unique_ptr<Tsettingsform> form;
};
}  // namespace

// The field shows the selected game's list from the start and follows the
// game list: the plug-in's defaults, the player's stored list, and for a game
// that cannot be listed a disabled field; showing stores nothing.
TEST_F(MastersFieldTest, TheFieldShowsTheSelectedGamesMastersAndFollowsTheGameList) {
    EXPECT_EQ(form->masteredit.text(), kAlphaDefaults);
    EXPECT_TRUE(fieldEnabled());
    EXPECT_TRUE(form->defaultslabel.enabled());
    pick(VK_DOWN);
    ASSERT_EQ(form->gamecombo.ItemIndex(), 1);
    EXPECT_EQ(form->masteredit.text(), "mine.test:27900");
    EXPECT_TRUE(fieldEnabled()) << "a row without a library keeps its list";
    pick(VK_DOWN);
    ASSERT_EQ(form->gamecombo.ItemIndex(), 2);
    EXPECT_EQ(form->masteredit.text(), "");
    EXPECT_FALSE(fieldEnabled());
    EXPECT_FALSE(form->defaultslabel.enabled());
    pick(VK_HOME);
    EXPECT_EQ(form->masteredit.text(), kAlphaDefaults);
    EXPECT_TRUE(fieldEnabled());
    form->showgamepaths(1);
    EXPECT_EQ(form->masteredit.text(), "mine.test:27900");
    const HWND page = form->pathspage.handle();
    EXPECT_EQ(GetNextDlgTabItem(page, form->gamecombo.handle(), FALSE), form->masteredit.handle())
        << "Tab goes from the game list to the field";
    EXPECT_EQ(storedMasters("alp"), std::nullopt) << "the defaults shown are not stored";
    EXPECT_FALSE(table.mastersset(0));
    EXPECT_EQ(storedMasters("non"), std::nullopt);
    EXPECT_EQ(storedMasters("gam"), "mine.test:27900");
}

// Every keystroke stores the list, normalised, without rewriting what is
// being typed; emptying stores "no list"; "defaults" removes the value and
// shows the plug-in's list again.
TEST_F(MastersFieldTest, TypingStoresTheListAndDefaultsRemovesIt) {
    SendMessageA(form->masteredit.handle(), EM_SETSEL, 0, -1);
    type("\b");
    EXPECT_EQ(storedMasters("alp"), "") << "an emptied field is no list";
    EXPECT_EQ(table.at(0).masters, "");
    const std::string typed = "a.test:1, b.test:2";
    for (size_t n = 1; n <= typed.size(); ++n) {
        type(typed.substr(n - 1, 1));
        EXPECT_EQ(storedMasters("alp"), normalisemasters(typed.substr(0, n)));
    }
    EXPECT_EQ(form->masteredit.text(), typed);
    EXPECT_EQ(storedMasters("alp"), "a.test:1 b.test:2");
    EXPECT_EQ(table.at(0).masters, "a.test:1 b.test:2");
    EXPECT_TRUE(table.mastersset(0));

    clickAnchor(form->defaultslabel, "defaults");
    EXPECT_EQ(storedMasters("alp"), std::nullopt);
    EXPECT_EQ(form->masteredit.text(), kAlphaDefaults);
    EXPECT_EQ(table.at(0).masters, kAlphaDefaults);
    EXPECT_FALSE(table.mastersset(0));
    EXPECT_TRUE(userKeyExists(gamekey("alp"))) << "only the value goes";

    pick(VK_DOWN);
    clickAnchor(form->defaultslabel, "defaults");
    EXPECT_EQ(storedMasters("gam"), std::nullopt);
    EXPECT_EQ(form->masteredit.text(), "gamma.master.test:27900");
    EXPECT_EQ(storedMasters("alp"), std::nullopt) << "the other game is untouched";
}

// The game that cannot be listed has nothing to click: its "defaults" is no anchor.
TEST_F(MastersFieldTest, AGameWithoutAMasterQueryHasNoDefaultsAnchor) {
    form->showgamepaths(2);
    for (int y = 0; y < form->defaultslabel.height(); ++y)
        for (int x = 0; x < form->defaultslabel.width(); ++x) ASSERT_EQ(form->defaultslabel.AnchorAt(x, y), "");
    EXPECT_NE(GetNextDlgTabItem(form->pathspage.handle(), form->gamecombo.handle(), FALSE),
              form->masteredit.handle())
        << "Tab passes over the disabled field";
    form->showgamepaths(0);
    EXPECT_NO_FATAL_FAILURE(anchorPoint(form->defaultslabel, "defaults"));
}
