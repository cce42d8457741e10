// The notification-area icon, and showing, hiding and activating the main window.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

class TTrayIcon {
 public:
  // `owner` receives `callbackMessage` for the icon's mouse events.
  TTrayIcon(HWND owner, UINT callbackMessage, HICON icon);
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  ~TTrayIcon();

  void SetHint(const std::wstring& hint);
  const std::wstring& Hint() const { return FHint; }
  void SetVisible(bool visible);
  bool Visible() const { return FVisible; }
  // After the shell restarted (message "TaskbarCreated") the icon must be added again.
  void Restore();

  std::function<void()> OnClick;
  std::function<void()> OnPopup;
  // The owner's handler for `callbackMessage`.
  void HandleCallback(LPARAM lp);

 private:
  bool Notify(DWORD action);
  HWND FOwner;
  UINT FMessage;
  HICON FIcon;
  std::wstring FHint;
  bool FVisible = false;
};

// The main window whose handle these routines act on (set when it is created).
void SetMainWindowHandle(HWND wnd);
HWND MainWindowHandle();

void HideToTray();
void ShowFromTray();
