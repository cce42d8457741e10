#include "capture/Drag.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "ui/Window.h"

namespace {

constexpr UINT_PTR kTmrActive = 1;
constexpr UINT WM_TAKEFOREGROUND = WM_APP + 1;

// The smallest left and the smallest top of all monitors: the virtual desktop's corner.
POINT MonitorsOrigin() {
  POINT origin{INT_MAX, INT_MAX};
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM lp) -> BOOL {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        if (GetMonitorInfoW(monitor, &mi)) {
          auto* o = reinterpret_cast<POINT*>(lp);
          o->x = std::min(o->x, mi.rcMonitor.left);
          o->y = std::min(o->y, mi.rcMonitor.top);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&origin));
  if (origin.x == INT_MAX) origin = POINT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
  return origin;
}

bool ApplicationActive() {
  DWORD pid = 0;
  if (HWND fg = GetForegroundWindow()) GetWindowThreadProcessId(fg, &pid);
  return pid == GetCurrentProcessId();
}

}  // namespace

TFrmDrag::TFrmDrag(HWND owner) {
  TClassInfo cls{L"TFrmDrag"};
  // No double-click style: a quick second press must start a drag like the first.
  cls.Style = CS_HREDRAW | CS_VREDRAW;
  cls.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  cls.Cursor = LoadCursorW(nullptr, IDC_CROSS);
  CreateWnd(cls, L"", WS_POPUP, WS_EX_TOPMOST, owner, 0, 0, 0, 0);
  // It covers the whole virtual screen, whatever the DPI of the monitor it is counted on.
  FKeepBoundsOnDpiChange = true;
  SetTimer(FHandle, kTmrActive, 100, nullptr);
}

TFrmDrag::~TFrmDrag() {
  if (HandleAllocated()) KillTimer(FHandle, kTmrActive);
}

void TFrmDrag::Capture(std::unique_ptr<TBitmap>& bitmap, TRect& rect) {
  bitmap = std::make_unique<TBitmap>();
  FBitmap = &bitmap;
  FRect = &rect;
}

void TFrmDrag::StayOnTop() {
  SetWindowPos(FHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

// Before the overlay becomes visible: it is not yet on screen, so not in the screenshot.
void TFrmDrag::FormShow() {
  StayOnTop();
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  try {
    FScreen.SetSize(width, height);
    FSelect.SetSize(width, height);
  } catch (...) {
    Cancel();  // no room for the screenshot: nothing to select from
    throw;
  }
  {
    TWindowDc screen(nullptr);
    BitBlt(FScreen.Canvas(), 0, 0, width, height, screen.Get(), left, top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
  }
  FSelection = TDragSelection(width, height);
  DrawSelect(true);
  PostMessageW(FHandle, WM_TAKEFOREGROUND, 0, 0);
}

void TFrmDrag::DrawSelect(bool dim) {
  if (FScreen.Empty()) return;
  if (dim) {
    GdiFlush();
    DimOutside(FScreen.Row(0), FScreen.Stride(), FSelect.Row(0), FSelect.Stride(), FScreen.Width(), FScreen.Height(),
               FSelection.Rect());
  }
  TWindowDc dc(FHandle);
  BitBlt(dc.Get(), 0, 0, FSelect.Width(), FSelect.Height(), FSelect.Canvas(), 0, 0, SRCCOPY);
}

void TFrmDrag::MouseUp(int x, int y) {
  if (!FSelection.Selecting()) return;
  const bool selected = FSelection.Release(x, y);
  DrawSelect(true);
  if (!selected || !FBitmap || !*FBitmap) return;  // zero size: the user may drag again
  const TRect sel = FSelection.Rect();
  TBitmap& result = **FBitmap;
  result.SetSize(sel.Width(), sel.Height());
  const POINT origin = MonitorsOrigin();
  *FRect = SelectionToScreen(sel, origin.x, origin.y);
  // The selection is undimmed in the display image.
  BitBlt(result.Canvas(), 0, 0, sel.Width(), sel.Height(), FSelect.Canvas(), sel.Left, sel.Top, SRCCOPY);
  GdiFlush();
  FFinished = true;
  CloseOverlay(IDOK);
}

void TFrmDrag::Cancel() {
  if (FBitmap) FBitmap->reset();
  FFinished = false;
  CloseOverlay(IDCANCEL);
}

// Ends the modal run first, so the owner is enabled again before the overlay goes and the
// activation returns to this program rather than to another one.
void TFrmDrag::CloseOverlay(int result) {
  KillTimer(FHandle, kTmrActive);
  FSelect.SetSize(0, 0);
  FScreen.SetSize(0, 0);
  if (InModal()) SetModalResult(result);
  else DestroyWindow(FHandle);
}

LRESULT TFrmDrag::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wp) FormShow();
      break;
    case WM_TAKEFOREGROUND:
      // The hotkey and a program's request may leave another window in front; once the
      // overlay has been active, a window in front is the user's choice.
      if (!FWasActive && GetForegroundWindow() != FHandle) ForceForeground(FHandle);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) FWasActive = true;
      break;
    case WM_ERASEBKGND:
      if (!FSelect.Empty()) return 1;
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(FHandle, &ps);
      EndPaint(FHandle, &ps);
      DrawSelect(false);
      return 0;
    }
    case WM_LBUTTONDOWN:
      FSelection.Press(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_MOUSEMOVE:
      if (FSelection.Move(GET_X_LPARAM(lp), GET_Y_LPARAM(lp))) DrawSelect(true);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return 0;  // only the left button selects
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        Cancel();
        return 0;
      }
      break;
    case WM_TIMER:
      if (wp == kTmrActive) {
        if (ApplicationActive()) {
          FWasActive = true;
          StayOnTop();
        } else if (FWasActive) {
          Cancel();  // the user switched to another application
        }
        // Not in front yet (the request came while another program was): that is no
        // switch of the user's; the overlay is still taking the foreground.
        return 0;
      }
      break;
    case WM_CLOSE:
      Cancel();
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
