#include "outputs/RtOcrCore.h"

#include <cstring>

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

void CopyRegion(const TPixelView& picture, const TRegion& region, uint8_t* dest, size_t capacity) {
  // The engine's buffer is written blind: everything that decides an address is checked.
  if (picture.BitsPerPixel != 32 || picture.Empty() || region.Left < 0 || region.Top < 0 ||
      region.Right > picture.Width || region.Bottom > picture.Height || region.Width() <= 0 ||
      region.Height() <= 0)
    throw ERtOcrError(L"Incorrect region");
  const size_t rowBytes = static_cast<size_t>(region.Width()) * 4;
  if (!dest || capacity / rowBytes < static_cast<size_t>(region.Height()))
    throw ERtOcrError(L"The engine's bitmap is too small");
  for (int y = region.Top; y < region.Bottom; ++y) {
    std::memcpy(dest, picture.Row(y) + static_cast<ptrdiff_t>(region.Left) * 4, rowBytes);
    dest += rowBytes;
  }
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
