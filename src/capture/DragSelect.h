// The drag overlay's selection and its dimmed display image, without any window: the
// rectangle between the press and the pointer, and the screenshot with everything outside
// that rectangle darkened.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/Types.h"

// The rectangle spanned by two points: smaller coordinates inclusive, larger exclusive, so
// the column and row under the pointer of a drag to the right and down stay outside.
TRect NormalizedSelection(int x1, int y1, int x2, int y2);

// `sel` cut to (0, 0, width, height); an empty rectangle when nothing of it lies inside.
TRect ClampSelection(const TRect& sel, int width, int height);

// A selection in overlay coordinates moved to virtual-screen coordinates; the overlay's
// origin sits at the smallest left and the smallest top of all monitors.
TRect SelectionToScreen(const TRect& sel, int originLeft, int originTop);

// About 60 % of a colour byte, rounded: (v * 19660 + 16384) >> 15.
inline uint8_t DimByte(uint8_t v) { return static_cast<uint8_t>((v * 19660u + 16384u) >> 15); }

// Every byte of `src` dimmed into `dst` (the buffers may be the same).
void DimBytes(const uint8_t* src, uint8_t* dst, size_t count);

// The display image of a 24-bit screenshot: `dst` gets `src` with every pixel outside `sel`
// (inside: left <= x < right, top <= y < bottom) dimmed. Both are top-down rows of packed
// blue, green, red of `width` x `height`; row padding is left alone. A selection reaching
// beyond the picture is cut to it.
void DimOutside(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, int width, int height,
                const TRect& sel);

// The left-button drag over the overlay. Coordinates are the overlay's.
class TDragSelection {
 public:
  // The overlay's size: the selection never reaches beyond it.
  TDragSelection(int width, int height) : FWidth(width), FHeight(height) {}

  void Press(int x, int y);
  // While selecting: follows the pointer; returns whether the display must be rebuilt.
  bool Move(int x, int y);
  // Ends a drag. True when a selection of some width and height was made (the result is
  // then Rect()); false for a release outside a drag or of zero width or height, after
  // which the user may drag again.
  bool Release(int x, int y);

  bool Selecting() const { return FSelecting; }
  const TRect& Rect() const { return FRect; }  // empty (0, 0, 0, 0) before any drag

 private:
  void Follow(int x, int y);
  int FWidth, FHeight;
  bool FSelecting = false;
  int FStartX = 0, FStartY = 0, FEndX = 0, FEndY = 0;
  TRect FRect{};
};
