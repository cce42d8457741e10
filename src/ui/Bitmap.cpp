#include "ui/Bitmap.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "base/Errors.h"

TBitmap::TBitmap(int bitsPerPixel) : FBpp(bitsPerPixel == 24 ? 24 : 32) {}

TBitmap::~TBitmap() {
  ReleaseDc();
  if (FDib) DeleteObject(FDib);
}

void TBitmap::ReleaseDc() {
  if (FDC) {
    SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = nullptr;
    FOldBitmap = nullptr;
  }
}

BITMAPINFO DibInfo(const TPixelView& view) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = view.Width;
  bi.bmiHeader.biHeight = -view.Height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = static_cast<WORD>(view.BitsPerPixel);
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

void TBitmap::Reallocate(int width, int height, int bpp, bool keep) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  HBITMAP dib = nullptr;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    TPixelView shape;
    shape.Width = width;
    shape.Height = height;
    shape.BitsPerPixel = bpp;
    BITMAPINFO bi = DibInfo(shape);
    dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) throw EError(L"Out of memory for a picture of %sx%s", {std::to_wstring(width), std::to_wstring(height)});
    // Fresh DIB sections are zeroed by the system.
    if (keep && FDib) {
      const int w = std::min(width, FWidth), h = std::min(height, FHeight);
      const ptrdiff_t dstStride = DibStride(width, bpp);
      for (int y = 0; y < h; ++y) {
        const uint8_t* src = Row(y);
        uint8_t* dst = static_cast<uint8_t*>(bits) + y * dstStride;
        if (bpp == FBpp) {
          std::memcpy(dst, src, static_cast<size_t>(w) * (bpp / 8));
        } else {
          const int sb = FBpp / 8, db = bpp / 8;
          for (int x = 0; x < w; ++x) {
            dst[x * db] = src[x * sb];
            dst[x * db + 1] = src[x * sb + 1];
            dst[x * db + 2] = src[x * sb + 2];
            if (db == 4) dst[x * db + 3] = 0;
          }
        }
      }
    }
  }
  ReleaseDc();
  if (FDib) DeleteObject(FDib);
  FDib = dib;
  FBits = bits;
  FWidth = dib ? width : 0;
  FHeight = dib ? height : 0;
  FBpp = bpp;
}

void TBitmap::SetSize(int width, int height) {
  if (width == FWidth && height == FHeight && (FDib || width <= 0 || height <= 0)) return;
  Reallocate(width, height, FBpp, true);
}

void TBitmap::SetPixelFormat(int bitsPerPixel) {
  const int bpp = bitsPerPixel == 24 ? 24 : 32;
  if (bpp == FBpp) return;
  if (!FDib) {
    FBpp = bpp;
    return;
  }
  Reallocate(FWidth, FHeight, bpp, true);
}

HDC TBitmap::Canvas() {
  if (!FDC) {
    FDC = CreateCompatibleDC(nullptr);
    if (FDib) FOldBitmap = SelectObject(FDC, FDib);
  }
  if (FDib) GdiFlush();
  return FDC;
}

TPixelView TBitmap::View() const {
  if (FDib) GdiFlush();  // drawing into the DIB may still be batched
  TPixelView v;
  v.Width = FWidth;
  v.Height = FHeight;
  v.BitsPerPixel = FBpp;
  v.Pixels = static_cast<const uint8_t*>(FBits);
  v.Stride = Stride();
  return v;
}

std::unique_ptr<TBitmap> TBitmap::Clone() const {
  auto b = std::make_unique<TBitmap>(FBpp);
  b->Assign(*this);
  return b;
}

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  Reallocate(0, 0, other.FBpp, false);
  if (other.Empty()) return;
  Reallocate(other.FWidth, other.FHeight, other.FBpp, false);
  GdiFlush();
  std::memcpy(FBits, other.FBits, static_cast<size_t>(Stride()) * FHeight);
}

void ResizeBitmap(TBitmap& bitmap, int newWidth, int newHeight) {
  if (bitmap.Empty() || newWidth <= 0 || newHeight <= 0) {
    bitmap.SetSize(newWidth, newHeight);
    return;
  }
  TComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid());
  if (FAILED(hr)) throw EError(L"The imaging component is not available");
  bitmap.SetPixelFormat(32);
  TComPtr<IWICBitmap> source;
  hr = factory->CreateBitmapFromHBITMAP(bitmap.Handle(), nullptr, WICBitmapIgnoreAlpha, source.Put());
  TComPtr<IWICBitmapScaler> scaler;
  if (SUCCEEDED(hr)) hr = factory->CreateBitmapScaler(scaler.Put());
  if (SUCCEEDED(hr))
    hr = scaler->Initialize(source.Get(), static_cast<UINT>(newWidth), static_cast<UINT>(newHeight),
                            WICBitmapInterpolationModeFant);
  TComPtr<IWICFormatConverter> converter;
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(converter.Put());
  if (SUCCEEDED(hr))
    hr = converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                               WICBitmapPaletteTypeCustom);
  if (FAILED(hr)) throw EError(L"The picture could not be resized");
  TBitmap scaled(32);
  scaled.SetSize(newWidth, newHeight);
  GdiFlush();
  hr = converter->CopyPixels(nullptr, static_cast<UINT>(scaled.Stride()),
                             static_cast<UINT>(scaled.Stride() * newHeight), scaled.Row(0));
  if (FAILED(hr)) throw EError(L"The picture could not be resized");
  bitmap.Assign(scaled);
}
