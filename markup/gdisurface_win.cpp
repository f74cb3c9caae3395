#include "markup/gdisurface_win.h"

#include "ui/control_win.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>

#include "base/error.h"

namespace velmora {

// --- image list ---

GdiImageList::~GdiImageList() {
    // A listener may remove itself while it is told: walk a copy.
    const auto listeners = listeners_;
    for (const auto& [key, listener] : listeners) listener();
}

int GdiImageList::count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

SIZE GdiImageList::pixelSize() const {
    int cx = 0, cy = 0;
    if (list_) ImageList_GetIconSize(list_, &cx, &cy);
    return {cx, cy};
}

int imageListDpi(HIMAGELIST list, int units) {
    int cx = 0, cy = 0;
    if (!list || units <= 0 || !ImageList_GetIconSize(list, &cx, &cy) || cy <= 0) return 96;
    return MulDiv(cy, 96, units);
}

int GdiImageList::width() const { return scale_.units(pixelSize().cx); }
int GdiImageList::height() const { return scale_.units(pixelSize().cy); }

void GdiImageList::addRemovalListener(const void* key, std::function<void()> listener) {
    listeners_[key] = std::move(listener);
}

void GdiImageList::removeRemovalListener(const void* key) { listeners_.erase(key); }

// --- surface ---

namespace {
int clampedLength(std::string_view text) { return static_cast<int>(std::min<size_t>(text.size(), INT_MAX)); }

bool pathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

GdiSurface::GdiSurface(HDC dc, const Font& font, Colour brush, int dpi)
    : dc_(dc), savedState_(SaveDC(dc)), scale_{dpi > 0 ? dpi : 96}, entry_(font), brush_(brush) {
    // Points are measured on the 96-dpi grid the layout is written in.
    font_.face = font.name;
    font_.size = MulDiv(std::abs(font.height), 72, 96);
    font_.bold = font.bold;
    font_.italic = font.italic;
    font_.underline = font.underline;
    font_.strikeout = font.strikeout;
    font_.colour = font.color;
    // The pen the device context has now is the one the engine restores to.
    LOGPEN pen{};
    if (GetObjectA(GetCurrentObject(dc_, OBJ_PEN), sizeof pen, &pen) == sizeof pen) pen_ = pen.lopnColor;
    setFont(font_);
}

RECT GdiSurface::pixels(const MarkupRect& r) const {
    const MarkupRect p = scale_.rect(r);
    return {p.left, p.top, p.right, p.bottom};
}

GdiSurface::~GdiSurface() {
    // Back to the caller's font, pen, brush, colours and modes; only then are
    // the surface's own objects deleted (by the members' destructors).
    RestoreDC(dc_, savedState_);
}

void GdiSurface::setFont(const MarkupFont& font) {
    font_ = font;
    // The entry face at the entry size keeps the exact entry height: points
    // are rounded and would not always give the same pixel height back.
    int height = -MulDiv(font.size, 96, 72);
    if (font.face == entry_.name && font.size == MulDiv(std::abs(entry_.height), 72, 96)) height = entry_.height;
    const int style = (font.bold ? 1 : 0) | (font.italic ? 2 : 0) | (font.underline ? 4 : 0) | (font.strikeout ? 8 : 0);
    const FontKey key{font.face, height, style};
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        Font gdiFont;
        gdiFont.name = font.face;
        gdiFont.height = height;
        gdiFont.bold = font.bold;
        gdiFont.italic = font.italic;
        gdiFont.underline = font.underline;
        gdiFont.strikeout = font.strikeout;
        it = fonts_.emplace(key, ScopedGdiObject(createFont(gdiFont, scale_.dpi))).first;
    }
    if (it->second.get()) SelectObject(dc_, it->second.get());
    SetTextColor(dc_, toColorRef(font.colour));
}

int GdiSurface::textHeight(std::string_view sample) {
    SIZE size{};
    GetTextExtentPointA(dc_, sample.data(), clampedLength(sample), &size);
    return scale_.unitsCeil(size.cy);
}

int GdiSurface::blankWidth() {
    SIZE size{};
    GetTextExtentPointA(dc_, " ", 1, &size);
    return scale_.units(size.cx);
}

MarkupSize GdiSurface::measureRun(std::string_view run) {
    RECT r{0, 0, 0, 0};
    DrawTextA(dc_, run.data(), clampedLength(run), &r, DT_CALCRECT | DT_EXPANDTABS);
    // Widths to the nearest unit, so that a line of many runs is as long in
    // units as in pixels; heights rounded up, so lines never overlap.
    return {scale_.units(r.right - r.left), scale_.unitsCeil(r.bottom - r.top)};
}

void GdiSurface::drawRun(std::string_view run, const MarkupRect& cell) {
    RECT r = pixels(cell);
    // Not clipped to the cell: a run's pixels may reach a pixel past its
    // cell in units at a scale other than 1.
    UINT format = DT_BOTTOM | DT_SINGLELINE | DT_EXPANDTABS | DT_EXTERNALLEADING;
    if (!scale_.identity()) format |= DT_NOCLIP;
    DrawTextA(dc_, run.data(), clampedLength(run), &r, format);
}

void GdiSurface::setTransparentBackground() { SetBkMode(dc_, TRANSPARENT); }

void GdiSurface::setBrushColour(Colour colour) {
    brush_ = colour;
    // From now on the character cells behind runs are filled.
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, toColorRef(colour));
    ScopedGdiObject brush(CreateSolidBrush(toColorRef(colour)));
    if (brush.get()) {
        SelectObject(dc_, brush.get());
        brushObject_ = std::move(brush);
    }
}

