#include "capture/Capture.h"

#include <dwmapi.h>

#include <algorithm>

#include "base/AutoStart.h"

namespace {

bool OnOneMonitor(const RECT& r) {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  const HMONITOR monitor = MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
  return monitor && GetMonitorInfoW(monitor, &mi) && r.left >= mi.rcMonitor.left && r.top >= mi.rcMonitor.top &&
         r.right <= mi.rcMonitor.right && r.bottom <= mi.rcMonitor.bottom;
}

// Copies the screen rectangle at (sx, sy) into the canvas at (x, y), every pixel: what lies
// on no monitor is black, whatever the canvas held (a picture may serve a second capture).
// Only the desktop's own pixels are read: under Wine a read that reaches past the desktop's
// edge comes back black as a whole.
void CopyScreen(HDC canvas, int x, int y, int w, int h, HDC screen, int sx, int sy) {
  if (!OnOneMonitor(RECT{sx, sy, sx + w, sy + h})) PatBlt(canvas, x, y, w, h, BLACKNESS);
  const int vl = GetSystemMetrics(SM_XVIRTUALSCREEN), vt = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int vr = vl + GetSystemMetrics(SM_CXVIRTUALSCREEN), vb = vt + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const int l = std::max(sx, vl), t = std::max(sy, vt), r = std::min(sx + w, vr), b = std::min(sy + h, vb);
  if (l < r && t < b) BitBlt(canvas, x + l - sx, y + t - sy, r - l, b - t, screen, l, t, SRCCOPY | CAPTUREBLT);
}

}  // namespace

TCapture::TCapture() : FDC(GetDC(nullptr)) {}

TCapture::~TCapture() {
  if (FDC) ReleaseDC(nullptr, FDC);
}

void TCapture::Capture(HDC canvas, const TRect& rect) {
  CopyScreen(canvas, 0, 0, rect.Width(), rect.Height(), FDC, rect.Left, rect.Top);
  if (FShowCursor) DrawMouse(canvas, rect.Left, rect.Top);
}

void TCapture::Capture(HDC canvas, const TRect& rect, const std::function<void(int rows)>& bandDone) {
  // Sixteen bands, or more of about 512 KB each on large screens: under Wine a larger read
  // of the screen costs several times as much per byte. The pointer is read once and drawn
  // into the bands it covers, each its part, so the picture is the one a single copy gives.
  const int width = rect.Width(), height = rect.Height();
  const int band = std::max(32, std::min((height + 15) / 16, (512 * 1024) / std::max(1, width * 4)));
  const TPointer pointer = FShowCursor ? Pointer() : TPointer{};
  for (int y = 0; y < height; y += band) {
    const int rows = std::min(band, height - y);
    CopyScreen(canvas, 0, y, width, rows, FDC, rect.Left, rect.Top + y);
    const int top = rect.Top + y;
    if (pointer.Cursor && pointer.Y < top + rows + pointer.Extent && pointer.Y + 2 * pointer.Extent > top) {
      const int saved = SaveDC(canvas);
      IntersectClipRect(canvas, 0, y, width, y + rows);
      DrawIcon(canvas, pointer.X - rect.Left, pointer.Y - rect.Top, pointer.Cursor);
      RestoreDC(canvas, saved);
    }
    GdiFlush();
    bandDone(y + rows);
  }
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

TCapture::TPointer TCapture::Pointer() {
  CURSORINFO ci{};
  ci.cbSize = sizeof(ci);  // 20 on 32-bit, 24 on 64-bit: the record's own size
  if (!GetCursorInfo(&ci) || !ci.hCursor) return {};
  TPointer p{ci.hCursor, ci.ptScreenPos.x, ci.ptScreenPos.y};
  p.Extent = std::max(GetSystemMetrics(SM_CYICON), GetSystemMetrics(SM_CYCURSOR));
  ICONINFO ii{};
  if (GetIconInfo(ci.hCursor, &ii)) {
    p.X -= static_cast<int>(ii.xHotspot);
    p.Y -= static_cast<int>(ii.yHotspot);
    BITMAP bm{};
    if (GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof(bm), &bm)) p.Extent = std::max(p.Extent, static_cast<int>(bm.bmHeight));
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
  }
  return p;
}

void TCapture::DrawMouse(HDC canvas, int left, int top) {
  const TPointer p = Pointer();
  if (p.Cursor) DrawIcon(canvas, p.X - left, p.Y - top, p.Cursor);
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
