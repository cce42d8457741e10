// What a user does at the desktop and what lands on the clipboard: keys and the pointer
// through SendInput (they reach the foreground window and the window under the pointer as
// a person's would), and the clipboard's picture and text as another program reads them.
#pragma once
#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <string>

#include "e2e/Screen.h"

namespace e2e {

// Presses the keys in order and releases them in reverse: {VK_CONTROL, VK_SHIFT, 'A'}.
void PressKeys(std::initializer_list<WORD> keys);
// A key pressed and released.
void PressKey(WORD vk);
// Moves the pointer to a screen point and clicks the button there.
void ClickAt(int x, int y, bool right = false);
// Button down at one point, moves in steps to another, button up there; waits for the
// system's move or size loop of the window under the first point.
void DragMouse(int fromX, int fromY, int toX, int toY);

// Moves the pointer to a screen point with an absolute SendInput move; false when the
// pointer did not arrive there.
bool MouseTo(int x, int y);
// Button events at the pointer's place: MOUSEEVENTF_LEFTDOWN, ..._RIGHTUP and so on.
void MouseButton(DWORD flag);
// A left-button drag from one point to another through a point in between.
bool MouseDrag(int x1, int y1, int x2, int y2);

// The first visible top-level window of the class in the process, once there is one.
HWND WaitProcessWindow(DWORD pid, const wchar_t* cls, std::chrono::milliseconds timeout = std::chrono::seconds(10));

void EmptyTheClipboard();
// The clipboard's picture (CF_DIB, as any program would paste it); empty when there is none.
TPixels ClipboardPicture();
bool ClipboardHasPicture();
// The clipboard's picture once there is one (empty when none comes in time).
TPixels WaitClipboardPicture(std::chrono::milliseconds timeout = std::chrono::seconds(10));
void SetClipboardText(const std::wstring& text);
std::wstring ClipboardText();

}  // namespace e2e
