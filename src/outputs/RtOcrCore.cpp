#include "outputs/RtOcrCore.h"

#include <algorithm>

namespace rtocr {

TStatus StatusOfAsync(int asyncStatus) {
  if (asyncStatus == kAsyncCompleted) return stCompleted;
  if (asyncStatus == kAsyncCanceled) return stCanceled;
  return stError;
}

TRegion CheckRegion(int pictureWidth, int pictureHeight, int left, int top, int right, int bottom) {
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    right = pictureWidth;
    bottom = pictureHeight;
  }
  if (left < 0) throw ERtOcrError(L"Incorrect Left value");
  if (top < 0) throw ERtOcrError(L"Incorrect Top value");
  if (right < 1 || right > pictureWidth) throw ERtOcrError(L"Incorrect Right value");
  if (bottom < 1 || bottom > pictureHeight) throw ERtOcrError(L"Incorrect Bottom value");
  return TRegion{left, top, right, bottom};
}

void CopyRegion(const TPixelView& picture, const TRegion& region, const TOcrPlane& plane) {
  // The engine's buffer is written blind: everything that decides an address is checked.
  if (picture.BitsPerPixel != 32 || picture.Empty() || region.Left < 0 || region.Top < 0 ||
      region.Right > picture.Width || region.Bottom > picture.Height || region.Width() <= 0 ||
      region.Height() <= 0)
    throw ERtOcrError(L"Incorrect region");
  const size_t rowBytes = static_cast<size_t>(region.Width()) * 4;
  if (plane.Width != region.Width() || plane.Height != region.Height() || plane.Start < 0 ||
      plane.Stride < 0 || static_cast<size_t>(plane.Stride) < rowBytes)
    throw ERtOcrError(L"The engine's bitmap does not match the picture");
  // The last row's end, in 64 bits: Start + Stride * (Height - 1) + row.
  const uint64_t end = static_cast<uint64_t>(plane.Start) +
                       static_cast<uint64_t>(plane.Stride) * static_cast<uint64_t>(plane.Height - 1) + rowBytes;
  if (!plane.Bytes || end > plane.Capacity) throw ERtOcrError(L"The engine's bitmap is too small");
  uint8_t* dest = plane.Bytes + plane.Start;
  for (int y = region.Top; y < region.Bottom; ++y) {
    const uint8_t* src = picture.Row(y) + static_cast<ptrdiff_t>(region.Left) * 4;
    for (size_t x = 0; x < rowBytes; x += 4) {
      dest[x] = src[x];
      dest[x + 1] = src[x + 1];
      dest[x + 2] = src[x + 2];
      dest[x + 3] = 0xFF;
    }
    dest += plane.Stride;
  }
}

TPictureSize RecognitionSize(int width, int height, uint32_t maxDimension) {
  if (width <= 0 || height <= 0) return TPictureSize{width, height};
  const int64_t w = width, h = height, longer = std::max(w, h);
  if (maxDimension == 0 || longer * 3 <= maxDimension)
    return TPictureSize{static_cast<int>(w * 3), static_cast<int>(h * 3)};
  // The longer side becomes the limit, the other one keeps the proportion (nearest pixel).
  const int64_t limit = maxDimension;
  auto scaled = [&](int64_t side) {
    return static_cast<int>(std::max<int64_t>(1, (side * limit + longer / 2) / longer));
  };
  return TPictureSize{scaled(w), scaled(h)};
}

int FindEngineLanguage(const std::vector<TEngineLanguage>& languages, const TLanguage& language) {
  for (size_t i = 0; i < languages.size(); ++i)
    if (languages[i].Names == language) return static_cast<int>(i);
  return -1;
}

std::wstring LinesAsText(const TLines& lines) {
  std::wstring text;
  for (const TLine& line : lines) {
    text += line.Text;
    text += L"\r\n";
  }
  return text;
}

}  // namespace rtocr
