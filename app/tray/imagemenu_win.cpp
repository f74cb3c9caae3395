#include "app/tray/imagemenu_win.h"

#include <algorithm>

#include "ui/dpi_win.h"
#include "ui/win32error_win.h"

namespace velmora {

namespace {
// In 96-dpi units: the menu draws them at the system's density.
constexpr int kImageSize = 16;
constexpr int kImageGap = 2;  // room on each side of the image in its column
constexpr int kTextGap = 6;   // before the caption, and after the status
constexpr int kStatusGap = 24;  // between the caption and the status
// The status column is at least this wide, so figures that arrive while
// the menu is open have room (the system measures an item only once).
constexpr char kStatusRoom[] = "88/88 mmmmmmmm";

// The font the system draws menus with, at `dpi`.
HFONT menufont(int dpi) {
    const NONCLIENTMETRICSA metrics = nonclientMetrics(dpi);
    return CreateFontIndirectA(&metrics.lfMenuFont);
}

// Draws an open menu of this thread again.
BOOL CALLBACK redrawmenu(HWND hwnd, LPARAM) {
    char name[16] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (std::string(name) == "#32768" && IsWindowVisible(hwnd) &&
        GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
        InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

SIZE textsize(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}
}  // namespace

std::string TImagePopupMenu::serverrowtext(const std::string& caption, const std::string& status) {
    // Both halves are the server's own words: an "&" in a title or a map
    // name is shown, never taken as the item's access key.
    return status.empty() ? menutext(caption) : menutext(caption) + "\t" + menutext(status);
}

TImagePopupMenu::TImagePopupMenu(const TrayMenu& model) : model_(model) {}

TImagePopupMenu::~TImagePopupMenu() { destroy(); }

void TImagePopupMenu::destroy() {
    // Destroying the top menu destroys its sub-menus with it.
    if (menu_) DestroyMenu(menu_);
    menu_ = nullptr;
    menus_.clear();
    choices_.clear();
}

void TImagePopupMenu::build() { build(scale_.dpi); }

void TImagePopupMenu::build(int dpi) {
    destroy();
    scale_ = Scale{dpi};
    menu_ = CreatePopupMenu();
    if (!menu_) raiseLastWin32Error();
    menus_.push_back(menu_);
    fill(menu_, model_.items(), -1, true);
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_STYLE | MIM_APPLYTOSUBMENUS;
    info.dwStyle = ShowCheckMarks ? 0 : MNS_NOCHECK;
    SetMenuInfo(menu_, &info);
}

// The game items and their servers stand above the first fixed item (the
// first top-level item with a negative tag); their texts are the plug-ins'
// and the servers' own, so an "&" in them is shown, not taken as a mark.
void TImagePopupMenu::fill(HMENU menu, const std::vector<MenuItem>& items, int top, bool games) {
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const MenuChoice choice = top < 0 ? MenuChoice{static_cast<int>(i), -1} : MenuChoice{top, static_cast<int>(i)};
        if (top < 0 && item.tag < 0) games = false;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        std::string text;  // read by InsertMenuItemA below
        if (item.caption == "-") {
            info.fMask = MIIM_FTYPE;
            info.fType = MFT_SEPARATOR;
        } else {
            choices_.push_back(choice);
            const UINT id = static_cast<UINT>(choices_.size());
            text = games ? menutext(item.caption) : item.caption;
            info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_DATA | MIIM_STATE;
            info.wID = id;
            info.dwItemData = id;
            info.hbmpItem = HBMMENU_CALLBACK;
            info.fState = item.isDefault ? MFS_DEFAULT : 0;
            if (games && isserver(choice)) {
                // A recent server is drawn whole by the menu (caption and
                // status), whether or not a status is known yet; its text
                // stays readable in the real menu.
                text = serverrowtext(item.caption, itemstatus(choice));
                info.fMask = (info.fMask & ~MIIM_BITMAP) | MIIM_FTYPE;
                info.fType = MFT_OWNERDRAW;
            }
            info.dwTypeData = const_cast<char*>(text.c_str());
            if (top < 0 && !item.items.empty()) {
                const HMENU sub = CreatePopupMenu();
                if (!sub) raiseLastWin32Error();
                menus_.push_back(sub);
                fill(sub, item.items, static_cast<int>(i), games);
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = sub;
            }
        }
        if (!InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &info)) raiseLastWin32Error();
    }
}

const MenuItem& TImagePopupMenu::item(MenuChoice choice) const {
    const MenuItem& top = model_.items().at(static_cast<size_t>(choice.top));
    return choice.sub < 0 ? top : top.items.at(static_cast<size_t>(choice.sub));
}

const MenuItem* TImagePopupMenu::itemfordata(ULONG_PTR data) const {
    if (data == 0 || data > choices_.size()) return nullptr;
    return &item(choices_[data - 1]);
}

void TImagePopupMenu::popup(HWND owner, int x, int y) {
    // The menu is measured at the density of the monitor it opens on; the
    // system measures an item once, so a menu made for another is made again.
    const int dpi = pointDpi(POINT{x, y});
    if (!menu_ || dpi != scale_.dpi) build(dpi);
    if (OnPopup) OnPopup();
    refreshstatus();
    const UINT flags = (RightAlign ? TPM_RIGHTALIGN : TPM_LEFTALIGN) | TPM_RETURNCMD | TPM_RIGHTBUTTON;
    const UINT id = static_cast<UINT>(TrackPopupMenuEx(menu_, flags, x, y, owner, nullptr));
    // Lets the menu's owner see that the menu has ended before the next click.
    PostMessageA(owner, WM_NULL, 0, 0);
    if (id == 0 || id > choices_.size()) return;
    choose(choices_[id - 1]);
}

bool TImagePopupMenu::clickdefault() {
    const auto& items = model_.items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].isDefault) continue;
        // The real menu decides whether the item is enabled.
        if (menu_ && (GetMenuState(menu_, static_cast<UINT>(i), MF_BYPOSITION) & (MF_DISABLED | MF_GRAYED))) continue;
        choose({static_cast<int>(i), -1});
        return true;
    }
    return false;
}

