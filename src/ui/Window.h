// The one window base class: registers its class under a given name, routes messages to a
// virtual handler, and keeps the children it created with their design-pixel places so
// they can be laid out again at another DPI and walked by the translation.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Handles.h"

enum class TChildKind { Label, Button, CheckBox, ComboBox, ListBox, Edit, Group, Other };

struct TChild {
  std::wstring Name;
  HWND Handle = nullptr;
  TChildKind Kind = TChildKind::Other;
  int X = 0, Y = 0, W = 0, H = 0;  // design pixels (96 DPI) in the form's client area
  int Card = -1;                    // the card it belongs to, -1 for none
  bool Translated = true;           // captions/items pass through Translate
  bool Hidden = false;              // hidden on its own, whatever its card shows
  // The design (Korean) text and list items: translation always starts from them, so any
  // order of language switches ends in the same texts. Items are taken at the first translation.
  std::wstring Design;
  std::vector<std::wstring> DesignItems;
};

class TWindow {
 public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();

  HWND Handle() const { return FHandle; }
  bool HandleAllocated() const { return FHandle && IsWindow(FHandle); }
  bool Visible() const { return HandleAllocated() && IsWindowVisible(FHandle); }
  void Show();
  void Hide();
  void Close() { if (HandleAllocated()) SendMessageW(FHandle, WM_CLOSE, 0, 0); }

  std::wstring Caption() const;
  void SetCaption(const std::wstring& text);
  // The title the window was designed with, from which its translations start.
  const std::wstring& DesignCaption() const { return FDesignCaption; }

  // The DPI of the monitor the window is on (the last WM_DPICHANGED's, once one came).
  UINT Dpi() const;
  // n design pixels at the window's DPI: n * dpi / 96, halves to the even neighbour.
  int ScaleValue(int n) const;

  // Modal run: disables the owner, pumps messages until ModalResult is set or the window
  // is hidden or destroyed. Returns the result (IDCANCEL when closed).
  int ShowModal();
  void SetModalResult(int r) { FModalResult = r; }
  bool InModal() const { return FInModal; }

  const std::vector<TChild>& Children() const { return FChildren; }
  std::vector<TChild>& Children() { return FChildren; }
  // Pop-up menus the window owns (walked by the translation).
  const std::vector<class TPopupMenu*>& Menus() const { return FMenus; }
  TChild* FindChild(const std::wstring& name);
  HWND Child(const std::wstring& name);

  // Windows that want Tab/arrow navigation of dialogs in the message loop.
  static bool IsDialogWindow(HWND wnd);

  static HINSTANCE Instance();

 protected:
  struct TClassInfo {
    const wchar_t* Name;
    UINT Style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    HBRUSH Background = nullptr;
    HICON Icon = nullptr;
    HCURSOR Cursor = nullptr;  // arrow when null
  };
  void CreateWnd(const TClassInfo& cls, const wchar_t* title, DWORD style, DWORD exStyle, HWND owner,
                 int x, int y, int w, int h);
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
  // Called after the DPI changed (and once after creation) to place children again.
  virtual void DpiChanged() { Relayout(); }

  HWND AddChild(const std::wstring& name, TChildKind kind, const wchar_t* cls, const std::wstring& text,
                DWORD style, DWORD exStyle, int x, int y, int w, int h, int id, int card = -1);
  void Relayout();
  void MoveChild(const std::wstring& name, int x, int y, int w, int h);  // design pixels
  // A font of the given height in pixels at 96 DPI, scaled to the window's DPI.
  HFONT MakeFont(const wchar_t* face, int pixelHeight, int weight = FW_NORMAL, bool underline = false) const;
  // Tab, Shift+Tab, arrows, Enter, Space and Escape work as in a dialog; the focus returns
  // to the control that had it when the window is active again.
  void SetDialogNavigation(bool on);
  // Puts the group boxes below the controls they frame (call once the children exist).
  void GroupBoxesToBack();
  // Client size in design pixels -> window size at the current DPI.
  void SetClientSize(int w, int h);
  // Moves the window to the middle of the primary screen, keeping its size.
  void CenterOnScreen();

  HWND FHandle = nullptr;
  std::wstring FDesignCaption;
  // Windows whose bounds are set by what they show (a screen, a target, a picture) keep them
  // when their monitor's DPI changes, instead of taking the system's suggested rectangle.
  bool FKeepBoundsOnDpiChange = false;
  std::vector<TChild> FChildren;
  std::vector<class TPopupMenu*> FMenus;

 private:
  static LRESULT CALLBACK StaticProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  int DefaultButtonId() const;
  HWND FLastFocus = nullptr;
  int FModalResult = 0;
  bool FInModal = false;
  UINT FDpi = 0;
};

// Everything the message loop needs: dialog navigation for the windows that asked for it.
// Runs until WM_QUIT or, when `main` is given, until a thread message finds that window
// gone (its end must post one, in case a nested loop took the quit message).
int RunMessageLoop(HWND main = nullptr);
// Processes the messages waiting in the calling thread's queue.
void ProcessMessages();
// Shown when an error escapes a message handler; the program goes on.
void ShowUnhandledError(const std::wstring& message);
// Brings `wnd` to the front although another process owns the foreground.
void ForceForeground(HWND wnd);

int ScaleForDpi(int n, UINT dpi);
