// The one object that reads pixels from the screen.
#pragma once
#include <windows.h>

#include "base/Types.h"
#include "ui/Bitmap.h"

class TWebBrowser;

class TCapture {
 public:
  TCapture();
  TCapture(const TCapture&) = delete;
  TCapture& operator=(const TCapture&) = delete;
  ~TCapture();

  bool ShowCursor() const { return FShowCursor; }
  void SetShowCursor(bool v) { FShowCursor = v; }
  HDC DC() const { return FDC; }

  // The screen rectangle (virtual-screen coordinates) to `canvas` at (0, 0), cursor drawn
  // when ShowCursor is set.
  void Capture(HDC canvas, const TRect& rect);
  // Sizes the picture to the rectangle, then copies it.
  void Capture(TBitmap& bitmap, const TRect& rect);
  // A window (its visible frame) or, with no window, the monitor under the cursor.
  // `rect` receives the captured rectangle.
  void Capture(TBitmap& bitmap, HWND handle, TRect& rect);
  // The whole page loaded in the browser control (CapturePage.cpp).
  void Capture(TBitmap& bitmap, TWebBrowser* wb);

  // The current cursor image at its screen position moved by (-left, -top).
  void DrawMouse(HDC canvas, int left, int top);

 private:
  bool FShowCursor = true;
  HDC FDC = nullptr;
};

// The visible frame of a window where the compositor reports it, else its window rectangle.
TRect WindowBounds(HWND handle);
// The monitor nearest to the cursor.
TRect MonitorUnderCursor();
