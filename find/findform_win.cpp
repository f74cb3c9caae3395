#include "find/findform_win.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "settings/registry_win.h"
#include "settings/settingsstore.h"
#include "ui/clipboard_win.h"

namespace velmora {

namespace {
constexpr char kFindformClass[] = "Tfindform";
// The first size, and the smallest the frame can be dragged to, in units.
constexpr int kClientWidth = 640, kClientHeight = 420;
constexpr int kSmallestWidth = 420, kSmallestHeight = 200;
constexpr int kMargin = 8, kListTop = 34;

constexpr const char* kColumnCaptions[find::kColumns] = {"Name", "Game", "Map", "Players", "Ping", "Address"};
constexpr const char* kPingTexts[] = {"50", "100", "150", "250", "any"};
constexpr const char kAllGames[] = "all games";

enum MenuCommand : UINT { kJoin = 1, kCopyAddress, kRefreshServer };

// Counts and pings are aligned right, texts and addresses left.
bool rightAligned(int column) {
    return column == static_cast<int>(find::Column::Players) || column == static_cast<int>(find::Column::Ping);
}
}  // namespace

Tfindform::Tfindform(const GameTable& games)
    : Form(kFindformClass, kFindCaption, kClientWidth, kClientHeight, FormStyle::Sizeable),
      gamelabel(*this, kMargin, 12, "&Game:"),
      gamecombo(handle(), 48, 8, 150, 220),
      hideempty(handle(), "hide &empty", 210, 9, 82, 18),
      hidefull(handle(), "hide f&ull", 296, 9, 70, 18),
      pinglabel(*this, 372, 12, "&Ping up to:"),
      pingcombo(handle(), 432, 8, 56, 160),
      filterlabel(*this, 498, 12, "&Filter:"),
      filteredit(handle(), 534, 8, 98, 21),
      list(handle(), 0, kListTop, kClientWidth, kClientHeight - kListTop),
      statusbar(handle()),
      games_(games) {
    font = verdanaFont(-9);
    // A label takes the size of its text in its own font: measured again in this one.
    for (Label* l : {&gamelabel, &pinglabel, &filterlabel}) {
        l->font = font;
        l->setText(l->text());
    }
    gamelabel.focusControl = gamecombo.handle();
    pinglabel.focusControl = pingcombo.handle();
    filterlabel.focusControl = filteredit.handle();
    for (ChildWindow* c : std::initializer_list<ChildWindow*>{&gamecombo, &hideempty, &hidefull, &pingcombo,
                                                               &filteredit, &list, &statusbar})
        c->setFont(font);

    gamecombo.addItem(kAllGames);
    for (const tplugin& row : games_.rows()) gamecombo.addItem(row.gamename);
    for (const char* text : kPingTexts) pingcombo.addItem(text);

    // A value of the wrong type (an edited registry) keeps its default, as
    // an unreadable one does: the window opens all the same.
    const find::FindSettings s = find::readsettings([](const std::string& name) -> std::optional<std::string> {
        try {
            Registry reg;
            if (!reg.openKey(std::string(kSettingsRootKey) + find::kFindKey, false) || !reg.hasValue(name))
                return std::nullopt;
            return reg.readString(name);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    });
    for (int c = 0; c < find::kColumns; ++c) list.addColumn(kColumnCaptions[c], s.columns[c], rightAligned(c));
    hideempty.setChecked(s.hideempty);
    hidefull.setChecked(s.hidefull);
    const auto ping = std::find(std::begin(find::kPingChoices), std::end(find::kPingChoices), s.maxping);
    pingcombo.setSelected(static_cast<int>(ping == std::end(find::kPingChoices)
                                               ? std::size(find::kPingChoices) - 1
                                               : ping - std::begin(find::kPingChoices)));
    filteredit.setText(s.text);
    filters_.hideempty = s.hideempty;
    filters_.hidefull = s.hidefull;
    filters_.maxping = s.maxping;
    filters_.text = s.text;
    gamecombo.setSelected(0);
    for (int g = 0; g < games_.size(); ++g)
        if (!s.gameid.empty() && games_.at(g).gameid == s.gameid) {
            gamecombo.setSelected(g + 1);
            filters_.game = g;
        }
    place(s);
    list.setSortMark(static_cast<int>(order_.column), false);

    list.OnCellText = [this](int row, int column) -> std::string {
        if (row < 0 || static_cast<std::size_t>(row) >= shown_.size()) return {};
        return find::celltext(rows()[shown_[static_cast<std::size_t>(row)]], static_cast<find::Column>(column));
    };
    list.OnColumnClick = [this](int column) { sortBy(static_cast<find::Column>(column)); };
    list.OnDoubleClick = [this](int) { openSelected(); };
    gamecombo.OnChange = [this](DropDownList&) { filtersChanged(); };
    pingcombo.OnChange = [this](DropDownList&) { filtersChanged(); };
    hideempty.OnClick = [this](CheckBox&) { filtersChanged(); };
    hidefull.OnClick = [this](CheckBox&) { filtersChanged(); };
    filteredit.OnChange = [this](EditBox&) { filtersChanged(); };
    setDialogKeys(true);
    layout();
}

Tfindform::~Tfindform() {
    finder_.reset();
}

const std::vector<find::ServerRow>& Tfindform::rows() const { return finder_ ? finder_->rows() : noRows_; }

void Tfindform::place(const find::FindSettings& s) {
    if (s.width <= 0 || s.height <= 0) return;
    RECT where{s.left, s.top, s.left + s.width, s.top + s.height};
    // A place on a screen that is gone is not taken: the window would open
    // where nobody sees it.
    RECT seen{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromRect(&where, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !IntersectRect(&seen, &where, &monitor.rcWork))
        return;
    SetWindowPos(handle(), nullptr, where.left, where.top, s.width, s.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Tfindform::layout() {
    RECT client{};
    GetClientRect(handle(), &client);
    const int width = scale().units(client.right);
    statusbar.fit();
    const int bottom = scale().units(client.bottom - statusbar.pixelHeight());
    // The field is as tall as the drop-downs beside it, whose height comes from their font.
    RECT combo{};
    GetWindowRect(gamecombo.handle(), &combo);
    filteredit.setBounds(534, 8, std::max(60, width - 534 - kMargin), scale().units(combo.bottom - combo.top));
    list.setBounds(0, kListTop, width, std::max(0, bottom - kListTop));
}

void Tfindform::dpiChanged(int dpi, const RECT* suggested) {
    Form::dpiChanged(dpi, suggested);
    layout();
}

bool Tfindform::formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SIZE:
            layout();
            return false;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const SIZE smallest = outerSize(kSmallestWidth, kSmallestHeight);
            info->ptMinTrackSize = {smallest.cx, smallest.cy};
            result = 0;
            return true;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) != list.handle()) return false;
            contextMenu({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            result = 0;
            return true;
        default: break;
    }
    // The controls' notifications go back to them.
    return ChildWindow::reflect(message, wParam, lParam, result);
}

bool Tfindform::formDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    if (msg.wParam == VK_F5) {
        refresh();
        return true;
    }
    if (msg.hwnd != list.handle() || !(GetKeyState(VK_CONTROL) & 0x8000)) return false;
    if (msg.wParam == 'A') {
        list.selectAll();
        return true;
    }
    if (msg.wParam == 'C') {
        copyRows();
        return true;
    }
    return false;
}

void Tfindform::formEnterKey() {
    if (GetFocus() == list.handle()) openSelected();
}

void Tfindform::formClose(CloseAction& action) {
    save();
    // A closed window asks nothing: its refresh ends with it.
    finder_.reset();
    shown_.clear();
    list.setCount(0);
    action = CloseAction::Hide;
}

void Tfindform::open(const std::string& gameid) {
    int game = -1;
    // Game ids are read in any case, as a link's game is.
    for (int g = 0; g < games_.size(); ++g)
        if (!gameid.empty() && lstrcmpiA(games_.at(g).gameid.c_str(), gameid.c_str()) == 0) game = g;
    // An id given chooses the game; none keeps the filter the window had.
    if (!gameid.empty()) {
        gamecombo.setSelected(game + 1);
        filters_.game = game;
    }
    const bool wasVisible = visible();
    show();
    SetForegroundWindow(handle());
    if (!wasVisible || !finder_ || asked_ != filters_.game) refresh();
    list.setFocus();
}

void Tfindform::refresh() {
    if (!finder_) {
        finder_ = std::make_unique<find::Finder>();
        finder_->OnChange = [this] { update(); };
    }
    asked_ = filters_.game;
    finder_->refresh(games_.rows(), filters_.game);
    update();
}

void Tfindform::filtersChanged() {
    filters_.game = gamecombo.selected() - 1;
    filters_.hideempty = hideempty.checked();
    filters_.hidefull = hidefull.checked();
    const int ping = pingcombo.selected();
    filters_.maxping = ping >= 0 && ping < static_cast<int>(std::size(find::kPingChoices))
                           ? find::kPingChoices[ping]
                           : 0;
    filters_.text = filteredit.text();
    // A game that was not asked yet (the window was opened for another) is
    // asked now.
    if (finder_ && asked_ != -1 && asked_ != filters_.game) {
        refresh();
        return;
    }
    update();
}

void Tfindform::update() {
    // The selection belongs to servers, not to places in the list: a server
    // that moves as figures come stays selected.
    std::set<std::pair<int, Endpoint>> selected;
    const int focused = list.focusedRow();
    std::pair<int, Endpoint> focus{-1, {}};
    for (const std::size_t r : selectedRows()) selected.insert({rows()[r].game, rows()[r].endpoint});
    if (focused >= 0 && static_cast<std::size_t>(focused) < shown_.size() && shown_[focused] < rows().size())
        focus = {rows()[shown_[focused]].game, rows()[shown_[focused]].endpoint};

    shown_ = find::visiblerows(rows(), filters_, order_);
    list.setCount(static_cast<int>(shown_.size()));
    if (!selected.empty() || focus.first >= 0) {
        std::vector<int> again;
        int focusedAgain = -1;
        for (std::size_t k = 0; k < shown_.size(); ++k) {
            const find::ServerRow& row = rows()[shown_[k]];
            const std::pair<int, Endpoint> key{row.game, row.endpoint};
            if (selected.count(key)) again.push_back(static_cast<int>(k));
            if (key == focus) focusedAgain = static_cast<int>(k);
        }
        list.select(again, focusedAgain);
    }
    statusbar.setText(finder_ ? finder_->status() : std::string());
}

void Tfindform::sortBy(find::Column column) {
    order_ = find::clicked(order_, column);
    // Players come most first, every other column lowest first, unless turned round.
    const bool ascending = (column == find::Column::Players) == order_.reversed;
    list.setSortMark(static_cast<int>(column), ascending);
    update();
}

std::vector<std::size_t> Tfindform::selectedRows() const {
    std::vector<std::size_t> out;
    for (const int k : list.selectedRows())
        if (k >= 0 && static_cast<std::size_t>(k) < shown_.size() && shown_[k] < rows().size())
            out.push_back(shown_[k]);
    return out;
}

void Tfindform::openSelected() {
    const int focused = list.focusedRow();
    std::vector<std::size_t> chosen = selectedRows();
    if (focused >= 0 && static_cast<std::size_t>(focused) < shown_.size()) chosen = {shown_[focused]};
    if (chosen.empty() || !OnOpen) return;
    const find::ServerRow& row = rows()[chosen.front()];
    OnOpen(row.game, row.address);
}

void Tfindform::copyRows() {
    const std::vector<std::size_t> chosen = selectedRows();
    if (!chosen.empty()) copyText(handle(), find::copytext(rows(), chosen));
}

void Tfindform::contextMenu(POINT screen) {
    // From the keyboard (Shift+F10, the menu key) the menu opens at the
    // focused row.
    if (screen.x == -1 && screen.y == -1) {
        const RECT r = list.rowRect(std::max(0, list.focusedRow()));
        screen = {r.left + 16, r.bottom};
        ClientToScreen(list.handle(), &screen);
    }
    const std::vector<std::size_t> chosen = selectedRows();
    if (chosen.empty()) return;
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, kJoin, "&Join Game");
    AppendMenuA(menu, MF_STRING, kCopyAddress, "&Copy address");
    AppendMenuA(menu, MF_STRING, kRefreshServer, "&Refresh this server");
    SetMenuDefaultItem(menu, kJoin, FALSE);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, handle(), nullptr));
    DestroyMenu(menu);
    switch (command) {
        case kJoin: {
            const find::ServerRow& row = rows()[chosen.front()];
            if (OnJoin) OnJoin(row.game, row.address);
            break;
        }
        case kCopyAddress: {
            std::string text;
            for (const std::size_t r : chosen) text += rows()[r].address + "\r\n";
            copyText(handle(), text);
            break;
        }
        case kRefreshServer:
            if (finder_)
                for (const std::size_t r : chosen) finder_->refreshserver(r);
            update();
            break;
        default: break;
    }
}

find::FindSettings Tfindform::settings() const {
    find::FindSettings s;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(handle(), &placement)) {
        const RECT& r = placement.rcNormalPosition;
        s.left = r.left;
        s.top = r.top;
        s.width = r.right - r.left;
        s.height = r.bottom - r.top;
    }
    for (int c = 0; c < find::kColumns; ++c) s.columns[c] = list.columnWidth(c);
    if (games_.has(filters_.game)) s.gameid = games_.at(filters_.game).gameid;
    s.hideempty = filters_.hideempty;
    s.hidefull = filters_.hidefull;
    s.maxping = filters_.maxping;
    s.text = filters_.text;
    return s;
}

void Tfindform::save() {
    try {
        Registry reg;
        if (!reg.openKey(std::string(kSettingsRootKey) + find::kFindKey, true)) return;
        for (const auto& [name, text] : find::storedvalues(settings())) reg.writeString(name, text);
    } catch (...) {
        // The window's place is not worth a message when the registry refuses it.
    }
}

}  // namespace velmora
