// The markup label: a window-less control on a form that shows a markup text
// and turns its anchors into buttons. Web, ftp and mail anchors are opened by the
// shell; any other anchor is reported through OnAnchorClick. A text that
// cannot be laid out is reported once and not drawn until it changes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "markup/gdisurface_win.h"
#include "markup/labellayout.h"
#include "markup/markup.h"
#include "ui/control_win.h"

namespace velmora {

class TMarkupLabel;
using TAnchorClick = std::function<void(TMarkupLabel& sender, const std::string& anchor)>;

class TMarkupLabel : public GraphicControl {
public:
    explicit TMarkupLabel(Form& parent);
    TMarkupLabel(Form& parent, int left, int top, int width, int height);
    ~TMarkupLabel() override;

    // MarkupText: one string per line; every change repaints.
    const std::vector<std::string>& markupText() const { return markupText_; }
    void setMarkupText(const std::vector<std::string>& lines);
    void addMarkupLine(const std::string& line);
    // Raises "List index out of bounds (%d)" for a line that is not there.
    void setMarkupLine(long index, const std::string& line);
    void clearMarkupText();

    bool autoSizing() const { return autoSizing_; }
    void setAutoSizing(bool on);
    // Not owned; a list that is destroyed is dropped from the label.
    GdiImageList* images() const { return images_; }
    void setImages(GdiImageList* images);
    Colour urlColor() const { return urlColor_; }
    void setURLColor(Colour colour);
    bool anchorHint = false;
    const LabelFrame& frame() const { return frame_; }
    void setBevelInner(BevelKind kind);
    void setBevelOuter(BevelKind kind);
    void setBevelWidth(int width);
    void setBorderWidth(int width);
    void setBorderStyle(LabelBorder style);

    TAnchorClick OnAnchorClick;
    TAnchorClick OnAnchorEnter;
    TAnchorClick OnAnchorExit;
    std::function<void(MouseButton, int x, int y)> OnMouseDown;
    std::function<void(int x, int y)> OnMouseMove;

    // The href of the anchor under a point in the label's coordinates, or "".
    std::string AnchorAt(int x, int y);

    void paint(HDC dc) override;
    // With anchorHint, the href of the anchor under the mouse, 10 pixels
    // right of and 10 above the cursor; otherwise the label's own hint.
    bool hintAt(int x, int y, POINT cursor, std::string& text, POINT& where) override;
    void mouseDown(MouseButton button, int x, int y) override;
    void mouseMove(int x, int y) override;

private:
    Font markupFont() const;
    MarkupRect textBox() const;

    std::vector<std::string> markupText_;
    bool autoSizing_ = false;
    GdiImageList* images_ = nullptr;
    Colour urlColor_ = 0xFF0000;
    LabelFrame frame_;
    AnchorHover hover_;
    // The text raised during layout and has been reported; cleared by a new text.
    bool textFailed_ = false;
};

}  // namespace velmora
