// Test support: real key input. Keys go through SendInput into the system's
// input queue, to the focused window of the foreground window, exactly as a
// player's keystrokes do; a test then pumps until their effect shows.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

class Keyboard {
public:
    // No modifier stays held from before: Shift, Ctrl and Alt are let go.
    static void releaseModifiers() {
        std::vector<INPUT> inputs;
        for (WORD vk : {WORD(VK_SHIFT), WORD(VK_CONTROL), WORD(VK_MENU)}) add(inputs, vk, true);
        send(inputs);
    }
    // `vk` pressed and let go, with the modifiers (VK_SHIFT, VK_CONTROL,
    // VK_MENU) held around it.
    static void press(WORD vk, const std::vector<WORD>& modifiers = {}) {
        std::vector<INPUT> inputs;
        for (WORD m : modifiers) add(inputs, m, false);
        add(inputs, vk, false);
        add(inputs, vk, true);
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) add(inputs, *m, true);
        send(inputs);
    }
    // The same, for a table of steps.
    static std::function<void()> key(WORD vk, std::vector<WORD> modifiers = {}) {
        return [vk, modifiers] { press(vk, modifiers); };
    }
    // Each character as the key that makes it on the keyboard's layout.
    static void type(const std::string& text) {
        for (char c : text) {
            const SHORT scan = VkKeyScanA(c);
            const WORD vk = LOBYTE(scan);
            if (HIBYTE(scan) & 1)
                press(vk, {VK_SHIFT});
            else
                press(vk);
        }
    }

private:
    static void add(std::vector<INPUT>& inputs, WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    }
    static void send(std::vector<INPUT>& inputs) {
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }
};

}  // namespace velmora::test
