#include "ui/Window.h"

#include <cmath>
#include <exception>
#include <set>

#include "base/AutoStart.h"
#include "base/Errors.h"
#include "base/Translate.h"
#include "ui/MsgBox.h"

namespace {
std::set<HWND>& DialogWindows() {
  static std::set<HWND> set;
  return set;
}
}  // namespace

int ScaleForDpi(int n, UINT dpi) {
  // Banker's rounding of n * dpi / 96, in integers so no float error can tip a half.
  const long long num = static_cast<long long>(n) * dpi;
  long long q = num / 96, r = num % 96;
  if (r < 0) { r += 96; --q; }
  if (r * 2 > 96 || (r * 2 == 96 && (q & 1))) ++q;
  return static_cast<int>(q);
}

HINSTANCE TWindow::Instance() { return GetModuleHandleW(nullptr); }

TWindow::~TWindow() {
  if (FHandle && IsWindow(FHandle)) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
  DialogWindows().erase(FHandle);
}

void TWindow::CreateWnd(const TClassInfo& cls, const wchar_t* title, DWORD style, DWORD exStyle, HWND owner,
                        int x, int y, int w, int h) {
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(Instance(), cls.Name, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = cls.Style;
    wc.lpfnWndProc = &TWindow::StaticProc;
    wc.hInstance = Instance();
    wc.hIcon = cls.Icon;
    wc.hCursor = cls.Cursor ? cls.Cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = cls.Background;
    wc.lpszClassName = cls.Name;
    if (!RegisterClassExW(&wc)) throw EError(L"RegisterClass failed: " + std::wstring(cls.Name));
  }
  FDesignCaption = title ? title : L"";
  FHandle = CreateWindowExW(exStyle, cls.Name, title, style, x, y, w, h, owner, nullptr, Instance(), this);
  if (!FHandle) throw EError(L"CreateWindow failed: " + std::wstring(cls.Name));
}

LRESULT CALLBACK TWindow::StaticProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWindow* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->FHandle = wnd;
  } else {
    self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  try {
    if (msg == WM_DPICHANGED) {
      self->FDpi = LOWORD(wp);
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      if (!self->FKeepBoundsOnDpiChange)
        SetWindowPos(wnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      self->DpiChanged();
      return 0;
    }
    const LRESULT res = self->WndProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      DialogWindows().erase(wnd);
      self->FHandle = nullptr;
    }
    return res;
  } catch (const std::exception& e) {
    ShowUnhandledError(TranslateError(e));
    return 0;
  } catch (...) {
    // Not one of ours: nothing sensible can go on. The system would swallow it here.
    std::terminate();
  }
}

LRESULT TWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) { return DefaultProc(msg, wp, lp); }

LRESULT TWindow::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (IsDialogWindow(FHandle)) {
    switch (msg) {
      case WM_ACTIVATE:
        // The control that had the focus gets it back when the window is active again.
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(FHandle, focus)) FLastFocus = focus;
        }
        break;
      case WM_SETFOCUS: {
        HWND to = FLastFocus;
        if (!to || !IsChild(FHandle, to) || !IsWindowVisible(to) || !IsWindowEnabled(to))
          to = GetNextDlgTabItem(FHandle, nullptr, FALSE);
        if (to && to != FHandle) {
          SetFocus(to);
          return 0;
        }
        break;
      }
      case DM_GETDEFID: return MAKELRESULT(DefaultButtonId(), DC_HASDEFID);
      default: break;
    }
  }
  return DefWindowProcW(FHandle, msg, wp, lp);
}

