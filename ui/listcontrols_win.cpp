#include "ui/listcontrols_win.h"

#include <commctrl.h>

#include <algorithm>

namespace velmora {

namespace {
// The list view and the status bar exist once the common controls are set up.
void commonControls() {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)initialised;
}
const char* listViewClass() {
    commonControls();
    return WC_LISTVIEWA;
}
const char* statusBarClass() {
    commonControls();
    return STATUSCLASSNAMEA;
}
}  // namespace

// --- check box ---

CheckBox::CheckBox(HWND parent, const std::string& caption, int left, int top, int width, int height)
    : ChildWindow(parent, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, left, top, width, height) {
    setText(caption);
}

bool CheckBox::checked() const { return SendMessageA(handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void CheckBox::setChecked(bool on) { SendMessageA(handle(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

bool CheckBox::notified(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    if (OnClick) OnClick(*this);
    result = 0;
    return true;
}

// --- drop-down list ---

DropDownList::DropDownList(HWND parent, int left, int top, int width, int height)
    : ChildWindow(parent, "COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, left, top, width,
                  height) {}

void DropDownList::addItem(const std::string& text) {
    SendMessageA(handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
int DropDownList::count() const { return static_cast<int>(SendMessageA(handle(), CB_GETCOUNT, 0, 0)); }
int DropDownList::selected() const { return static_cast<int>(SendMessageA(handle(), CB_GETCURSEL, 0, 0)); }
void DropDownList::setSelected(int index) { SendMessageA(handle(), CB_SETCURSEL, index, 0); }

bool DropDownList::notified(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != CBN_SELCHANGE) return false;
    if (OnChange) OnChange(*this);
    result = 0;
    return true;
}

// --- report view ---

ReportView::ReportView(HWND parent, int left, int top, int width, int height)
    : ChildWindow(parent, listViewClass(),
                  WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, left,
                  top, width, height) {
    SendMessageA(handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void ReportView::addColumn(const std::string& caption, int width, bool right) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = scale().px(width);
    column.pszText = const_cast<char*>(caption.c_str());
    const HWND header = reinterpret_cast<HWND>(SendMessageA(handle(), LVM_GETHEADER, 0, 0));
    const int count = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    SendMessageA(handle(), LVM_INSERTCOLUMNA, count, reinterpret_cast<LPARAM>(&column));
}

int ReportView::columnWidth(int column) const {
    return scale().units(static_cast<int>(SendMessageA(handle(), LVM_GETCOLUMNWIDTH, column, 0)));
}

void ReportView::setSortMark(int column, bool ascending) {
    const HWND header = reinterpret_cast<HWND>(SendMessageA(handle(), LVM_GETHEADER, 0, 0));
    if (!header) return;
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < count; ++c) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, c, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageA(header, HDM_SETITEMA, c, reinterpret_cast<LPARAM>(&item));
    }
}

void ReportView::setCount(int rows) {
    SendMessageA(handle(), LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
    InvalidateRect(handle(), nullptr, FALSE);
}

int ReportView::count() const { return static_cast<int>(SendMessageA(handle(), LVM_GETITEMCOUNT, 0, 0)); }

void ReportView::selectAll() {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void ReportView::select(const std::vector<int>& rows, int focused) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageA(handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    for (const int row : rows) {
        item.state = LVIS_SELECTED | (row == focused ? LVIS_FOCUSED : 0);
        SendMessageA(handle(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    if (focused >= 0 && std::find(rows.begin(), rows.end(), focused) == rows.end()) {
        item.state = LVIS_FOCUSED;
        SendMessageA(handle(), LVM_SETITEMSTATE, focused, reinterpret_cast<LPARAM>(&item));
    }
}

std::vector<int> ReportView::selectedRows() const {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageA(handle(), LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1)
        rows.push_back(row);
    return rows;
}

int ReportView::focusedRow() const {
    return static_cast<int>(SendMessageA(handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

RECT ReportView::rowRect(int row) const {
    RECT r{};
    r.left = LVIR_BOUNDS;
    if (!SendMessageA(handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r))) return {};
    return r;
}

bool ReportView::notified(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    switch (header->code) {
        case LVN_GETDISPINFOA: {
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header));
            if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
                cell_ = OnCellText ? OnCellText(info->item.iItem, info->item.iSubItem) : std::string();
                lstrcpynA(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
            }
            result = 0;
            return true;
        }
        case LVN_COLUMNCLICK:
            if (OnColumnClick) OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
            result = 0;
            return true;
        case NM_DBLCLK: {
            const int row = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
            if (row >= 0 && OnDoubleClick) OnDoubleClick(row);
            result = 0;
            return true;
        }
        default: return false;
    }
}

// --- status bar ---

StatusBar::StatusBar(HWND parent)
    : ChildWindow(parent, statusBarClass(), WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, 0) {}

void StatusBar::fit() { SendMessageA(handle(), WM_SIZE, 0, 0); }

int StatusBar::pixelHeight() const {
    RECT r{};
    GetWindowRect(handle(), &r);
    return r.bottom - r.top;
}

}  // namespace velmora
