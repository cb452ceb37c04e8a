// Real input for the end-to-end tests: the pointer moves (SetCursorPos) and the buttons and keys
// go through SendInput, so the program sees what a user's mouse and keyboard would give it.
#pragma once

#include <windows.h>

namespace e2e {

// Left click (or double-click) at a screen point.
bool Click(POINT screen);
bool DoubleClick(POINT screen);

// Modifier keys held around a key press.
enum Modifiers : unsigned { kNoModifiers = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

// Presses and releases `virtualKey` with the given modifiers held; the keys go to the window that
// has the keyboard focus (click the target first).
bool PressKey(WORD virtualKey, unsigned modifiers = kNoModifiers);

}  // namespace e2e