int TWindow::DefaultButtonId() const {
  // Enter presses the focused push button, else the default one, as in a dialog.
  auto isPush = [](HWND w, LONG_PTR kind) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    return lstrcmpiW(cls, L"BUTTON") == 0 && (GetWindowLongPtrW(w, GWL_STYLE) & BS_TYPEMASK) == kind;
  };
  HWND focus = GetFocus();
  if (focus && IsChild(FHandle, focus) && (isPush(focus, BS_PUSHBUTTON) || isPush(focus, BS_DEFPUSHBUTTON)))
    return GetDlgCtrlID(focus);
  for (HWND c = GetWindow(FHandle, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (isPush(c, BS_DEFPUSHBUTTON) && IsWindowVisible(c) && IsWindowEnabled(c)) return GetDlgCtrlID(c);
  return IDOK;
}

void TWindow::GroupBoxesToBack() {
  // A group box frames the controls inside it: it must lie below them, or as a sibling
  // above them it would be painted over them (and clip them away).
  for (const TChild& c : FChildren)
    if (c.Kind == TChildKind::Group)
      SetWindowPos(c.Handle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWindow::Show() {
  if (HandleAllocated()) ShowWindow(FHandle, SW_SHOW);
}

void TWindow::Hide() {
  if (HandleAllocated()) ShowWindow(FHandle, SW_HIDE);
}

std::wstring TWindow::Caption() const {
  if (!FHandle) return std::wstring();
  const int n = GetWindowTextLengthW(FHandle);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(FHandle, s.data(), n + 1)));
  return s;
}

void TWindow::SetCaption(const std::wstring& text) {
  if (FHandle) SetWindowTextW(FHandle, text.c_str());
}

UINT TWindow::Dpi() const {
  if (FDpi) return FDpi;
  const UINT dpi = FHandle ? GetDpiForWindow(FHandle) : 0;
  return dpi ? dpi : GetDpiForSystem();
}

int TWindow::ScaleValue(int n) const { return ScaleForDpi(n, Dpi()); }

TChild* TWindow::FindChild(const std::wstring& name) {
  for (auto& c : FChildren)
    if (c.Name == name) return &c;
  return nullptr;
}

HWND TWindow::Child(const std::wstring& name) {
  TChild* c = FindChild(name);
  return c ? c->Handle : nullptr;
}

HWND TWindow::AddChild(const std::wstring& name, TChildKind kind, const wchar_t* cls, const std::wstring& text,
                       DWORD style, DWORD exStyle, int x, int y, int w, int h, int id, int card) {
  HWND child = CreateWindowExW(exStyle, cls, text.c_str(), style | WS_CHILD, ScaleValue(x), ScaleValue(y),
                               ScaleValue(w), ScaleValue(h), FHandle,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  if (!child) throw EError(L"CreateWindow failed: " + name);
  TChild c;
  c.Name = name;
  c.Handle = child;
  c.Kind = kind;
  c.X = x; c.Y = y; c.W = w; c.H = h;
  c.Card = card;
  c.Design = text;
  FChildren.push_back(c);
  return child;
}

void TWindow::Relayout() {
  for (const auto& c : FChildren)
    SetWindowPos(c.Handle, nullptr, ScaleValue(c.X), ScaleValue(c.Y), ScaleValue(c.W), ScaleValue(c.H),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindow::MoveChild(const std::wstring& name, int x, int y, int w, int h) {
  if (TChild* c = FindChild(name)) {
    c->X = x; c->Y = y; c->W = w; c->H = h;
    SetWindowPos(c->Handle, nullptr, ScaleValue(x), ScaleValue(y), ScaleValue(w), ScaleValue(h),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

HFONT TWindow::MakeFont(const wchar_t* face, int pixelHeight, int weight, bool underline) const {
  LOGFONTW lf{};
  lf.lfHeight = -ScaleValue(pixelHeight);
  lf.lfWeight = weight;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

void TWindow::SetDialogNavigation(bool on) {
  if (on) DialogWindows().insert(FHandle);
  else DialogWindows().erase(FHandle);
}

bool TWindow::IsDialogWindow(HWND wnd) { return DialogWindows().count(wnd) != 0; }

void TWindow::SetClientSize(int w, int h) {
  // The frame as it is drawn now: right after a DPI change the system's metrics for the
  // new DPI need not be those of the frame around the window.
  RECT wr{}, cr{};
  GetWindowRect(FHandle, &wr);
  GetClientRect(FHandle, &cr);
  const int frameW = (wr.right - wr.left) - cr.right, frameH = (wr.bottom - wr.top) - cr.bottom;
  const UINT dpi = Dpi();
  SetWindowPos(FHandle, nullptr, 0, 0, ScaleForDpi(w, dpi) + frameW, ScaleForDpi(h, dpi) + frameH,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindow::CenterOnScreen() {
  RECT wr{};
  GetWindowRect(FHandle, &wr);
  SetWindowPos(FHandle, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (wr.right - wr.left)) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - (wr.bottom - wr.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWindow::ShowModal() {
  HWND owner = GetWindow(FHandle, GW_OWNER);
  const bool disable = owner && IsWindowEnabled(owner);
  if (disable) EnableWindow(owner, FALSE);
  FModalResult = 0;
  FInModal = true;
  ShowWindow(FHandle, SW_SHOW);
  SetForegroundWindow(FHandle);
  MSG msg;
  while (FModalResult == 0 && IsWindow(FHandle) && IsWindowVisible(FHandle)) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) continue;  // an undeliverable message; the dialog goes on
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root && IsDialogWindow(root) && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  FInModal = false;
  if (disable && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(FHandle)) ShowWindow(FHandle, SW_HIDE);
  return FModalResult ? FModalResult : IDCANCEL;
}

int RunMessageLoop(HWND main) {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    // A message the system cannot deliver (Wine fails on very large WM_COPYDATA records) is
    // lost, not the program.
    if (got < 0) continue;
    // A nested loop (an open menu's) can outlive the main window and take the quit message
    // along; the window's end then wakes this loop with a thread message (the main window's
    // WM_DESTROY sets a thread timer), and the loop ends here.
    if (main && !msg.hwnd && !IsWindow(main)) return 0;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && TWindow::IsDialogWindow(root) && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && TWindow::IsDialogWindow(root) && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ShowUnhandledError(const std::wstring& message) {
  ShowMessage(message, MB_ICONERROR, /*translate=*/false);
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
