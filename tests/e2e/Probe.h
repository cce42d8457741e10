// What a user sees of the program that Wine does not let another process read (the
// items of an open menu, the notification icon's hint, a control's font), read from inside
// the owning thread by e2e_probe.dll; and the mouse and keys as a user works them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

struct TMenuEntry {
  int Depth = 0;  // 0: an item of the open menu window, 1: of its submenu, ...
  std::wstring Caption;
  unsigned Id = 0;
  bool Separator = false, Radio = false, Checked = false, Disabled = false, Submenu = false;
  RECT Rect{};  // on screen; only for items of depth 0
};

struct TOpenMenu {
  RECT Rect{};
  std::vector<TMenuEntry> Items;  // depth first, submenus after their item
  // The items directly below the item with this caption (the whole menu for "").
  std::vector<TMenuEntry> Children(const std::wstring& caption = L"") const;
  const TMenuEntry* Find(const std::wstring& caption) const;  // any depth
};

// The open pop-up menus of the thread that owns `wnd`, the newest first.
std::vector<TOpenMenu> OpenMenus(HWND wnd);
// Waits until `count` menus are open (or none, for 0); returns them.
std::vector<TOpenMenu> WaitOpenMenus(HWND wnd, size_t count);
// The texts of the notification-area icons (Wine's system tray tooltips).
std::vector<std::wstring> TrayIconHints();
// The notification-area icon windows of the tray.
std::vector<HWND> TrayIconWindows();

struct TFont {
  std::wstring Face;
  int Height = 0;  // LOGFONT height: negative for the character height in pixels
  int Weight = 0;
};
TFont ControlFont(HWND control);
// The mouse pointer that the thread owning `wnd` shows: "hand", "arrow" or "other".
std::wstring PointerShape(HWND wnd);
// The window is told that its monitor's DPI is now `dpi`.
void ChangeDpi(HWND wnd, UINT dpi);

// The pointer and the buttons, as a user moves and clicks them.
void MouseClick(int x, int y, bool right = false);
void KeyPress(WORD vk);
// A rectangle's centre.
POINT Centre(const RECT& r);
// A child's rectangle in its parent's client coordinates.
RECT ClientRectOf(HWND child);

}  // namespace e2e
