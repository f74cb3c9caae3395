// A popup menu with an image column, built from the tray menu model: items
// keep their texts (the system draws them, the default item bold) and ask
// for their image when they are drawn. There is no check-mark column.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "app/tray/traymenu.h"

namespace velmora {

// An item of the model: its top-level position and, for a sub-item, its
// position among the top item's sub-items (-1 for the top item itself).
struct MenuChoice {
    int top = -1;
    int sub = -1;
};

class TImagePopupMenu {
public:
    explicit TImagePopupMenu(const TrayMenu& model);
    TImagePopupMenu(const TImagePopupMenu&) = delete;
    TImagePopupMenu& operator=(const TImagePopupMenu&) = delete;
    ~TImagePopupMenu();

    HIMAGELIST Images = nullptr;  // not owned
    // The image query: `index` comes in as -1 (no image) and may be changed.
    std::function<void(const MenuItem& item, int& index)> OnGetImageIndex;
    // A chosen item, and the default item when the tray icon is double-clicked.
    std::function<void(const MenuItem& item, MenuChoice choice)> OnChoose;
    bool ShowCheckMarks = false;
    bool AutoPopup = true;
    bool RightAlign = true;  // the menu opens with its right edge at the point

    // Makes the real menu again from the model; call after every change of it.
    void build();
    HMENU handle() const { return menu_; }
    const TrayMenu& model() const { return model_; }
    const MenuItem& item(MenuChoice choice) const;

    // Shows the menu at a screen point and waits until it closes; the chosen
    // item (if any) is then run. `owner` gets the draw messages and must
    // pass them to ownerdraw().
    void popup(HWND owner, int x, int y);
    // Runs the first top-level item that is default and enabled; false when
    // there is none.
    bool clickdefault();
    // WM_MEASUREITEM and WM_DRAWITEM of the image column; true when handled.
    bool ownerdraw(UINT message, LPARAM lParam);

private:
    void destroy();
    void fill(HMENU menu, const std::vector<MenuItem>& items, int top, bool games);
    const MenuItem* itemfordata(ULONG_PTR data) const;
    void choose(MenuChoice choice);

    const TrayMenu& model_;
    HMENU menu_ = nullptr;
    std::vector<HMENU> menus_;         // the menu and its sub-menus
    std::vector<MenuChoice> choices_;  // command id = position + 1
};

}  // namespace velmora
