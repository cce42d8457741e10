// The one object that reads pixels from the screen.
#pragma once
#include <windows.h>

#include <functional>

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
  // when ShowCursor is set. Every pixel is written; what lies on no monitor is black.
  void Capture(HDC canvas, const TRect& rect);
  // The same in bands of rows from the top, so that an encoder can start on the first rows
  // while the rest is copied: `bandDone` gets the number of final rows after each band.
  void Capture(HDC canvas, const TRect& rect, const std::function<void(int rows)>& bandDone);
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
  struct TPointer {
    HCURSOR Cursor = nullptr;
    int X = 0, Y = 0;  // top left of its image on the screen
    int Extent = 0;    // the image's height or more; drawn rows lie within [Y - Extent, Y + 2 Extent)
  };
  static TPointer Pointer();

  bool FShowCursor = true;
  HDC FDC = nullptr;
};

// The visible frame of a window where the compositor reports it, else its window rectangle.
TRect WindowBounds(HWND handle);
// The monitor nearest to the cursor.
TRect MonitorUnderCursor();
