// The tray menu as data: one item per game above the fixed items, each with
// "Enter address..." and the game's recent servers. The Win32 popup is built
// from this model each time it opens.
#pragma once
#include <string>
#include <vector>

namespace velmora {

enum class MenuAction { None, Menutemplate, Findgame, Showsettings, Showabout, Quit };

struct MenuItem {
    std::string caption;  // "-" is a separator
    int tag = 0;          // top level: >= 0 a game item (its image index); < 0 a fixed item
    MenuAction action = MenuAction::None;
    bool isDefault = false;
    std::vector<MenuItem> items;
};

inline constexpr char kEnterAddress[] = "Enter address...";

class TrayMenu {
public:
    // The fixed items: separator, "&Find a game...", "&Settings...",
    // "&About..." (default, tag 0), separator, "&Quit".
    TrayMenu();

    const std::vector<MenuItem>& items() const { return items_; }

    // Inserts the game's item first: games added in table order are listed
    // in reverse table order.
    void addgamemenu(const std::string& name, int imageindex, const std::vector<std::string>& entries);
    // Removes the game items from the top, up to the first fixed item.
    void removegameitems();

private:
    void addsubitem(const std::string& text, size_t position, int tag, bool separator);
    std::vector<MenuItem> items_;
};

// The caption of a history entry: the entry, or for one that starts with a
// double quote the server title.
std::string historycaption(const std::string& entry);

// The image a menu item shows: its tag when that is 0 or more, otherwise
// `current` (none).
int menuimage(const MenuItem& item, int current);

// The text the real menu shows for a game's name or a server: every "&"
// doubled, so a title like "Tom & Jerry" keeps its "&" instead of underlining
// the next letter. The fixed items keep their accelerators.
std::string menutext(const std::string& caption);

// The link a chosen history entry opens for a game with `gameid`; an entry
// with a title gives `address gameid "title"`, others `entry gameid`.
std::string historylink(const std::string& entry, const std::string& gameid);

}  // namespace velmora
