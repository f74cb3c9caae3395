// A drawing surface with fixed metrics, so that layout positions can be
// worked out by hand: every visible character is 10 pixels wide (12 in bold),
// the character cell is twice the point size high (20 for the 10-point entry
// font). "&" prefixes are processed as on Windows: a single "&" takes no room,
// "&&" is one "&". Everything drawn is recorded.
#pragma once
#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/error.h"
#include "markup/markup.h"

namespace velmora::test {

struct DrawnRun {
    std::string text;
    MarkupRect cell;
    MarkupFont font;
    bool filled = false;  // character cells filled with `background`
    Colour background = 0;
};

struct DrawnImage {
    std::string kind;  // "list", "small", "large", "bitmap"
    int index = 0;     // list or icon index
    std::string path;  // bitmaps
    int x = 0, y = 0;
};

struct DrawnLine {
    int x1, y1, x2, y2;
    Colour pen;
};

struct DrawnRectangle {
    MarkupRect rect;
    Colour pen, brush;
};

class FakeImageList : public MarkupImageList {
public:
    FakeImageList(int count, int width, int height) : count_(count), width_(width), height_(height) {}
    int count() const override { return count_; }
    int width() const override { return width_; }
    int height() const override { return height_; }

private:
    int count_, width_, height_;
};

class FakeSurface : public MarkupSurface {
public:
    static constexpr int kGlyph = 10;
    static constexpr int kBoldGlyph = 12;

    FakeSurface() {
        font_.face = "Verdana";
        font_.size = 10;
        font_.colour = 0x00112233;
    }

    // Metrics of the font in force.
    int glyphWidth() const { return font_.bold ? kBoldGlyph : kGlyph; }
    int cell() const {
        const std::int64_t h = 2 * static_cast<std::int64_t>(font_.size);
        return static_cast<int>(std::clamp<std::int64_t>(h, 0, 1 << 20));
    }
    static int visibleChars(std::string_view run) {
        int n = 0;
        for (size_t i = 0; i < run.size(); ++i) {
            if (run[i] == '&') {
                if (i + 1 < run.size() && run[i + 1] == '&') {
                    ++n;
                    ++i;
                }
                continue;  // a single "&" only marks the next character
            }
            ++n;
        }
        return n;
    }

    MarkupFont font() const override { return font_; }
    void setFont(const MarkupFont& font) override {
        font_ = font;
        ++fontChanges;
    }
    int textHeight(std::string_view) override { return cell(); }
    int blankWidth() override { return glyphWidth(); }
    MarkupSize measureRun(std::string_view run) override {
        ++measures;
        return {visibleChars(run) * glyphWidth(), cell()};
    }
    void drawRun(std::string_view run, const MarkupRect& cell) override {
        runs.push_back({std::string(run), cell, font_, filling_, brush_});
    }
    void setTransparentBackground() override { filling_ = false; }
    Colour brushColour() const override { return brush_; }
    void setBrushColour(Colour colour) override {
        brush_ = colour;
        filling_ = true;
    }
    Colour penColour() const override { return pen_; }
    void setPenColour(Colour colour) override { pen_ = colour; }
    void rectangle(const MarkupRect& r) override { rectangles.push_back({r, pen_, brush_}); }
    void line(int x1, int y1, int x2, int y2) override { lines.push_back({x1, y1, x2, y2, pen_}); }
    void drawListImage(const MarkupImageList&, int index, int x, int y) override {
        images.push_back({"list", index, {}, x, y});
    }
    int systemIconIndex(const std::string& path, bool) override {
        iconPaths.push_back(path);
        auto it = iconIndexes.find(path);
        return it == iconIndexes.end() ? 99 : it->second;
    }
    MarkupSize systemIconSize(bool large) override { return large ? MarkupSize{32, 32} : MarkupSize{16, 16}; }
    void drawSystemIcon(int index, bool large, int x, int y) override {
        images.push_back({large ? "large" : "small", index, {}, x, y});
    }
    MarkupSize bitmapSize(const std::string& path) override {
        if (badBitmaps.count(path)) throw Error("Bitmap image is not valid");
        auto it = bitmaps.find(path);
        return it == bitmaps.end() ? MarkupSize{} : it->second;
    }
    void drawBitmap(const std::string& path, int x, int y) override { images.push_back({"bitmap", 0, path, x, y}); }

    // Set up by tests.
    std::map<std::string, int> iconIndexes;
    std::map<std::string, MarkupSize> bitmaps;
    std::set<std::string> badBitmaps;

    // Recorded.
    std::vector<DrawnRun> runs;
    std::vector<DrawnImage> images;
    std::vector<DrawnLine> lines;
    std::vector<DrawnRectangle> rectangles;
    std::vector<std::string> iconPaths;
    int fontChanges = 0;
    int measures = 0;

    MarkupFont font_;
    Colour brush_ = 0x00C0C0C0;
    Colour pen_ = 0x00000001;
    bool filling_ = false;
};

}  // namespace velmora::test
