// The region frame's rules without a window: the ring around the hole, the capture
// rectangle, the resize bands of the hit test, the smallest size, the place accepted at
// start, the header's layout, the keyboard moves and resizes, the size fields' bounds and
// the pulsing ring colour.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Types.h"

namespace area {
inline constexpr int Border = 6;        // ring width on the left, right and bottom; not scaled
inline constexpr int HeadHeight = 25;   // header bar, design pixels (scaled with the DPI)
inline constexpr int PanelWidth = 80;   // size and close panels of the header, design pixels
inline constexpr int FieldMin = 64;     // the size dialog's number fields
inline constexpr int FieldMax = 9999;
inline constexpr int MinCapture = 2;    // the smallest capture area is 2 x 2
}  // namespace area

struct TAreaSize {
  int Width = 0, Height = 0;
  bool operator==(const TAreaSize&) const = default;
};

TAreaSize AreaWindowSize(TAreaSize capture, int head);
TAreaSize AreaCaptureSize(TAreaSize window, int head);
// The hole on the screen for the window's screen rectangle: the capture rectangle.
TRect AreaCaptureRect(const TRect& window, int head);
// The hole in window coordinates; the window's shape is its rectangle minus this.
TRect AreaHole(TAreaSize window, int head);
// A proposed window size with a capture side below the minimum becomes the minimum.
TAreaSize ConstrainAreaWindow(TAreaSize proposed, int head);

// Answers of the hit test; the values are the system's hit-test codes.
enum class TAreaHit : int {
  Caption = 2,
  Left = 10,
  Right = 11,
  Top = 12,
  TopLeft = 13,
  TopRight = 14,
  Bottom = 15,
  BottomLeft = 16,
  BottomRight = 17,
};
// Band of a client point (x, y) of a client area `client` wide and high.
TAreaHit AreaHitTest(int x, int y, TAreaSize client, int head);

// Window left and top, capture width and height: the four stored values.
struct TAreaPlace {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TAreaPlace&) const = default;
};
// Strictly inside the desktop (the rectangle over all monitors): touching an edge fails.
bool PlaceInsideDesktop(const TAreaPlace& place, const TRect& desktop);
// Centred on the primary screen with the default capture size.
TAreaPlace DefaultAreaPlace(int screenWidth, int screenHeight);

// Which parts of the header show at a window width, and where they lie (window pixels):
// the size panel on the left, the close panel on the right, the time between them.
struct THeaderLayout {
  bool SizeVisible = false, RecVisible = false, CloseVisible = false;
  TRect Size, Rec, Close;
};
THeaderLayout AreaHeaderLayout(int windowWidth, int head, int panelWidth);

namespace areakey {
inline constexpr unsigned Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28, F4 = 0x73;
}
// What a key press on the focused frame does.
struct TAreaKeyAction {
  bool Handled = false;  // false: the key goes its usual way
  bool Swallow = false;  // Alt+F4: nothing happens at all
  int DX = 0, DY = 0, DWidth = 0, DHeight = 0;
  bool operator==(const TAreaKeyAction&) const = default;
};
TAreaKeyAction AreaKeyAction(unsigned key, bool shift, bool ctrl, bool alt);

// A size field's value: brought into 64...9999; text that is not a number reads as 64.
int ClampSizeField(int64_t value);
int SizeFieldValue(std::wstring_view text);
// "%dx%d", as the header and the preset entries show sizes.
std::wstring SizeText(int width, int height);

// The ring's colour: every component of 0x00BBGGRR loses `percent` per cent of itself,
// rounded to the nearest (halves to even).
uint32_t DarkenColor(uint32_t color, int percent);
// The ring's pulse: 0, 5, ..., 45, 40, ..., 5, 0, 5, ... one step per tick.
struct TPulse {
  int Percent = 0;
  bool Inc = true;
  // The darkening for this tick; then steps on.
  int Tick();
};
