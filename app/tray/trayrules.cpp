#include "app/tray/trayrules.h"

namespace velmora {

std::string shorthint(const std::string& hint) { return hint.substr(0, hint.find('|')).substr(0, 63); }

int nextframe(int index, int count) { return index + 1 >= count ? 0 : index + 1; }

int clampframe(int index, int count) {
    if (index >= count) index = count - 1;
    return index < 0 ? 0 : index;
}

std::vector<TrayEvent> trayevents(TrayMouse message, TrayPressed& pressed) {
    using K = TrayEventKind;
    using B = TrayButton;
    std::vector<TrayEvent> out;
    switch (message) {
        case TrayMouse::Move: out.push_back({K::MouseMove}); break;
        case TrayMouse::LeftDown:
            out.push_back({K::MouseDown, B::Left});
            pressed.left = true;
            break;
        case TrayMouse::LeftUp:
            if (pressed.left) {
                pressed.left = false;
                out.push_back({K::Click, B::Left});
            }
            out.push_back({K::MouseUp, B::Left});
            break;
        case TrayMouse::LeftDouble:
            out.push_back({K::DblClick, B::Left});
            out.push_back({K::MouseDown, B::Left, true});
            break;
        case TrayMouse::RightDown:
            out.push_back({K::MouseDown, B::Right});
            pressed.right = true;
            break;
        case TrayMouse::RightUp:
            if (pressed.right) {
                pressed.right = false;
                out.push_back({K::Click, B::Right});
            }
            out.push_back({K::MouseUp, B::Right});
            break;
        case TrayMouse::RightDouble: out.push_back({K::MouseDown, B::Right, true}); break;
        case TrayMouse::MiddleDown: out.push_back({K::MouseDown, B::Middle}); break;
        case TrayMouse::MiddleUp: out.push_back({K::MouseUp, B::Middle}); break;
        case TrayMouse::MiddleDouble: out.push_back({K::MouseDown, B::Middle, true}); break;
    }
    return out;
}

}  // namespace velmora
