#include "outputs/Encoders.h"

#include <string>

void CheckPicture(const TPixelView& image) {
  if (image.Empty()) throw EEncoderError(L"캡쳐된 이미지가 비어 있습니다.");
  if (image.BitsPerPixel != 24 && image.BitsPerPixel != 32)
    throw EEncoderError(L"Unsupported pixel format: " + std::to_wstring(image.BitsPerPixel) + L" bits per pixel.");
}

std::vector<uint8_t> EncodeWebP(const TPixelView& bgra, int quality, TWebPEncodeBGRA encode, TWebPFree release) {
  CheckPicture(bgra);
  if (bgra.BitsPerPixel != 32) throw EEncoderError(L"WebP needs a 32-bit picture.");
  // Every pixel must come out opaque. GDI leaves the fourth byte of a capture at 0, and
  // not every pixel lock turns it into 255, so such rows are copied with opaque alpha.
  const uint8_t* pixels = bgra.Pixels;
  ptrdiff_t stride = bgra.Stride;
  std::vector<uint8_t> opaque;
  for (int y = 0; y < bgra.Height && opaque.empty(); ++y) {
    const uint8_t* row = bgra.Row(y);
    for (int x = 0; x < bgra.Width; ++x)
      if (row[x * 4 + 3] != 255) {
        stride = static_cast<ptrdiff_t>(bgra.Width) * 4;
        opaque.resize(static_cast<size_t>(stride) * bgra.Height);
        break;
      }
  }
  if (!opaque.empty()) {
    for (int y = 0; y < bgra.Height; ++y) {
      const uint8_t* src = bgra.Row(y);
      uint8_t* dst = opaque.data() + stride * y;
      for (int x = 0; x < bgra.Width; ++x, src += 4, dst += 4) dst[0] = src[0], dst[1] = src[1], dst[2] = src[2], dst[3] = 255;
    }
    pixels = opaque.data();
  }
  uint8_t* output = nullptr;
  const size_t size = encode(pixels, bgra.Width, bgra.Height, static_cast<int>(stride), static_cast<float>(quality),
                             &output);
  std::vector<uint8_t> bytes;
  if (output) {
    bytes.assign(output, output + size);
    release(output);
  }
  if (bytes.empty()) throw EEncoderError(L"The WebP library could not encode the picture.");
  return bytes;
}
