// Windows bitmap file: file header, BITMAPINFOHEADER, bottom-up rows padded to 4 bytes,
// the pixels exactly as the picture holds them.
#include <cstring>
#include <limits>

#include "outputs/Encoders.h"

namespace {

void PutLE(uint8_t*& p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) *p++ = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const TPixelView& image) {
  CheckPicture(image);
  constexpr uint32_t kHeaders = 14 + 40;
  const size_t pixelBytes = static_cast<size_t>(image.Width) * image.BytesPerPixel();
  const size_t stride = static_cast<size_t>(DibStride(image.Width, image.BitsPerPixel));
  const uint64_t imageSize = static_cast<uint64_t>(stride) * static_cast<uint64_t>(image.Height);
  if (imageSize + kHeaders > std::numeric_limits<uint32_t>::max())
    throw EEncoderError(L"The picture is too large for a bitmap file.");

  std::vector<uint8_t> out(kHeaders);
  out.reserve(static_cast<size_t>(imageSize) + kHeaders);
  uint8_t* p = out.data();
  *p++ = 'B';
  *p++ = 'M';
  PutLE(p, static_cast<uint32_t>(imageSize + kHeaders), 4);
  PutLE(p, 0, 4);  // reserved
  PutLE(p, kHeaders, 4);
  PutLE(p, 40, 4);
  PutLE(p, static_cast<uint32_t>(image.Width), 4);
  PutLE(p, static_cast<uint32_t>(image.Height), 4);  // positive: bottom-up rows
  PutLE(p, 1, 2);
  PutLE(p, static_cast<uint32_t>(image.BitsPerPixel), 2);
  PutLE(p, 0, 4);  // BI_RGB
  PutLE(p, static_cast<uint32_t>(imageSize), 4);
  PutLE(p, 0, 4);
  PutLE(p, 0, 4);
  PutLE(p, 0, 4);
  PutLE(p, 0, 4);

  static const uint8_t kPad[4] = {0, 0, 0, 0};
  for (int y = image.Height - 1; y >= 0; --y) {
    const uint8_t* row = image.Row(y);
    out.insert(out.end(), row, row + pixelBytes);
    if (stride > pixelBytes) out.insert(out.end(), kPad, kPad + (stride - pixelBytes));
  }
  return out;
}
