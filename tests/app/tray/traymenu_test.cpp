#include <gtest/gtest.h>

#include "app/tray/traymenu.h"

using namespace velmora;

namespace {
std::vector<std::string> captions(const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.caption);
    return out;
}
const std::vector<std::string> kFixed = {"-", "&Find a game...", "&Settings...", "&About...", "-", "&Quit"};
}  // namespace

// The menu is the program's everyday surface: games in reverse load order
// above the fixed items, whatever is rebuilt.
TEST(TrayMenu, GamesStandInReverseLoadOrderAboveTheFixedItems) {
    TrayMenu menu;
    EXPECT_EQ(captions(menu.items()), kFixed);
    menu.addgamemenu("A", 1, {});
    menu.addgamemenu("B", 2, {});
    menu.addgamemenu("C", 3, {});
    std::vector<std::string> expected = {"C", "B", "A"};
    expected.insert(expected.end(), kFixed.begin(), kFixed.end());
    EXPECT_EQ(captions(menu.items()), expected);
    EXPECT_EQ(menu.items()[0].tag, 3);
    EXPECT_EQ(menu.items()[4].action, MenuAction::Findgame);  // above "&Settings..."
    EXPECT_TRUE(menu.items()[6].isDefault);  // "&About..."

    menu.removegameitems();
    EXPECT_EQ(captions(menu.items()), kFixed);
    menu.addgamemenu("A", 1, {"x,"});
    EXPECT_EQ(captions(menu.items()).size(), kFixed.size() + 1);
    EXPECT_EQ(menu.items()[4].action, MenuAction::Showabout);
}

TEST(TrayMenu, SubItemsAreEnterAddressThenTheHistory) {
    TrayMenu menu;
    menu.addgamemenu("Quake", 1, {});
    ASSERT_EQ(menu.items()[0].items.size(), 1u);
    EXPECT_EQ(menu.items()[0].items[0].caption, "Enter address...");
    EXPECT_EQ(menu.items()[0].items[0].tag, -1);

    menu.addgamemenu("Q3", 2, {"\"Friday night\"1.2.3.4:27960", "1.2.3.4:27961"});
    const auto& sub = menu.items()[0].items;
    EXPECT_EQ(captions(sub), (std::vector<std::string>{"Enter address...", "-", "Friday night", "1.2.3.4:27961"}));
    EXPECT_EQ(sub[1].action, MenuAction::None);
    EXPECT_EQ(sub[1].tag, -1);
    EXPECT_EQ(sub[2].tag, 0);
    EXPECT_EQ(sub[2].action, MenuAction::Menutemplate);
}

TEST(TrayMenu, ImagesComeFromNonNegativeTags) {
    TrayMenu menu;
    menu.addgamemenu("Q3", 2, {"h:1"});
    EXPECT_EQ(menuimage(menu.items()[0], -1), 2);           // the game's icon
    EXPECT_EQ(menuimage(menu.items()[0].items[2], -1), 0);  // history entries show the hand
    EXPECT_EQ(menuimage(menu.items()[0].items[0], -1), -1); // "Enter address..." shows none
    EXPECT_EQ(menuimage(menu.items()[2], -1), -1);          // "&Find a game..."
    EXPECT_EQ(menuimage(menu.items()[3], -1), -1);          // "&Settings..."
    EXPECT_EQ(menuimage(menu.items()[4], -1), 0);           // "&About..."
}

TEST(TrayMenu, HistoryEntriesOpenTheirLinkAgain) {
    EXPECT_EQ(historycaption("\"Friday night\"1.2.3.4:27960"), "Friday night");
    EXPECT_EQ(historycaption("1.2.3.4:27960"), "1.2.3.4:27960");
    EXPECT_EQ(historycaption("\"\""), "");
    EXPECT_EQ(historylink("\"Friday night\"1.2.3.4:27960", "bbb"), "1.2.3.4:27960 bbb \"Friday night\"");
    EXPECT_EQ(historylink("1.2.3.4:27960", "bbb"), "1.2.3.4:27960 bbb");
    EXPECT_EQ(historylink("\"", "bbb"), " bbb \"\"");
}
