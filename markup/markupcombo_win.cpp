#include "markup/markupcombo_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "markup/labellayout.h"
#include "ui/handles_win.h"

namespace velmora {

// The style is always the owner-drawn fixed-height drop-down list: every row
// is one height and every row is drawn here.
TMarkupComboBox::TMarkupComboBox(HWND parent, int left, int top, int width, int height)
    : ChildWindow(parent, "COMBOBOX",
                  WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 0,
                  left, top, width, height) {}

TMarkupComboBox::~TMarkupComboBox() {
    if (images_) images_->removeRemovalListener(this);
}

int TMarkupComboBox::EditHeight() const {
    return scale().units(static_cast<int>(SendMessageA(handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0)));
}

void TMarkupComboBox::setEditHeight(int height) {
    editHeight_ = height;
    SendMessageA(handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale().px(height));
    SendMessageA(handle(), CB_SETITEMHEIGHT, 0, scale().px(height));
}

int TMarkupComboBox::DropWidth() const {
    return scale().units(static_cast<int>(SendMessageA(handle(), CB_GETDROPPEDWIDTH, 0, 0)));
}
void TMarkupComboBox::setDropWidth(int width) {
    dropWidth_ = width;
    SendMessageA(handle(), CB_SETDROPPEDWIDTH, scale().px(width), 0);
}

void TMarkupComboBox::dpiChanged(int dpi) {
    ChildWindow::dpiChanged(dpi);
    if (editHeight_ > 0) setEditHeight(editHeight_);
    if (dropWidth_ > 0) setDropWidth(dropWidth_);
}

int TMarkupComboBox::ItemIndex() const { return static_cast<int>(SendMessageA(handle(), CB_GETCURSEL, 0, 0)); }
void TMarkupComboBox::setItemIndex(int index) { SendMessageA(handle(), CB_SETCURSEL, index, 0); }

void TMarkupComboBox::addItem(const std::string& markup) {
    SendMessageA(handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(markup.c_str()));
}
void TMarkupComboBox::clearItems() { SendMessageA(handle(), CB_RESETCONTENT, 0, 0); }
int TMarkupComboBox::itemCount() const { return static_cast<int>(SendMessageA(handle(), CB_GETCOUNT, 0, 0)); }

std::string TMarkupComboBox::item(int index) const {
    const LRESULT length = SendMessageA(handle(), CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(handle(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());
}

void TMarkupComboBox::repaint() { InvalidateRect(handle(), nullptr, TRUE); }

void TMarkupComboBox::setImages(GdiImageList* images) {
    if (images_) images_->removeRemovalListener(this);
    images_ = images;
    if (images_) images_->addRemovalListener(this, [this] { images_ = nullptr; repaint(); });
    repaint();
}

void TMarkupComboBox::setURLColor(Colour colour) {
    urlColor_ = colour;
    repaint();
}

bool TMarkupComboBox::hasSelection() const {
    const int index = ItemIndex();
    return index >= 0 && index < itemCount();
}

Font TMarkupComboBox::markupFont(Colour colour) const {
    Font f = font();
    f.color = colour;
    return f;
}

void TMarkupComboBox::drawItem(const DRAWITEMSTRUCT& item) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const ComboItemColours colours = comboItemColours(selected, urlColor_);
    // The row is drawn from its own top-left corner, in units: the engine's
    // grid starts on the row's first pixel at every density.
    const int w = item.rcItem.right - item.rcItem.left, h = item.rcItem.bottom - item.rcItem.top;
    const MarkupRect box{0, 0, scale().unitsCeil(w), scale().unitsCeil(h)};
    {
        // Text wider than the row is cut at its right edge.
        SavedDC saved(item.hDC);
        IntersectClipRect(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
        POINT origin{};
        GetViewportOrgEx(item.hDC, &origin);
        SetViewportOrgEx(item.hDC, origin.x + item.rcItem.left, origin.y + item.rcItem.top, nullptr);
        GdiSurface surface(item.hDC, markupFont(colours.font), colours.brush, scale().dpi);
        surface.setBrushColour(colours.brush);
        surface.setPenColour(colours.brush);
        surface.rectangle(box);
        // An empty selection field is only filled.
        if (item.itemID != static_cast<UINT>(-1)) {
            surface.setTransparentBackground();
            DrawMarkup(surface, this->item(static_cast<int>(item.itemID)), box, images_, MarkupMode::Draw, {},
                       colours.link);
        }
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(item.hDC, &item.rcItem);
}

void TMarkupComboBox::dropDown() {
    // The system sizes the open list from the window's height.
    const RECT r = boundsRect();
    setBounds(r.left, r.top, r.right - r.left, EditHeight() + DropHeight);
    if (OnDropDown) OnDropDown(*this);
}

std::string TMarkupComboBox::AnchorAt(int x, int y) {
    if (!hasSelection()) return {};
    const WindowDC dc(handle());
    if (!dc.get()) return {};
    RECT client{};
    GetClientRect(handle(), &client);
    const Scale& s = scale();
    GdiSurface surface(dc.get(), markupFont(kWindowTextColour), kWindowColour, s.dpi);
    const MarkupRect box{0, 0, s.unitsCeil(client.right), s.unitsCeil(client.bottom)};
    const MarkupResult result = DrawMarkup(surface, item(ItemIndex()), box, images_, MarkupMode::HitTest,
                                           {s.unitsFloor(x), s.unitsFloor(y)}, urlColor_);
    return result.hit ? result.anchor : std::string();
}

bool TMarkupComboBox::notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_DRAWITEM) {
        drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message != WM_COMMAND) return false;
    switch (HIWORD(wParam)) {
        case CBN_DROPDOWN: dropDown(); break;
        case CBN_SELCHANGE:
            if (OnChange) OnChange(*this);
            break;
        default: return false;
    }
    result = 0;
    return true;
}

bool TMarkupComboBox::ownMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            if (SendMessageA(handle(), CB_GETDROPPEDSTATE, 0, 0) || !hasSelection()) return false;
            const std::string anchor = AnchorAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (anchor.empty()) return false;
            if (opensInShell(anchor))
                ShellExecuteA(handle(), "open", anchor.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            else if (OnAnchorClick)
                OnAnchorClick(*this, ItemIndex(), anchor);
            // Answered here: the list does not drop down.
            result = 0;
            return true;
        }
        case WM_MOUSEMOVE: {
            result = systemHandling(message, wParam, lParam);
            if (!hasSelection()) return true;
            const std::string anchor = AnchorAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            handCursor_ = !anchor.empty();
            if (handCursor_ && OnAnchorEnter) OnAnchorEnter(*this, ItemIndex(), anchor);
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(handCursor_ ? IDC_HAND : IDC_ARROW)));
            return true;
        }
        case WM_SETCURSOR:
            // The class cursor would undo the hand on every move.
            if (handCursor_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
                result = TRUE;
                return true;
            }
            return false;
        default: return false;
    }
}

}  // namespace velmora
