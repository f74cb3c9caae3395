// A popup menu with an image column, built from the tray menu model: items
// keep their texts (the system draws them, the default item bold) and ask
// for their image when they are drawn. There is no check-mark column.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/tray/traymenu.h"
#include "base/scale.h"
#include "ui/dpi_win.h"

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
    // The status of a game's recent server, drawn right-aligned in grey
    // after its caption; when set, those items are drawn by the menu itself.
    std::function<std::string(MenuChoice choice)> OnGetStatus;
    // The menu is about to open.
    std::function<void()> OnPopup;
    bool ShowCheckMarks = false;
    bool AutoPopup = true;
    bool RightAlign = true;  // the menu opens with its right edge at the point

    // Makes the real menu again from the model; call after every change of it.
    // It is measured at the density it was last made for (at first the
    // system's); popup() makes it again for another monitor's.
    void build();
    void build(int dpi);
    int dpi() const { return scale_.dpi; }
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
    // New statuses: the items' texts follow ("caption<Tab>status", so the
    // real menu can be read back) and an open menu is drawn again.
    void refreshstatus();

    // A recent server's text in the real menu: its caption, then a tab and
    // the status when there is one, each with its "&" doubled.
    static std::string serverrowtext(const std::string& caption, const std::string& status);

private:
    void destroy();
    void fill(HMENU menu, const std::vector<MenuItem>& items, int top, bool games);
    const MenuItem* itemfordata(ULONG_PTR data) const;
    void choose(MenuChoice choice);
    bool isserver(MenuChoice choice) const;
    std::string itemstatus(MenuChoice choice) const;
    void measureserver(MEASUREITEMSTRUCT& m, const MenuItem& item, MenuChoice choice) const;
    int px(int units) const { return scale_.px(units); }
    int imagesize() const;
    void drawimage(const DRAWITEMSTRUCT& d, int index) const;
    void drawserver(const DRAWITEMSTRUCT& d, const MenuItem& item, MenuChoice choice);

    const TrayMenu& model_;
    HMENU menu_ = nullptr;
    std::vector<HMENU> menus_;         // the menu and its sub-menus
    std::vector<MenuChoice> choices_;  // command id = position + 1
    Scale scale_{systemDpi()};  // the density the menu was made for
};

}  // namespace velmora
