// The arithmetic of the markup label, kept apart from its window code: the
// joined text, the box the text is laid out in, automatic sizing, and what a
// mouse movement over anchors does.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "markup/markup.h"

namespace velmora {

// The label's lines, joined with nothing between them ("x" and "y" give "xy").
std::string joinMarkupLines(const std::vector<std::string>& lines);

enum class BevelKind { None, Lowered, Raised, Space };
enum class LabelBorder { None, Single };

struct LabelFrame {
    BevelKind bevelOuter = BevelKind::None;
    BevelKind bevelInner = BevelKind::None;
    int bevelWidth = 1;
    int borderWidth = 0;
    LabelBorder borderStyle = LabelBorder::None;
};

// The box DrawMarkup gets for a label of width x height: the client area less
// the frame, widened to 65535 px and lowered by 250 px when the label sizes itself.
MarkupRect labelTextBox(int width, int height, const LabelFrame& frame, bool autoSizing);

// The label's size after an auto-sizing paint that measured the text: the
// width follows the text (+6) both ways, the height only grows (+6).
MarkupSize autoSizedLabel(MarkupSize label, int textWidth, int textHeight);

// Anchors that start with "http://", "https://", "ftp://" or "mailto:" (in any
// case) are opened by the shell, not reported; any other goes to OnAnchorClick.
bool opensInShell(std::string_view anchor);

// What one mouse movement does with the cursor and the anchor events.
struct AnchorMove {
    bool toHand = false;      // the cursor becomes the hand-point cursor
    bool toDefault = false;   // the cursor becomes the default cursor
    bool enter = false;       // OnAnchorEnter with the anchor
    bool exit = false;        // OnAnchorExit
    bool cancelHint = false;  // cancel a hint that is showing
};

class AnchorHover {
public:
    // `anchor` is the anchor under the mouse (empty: none); `cursorIsDefault`
    // and `cursorIsHand` describe the label's cursor before the move.
    AnchorMove move(const std::string& anchor, bool cursorIsDefault, bool cursorIsHand, bool anchorHint);
    const std::string& lastAnchor() const { return last_; }

private:
    std::string last_;
};

}  // namespace velmora
