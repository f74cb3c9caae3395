// The markup combo box: a fixed drop-down list (no text entry) of the system's
// combo box class whose items are markup texts, each drawn by the markup
// engine. Anchors in the selected item work in the closed box: a click on one
// is reported instead of dropping the list down.
#pragma once
#include <functional>
#include <string>

#include "markup/gdisurface_win.h"
#include "markup/markupcombo.h"
#include "ui/childwindow_win.h"

namespace velmora {

class TMarkupComboBox;
using TComboAnchorClick = std::function<void(TMarkupComboBox& sender, int index, const std::string& anchor)>;

class TMarkupComboBox : public ChildWindow {
public:
    TMarkupComboBox(HWND parent, int left, int top, int width, int height);
    ~TMarkupComboBox() override;

    // The selection field's height and every list row's, in units.
    int EditHeight() const;
    void setEditHeight(int height);
    int DropWidth() const;
    void setDropWidth(int width);
    // The height the open list gets below the selection field, in units.
    int DropHeight = 200;
    // -1 for none. Selecting by program fires no OnChange.
    int ItemIndex() const;
    void setItemIndex(int index);

    void addItem(const std::string& markup);
    void clearItems();
    int itemCount() const;
    std::string item(int index) const;

    // Not owned; a list that is destroyed is dropped, and "idx:" images then draw nothing.
    GdiImageList* images() const { return images_; }
    void setImages(GdiImageList* images);
    Colour urlColor() const { return urlColor_; }
    void setURLColor(Colour colour);

    // The user picked another item.
    std::function<void(TMarkupComboBox&)> OnChange;
    std::function<void(TMarkupComboBox&)> OnDropDown;
    // A non-web anchor of the selected item was clicked / is under the mouse.
    TComboAnchorClick OnAnchorClick;
    TComboAnchorClick OnAnchorEnter;

    // The href of the selected item's anchor under a client point in pixels, or "".
    std::string AnchorAt(int x, int y);

    void dpiChanged(int dpi) override;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool ownMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void drawItem(const DRAWITEMSTRUCT& item);
    void dropDown();
    Font markupFont(Colour colour) const;
    bool hasSelection() const;
    void repaint();

    GdiImageList* images_ = nullptr;
    Colour urlColor_ = 0xFF0000;
    bool handCursor_ = false;
    int editHeight_ = 0, dropWidth_ = 0;  // as set, in units
};

}  // namespace velmora
