// The markup engine: the small HTML-like language in which every window text
// of Velmora is written, its layout into lines, drawing and anchor hit tests.
// The engine draws through MarkupSurface and never sees a device context;
// markup/gdisurface_win.h is the Windows surface, tests use a fake one.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/colour.h"

namespace velmora {


struct MarkupRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const MarkupRect&) const = default;
};

struct MarkupPoint {
    int x = 0, y = 0;
};

struct MarkupSize {
    int width = 0, height = 0;
    bool operator==(const MarkupSize&) const = default;
};

struct MarkupFont {
    std::string face;
    int size = 8;  // points
    bool bold = false, italic = false, underline = false, strikeout = false;
    Colour colour = 0;
    bool operator==(const MarkupFont&) const = default;
};

// The control's image list ("idx:" images). Drawing goes through the surface,
// which knows how to put a list image on itself.
class MarkupImageList {
public:
    virtual ~MarkupImageList() = default;
    virtual int count() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

// Everything the engine asks of the thing it draws on. Measuring (textHeight,
// blankWidth, measureRun) is all the layout needs; the rest paints.
class MarkupSurface {
public:
    virtual ~MarkupSurface() = default;

    virtual MarkupFont font() const = 0;
    virtual void setFont(const MarkupFont& font) = 0;
    // Height of the current font's character cell, as measured on `sample`.
    virtual int textHeight(std::string_view sample) = 0;
    virtual int blankWidth() = 0;
    // Width and height of one run on one line: tabs expanded, "&" prefixes processed.
    virtual MarkupSize measureRun(std::string_view run) = 0;
    // Draws a run on one line, bottom-aligned in `cell` and clipped to it.
    virtual void drawRun(std::string_view run, const MarkupRect& cell) = 0;

    // Runs are drawn without background until the brush colour is changed;
    // from then on their character cells are filled with the brush colour.
    virtual void setTransparentBackground() = 0;
    virtual Colour brushColour() const = 0;
    virtual void setBrushColour(Colour colour) = 0;

    virtual Colour penColour() const = 0;
    virtual void setPenColour(Colour colour) = 0;
    // Outline in the pen colour, filled with the brush colour.
    virtual void rectangle(const MarkupRect& r) = 0;
    virtual void line(int x1, int y1, int x2, int y2) = 0;

    virtual void drawListImage(const MarkupImageList& list, int index, int x, int y) = 0;
    // Icon index of a path in the shell's small or large image list: the shell's
    // index for an existing file or folder, else the one for a file of that type.
    virtual int systemIconIndex(const std::string& path, bool large) = 0;
    virtual MarkupSize systemIconSize(bool large) = 0;
    virtual void drawSystemIcon(int index, bool large, int x, int y) = 0;
    // Size of the bitmap in `path`; 0 x 0 when the file does not exist. A file
    // that exists but holds no bitmap raises velmora::Error.
    virtual MarkupSize bitmapSize(const std::string& path) = 0;
    virtual void drawBitmap(const std::string& path, int x, int y) = 0;
};

enum class MarkupMode { Draw, HitTest };

struct MarkupResult {
    bool hit = false;
    std::string anchor;  // meaningful only when hit
    int width = 0;       // the widest line, without one trailing blank
    int height = 0;      // the lines laid out, or the font's cell height
};

// Lays `text` out in `box`, drawing it (Draw) or testing `point` against its
// anchors (HitTest). Raises velmora::Error for a bad number in a size or "idx:"
// value; the call is abandoned then.
MarkupResult DrawMarkup(MarkupSurface& surface, std::string_view text, const MarkupRect& box,
                        const MarkupImageList* images, MarkupMode mode, MarkupPoint point,
                        Colour linkColour);

// --- pieces of the language, exposed for the controls and for tests ---

// The run at the front of `text`: a word with one following blank, a single
// blank, or the text in front of a tag (empty when `text` starts with "<").
std::string_view nextRun(std::string_view text);

// Value of attribute `name` in a tag text: searched without regard to case,
// first occurrence, the text between the first two double quotes after it.
// Empty when the name or the quotes are missing; `found` tells the two apart.
std::string attributeValue(std::string_view tagText, std::string_view name, bool* found = nullptr);

// Applies a colour attribute value: a "cl" name (black if unknown), then a
// "#RRGGBB" value. A value matching neither, and a "#" value that is shorter
// than six digits or not hexadecimal, leaves `colour` as it was.
void applyColourValue(std::string_view value, Colour& colour);

// The table of colour names ("clred", "clbtnface", ...); black for an unknown name.
Colour colourFromName(std::string_view lowerName);

}  // namespace velmora