void GdiSurface::setPenColour(Colour colour) {
    pen_ = colour;
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, toColorRef(colour)));
    if (pen.get()) {
        SelectObject(dc_, pen.get());
        penObject_ = std::move(pen);
    }
}

void GdiSurface::rectangle(const MarkupRect& r) {
    if (!brushObject_) {
        // The brush colour the surface was made with has not been selected yet.
        ScopedGdiObject brush(CreateSolidBrush(toColorRef(brush_)));
        if (brush.get()) {
            SelectObject(dc_, brush.get());
            brushObject_ = std::move(brush);
        }
    }
    const RECT p = pixels(r);
    Rectangle(dc_, p.left, p.top, p.right, p.bottom);
}

void GdiSurface::line(int x1, int y1, int x2, int y2) {
    MoveToEx(dc_, scale_.px(x1), scale_.px(y1), nullptr);
    LineTo(dc_, scale_.px(x2), scale_.px(y2));
}

void GdiSurface::drawListImage(const MarkupImageList& list, int index, int x, int y) {
    const auto* gdi = dynamic_cast<const GdiImageList*>(&list);
    if (!gdi) return;
    // The list's images are drawn at their own size where the list was made
    // for this density, stretched to it otherwise.
    const SIZE own = gdi->pixelSize();
    const int w = scale_.px(gdi->width()), h = scale_.px(gdi->height());
    if (own.cx == w && own.cy == h)
        ImageList_Draw(gdi->handle(), index, dc_, scale_.px(x), scale_.px(y), ILD_NORMAL);
    else
        ImageList_DrawEx(gdi->handle(), index, dc_, scale_.px(x), scale_.px(y), w, h, CLR_NONE, CLR_NONE, ILD_NORMAL);
}

HIMAGELIST GdiSurface::systemList(bool large) {
    HIMAGELIST& list = large ? largeIcons_ : smallIcons_;
    if (!list) {
        SHFILEINFOA info{};
        list = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoA("file.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (large ? 0 : SHGFI_SMALLICON)));
    }
    return list;
}

int GdiSurface::systemIconIndex(const std::string& path, bool large) {
    SHFILEINFOA info{};
    UINT flags = SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON);
    // A name that is not on disk gets the icon of its type, without touching the disk.
    if (!pathExists(path)) flags |= SHGFI_USEFILEATTRIBUTES;
    SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags);
    return info.iIcon;
}

MarkupSize GdiSurface::systemIconSize(bool large) {
    int cx = 0, cy = 0;
    if (HIMAGELIST list = systemList(large)) ImageList_GetIconSize(list, &cx, &cy);
    return {scale_.unitsCeil(cx), scale_.unitsCeil(cy)};
}

void GdiSurface::drawSystemIcon(int index, bool large, int x, int y) {
    if (HIMAGELIST list = systemList(large))
        ImageList_Draw(list, index, dc_, scale_.px(x), scale_.px(y), ILD_TRANSPARENT);
}

HBITMAP GdiSurface::loadBitmap(const std::string& path) {
    auto it = bitmaps_.find(path);
    if (it != bitmaps_.end()) return static_cast<HBITMAP>(it->second.get());
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    HANDLE loaded = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (!loaded) throw Error("Bitmap image is not valid");
    return static_cast<HBITMAP>(bitmaps_.emplace(path, ScopedGdiObject(loaded)).first->second.get());
}

MarkupSize GdiSurface::bitmapSize(const std::string& path) {
    HBITMAP bitmap = loadBitmap(path);
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return {};
    return {info.bmWidth, std::abs(info.bmHeight)};
}

void GdiSurface::drawBitmap(const std::string& path, int x, int y) {
    HBITMAP bitmap = loadBitmap(path);
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return;
    const MemoryDC memory(dc_);
    if (!memory) return;
    const SelectGuard selected(memory.get(), bitmap);
    // A picture file is 96-dpi art: it takes its size in units.
    const int h = std::abs(info.bmHeight);
    if (scale_.identity()) {
        BitBlt(dc_, x, y, info.bmWidth, h, memory.get(), 0, 0, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc_, HALFTONE);
    SetBrushOrgEx(dc_, 0, 0, nullptr);
    StretchBlt(dc_, scale_.px(x), scale_.px(y), scale_.px(x + info.bmWidth) - scale_.px(x),
               scale_.px(y + h) - scale_.px(y), memory.get(), 0, 0, info.bmWidth, h, SRCCOPY);
}

}  // namespace velmora
