// The picture: a top-down DIB section that GDI draws into and the encoders read row by row.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/Handles.h"
#include "base/Image.h"

class TBitmap {
 public:
  explicit TBitmap(int bitsPerPixel = 32);
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  ~TBitmap();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBpp; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

  // Keeps the pixels of the part that both sizes share; new parts are black.
  void SetSize(int width, int height);
  // 24 or 32 bits per pixel; the pixels are converted (the fourth byte becomes 0).
  void SetPixelFormat(int bitsPerPixel);

  // A memory device context with the picture selected, valid until the next SetSize.
  HDC Canvas();
  HBITMAP Handle() const { return FDib; }
  uint8_t* Row(int y) { return static_cast<uint8_t*>(FBits) + static_cast<ptrdiff_t>(y) * Stride(); }
  const uint8_t* Row(int y) const { return static_cast<const uint8_t*>(FBits) + static_cast<ptrdiff_t>(y) * Stride(); }
  ptrdiff_t Stride() const { return DibStride(FWidth, FBpp); }
  TPixelView View() const;

  std::unique_ptr<TBitmap> Clone() const;
  void Assign(const TBitmap& other);

 private:
  void Reallocate(int width, int height, int bpp, bool keep);
  void ReleaseDc();
  int FWidth = 0, FHeight = 0, FBpp = 32;
  HBITMAP FDib = nullptr;
  void* FBits = nullptr;
  HDC FDC = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
};

// The header GDI needs to read a top-down picture of this view's format.
BITMAPINFO DibInfo(const TPixelView& view);

// Scales the picture to the new size with the imaging component's Fant interpolation.
void ResizeBitmap(TBitmap& bitmap, int newWidth, int newHeight);
