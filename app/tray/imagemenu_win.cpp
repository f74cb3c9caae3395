#include "app/tray/imagemenu_win.h"

#include <algorithm>

#include "ui/win32error_win.h"

namespace velmora {

namespace {
constexpr int kImageSize = 16;
constexpr int kImageGap = 2;  // room on each side of the image in its column
}  // namespace

TImagePopupMenu::TImagePopupMenu(const TrayMenu& model) : model_(model) {}

TImagePopupMenu::~TImagePopupMenu() { destroy(); }

void TImagePopupMenu::destroy() {
    // Destroying the top menu destroys its sub-menus with it.
    if (menu_) DestroyMenu(menu_);
    menu_ = nullptr;
    menus_.clear();
    choices_.clear();
}

void TImagePopupMenu::build() {
    destroy();
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
            info.dwTypeData = const_cast<char*>(text.c_str());
            info.hbmpItem = HBMMENU_CALLBACK;
            info.fState = item.isDefault ? MFS_DEFAULT : 0;
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
    if (!menu_) build();
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

bool TImagePopupMenu::ownerdraw(UINT message, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m->CtlType != ODT_MENU || !itemfordata(m->itemData)) return false;
        m->itemWidth = kImageSize + 2 * kImageGap;
        m->itemHeight = kImageSize + kImageGap;
        return true;
    }
    if (message == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (d->CtlType != ODT_MENU) return false;
        const HMENU from = reinterpret_cast<HMENU>(d->hwndItem);
        if (std::find(menus_.begin(), menus_.end(), from) == menus_.end()) return false;
        const MenuItem* item = itemfordata(d->itemData);
        if (!item) return false;
        int index = -1;
        if (OnGetImageIndex) OnGetImageIndex(*item, index);
        if (Images && index >= 0 && index < ImageList_GetImageCount(Images)) {
            const int top = d->rcItem.top + (d->rcItem.bottom - d->rcItem.top - kImageSize) / 2;
            ImageList_Draw(Images, index, d->hDC, d->rcItem.left + kImageGap, top, ILD_TRANSPARENT);
        }
        return true;
    }
    return false;
}

}  // namespace velmora
