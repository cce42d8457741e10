#include "capture/Line.h"

#include "capture/Capture.h"
#include "capture/LineDash.h"

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT WM_FOCUSMAIN = WM_APP + 1;

// The dashes run on from one picker's drawing to the next; a new picker starts afresh.
TLineDash LinePattern;

}  // namespace

TFrmLine::TFrmLine(HWND mainWindow) : FMain(mainWindow) {
  LinePattern.Reset();
  TClassInfo cls{L"TFrmLine"};
  cls.Style = CS_HREDRAW | CS_VREDRAW;
  cls.Background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  cls.Cursor = LoadCursorW(nullptr, IDC_CROSS);
  // No owner and a tool window: no task-bar button, no entry in the task switcher.
  CreateWnd(cls, L"", WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, nullptr, 0, 0, 0, 0);
  // The outline hugs its target in screen pixels at any DPI.
  FKeepBoundsOnDpiChange = true;
}

TFrmLine::~TFrmLine() {
  if (HandleAllocated()) KillTimer(FHandle, kTimer1);
}

void TFrmLine::Show() {
  Place();
  ShowWindow(FHandle, SW_SHOWNOACTIVATE);
  SetTimer(FHandle, kTimer1, 10, nullptr);
}

void TFrmLine::Place() {
  POINT p{};
  GetCursorPos(&p);
  HWND target = WindowFromPoint(p);
  // The pointer on the outline itself: the main window is what the user looks at then.
  if (target == FHandle) target = FMain;
  if (!target || !IsWindow(target)) return;
  const TRect r = OutlineBounds(WindowBounds(target));
  if (r == FBounds && HandleAllocated() && IsWindowVisible(FHandle)) return;
  FBounds = r;
  SetWindowPos(FHandle, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmLine::Timer1Timer() {
  Place();
  if (OutlineTick(FDelay)) DrawOutline();
}

void CALLBACK TFrmLine::DrawLinePoint(int x, int y, LPARAM surface) {
  SetPixel(reinterpret_cast<HDC>(surface), x, y, LinePattern.Next() ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

// Clockwise from the top-left corner; each edge stops short of its end point, which the
// next edge starts on, and the left edge runs up to (0, 0).
void TFrmLine::DrawOutline() {
  RECT wr{};
  GetWindowRect(FHandle, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  if (w <= 0 || h <= 0) return;
  TWindowDc dc(FHandle);
  const LPARAM surface = reinterpret_cast<LPARAM>(dc.Get());
  LineDDA(0, 0, w - 1, 0, &TFrmLine::DrawLinePoint, surface);
  LineDDA(w - 1, 0, w - 1, h - 1, &TFrmLine::DrawLinePoint, surface);
  LineDDA(w - 1, h - 1, 0, h - 1, &TFrmLine::DrawLinePoint, surface);
  LineDDA(0, h - 1, 0, -1, &TFrmLine::DrawLinePoint, surface);
}

// Only the one-pixel frame belongs to the window: everything inside reaches the target.
void TFrmLine::UpdateShape(int width, int height) {
  HRGN shape = CreateRectRgn(0, 0, width, height);
  if (width > 2 && height > 2) {
    HRGN inner = CreateRectRgn(1, 1, width - 1, height - 1);
    CombineRgn(shape, shape, inner, RGN_DIFF);
    DeleteObject(inner);
  }
  if (!SetWindowRgn(FHandle, shape, TRUE)) DeleteObject(shape);  // the system owns it once set
}

LRESULT TFrmLine::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      UpdateShape(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_TIMER:
      if (wp == kTimer1) {
        Timer1Timer();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      // Handed on once the activation is over; switching inside it confuses the system.
      if (LOWORD(wp) != WA_INACTIVE && FMain && IsWindowVisible(FMain)) PostMessageW(FHandle, WM_FOCUSMAIN, 0, 0);
      break;
    case WM_FOCUSMAIN:
      if (FMain && IsWindowVisible(FMain) && GetForegroundWindow() == FHandle) {
        SetForegroundWindow(FMain);
        SetFocus(FMain);
      }
      return 0;
    case WM_CLOSE:
      KillTimer(FHandle, kTimer1);
      DestroyWindow(FHandle);
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
