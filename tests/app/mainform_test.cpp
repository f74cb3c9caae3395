// The main window's game table, links and history, on the real registry, real
// plug-in DLLs and real message boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_win.h"
#include "core/pluginhost_win.h"
#include "base/error.h"
#include "query/playerlist.h"
#include "settings/settingsstore.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "ui/application_win.h"
#include "ui/win32error_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";

// The test plug-ins, built beside this program in testplugins\.
fs::path testplugins() { return fs::path(exefolder()) / "testplugins"; }

class MainformTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!Application::current()) application_ = new Application();
    }
    void SetUp() override {
        deleteUserKey(kRoot);
        folder_ = fs::temp_directory_path() / ("velmora-host-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
    }
    void TearDown() override {
        deleteUserKey(kRoot);
        fs::remove_all(folder_);
    }
    void install(std::initializer_list<const char*> names) {
        for (const char* name : names) fs::copy_file(testplugins() / name, folder_ / "plugins" / name);
    }
    std::string folderText() const { return folder_.string() + "\\"; }
    std::string loadError(Tmainform& form) {
        try {
            form.loadplugins(folderText());
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

    static Application* application_;
    fs::path folder_;
};
Application* MainformTest::application_ = nullptr;

std::vector<std::string> gameids(const Tmainform& form) {
    std::vector<std::string> ids;
    for (const auto& row : form.games()) ids.push_back(row.gameid);
    return ids;
}

void checkImageInvariant(const Tmainform& form) {
    for (size_t i = 0; i < form.games().size(); ++i) EXPECT_EQ(form.games()[i].imageindex, static_cast<int>(i) + 1);
    EXPECT_EQ(ImageList_GetImageCount(form.gameimages()), static_cast<int>(form.games().size()) + 1);
}

}  // namespace

// Every window names a game by its index: the table's order and image indexes
// must be stable, and anything that is not a plug-in must be passed over.
TEST_F(MainformTest, TableHoldsThePlugInsInNameOrderAndSkipsNonPlugIns) {
    install({"gamma.vlm", "alpha.vlm", "alpine.vlm", "nodecode.vlm", "notadll.vlm", "noicon.vlm"});
    fs::create_directories(folder_ / "plugins" / "folder.vlm");
    Tmainform form;
    EXPECT_EQ(loadError(form), "");
    EXPECT_EQ(gameids(form), (std::vector<std::string>{"alp", "alp", "gam", "non"}));
    checkImageInvariant(form);
    const tplugin& alpha = form.games()[0];
    EXPECT_EQ(alpha.gamename, "Alpha Game");
    EXPECT_EQ(alpha.defport, "27500");
    EXPECT_EQ(alpha.sendstr, "\xff\xff\xff\xffgetstatus");
    EXPECT_EQ(alpha.param, "+connect ");
    EXPECT_EQ(alpha.pluginfile, folderText() + "plugins\\alpha.vlm");
    EXPECT_EQ(form.games()[1].gamename, "Alpine Seven");  // id "alpine7" keeps "alp"
    EXPECT_EQ(form.titlelabel.markupText(), std::vector<std::string>{kTitleText});
    // The tray menu lists the games in reverse load order above the fixed items.
    EXPECT_EQ(form.traymenu().items()[0].caption, "No Icon");
    EXPECT_EQ(form.traymenu().items()[3].caption, "Alpha Game");
    EXPECT_EQ(form.traymenu().items()[4].caption, "-");
    // Loading read every game's settings without creating a key.
    EXPECT_FALSE(userKeyExists(kRoot));
}

TEST_F(MainformTest, PlugInsSharingThreeIdCharactersShareOneKey) {
    install({"alpha.vlm", "alpine.vlm"});
    setUserString(kRoot + "\\alp", "history", "127.1.2.3:27500,\"Fri\"127.5.6.7:27501,");
    setUserString(kRoot + "\\alp", "path", "C:\\Games\\alpha.exe");
    Tmainform form;
    EXPECT_EQ(loadError(form), "");
    for (const auto& row : form.games()) {
        EXPECT_EQ(row.history, "127.1.2.3:27500,\"Fri\"127.5.6.7:27501,");
        EXPECT_EQ(row.path, "C:\\Games\\alpha.exe");
    }
    const auto& sub = form.traymenu().items()[0].items;
    ASSERT_EQ(sub.size(), 4u);
    EXPECT_EQ(sub[3].caption, "Fri");
}

// One game's value of the wrong type must not cost the player the games after
// it: it is reported once, and that game loads without the value.
TEST_F(MainformTest, AWronglyTypedValueIsReportedOnceAndLoadingGoesOn) {
    install({"alpha.vlm", "gamma.vlm", "noicon.vlm"});
    const DWORD number = 7;
    setUserValue(kRoot + "\\gam", "path", REG_DWORD, &number, sizeof number);
    setUserString(kRoot + "\\gam", "history", "127.1.2.3:27960,");
    MessageBoxWatcher boxes;
    Tmainform form;
    EXPECT_EQ(loadError(form), "");
    EXPECT_EQ(gameids(form), (std::vector<std::string>{"alp", "gam", "non"}));
    checkImageInvariant(form);
    EXPECT_EQ(form.games()[1].path, "");
    EXPECT_EQ(form.games()[1].history, "127.1.2.3:27960,") << "the readable value still loads";
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Invalid data type for 'path'");
    EXPECT_EQ(form.titlelabel.markupText(), std::vector<std::string>{kTitleText});
}

TEST_F(MainformTest, AnIconSmallerThan16IsRefused) {
    install({"alpha.vlm", "small.vlm"});
    Tmainform form;
    EXPECT_EQ(loadError(form), "Invalid image size");
    EXPECT_EQ(gameids(form), (std::vector<std::string>{"alp"}));
    checkImageInvariant(form);
}

TEST_F(MainformTest, NoPlugInsIsReportedOnceAndTheTableStaysEmpty) {
    MessageBoxWatcher boxes;
    Tmainform form;
    EXPECT_EQ(loadError(form), "");
    EXPECT_TRUE(form.games().empty());
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
    EXPECT_EQ(boxes.messages()[0].text,
              std::string("no plugins found in the plugins folder \\plugins\\\r\n\r\ncheck the folder or goto ") +
                  kMakerAddress + ", and download some!");
    EXPECT_EQ(form.traymenu().items().size(), 6u);
    fs::remove_all(folder_ / "plugins");  // no folder at all: the same
    Tmainform again;
    EXPECT_EQ(loadError(again), "");
    EXPECT_EQ(boxes.messages().size(), 2u);
}

TEST_F(MainformTest, ALinkGoesIntoItsGamesHistoryAndTheMenuShowsWhatIsStored) {
    install({"alpha.vlm", "alpine.vlm", "gamma.vlm"});
    MessageBoxWatcher boxes;
    Tmainform form;
    ASSERT_EQ(loadError(form), "");
    form.openlink("127.1.2.3 gam \"Friday night\"");
    form.openlink("127.5.6.7:27962");  // gamma by port
    EXPECT_EQ(userValue(kRoot + "\\gam", "history"),
              std::string("127.5.6.7:27962,\"Friday night\"127.1.2.3:27960,") + '\0');
    EXPECT_EQ(form.games()[2].history, "127.5.6.7:27962,\"Friday night\"127.1.2.3:27960,");
    // The rebuild opened every game's key with create.
    EXPECT_TRUE(userKeyExists(kRoot + "\\alp"));
    const auto& gammaItem = form.traymenu().items()[0];
    EXPECT_EQ(gammaItem.caption, "Gamma Game");
    ASSERT_EQ(gammaItem.items.size(), 4u);
    EXPECT_EQ(gammaItem.items[2].caption, "127.5.6.7:27962");
    EXPECT_EQ(gammaItem.items[3].caption, "Friday night");
    // Every rebuild reads the stored values back, for every game.
    setUserString(kRoot + "\\alp", "history", "127.9.9.9:27500,");
    form.openlink("127.5.6.7:27962");
    EXPECT_EQ(form.games()[0].history, "127.9.9.9:27500,");
    form.openlink("127.1.2.3 ALP");  // the later of the two "alp" rows wins, with its port
    EXPECT_EQ(form.games()[1].history, "127.1.2.3:27600,127.9.9.9:27500,");
    EXPECT_EQ(form.games()[0].history, form.games()[1].history);
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(MainformTest, AnUnknownGameIsRefusedAndTouchesNothing) {
    install({"alpha.vlm"});
    MessageBoxWatcher boxes;
    Tmainform form;
    ASSERT_EQ(loadError(form), "");
    form.openlink("127.1.2.3:1234 xyz");
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Game cannot be determindeded"}));
    EXPECT_FALSE(userKeyExists(kRoot));
    EXPECT_EQ(form.games()[0].history, "");
}

TEST_F(MainformTest, LinkFilesAreReadByTheirFirstLine) {
    install({"gamma.vlm"});
    Tmainform form;
    ASSERT_EQ(loadError(form), "");
    const fs::path linkfile = folder_ / "friday night server.server";
    std::ofstream(linkfile, std::ios::binary) << "127.1.2.3:27961 gam\r\n127.5.6.7:1 gam\r\n";
    form.openlink(linkfile.string());
    EXPECT_EQ(form.games()[0].history, "127.1.2.3:27961,");

    const fs::path empty = folder_ / "empty.server";
    std::ofstream(empty, std::ios::binary).flush();
    try {
        form.openlink(empty.string());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (0)");
    }
    // A first line whose host is no host is refused with the link and why;
    // nothing is asked or stored.
    const fs::path binary = folder_ / "binary.server";
    std::ofstream(binary, std::ios::binary) << std::string("\xff\xfe\x01:27960 gam\x00zzz", 16);
    MessageBoxWatcher boxes;
    form.openlink(binary.string());
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts().at(0).rfind("This link was not opened:", 0), 0u) << boxes.texts().at(0);
    EXPECT_EQ(form.games()[0].history, "127.1.2.3:27961,");
    EXPECT_EQ(form.queries().size(), 1u) << "only the first link's window";
}

// A read that fails is reported with the system's text, never taken for the
// end of the file. Wine runs on Linux, where reading the start of a process's
// own memory file fails (nothing is mapped at address 0).
TEST_F(MainformTest, AFailingReadOfALinkFileIsReportedWithTheSystemsText) {
    const std::string unreadable = "Z:\\proc\\self\\mem";
    if (GetFileAttributesA(unreadable.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no Linux /proc to read from";
    std::string raised = "(no error)";
    try {
        readlinkfile(unreadable);
    } catch (const Error& e) {
        raised = e.what();
    }
    EXPECT_EQ(raised.rfind("Win32 Error.  Code: ", 0), 0u) << raised;
}

// A plug-in without an icon gets an empty, transparent image: drawn on white it leaves white.
TEST_F(MainformTest, APlugInWithoutAnIconGetsATransparentImage) {
    install({"noicon.vlm"});
    Tmainform form;
    ASSERT_EQ(loadError(form), "");
    ASSERT_EQ(form.games().size(), 1u);
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(ImageList_Draw(form.gameimages(), form.games()[0].imageindex, dc, 0, 0, ILD_NORMAL));
    int notWhite = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) notWhite += GetPixel(dc, x, y) != RGB(255, 255, 255);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_EQ(notWhite, 0);
}

TEST_F(MainformTest, ALaterCopysMessagesAreAnswered) {
    install({"gamma.vlm"});
    Tmainform form;
    ASSERT_EQ(loadError(form), "");
    EXPECT_EQ(SendMessageA(form.handle(), WM_IDENTIFY, 0, 0), kIdentifyAnswer);
    const ATOM atom = GlobalAddAtomA("127.0.0.7:27960 gam");
    ASSERT_NE(atom, 0);
    SendMessageA(form.handle(), WM_OPENLINK, atom, 0);
    // The receiver leaves the atom to its sender.
    char name[64] = {};
    EXPECT_GT(GlobalGetAtomNameA(atom, name, sizeof name), 0u);
    GlobalDeleteAtom(atom);
    EXPECT_EQ(form.games()[0].history, "127.0.0.7:27960,");
}

// The tray icon's removal is a call to the shell in another process, inside
// which a later copy's hand-off runs. When the window goes, that hand-off
// must find it refused instead of a game table and menu already destroyed.
TEST_F(MainformTest, AHandOffWhileTheWindowGoesIsRefused) {
    install({"gamma.vlm"});
    auto form = std::make_unique<Tmainform>();
    ASSERT_EQ(loadError(*form), "");
    const HWND window = form->handle();
    const ATOM atom = GlobalAddAtomA("127.0.0.7:27960 gam");
    ASSERT_NE(atom, 0);
    int removals = 0;
    LRESULT identified = -1;
    form->tray.ShellNotify = [&](DWORD message, NOTIFYICONDATAA& data) {
        if (message == NIM_DELETE) {
            ++removals;
            identified = SendMessageA(window, WM_IDENTIFY, 0, 0);
            SendMessageA(window, WM_OPENLINK, atom, 0);
        }
        return Shell_NotifyIconA(message, &data);
    };
    MessageBoxWatcher boxes;
    form.reset();
    GlobalDeleteAtom(atom);
    EXPECT_EQ(removals, 1) << "the icon is removed while the window goes";
    EXPECT_EQ(identified, 0) << "a window that goes is no running copy";
    EXPECT_EQ(userValue(kRoot + "\\gam", "history"), "") << "no link taken";
    EXPECT_TRUE(boxes.messages().empty());
}

// decodeplayers is optional: the table loads plug-ins with or without it, and
// whatever count a third-party plug-in returns, the host takes at most what it
// asked for and nothing below zero.
TEST_F(MainformTest, TheOptionalPlayersExportIsFoundAndItsCountClamped) {
    install({"alpha.vlm", "players.vlm", "manyplayers.vlm", "negplayers.vlm"});
    Tmainform form;
    EXPECT_EQ(loadError(form), "");
    EXPECT_EQ(gameids(form), (std::vector<std::string>{"alp", "man", "neg", "ply"}));
    const struct {
        const char* file;
        bool hasExport;
        size_t players;
    } cases[] = {{"alpha.vlm", false, 0},
                 {"players.vlm", true, 2},
                 {"manyplayers.vlm", true, static_cast<size_t>(query::kPlayersAsked)},
                 {"negplayers.vlm", true, 0}};
    for (const auto& c : cases) {
        auto library = PluginLibrary::load((folder_ / "plugins" / c.file).string());
        ASSERT_TRUE(library) << c.file;
        EXPECT_TRUE(library->exports().complete()) << c.file;
        EXPECT_EQ(library->exports().decodeplayers != nullptr, c.hasExport) << c.file;
        // Without the master exports a plug-in loads as before, its game without a server list.
        EXPECT_FALSE(library->exports().lists()) << c.file;
        const auto players = query::askplayers(library->exports().decodeplayers, "\xff\xff\xff\xffreply");
        ASSERT_EQ(players.size(), c.players) << c.file;
        if (c.players >= 2) {
            // (past four entries the test plug-in reuses its name buffers)
            if (c.players == 2) {
                EXPECT_EQ(players[0], (query::PlayerEntry{"p0-9", "7", "33", "", "", false}));
            }
            EXPECT_EQ(players[0].score, "7") << c.file;
            EXPECT_EQ(players[1].score, "<b>&5") << "copied as given; the window makes it inert";
            EXPECT_TRUE(players[1].spectator);
        }
    }
}