void TImagePopupMenu::choose(MenuChoice choice) {
    // The handler may change the model and rebuild this menu: it gets a copy.
    const MenuItem chosen = item(choice);
    if (OnChoose) OnChoose(chosen, choice);
}

// Only a game's recent servers carry a status: the sub-items with tag 0
// under a game item (an item above the fixed ones). Whether a row is one
// depends on the model alone, not on whether a status source is attached
// yet: the watcher starts after the menu is first built.
bool TImagePopupMenu::isserver(MenuChoice choice) const {
    if (choice.top < 0 || choice.sub < 0) return false;
    const auto& items = model_.items();
    for (int i = 0; i <= choice.top; ++i)
        if (items.at(static_cast<size_t>(i)).tag < 0) return false;
    return item(choice).tag == 0 && item(choice).caption != "-";
}

std::string TImagePopupMenu::itemstatus(MenuChoice choice) const {
    return OnGetStatus ? OnGetStatus(choice) : std::string();
}

void TImagePopupMenu::refreshstatus() {
    for (size_t k = 0; k < choices_.size(); ++k) {
        if (!isserver(choices_[k])) continue;
        const std::string text = serverrowtext(item(choices_[k]).caption, itemstatus(choices_[k]));
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<char*>(text.c_str());
        SetMenuItemInfoA(menu_, static_cast<UINT>(k + 1), FALSE, &info);
    }
    // An open menu is a window of the system's menu class on this thread.
    // (Wine does not list a sub-menu's window among the thread's windows, so
    // every top-level window is looked at.)
    EnumWindows(&redrawmenu, 0);
}

