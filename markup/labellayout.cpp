#include "markup/labellayout.h"

#include <initializer_list>

namespace velmora {

std::string joinMarkupLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line;
    return text;
}

namespace {
void shrink(MarkupRect& r, int by) {
    r.left += by;
    r.top += by;
    r.right -= by;
    r.bottom -= by;
}
}  // namespace

MarkupRect labelTextBox(int width, int height, const LabelFrame& frame, bool autoSizing) {
    MarkupRect r{0, 0, width, height};
    // The frames are drawn from the outside in: outer bevel, the band, inner bevel.
    if (frame.bevelOuter != BevelKind::None) shrink(r, frame.bevelWidth);
    shrink(r, frame.borderWidth);
    if (frame.bevelInner != BevelKind::None) shrink(r, frame.bevelWidth);
    // Then the text keeps clear of the frame once more.
    if (frame.bevelOuter != BevelKind::None || frame.bevelInner != BevelKind::None) shrink(r, frame.bevelWidth);
    if (frame.borderStyle == LabelBorder::Single) shrink(r, frame.borderWidth);
    if (autoSizing) {
        // No line wraps and the height limit is generous.
        r.right += 65535;
        r.bottom += 250;
    }
    return r;
}

MarkupSize autoSizedLabel(MarkupSize label, int textWidth, int textHeight) {
    if (textWidth + 6 != label.width) label.width = textWidth + 6;
    if (textHeight + 6 > label.height) label.height = textHeight + 6;
    return label;
}

bool opensInShell(std::string_view anchor) {
    // Only web, ftp and mail addresses: a "file://" or network path handed to
    // the shell would run whatever it names.
    for (const std::string_view scheme : {"http://", "https://", "ftp://", "mailto:"}) {
        if (anchor.size() < scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            const char c = anchor[i];
            same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
        }
        if (same) return true;
    }
    return false;
}

AnchorMove AnchorHover::move(const std::string& anchor, bool cursorIsDefault, bool cursorIsHand, bool anchorHint) {
    AnchorMove m;
    if (!anchor.empty()) {
        if (cursorIsDefault || anchor != last_) {
            last_ = anchor;
            m.cancelHint = anchorHint;
            m.toHand = true;
            m.enter = true;
        }
    } else if (cursorIsHand) {
        // The last anchor stays, so coming back to it fires the enter again.
        m.toDefault = true;
        m.exit = true;
    }
    return m;
}

}  // namespace velmora
