// What the tests and e2e_probe.dll agree on: the message that carries a request, the
// requests, and the shared memory that carries the answer back.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

constexpr const wchar_t* kProbeMessage = L"VantoruE2EProbe";
constexpr size_t kProbeChars = 64 * 1024;

// wParam of the message; lParam is the asking test's process id.
enum : int {
  kProbeMenus = 1,     // every open pop-up menu of the thread, with its whole item tree
  kProbeToolTips = 2,  // the texts of every tool of the thread's tooltip controls
  kProbeFont = 3,      // the font of the window the message was sent to
  kProbePointer = 4,   // the thread's mouse pointer: "hand", "arrow" or "other"
  // The window the message was sent to gets WM_DPICHANGED for the DPI wParam - kProbeDpi,
  // as when it is moved to a monitor of that DPI (Wine has no monitors of different DPI).
  kProbeDpi = 1000,
};

// Flags of a menu item line.
enum : int {
  kItemSeparator = 1,
  kItemRadio = 2,
  kItemChecked = 4,
  kItemDisabled = 8,
  kItemSubmenu = 16,
};

inline std::wstring ProbeMappingName(DWORD testPid) { return L"VantoruE2EProbe-" + std::to_wstring(testPid); }

}  // namespace e2e
