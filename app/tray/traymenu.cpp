#include "app/tray/traymenu.h"

#include "core/velmoraglobal.h"

namespace velmora {

TrayMenu::TrayMenu() {
    items_ = {
        {"-", -2, MenuAction::None, false, {}},
        {"&Find a game...", -2, MenuAction::Findgame, false, {}},
        {"&Settings...", -2, MenuAction::Showsettings, false, {}},
        {"&About...", 0, MenuAction::Showabout, true, {}},
        {"-", -2, MenuAction::None, false, {}},
        {"&Quit", -2, MenuAction::Quit, false, {}},
    };
}

void TrayMenu::addgamemenu(const std::string& name, int imageindex, const std::vector<std::string>& entries) {
    items_.insert(items_.begin(), MenuItem{name, imageindex, MenuAction::None, false, {}});
    addsubitem(kEnterAddress, 0, -1, false);
    if (!entries.empty()) addsubitem("", 0, -1, true);
    for (const auto& entry : entries) addsubitem(entry, 0, 0, false);
}

void TrayMenu::removegameitems() {
    // "&About..." carries tag 0 but is never first: the separator before it stops the sweep.
    while (!items_.empty() && items_.front().tag >= 0) items_.erase(items_.begin());
}

void TrayMenu::addsubitem(const std::string& text, size_t position, int tag, bool separator) {
    MenuItem item;
    item.caption = separator ? "-" : historycaption(text);
    item.tag = tag;
    item.action = separator ? MenuAction::None : MenuAction::Menutemplate;
    items_.at(position).items.push_back(std::move(item));
}

namespace {
// A titled entry, "\"title\"address", as its title and its address: the first
// two pieces that are not empty once the entry is cut at its double quotes.
struct TitledEntry {
    std::string title, address;
};
TitledEntry splittitled(const std::string& entry) {
    const std::vector<std::string> pieces = splitstring(entry + ",", '"');
    size_t first = 0;
    while (first < pieces.size() && pieces[first].empty()) ++first;
    TitledEntry result;
    if (first < pieces.size()) result.title = pieces[first];
    if (first + 1 < pieces.size()) result.address = pieces[first + 1];
    return result;
}
}  // namespace

std::string historycaption(const std::string& entry) {
    if (entry.empty() || entry.front() != '"') return entry;
    return splittitled(entry).title;
}

int menuimage(const MenuItem& item, int current) { return item.tag >= 0 ? item.tag : current; }

std::string menutext(const std::string& caption) {
    std::string out;
    for (char c : caption) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

std::string historylink(const std::string& entry, const std::string& gameid) {
    if (entry.empty() || entry.front() != '"') return entry + " " + gameid;
    const TitledEntry titled = splittitled(entry);
    return titled.address + " " + gameid + " \"" + titled.title + "\"";
}

}  // namespace velmora