void TImagePopupMenu::measureserver(MEASUREITEMSTRUCT& m, const MenuItem& item, MenuChoice choice) const {
    const HDC dc = GetDC(nullptr);
    const HFONT font = menufont(scale_.dpi);
    const HGDIOBJ old = SelectObject(dc, font);
    const SIZE caption = textsize(dc, item.caption);
    const SIZE status = textsize(dc, itemstatus(choice));
    const SIZE room = textsize(dc, kStatusRoom);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    m.itemWidth = static_cast<UINT>(imagesize() + px(2 * kImageGap + kTextGap) + caption.cx + px(kStatusGap) +
                                    std::max(status.cx, room.cx) + px(kTextGap));
    m.itemHeight = static_cast<UINT>(std::max<LONG>(imagesize() + px(kImageGap), caption.cy + px(4)));
}

// The images are as large as the list makes them (its owner sizes it for the
// screen), or 16 units where there is no list.
int TImagePopupMenu::imagesize() const {
    int cx = 0, cy = 0;
    if (Images && ImageList_GetIconSize(Images, &cx, &cy) && cy > 0) return cy;
    return px(kImageSize);
}

void TImagePopupMenu::drawimage(const DRAWITEMSTRUCT& d, int index) const {
    if (!Images || index < 0 || index >= ImageList_GetImageCount(Images)) return;
    const int top = d.rcItem.top + (d.rcItem.bottom - d.rcItem.top - imagesize()) / 2;
    ImageList_Draw(Images, index, d.hDC, d.rcItem.left + px(kImageGap), top, ILD_TRANSPARENT);
}

void TImagePopupMenu::drawserver(const DRAWITEMSTRUCT& d, const MenuItem& item, MenuChoice choice) {
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    FillRect(d.hDC, &d.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    int index = -1;
    if (OnGetImageIndex) OnGetImageIndex(item, index);
    drawimage(d, index);
    const HFONT font = menufont(scale_.dpi);
    const HGDIOBJ old = SelectObject(d.hDC, font);
    const int mode = SetBkMode(d.hDC, TRANSPARENT);
    RECT text = d.rcItem;
    text.left += imagesize() + px(2 * kImageGap + kTextGap);
    text.right -= px(kTextGap);
    // The status first, right-aligned; the caption takes the room left of it.
    const std::string status = itemstatus(choice);
    RECT right = text;
    if (!status.empty()) {
        SetTextColor(d.hDC, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(d.hDC, status.c_str(), static_cast<int>(status.size()), &right,
                  DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CALCRECT);
        const int width = right.right - right.left;
        right = text;
        right.left = std::max(text.left, text.right - width);
        DrawTextA(d.hDC, status.c_str(), static_cast<int>(status.size()), &right,
                  DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        text.right = right.left - px(kStatusGap) / 2;
    }
    SetTextColor(d.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    DrawTextA(d.hDC, item.caption.c_str(), static_cast<int>(item.caption.size()), &text,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetBkMode(d.hDC, mode);
    SelectObject(d.hDC, old);
    DeleteObject(font);
}

bool TImagePopupMenu::ownerdraw(UINT message, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m->CtlType != ODT_MENU || !itemfordata(m->itemData)) return false;
        const MenuChoice choice = choices_[m->itemData - 1];
        if (isserver(choice)) {
            measureserver(*m, item(choice), choice);
            return true;
        }
        m->itemWidth = static_cast<UINT>(imagesize() + px(2 * kImageGap));
        m->itemHeight = static_cast<UINT>(imagesize() + px(kImageGap));
        return true;
    }
    if (message == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (d->CtlType != ODT_MENU) return false;
        const HMENU from = reinterpret_cast<HMENU>(d->hwndItem);
        if (std::find(menus_.begin(), menus_.end(), from) == menus_.end()) return false;
        const MenuItem* item = itemfordata(d->itemData);
        if (!item) return false;
        const MenuChoice choice = choices_[d->itemData - 1];
        if (isserver(choice)) {
            drawserver(*d, *item, choice);
            return true;
        }
        int index = -1;
        if (OnGetImageIndex) OnGetImageIndex(*item, index);
        drawimage(*d, index);
        return true;
    }
    return false;
}

}  // namespace velmora
