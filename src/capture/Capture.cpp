#include "capture/Capture.h"

#include <dwmapi.h>

#include "base/AutoStart.h"

TCapture::TCapture() : FDC(GetDC(nullptr)) {}

TCapture::~TCapture() {
  if (FDC) ReleaseDC(nullptr, FDC);
}

void TCapture::Capture(HDC canvas, const TRect& rect) {
  BitBlt(canvas, 0, 0, rect.Width(), rect.Height(), FDC, rect.Left, rect.Top, SRCCOPY | CAPTUREBLT);
  if (FShowCursor) DrawMouse(canvas, rect.Left, rect.Top);
}

void TCapture::Capture(TBitmap& bitmap, const TRect& rect) {
  bitmap.SetSize(rect.Width(), rect.Height());
  if (bitmap.Empty()) return;
  Capture(bitmap.Canvas(), rect);
  GdiFlush();
}

void TCapture::Capture(TBitmap& bitmap, HWND handle, TRect& rect) {
  const TRect r = handle ? WindowBounds(handle) : MonitorUnderCursor();
  bitmap.SetSize(r.Width(), r.Height());
  rect = r;
  if (bitmap.Empty()) return;
  Capture(bitmap.Canvas(), rect);
  GdiFlush();
}

void TCapture::DrawMouse(HDC canvas, int left, int top) {
  CURSORINFO ci{};
  ci.cbSize = sizeof(ci);  // 20 on 32-bit, 24 on 64-bit: the record's own size
  if (!GetCursorInfo(&ci) || !ci.hCursor) return;
  int x = ci.ptScreenPos.x - left;
  int y = ci.ptScreenPos.y - top;
  ICONINFO ii{};
  if (GetIconInfo(ci.hCursor, &ii)) {
    x -= static_cast<int>(ii.xHotspot);
    y -= static_cast<int>(ii.yHotspot);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
  }
  DrawIcon(canvas, x, y, ci.hCursor);
}

TRect WindowBounds(HWND handle) {
  RECT r{};
  BOOL composed = FALSE;
  if (SystemMajorVersion() >= 6 && SUCCEEDED(DwmIsCompositionEnabled(&composed)) && composed &&
      DwmGetWindowAttribute(handle, DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof(r)) == S_OK)
    return TRect{r.left, r.top, r.right, r.bottom};
  GetWindowRect(handle, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

TRect MonitorUnderCursor() {
  POINT p{};
  GetCursorPos(&p);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (!GetMonitorInfoW(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &mi)) {
    return TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return TRect{mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right, mi.rcMonitor.bottom};
}
