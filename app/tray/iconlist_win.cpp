#include "app/tray/iconlist_win.h"

#include <algorithm>

#include "base/error.h"
#include "ui/win32error_win.h"

namespace velmora {

TIconList::~TIconList() {
    for (HICON icon : icons_)
        if (icon) DestroyIcon(icon);
}

void TIconList::check(int index, int end) const {
    if (index < 0 || index >= end) throwListIndex(index);
}

HICON TIconList::item(int index) const {
    check(index, count());
    return icons_[static_cast<size_t>(index)];
}

void TIconList::add(HICON icon) { insert(count(), icon); }

void TIconList::insert(int index, HICON icon) {
    check(index, count() + 1);
    icons_.insert(icons_.begin() + index, icon);
    changed();
}

void TIconList::replace(int index, HICON icon) {
    check(index, count());
    HICON& slot = icons_[static_cast<size_t>(index)];
    if (slot && slot != icon) DestroyIcon(slot);
    slot = icon;
    changed();
}

void TIconList::addfromresource(HINSTANCE instance, int id) {
    // The notification area's icons are the system's small icon size.
    const HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                   GetSystemMetrics(SM_CYSMICON), 0);
    if (!icon) raiseLastWin32Error();
    add(static_cast<HICON>(icon));
}

void TIconList::remove(int index) {
    check(index, count());
    if (HICON icon = icons_[static_cast<size_t>(index)]) DestroyIcon(icon);
    icons_.erase(icons_.begin() + index);
    changed();
}

void TIconList::clear() {
    if (icons_.empty()) return;
    for (HICON icon : icons_)
        if (icon) DestroyIcon(icon);
    icons_.clear();
    changed();
}

void TIconList::exchange(int a, int b) {
    check(a, count());
    check(b, count());
    std::swap(icons_[static_cast<size_t>(a)], icons_[static_cast<size_t>(b)]);
    changed();
}

void TIconList::move(int from, int to) {
    check(from, count());
    check(to, count());
    const HICON icon = icons_[static_cast<size_t>(from)];
    icons_.erase(icons_.begin() + from);
    icons_.insert(icons_.begin() + to, icon);
    changed();
}

int TIconList::indexof(HICON icon) const {
    const auto it = std::find(icons_.begin(), icons_.end(), icon);
    return it == icons_.end() ? -1 : static_cast<int>(it - icons_.begin());
}

void TIconList::endupdate() {
    if (updates_ == 0) return;
    if (--updates_ == 0 && pending_) changed();
}

void TIconList::changed() {
    if (updates_ > 0) {
        pending_ = true;
        return;
    }
    pending_ = false;
    if (onChange) onChange();
}

}  // namespace velmora
