// What a user does at the desktop and what lands on the clipboard: pointer and keys sent
// through SendInput (as real input, to whichever window is under the pointer or in front),
// and the clipboard's picture and text as another program reads them.
#pragma once
#include <windows.h>

#include <chrono>
#include <string>

#include "e2e/Screen.h"

namespace e2e {

// Moves the pointer to a screen point with an absolute SendInput move; false when the
// pointer did not arrive there.
bool MouseTo(int x, int y);
// Button events at the pointer's place: MOUSEEVENTF_LEFTDOWN, ..._RIGHTUP and so on.
void MouseButton(DWORD flag);
// A left-button drag from one point to another through a point in between.
bool MouseDrag(int x1, int y1, int x2, int y2);
// A key pressed and released.
void PressKey(WORD vk);

// The first visible top-level window of the class in the process, once there is one.
HWND WaitProcessWindow(DWORD pid, const wchar_t* cls, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The clipboard's picture (CF_DIB, as any program would paste it); empty when there is none.
TPixels ClipboardPicture();
bool ClipboardHasPicture();
// The clipboard's picture once there is one (empty when none comes in time).
TPixels WaitClipboardPicture(std::chrono::milliseconds timeout = std::chrono::seconds(10));
void SetClipboardText(const std::wstring& text);
std::wstring ClipboardText();

}  // namespace e2e
