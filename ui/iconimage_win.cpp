#include "ui/iconimage_win.h"

#include "ui/handles_win.h"

namespace velmora {

HICON loadOwnedIcon(HINSTANCE instance, WORD id, int pixels) {
    if (instance)
        return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, pixels, pixels, 0));
    // The system's icons load only shared; a copy taken from their resource
    // at the size wanted is the caller's own.
    const HANDLE shared = LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE);
    if (!shared) return nullptr;
    return static_cast<HICON>(CopyImage(shared, IMAGE_ICON, pixels, pixels, LR_COPYFROMRESOURCE));
}


IconImage::IconImage(Form& parent, int left, int top, int width, int height) : GraphicControl(parent) {
    setBounds(left, top, width, height);
}

IconImage::~IconImage() { release(); }

void IconImage::release() {
    if (icon_ && !shared_) DestroyIcon(icon_);
    icon_ = nullptr;
}

void IconImage::setIcon(HICON icon, bool shared) {
    source_ = nullptr;
    if (icon != icon_) release();
    icon_ = icon;
    shared_ = shared;
    invalidate();
}

void IconImage::setIconSource(IconSource source, bool shared) {
    release();
    source_ = std::move(source);
    shared_ = shared;
    load(pixelRect().right);
    invalidate();
}

void IconImage::load(int pixels) {
    release();
    loaded_ = pixels;
    icon_ = source_ ? source_(pixels) : nullptr;
}

void IconImage::paint(HDC dc) {
    if (source_ && pixelRect().right != loaded_) load(pixelRect().right);
    const ScopedGdiObject brush(CreateSolidBrush(toColorRef(color)));
    RECT r = pixelRect();
    FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    if (icon_) DrawIconEx(dc, 0, 0, icon_, r.right, r.bottom, 0, nullptr, DI_NORMAL);
}

}  // namespace velmora
