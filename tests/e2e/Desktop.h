// What a user does at the desktop, for tests that need real input: keys and mouse clicks
// through SendInput (they reach the foreground window and the window under the pointer as
// a person's would), and the picture the program put on the clipboard.
#pragma once
#include <windows.h>

#include <initializer_list>

#include "e2e/Screen.h"

namespace e2e {

// Presses the keys in order and releases them in reverse: {VK_CONTROL, VK_SHIFT, 'A'}.
void PressKeys(std::initializer_list<WORD> keys);
// Moves the pointer to a screen point and clicks the button there.
void ClickAt(int x, int y, bool right = false);
// Button down at one point, moves in steps to another, button up there.
void DragMouse(int fromX, int fromY, int toX, int toY);

void EmptyTheClipboard();
// The clipboard's bitmap as 0x00RRGGBB pixels; empty when it holds none.
TPixels ClipboardPixels();

}  // namespace e2e
