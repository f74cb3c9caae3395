// A plain text label. "&" marks the accelerator character, as on buttons.
#pragma once
#include <string>

#include "ui/control_win.h"

namespace velmora {

class Label : public GraphicControl {
public:
    Label(Form& parent, int left, int top, const std::string& text);

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    // On by default: the label takes the size of its text.
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);

    void paint(HDC dc) override;
    // The control that Alt and the "&" character focus (a label names its field).
    HWND focusControl = nullptr;
    HWND acceleratorTarget(char key) const override;

private:
    void adjustSize();

    std::string text_;
    bool autoSize_ = true;
};

}  // namespace velmora
