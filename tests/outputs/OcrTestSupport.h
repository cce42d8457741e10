// Shared by the recogniser's in-process tests: pumping the user-interface thread until
// the queued completion has run, and pictures with known pixels.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

#include "ui/Bitmap.h"
#include "ui/Window.h"

namespace ocrtest {

inline bool PumpUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    ProcessMessages();
  }
  return true;
}

// Pixel (x, y) holds blue x, green y, red 100 + x, fourth byte 200 + y.
inline std::unique_ptr<TBitmap> PatternPicture(int width, int height, int bitsPerPixel = 32) {
  auto b = std::make_unique<TBitmap>(bitsPerPixel);
  b->SetSize(width, height);
  GdiFlush();
  const int bytes = bitsPerPixel / 8;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = b->Row(y) + x * bytes;
      p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = uint8_t(100 + x);
      if (bytes == 4) p[3] = uint8_t(200 + y);
    }
  return b;
}

// The BGRA rows the engine must receive for a region of PatternPicture: opaque, whatever
// the picture's fourth byte held.
inline std::vector<uint8_t> PatternRegion(int left, int top, int right, int bottom) {
  std::vector<uint8_t> v;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) v.insert(v.end(), {uint8_t(x), uint8_t(y), uint8_t(100 + x), 0xFF});
  return v;
}

}  // namespace ocrtest
