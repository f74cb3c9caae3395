// The tray icon's rules that need no window: the tip the shell is given, the
// animation's frame order and what each mouse notification from the shell
// turns into.
#pragma once
#include <string>
#include <vector>

namespace velmora {

// The shell's tip: the part before the first "|", at most 63 characters
// (the 64-byte field keeps its terminating NUL).
std::string shorthint(const std::string& hint);

// The frame after `index` in a list of `count` frames: wraps to 0.
int nextframe(int index, int count);
// The frame shown for `index`: clamped to 0 .. count - 1.
int clampframe(int index, int count);

// The mouse notifications the shell sends for the icon.
enum class TrayMouse { Move, LeftDown, LeftUp, LeftDouble, RightDown, RightUp, RightDouble, MiddleDown, MiddleUp,
                       MiddleDouble };
enum class TrayButton { Left, Right, Middle };
enum class TrayEventKind { MouseMove, MouseDown, MouseUp, Click, DblClick };
struct TrayEvent {
    TrayEventKind kind;
    TrayButton button = TrayButton::Left;
    bool doubled = false;  // the shift state carries the double-click flag
    bool operator==(const TrayEvent&) const = default;
};

// Which buttons were pressed over the icon: a button pressed elsewhere and
// released over the icon is no click.
struct TrayPressed {
    bool left = false;
    bool right = false;
};

// The events one notification raises, in order; updates `pressed`.
std::vector<TrayEvent> trayevents(TrayMouse message, TrayPressed& pressed);

}  // namespace velmora
