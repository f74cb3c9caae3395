// A window-less picture: one icon drawn at the control's size over its colour.
#pragma once
#include <functional>

#include "ui/control_win.h"

namespace velmora {

// An icon of `pixels` square that the caller owns (DestroyIcon), picked from
// the resource's images for that size: from `instance`'s resource `id`, or
// with a null instance the system's icon `id` (IDI_*). A shared icon would
// not do: the system keeps the first size asked for and hands that one out
// again for every later size.
HICON loadOwnedIcon(HINSTANCE instance, WORD id, int pixels);

class IconImage : public GraphicControl {
public:
    IconImage(Form& parent, int left, int top, int width, int height);
    ~IconImage() override;
    IconImage(const IconImage&) = delete;
    IconImage& operator=(const IconImage&) = delete;

    HICON icon() const { return icon_; }
    // Takes ownership of the icon, which goes with the control or the next
    // icon; a shared icon (one the system or a list keeps) is never destroyed.
    void setIcon(HICON icon, bool shared = false);
    // Where the icon comes from at a size in pixels: the control loads it at
    // its own size now and again whenever it is drawn at another (its window
    // moved to a screen of another density).
    using IconSource = std::function<HICON(int pixels)>;
    void setIconSource(IconSource source, bool shared = false);
    void paint(HDC dc) override;

private:
    void release();
    void load(int pixels);

    HICON icon_ = nullptr;
    bool shared_ = false;
    IconSource source_;
    int loaded_ = 0;  // the size the source was last asked for
};

}  // namespace velmora
