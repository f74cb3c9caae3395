// Window-less controls: they have no HWND of their own, paint on their
// parent form and get their mouse input through it.
#pragma once
#include <windows.h>

#include <string>

#include "base/colour.h"
#include "base/scale.h"

namespace velmora {

class Form;

// The framework's name for the program's colour value (base/colour.h).
using Color = Colour;
constexpr Color kSystemColor = kSystemColourFlag;
constexpr Color clBtnFace = kSystemColor | COLOR_BTNFACE;
constexpr Color clWindowText = kSystemColor | COLOR_WINDOWTEXT;
constexpr Color clBtnShadow = kSystemColor | COLOR_BTNSHADOW;
constexpr Color clBtnHighlight = kSystemColor | COLOR_BTNHIGHLIGHT;
// The GDI colour of a colour value, a system colour looked up now.
COLORREF toColorRef(Color color);

struct Font {
    std::string name = "MS Sans Serif";
    int height = -11;  // LOGFONT height: negative is the character height in pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    Color color = clWindowText;
};
// The program's own face for its texts: Verdana at a LOGFONT height.
inline Font verdanaFont(int height = -9) {
    Font font;
    font.name = "Verdana";
    font.height = height;
    return font;
}
// A new GDI font for `font` (the caller owns it), its 96-dpi height scaled to `dpi`.
HFONT createFont(const Font& font, int dpi = 96);

enum class MouseButton { Left, Right, Middle };
enum class Cursor { Default, HandPoint };

class GraphicControl {
public:
    explicit GraphicControl(Form& parent);
    GraphicControl(const GraphicControl&) = delete;
    GraphicControl& operator=(const GraphicControl&) = delete;
    virtual ~GraphicControl();

    Form& parent() const { return parent_; }
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    RECT boundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    RECT clientRect() const { return {0, 0, width_, height_}; }
    // Where the control paints, in the parent's pixels, and its own area in
    // pixels from (0, 0), as paint() sees it.
    RECT pixelBounds() const;
    RECT pixelRect() const;
    // The parent's density: 96-dpi units in pixels and back.
    const Scale& scale() const;
    void setBounds(int left, int top, int width, int height);

    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    Cursor cursor() const { return cursor_; }
    void setCursor(Cursor cursor) { cursor_ = cursor; }

    Font font;
    Color color = clBtnFace;
    bool transparent = false;

    // Asks the parent to repaint this control's rectangle.
    void invalidate();

    // The control's own tip, shown when the mouse rests on it and showHint is set.
    std::string hint;
    bool showHint = false;
    // Asked when the mouse has rested at (x, y), control coordinates, with the
    // cursor at `cursor` on the screen: the text and screen position of the
    // tip to show, or false for none. By default the control's own hint,
    // below the cursor.
    virtual bool hintAt(int x, int y, POINT cursor, std::string& text, POINT& where);

    // Paints in the control's own pixels: (0, 0) is its top-left corner,
    // drawing is clipped to pixelRect(), and scale() turns units into pixels.
    virtual void paint(HDC dc) = 0;
    // The window that takes the focus on Alt and `key` (a label's "&"
    // character), or null.
    virtual HWND acceleratorTarget(char /*key*/) const { return nullptr; }
    // Mouse input in the control's own coordinates, in units.
    virtual void mouseDown(MouseButton, int /*x*/, int /*y*/) {}
    virtual void mouseMove(int /*x*/, int /*y*/) {}
    virtual void mouseUp(MouseButton, int /*x*/, int /*y*/) {}

private:
    Form& parent_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    Cursor cursor_ = Cursor::Default;
};

}  // namespace velmora
