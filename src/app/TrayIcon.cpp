#include "app/TrayIcon.h"

#include <shellapi.h>

#include "capture/Capture.h"

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

void ForceForeground(HWND wnd) {
  if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
  HWND fg = GetForegroundWindow();
  if (wnd == fg) return;
  if (SystemMajorVersion() < 6) {
    BringWindowToTop(wnd);
    SetForegroundWindow(wnd);
    return;
  }
  const DWORD fgThread = GetWindowThreadProcessId(fg, nullptr);
  const DWORD thread = GetWindowThreadProcessId(wnd, nullptr);
  if (!AttachThreadInput(thread, fgThread, TRUE)) {
    // Without a foreground window (or in the same thread) there is nothing to attach to.
    if (fg && fgThread != thread) return;
  }
  BringWindowToTop(wnd);
  SetForegroundWindow(wnd);
  AttachThreadInput(thread, fgThread, FALSE);
  if (GetForegroundWindow() == wnd) return;
  DWORD timeout = 0;
  SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
  BringWindowToTop(wnd);
  SetForegroundWindow(wnd);
  SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(timeout)),
                        SPIF_SENDCHANGE);
}
