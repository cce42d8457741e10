#include "app/TrayIcon.h"

#include <shellapi.h>

#include "base/AutoStart.h"
#include "ui/Window.h"

namespace {
HWND gMainWindow = nullptr;
}

TTrayIcon::TTrayIcon(HWND owner, UINT callbackMessage, HICON icon)
    : FOwner(owner), FMessage(callbackMessage), FIcon(icon) {}

TTrayIcon::~TTrayIcon() { SetVisible(false); }

bool TTrayIcon::Notify(DWORD action) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = FOwner;
  nid.uID = 1;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = FMessage;
  nid.hIcon = FIcon;
  wcsncpy(nid.szTip, FHint.c_str(), ARRAYSIZE(nid.szTip) - 1);
  return Shell_NotifyIconW(action, &nid) != FALSE;
}

void TTrayIcon::SetHint(const std::wstring& hint) {
  FHint = hint;
  if (FVisible) Notify(NIM_MODIFY);
}

void TTrayIcon::SetVisible(bool visible) {
  if (visible == FVisible) return;
  FVisible = visible;
  Notify(visible ? NIM_ADD : NIM_DELETE);
}

void TTrayIcon::Restore() {
  if (FVisible) Notify(NIM_ADD);
}

void TTrayIcon::HandleCallback(LPARAM lp) {
  switch (LOWORD(lp)) {
    case WM_LBUTTONUP:
      if (OnClick) OnClick();
      break;
    case WM_RBUTTONUP:
      if (OnPopup) OnPopup();
      break;
    default:
      break;
  }
}

void SetMainWindowHandle(HWND wnd) { gMainWindow = wnd; }
HWND MainWindowHandle() { return gMainWindow; }

void HideToTray() {
  if (gMainWindow && IsWindow(gMainWindow)) ShowWindow(gMainWindow, SW_HIDE);
}

void ShowFromTray() {
  if (!gMainWindow || !IsWindow(gMainWindow)) return;
  if (IsIconic(gMainWindow)) ShowWindow(gMainWindow, SW_RESTORE);
  ShowWindow(gMainWindow, SW_SHOW);
  ForceForeground(gMainWindow);
}
