// Mouse and keyboard input through SendInput.
#include "user_input.h"

#include <vector>

#include "wait.h"

namespace e2e {
namespace {

INPUT MouseButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

INPUT Key(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

bool Send(std::vector<INPUT>& inputs) {
    const UINT count = static_cast<UINT>(inputs.size());
    return SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}

// A click soon after the one before could pair with it into a double-click: wait the double-click
// time out first, wherever the last click was, so no test depends on how the pairing is reset.
void AvoidDoubleClick() {
    static ULONGLONG lastTick = 0;
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG quiet = GetDoubleClickTime() + 100ull;
    if (lastTick != 0 && now - lastTick < quiet)
        PumpFor(static_cast<DWORD>(quiet - (now - lastTick)));
    lastTick = GetTickCount64();
}

bool Clicks(POINT screen, int clicks) {
    AvoidDoubleClick();
    if (!SetCursorPos(screen.x, screen.y))
        return false;
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i) {
        inputs.push_back(MouseButton(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(MouseButton(MOUSEEVENTF_LEFTUP));
    }
    return Send(inputs);
}

}  // namespace

bool Click(POINT screen) { return Clicks(screen, 1); }
bool DoubleClick(POINT screen) { return Clicks(screen, 2); }

bool PressKey(WORD virtualKey, unsigned modifiers) {
    const WORD held[] = {VK_CONTROL, VK_SHIFT, VK_MENU};
    const unsigned flags[] = {kCtrl, kShift, kAlt};
    std::vector<INPUT> inputs;
    for (int i = 0; i < 3; ++i)
        if (modifiers & flags[i])
            inputs.push_back(Key(held[i], false));
    inputs.push_back(Key(virtualKey, false));
    inputs.push_back(Key(virtualKey, true));
    for (int i = 2; i >= 0; --i)
        if (modifiers & flags[i])
            inputs.push_back(Key(held[i], true));
    return Send(inputs);
}

}  // namespace e2e
