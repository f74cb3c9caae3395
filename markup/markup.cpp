#include "markup/markup.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>

#include "base/error.h"
#include "base/text.h"

namespace velmora {

namespace {

constexpr auto npos = std::string_view::npos;

char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Case-insensitive (ASCII letters only) search for `needle` in `hay` from `from`.
size_t findNoCase(std::string_view hay, std::string_view needle, size_t from = 0) {
    if (needle.size() > hay.size()) return npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && upperChar(hay[i + k]) == upperChar(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return npos;
}

bool containsNoCase(std::string_view hay, std::string_view needle) { return findNoCase(hay, needle) != npos; }
bool contains(std::string_view hay, std::string_view needle) { return hay.find(needle) != npos; }

bool startsWithNoCase(std::string_view text, std::string_view form) {
    return text.size() >= form.size() && findNoCase(text.substr(0, form.size()), form) == 0;
}

// The text between the first two double quotes of `text`; empty without two.
std::string firstQuoted(std::string_view text) {
    const size_t open = text.find('"');
    if (open == npos) return {};
    const size_t close = text.find('"', open + 1);
    if (close == npos) return {};
    return std::string(text.substr(open + 1, close - open - 1));
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = upperChar(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Positions are kept in 64 bits so that huge IND values, images or font sizes
// cannot overflow; they are clamped where they meet the surface.
using Pos = std::int64_t;
int clampInt(Pos v) { return static_cast<int>(std::clamp<Pos>(v, INT_MIN, INT_MAX)); }
Pos floorHalf(Pos v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

struct ColourName {
    std::string_view name;
    Colour value;
};

constexpr std::array<ColourName, 40> kColourNames{{
    {"clred", 0x000000FF},
    {"clblack", 0x00000000},
    {"clblue", 0x00FF0000},
    {"clgreen", 0x00008000},
    {"claqua", 0x00FFFF00},
    {"clyellow", 0x0000FFFF},
    {"clfuchsia", 0x00FF00FF},
    {"clwhite", 0x00FFFFFF},
    {"cllime", 0x0000FF00},
    {"clsilver", 0x00C0C0C0},
    {"clgray", 0x00808080},
    {"clolive", 0x00008080},
    {"clnavy", 0x00800000},
    {"clpurple", 0x00800080},
    {"clteal", 0x00808000},
    {"clmaroon", 0x00000080},
    {"clbackground", 0x80000001},
    {"clactivecaption", 0x80000002},
    {"clinactivecaption", 0x80000003},
    {"clmenu", 0x80000004},
    {"clwindow", 0x80000005},
    {"clwindowframe", 0x80000006},
    {"clmenutext", 0x80000007},
    {"clwindowtext", 0x80000008},
    {"clcaptiontext", 0x80000009},
    {"clactiveborder", 0x8000000A},
    {"clinactiveborder", 0x8000000B},
    {"clappworkspace", 0x8000000C},
    {"clhighlight", 0x8000000D},
    {"clhighlighttext", 0x8000000E},
    {"clbtnface", 0x8000000F},
    {"clbtnshadow", 0x80000010},
    {"clgraytext", 0x80000011},
    {"clbtntext", 0x80000012},
    {"clinactivecaptiontext", 0x80000013},
    {"clbtnhighlight", 0x80000014},
    {"cl3ddkshadow", 0x80000015},
    {"cl3dlight", 0x80000016},
    {"clinfotext", 0x80000017},
    {"clinfobk", 0x80000018},
}};

enum class Align { Left, Right, Centre };

// Values of one line, filled by the measuring pass.
struct Line {
    Pos height = 0;
    Pos subOffset = 0;
    Pos supOffset = 0;
    Pos imageOffset = 0;
    Pos width = 0;
};

// Where the pass lays the line: the line box's left edge, the line top and
// (second pass) the text bottom to which ordinary runs are aligned.
struct Place {
    Pos left = 0;
    Pos top = 0;
    Pos textBottom = 0;
};

class Engine {
public:
    Engine(MarkupSurface& surface, const MarkupRect& box, const MarkupImageList* images, MarkupMode mode,
           MarkupPoint point, Colour linkColour)
        : s_(surface), box_(box), images_(images), mode_(mode), point_(point), linkColour_(linkColour) {}

    MarkupResult run(std::string_view text);

private:
    enum class Pass { Measure, Second };

    void useFont() {
        if (!(applied_ == font_)) {
            s_.setFont(font_);
            applied_ = font_;
        }
    }
    int cellHeight(std::string_view sample) {
        useFont();
        return s_.textHeight(sample);
    }
    void setBackground(Colour c) {
        if (c == background_) return;
        background_ = c;
        s_.setBrushColour(c);
    }
    bool drawing(Pass p) const { return p == Pass::Second && mode_ == MarkupMode::Draw; }
    bool hitTesting(Pass p) const { return p == Pass::Second && mode_ == MarkupMode::HitTest; }
    void testHit(const Place& at, Pos x, Pos w, Pos h) {
        if (!insideAnchor_) return;
        const Pos px = Pos{point_.x} - at.left;
        const Pos py = point_.y;
        if (px > x && px < x + w && py > at.top && py < at.top + h) {
            result_.hit = true;
            result_.anchor = href_;
        }
    }

    void layoutLine(Pass pass, std::string_view& text, Line& line, const Place& at);
    // Carries out the tag at the front of `text` and consumes it. Returns true
    // when the line ends here; an image that does not fit is left in the text.
    bool doTag(Pass pass, std::string_view& text, Line& line, const Place& at, Pos& x, Pos& lineHeight);
    void doFont(std::string_view tagText, bool drawPass);
    void doBody(std::string_view tagText, bool drawPass);
    MarkupSize imageSize(std::string_view src, bool draw, int x, int y);
    MarkupSize systemIcon(const std::string& rest, bool large, bool draw, int x, int y);

    MarkupSurface& s_;
    const MarkupRect box_;
    const MarkupImageList* images_;
    const MarkupMode mode_;
    const MarkupPoint point_;
    const Colour linkColour_;

    // The text state.
    MarkupFont font_;
    MarkupFont applied_;  // the font last given to the surface
    std::string savedFace_;
    int savedSize_ = 0;
    Colour savedColour_ = 0;
    Colour background_ = 0;
    Colour savedBackground_ = 0;
    bool insideAnchor_ = false;
    std::string href_;
    bool sub_ = false, sup_ = false;
    Align align_ = Align::Left;

    // What a line's second pass must start from: the state the measuring pass began with.
    struct LineStart {
        MarkupFont font;
        std::string savedFace;
        int savedSize;
        Colour savedColour;
        bool insideAnchor;
        std::string href;
    };
    LineStart lineStart() const { return {font_, savedFace_, savedSize_, savedColour_, insideAnchor_, href_}; }
    void restart(const LineStart& start) {
        font_ = start.font;
        savedFace_ = start.savedFace;
        savedSize_ = start.savedSize;
        savedColour_ = start.savedColour;
        insideAnchor_ = start.insideAnchor;
        href_ = start.href;
        sub_ = sup_ = false;
    }

    MarkupResult result_;
    Pos widest_ = 0;
};

void Engine::layoutLine(Pass pass, std::string_view& text, Line& line, const Place& at) {
    const Pos boxWidth = Pos{box_.right} - box_.left;
    Pos lineHeight = cellHeight("gh");
    Pos x = 0;
    Pos trailingBlank = 0;
    bool ended = false;
    while (!text.empty() && !ended) {
        const std::string_view run = nextRun(text);
        if (!run.empty()) {
            const Pos h = cellHeight(run);
            if (sub_ && line.subOffset < h / 4) line.subOffset = h / 4;
            if (sup_ && line.supOffset < h / 4) line.supOffset = h / 4;
            lineHeight = std::max(lineHeight, h);
            const MarkupSize m = s_.measureRun(run);
            if (hitTesting(pass)) testHit(at, x, m.width, m.height);
            if (drawing(pass)) {
                Pos bottom = at.textBottom - line.imageOffset;
                if (sup_) bottom -= line.supOffset;
                if (sub_) bottom += line.subOffset;
                s_.drawRun(run, MarkupRect{clampInt(at.left + x), clampInt(at.top), box_.right, clampInt(bottom)});
            }
            x += m.width;
            if (pass == Pass::Measure && !(x < boxWidth || m.width >= boxWidth)) {
                x -= m.width;  // the run starts the next line
                break;
            }
            text.remove_prefix(run.size());
            trailingBlank = run.back() == ' ' ? s_.blankWidth() : 0;
        }
        if (!text.empty() && text.front() == '<') ended = doTag(pass, text, line, at, x, lineHeight);
    }
    if (pass == Pass::Measure) {
        line.height = lineHeight;
        line.width = x - trailingBlank;
        widest_ = std::max(widest_, line.width);
    }
}

bool Engine::doTag(Pass pass, std::string_view& text, Line& line, const Place& at, Pos& x, Pos& lineHeight) {
    const bool drawPass = drawing(pass);
    const size_t close = text.find('>');
    const bool closing = text.size() >= 2 && text[1] == '/';
    const size_t letterAt = closing ? 2 : 1;
    const char letter = letterAt < text.size() ? upperChar(text[letterAt]) : '\0';
    // The tag text: from a fixed character of the tag up to its ">".
    auto tagText = [&](size_t start) -> std::string_view {
        if (close == npos || close <= start) return {};
        return text.substr(start, close - start);
    };
    bool endsLine = false;
    if (closing) {
        switch (letter) {
        case 'A':
            font_.underline = false;
            font_.colour = savedColour_;
            insideAnchor_ = false;
            break;
        case 'B': font_.bold = false; break;
        case 'F':
            font_.face = savedFace_;
            font_.size = savedSize_;
            font_.colour = savedColour_;
            if (drawPass) setBackground(savedBackground_);
            break;
        case 'I': font_.italic = false; break;
        case 'P': endsLine = true; break;
        case 'S':
            if (text.size() > 3 && upperChar(text[3]) == 'U') {
                sub_ = false;
                sup_ = false;
            } else {
                font_.strikeout = false;
            }
            break;
        case 'U': font_.underline = false; break;
        default: break;
        }
    } else {
        switch (letter) {
        case 'A': {
            font_.underline = true;
            font_.colour = linkColour_;
            const std::string_view tt = tagText(2);
            bool found = false;
            href_ = attributeValue(tt, "href", &found);
            if (!found) href_ = firstQuoted(tt.substr(std::min<size_t>(4, tt.size())));
            insideAnchor_ = true;
            break;
        }
        case 'B':
            if (startsWithNoCase(text, "<BR>")) endsLine = true;
            if (startsWithNoCase(text, "<B>")) font_.bold = true;
            if (startsWithNoCase(text, "<BODY")) doBody(tagText(5), drawPass);
            break;
        case 'F':
            if (close != npos) doFont(tagText(4), drawPass);
            break;
        case 'H':
            endsLine = true;
            if (drawPass) {
                const Colour pen = s_.penColour();
                s_.setPenColour(0x00000000);
                const int y = clampInt(at.textBottom + 1);
                s_.line(clampInt(at.left), y, box_.right, y);
                s_.setPenColour(pen);
            }
            break;
        case 'I':
            if (startsWithNoCase(text, "<I>")) font_.italic = true;
            if (startsWithNoCase(text, "<IND")) {
                if (auto n = tryStrToInt(attributeValue(tagText(2), "x")); n && x < *n) x = *n;
            }
            if (startsWithNoCase(text, "<IMG")) {
                const std::string_view tt = tagText(2);
                const MarkupSize size =
                    imageSize(attributeValue(tt, "src"), drawPass, clampInt(at.left + x), clampInt(at.top));
                if (hitTesting(pass)) testHit(at, x, size.width, size.height);
                const Pos boxWidth = Pos{box_.right} - box_.left;
                if (pass == Pass::Measure && x + size.width > boxWidth && size.width < boxWidth)
                    return true;  // the image starts the next line
                x += size.width;
                lineHeight = std::max<Pos>(lineHeight, size.height);
                if (contains(tt, "align")) {
                    if (contains(tt, "\"top"))
                        line.imageOffset = lineHeight - cellHeight("gh");
                    else if (contains(tt, "\"middle"))
                        line.imageOffset = floorHalf(lineHeight - cellHeight("gh"));
                }
            }
            break;
        case 'P':
            if (close != npos) {
                const std::string_view tt = tagText(2);
                if (contains(tt, "right")) align_ = Align::Right;
                if (contains(tt, "left")) align_ = Align::Left;
                if (contains(tt, "center")) align_ = Align::Centre;
            }
            break;
        case 'S':
            if (startsWithNoCase(text, "<S>")) font_.strikeout = true;
            if (startsWithNoCase(text, "<SUB>")) sub_ = true;
            if (startsWithNoCase(text, "<SUP>")) sup_ = true;
            break;
        case 'U': font_.underline = true; break;
        default: break;
        }
    }
    if (close == npos)
        text = {};  // no ">" anywhere: the rest of the text is dropped
    else
        text.remove_prefix(close + 1);
    return endsLine;
}

void Engine::doFont(std::string_view tt, bool drawPass) {
    bool found = false;
    std::string value = attributeValue(tt, "face", &found);
    if (found) {
        savedFace_ = font_.face;
        font_.face = value;
    }
    value = attributeValue(tt, " color", &found);
    if (found) {
        savedColour_ = font_.colour;
        applyColourValue(value, font_.colour);
    }
    if (drawPass) {
        value = attributeValue(tt, "bgcolor", &found);
        if (found) {
            savedBackground_ = background_;
            Colour c = background_;
            applyColourValue(value, c);
            setBackground(c);
        }
    }
    value = attributeValue(tt, "size", &found);
    if (found) {
        savedSize_ = font_.size;
        font_.size = strToInt(value);
    }
}

void Engine::doBody(std::string_view tt, bool drawPass) {
    bool found = false;
    const std::string value = attributeValue(tt, "bgcolor", &found);
    if (!found || !drawPass) return;
    Colour c = background_;
    applyColourValue(value, c);
    setBackground(c);
    savedBackground_ = background_;
    const Colour pen = s_.penColour();
    s_.setPenColour(background_);
    s_.rectangle(box_);
    s_.setPenColour(pen);
}

MarkupSize Engine::systemIcon(const std::string& rest, bool large, bool draw, int x, int y) {
    const auto number = tryStrToInt(rest);
    const int index = number ? *number : s_.systemIconIndex(rest, large);
    const MarkupSize size = s_.systemIconSize(large);
    if (draw) s_.drawSystemIcon(index, large, x, y);
    return size;
}

// The image sources are tested in order; each one that matches removes its
// prefix length from the front of the value.
MarkupSize Engine::imageSize(std::string_view src, bool draw, int x, int y) {
    MarkupSize size{};
    std::string v(src);
    auto dropFront = [&v](size_t n) { v.erase(0, std::min(n, v.size())); };
    if (containsNoCase(v, "idx:")) {
        dropFront(4);
        if (images_) {
            const int n = strToInt(v);
            // A negative number would index before the list: it is as absent as one past its end.
            if (n >= 0 && n < images_->count()) {
                size = {images_->width(), images_->height()};
                if (draw) s_.drawListImage(*images_, n, x, y);
            }
        }
    }
    if (containsNoCase(v, "ssys:")) {
        dropFront(5);
        size = systemIcon(v, false, draw, x, y);
    }
    if (containsNoCase(v, "lsys:")) {
        dropFront(5);
        size = systemIcon(v, true, draw, x, y);
    }
    if (containsNoCase(v, "file://")) {
        dropFront(7);
        size = s_.bitmapSize(v);
        if (draw && (size.width > 0 || size.height > 0)) s_.drawBitmap(v, x, y);
    }
    if (containsNoCase(v, "res://")) size = {};
    return size;
}

MarkupResult Engine::run(std::string_view text) {
    const MarkupFont entry = s_.font();
    font_ = entry;
    applied_ = entry;
    savedFace_ = entry.face;
    savedSize_ = entry.size;
    savedColour_ = entry.colour;
    background_ = savedBackground_ = s_.brushColour();
    s_.setTransparentBackground();

    const Pos boxWidth = Pos{box_.right} - box_.left;
    Pos lineTop = box_.top;
    Pos height = 0;
    while (!text.empty()) {
        // The measuring pass runs ahead; the second pass starts from the same state.
        const LineStart start = lineStart();
        sub_ = sup_ = false;

        Line line;
        const std::string_view before = text;
        layoutLine(Pass::Measure, text, line, Place{box_.left, lineTop, 0});
        std::string_view lineText = before.substr(0, before.size() - text.size());

        restart(start);

        Place at;
        at.top = lineTop;
        at.textBottom = lineTop + line.height + line.supOffset;
        switch (align_) {
        case Align::Left: at.left = box_.left; break;
        case Align::Right: at.left = box_.right - line.width; break;
        case Align::Centre: at.left = box_.left + floorHalf(boxWidth - line.width); break;
        }
        Line second = line;  // the second pass begins with the offsets the measuring pass fixed
        layoutLine(Pass::Second, lineText, second, at);

        const Pos step = line.height + line.subOffset + line.supOffset;
        lineTop += step;
        height += step;
        if (lineTop + line.height > box_.bottom) break;
    }
    if (height == 0) {
        font_ = entry;
        height = cellHeight("gh");
    }
    MarkupFont last = entry;
    last.face = savedFace_;
    last.size = savedSize_;
    last.colour = savedColour_;
    font_ = last;
    useFont();

    result_.width = clampInt(widest_);
    result_.height = clampInt(height);
    return result_;
}

}  // namespace

std::string_view nextRun(std::string_view text) {
    // Only a "<" in front of the first blank matters, so the search for it
    // stops there (long texts of many words stay linear).
    const size_t blank = text.find(' ');
    const size_t lt = text.substr(0, std::min(blank, text.size())).find('<');
    if (lt != npos) return text.substr(0, lt);
    if (blank != npos) return text.substr(0, blank + 1);
    return text;
}

std::string attributeValue(std::string_view tagText, std::string_view name, bool* found) {
    const size_t at = findNoCase(tagText, name);
    if (found) *found = at != npos;
    if (at == npos) return {};
    return firstQuoted(tagText.substr(at + name.size()));
}

Colour colourFromName(std::string_view lowerName) {
    for (const auto& entry : kColourNames)
        if (entry.name == lowerName) return entry.value;
    return 0x00000000;
}

void applyColourValue(std::string_view value, Colour& colour) {
    if (contains(value, "cl")) colour = colourFromName(lowerAscii(value));
    if (contains(value, "#")) {
        // "#" and six hexadecimal digits; anything shorter or not hexadecimal is ignored.
        if (value.size() < 7 || value[0] != '#') return;
        int digits[6];
        for (int i = 0; i < 6; ++i) {
            digits[i] = hexDigit(value[static_cast<size_t>(i) + 1]);
            if (digits[i] < 0) return;
        }
        const Colour r = static_cast<Colour>(digits[0] * 16 + digits[1]);
        const Colour g = static_cast<Colour>(digits[2] * 16 + digits[3]);
        const Colour b = static_cast<Colour>(digits[4] * 16 + digits[5]);
        colour = r + g * 256 + b * 65536;
    }
}

MarkupResult DrawMarkup(MarkupSurface& surface, std::string_view text, const MarkupRect& box,
                        const MarkupImageList* images, MarkupMode mode, MarkupPoint point, Colour linkColour) {
    Engine engine(surface, box, images, mode, point, linkColour);
    return engine.run(text);
}

}  // namespace velmora
