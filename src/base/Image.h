// A read-only view of a picture's pixels: top-down rows of packed blue, green, red
// (and a fourth byte at 32 bits per pixel), as GDI keeps them.
#pragma once
#include <cstddef>
#include <cstdint>

struct TPixelView {
  int Width = 0;
  int Height = 0;
  int BitsPerPixel = 32;  // 24 or 32
  const uint8_t* Pixels = nullptr;  // first (top) row
  ptrdiff_t Stride = 0;             // bytes from one row to the next
  const uint8_t* Row(int y) const { return Pixels + static_cast<ptrdiff_t>(y) * Stride; }
  int BytesPerPixel() const { return BitsPerPixel / 8; }
  bool Empty() const { return Width <= 0 || Height <= 0 || !Pixels; }
};

// Row stride of a GDI device-independent bitmap: rows padded to 4 bytes.
inline ptrdiff_t DibStride(int width, int bitsPerPixel) {
  return ((static_cast<ptrdiff_t>(width) * bitsPerPixel + 31) / 32) * 4;
}
