// The Windows drawing surface of the markup engine: GDI text calls on a
// device context, fonts by face, size, style and colour, system colours,
// image lists, the shell's system icons and bitmap files.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <string>

#include "markup/markup.h"
#include "ui/control_win.h"
#include "ui/handles_win.h"

namespace velmora {

// A common-control image list as the source of "idx:" images. Not owning the
// list; whoever refers to it can ask to hear when it goes away.
// Its images may be drawn for a denser screen than 96 dpi (`dpi`): the
// engine sees them at their size in 96-dpi units.
class GdiImageList : public MarkupImageList {
public:
    explicit GdiImageList(HIMAGELIST list, int dpi = 96) : list_(list), scale_{dpi} {}
    GdiImageList(const GdiImageList&) = delete;
    GdiImageList& operator=(const GdiImageList&) = delete;
    ~GdiImageList() override;

    HIMAGELIST handle() const { return list_; }
    int count() const override;
    int width() const override;
    int height() const override;

    // Called once when this list is destroyed; `key` removes the listener again.
    void addRemovalListener(const void* key, std::function<void()> listener);
    void removeRemovalListener(const void* key);

    // The list's images in pixels.
    SIZE pixelSize() const;

private:
    HIMAGELIST list_;
    Scale scale_;
    std::map<const void*, std::function<void()>> listeners_;
};

// The density an image list of `units`-unit images was made for (96 for
// 16-pixel images of 16 units, 144 for 24-pixel ones).
int imageListDpi(HIMAGELIST list, int units);

// Draws on `dc` for the surface's lifetime; every font, pen, brush and bitmap
// it makes is its own, and the device context gets its former selections,
// colours and modes back when the surface ends.
//
// The engine works in 96-dpi units: the surface draws them at `dpi` dots per
// inch, fonts and images at the size they have there, and measures text in
// pixels given back as units: widths to the nearest unit, so that a line of
// many runs is as long in units as in pixels, heights rounded up.
class GdiSurface : public MarkupSurface {
public:
    // `font` is the entry font, as the controls hold it (a LOGFONT height in units).
    GdiSurface(HDC dc, const Font& font, Colour brush, int dpi = 96);
    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;
    ~GdiSurface() override;

    HDC dc() const { return dc_; }

    MarkupFont font() const override { return font_; }
    void setFont(const MarkupFont& font) override;
    int textHeight(std::string_view sample) override;
    int blankWidth() override;
    MarkupSize measureRun(std::string_view run) override;
    void drawRun(std::string_view run, const MarkupRect& cell) override;
    void setTransparentBackground() override;
    Colour brushColour() const override { return brush_; }
    void setBrushColour(Colour colour) override;
    Colour penColour() const override { return pen_; }
    void setPenColour(Colour colour) override;
    void rectangle(const MarkupRect& r) override;
    void line(int x1, int y1, int x2, int y2) override;
    void drawListImage(const MarkupImageList& list, int index, int x, int y) override;
    int systemIconIndex(const std::string& path, bool large) override;
    MarkupSize systemIconSize(bool large) override;
    void drawSystemIcon(int index, bool large, int x, int y) override;
    MarkupSize bitmapSize(const std::string& path) override;
    void drawBitmap(const std::string& path, int x, int y) override;

private:
    struct FontKey {
        std::string face;
        int height;
        int style;
        bool operator<(const FontKey& o) const {
            if (face != o.face) return face < o.face;
            if (height != o.height) return height < o.height;
            return style < o.style;
        }
    };
    HIMAGELIST systemList(bool large);
    HBITMAP loadBitmap(const std::string& path);

    RECT pixels(const MarkupRect& r) const;

    HDC dc_;
    int savedState_;
    Scale scale_;
    Font entry_;
    MarkupFont font_;
    Colour brush_;
    Colour pen_ = 0;
    // Declared after nothing that uses them at destruction: the device
    // context is restored (releasing these selections) before they are deleted.
    std::map<FontKey, ScopedGdiObject> fonts_;
    ScopedGdiObject penObject_;
    ScopedGdiObject brushObject_;
    std::map<std::string, ScopedGdiObject> bitmaps_;
    HIMAGELIST smallIcons_ = nullptr;  // the shell's lists: never destroyed
    HIMAGELIST largeIcons_ = nullptr;
};

}  // namespace velmora
