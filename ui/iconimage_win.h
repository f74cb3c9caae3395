// A window-less picture: one icon drawn at the control's size over its colour.
#pragma once
#include "ui/control_win.h"

namespace velmora {

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
    void paint(HDC dc) override;

private:
    void release();

    HICON icon_ = nullptr;
    bool shared_ = false;
};

}  // namespace velmora
