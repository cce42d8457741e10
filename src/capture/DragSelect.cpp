#include "capture/DragSelect.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define VANTORU_DIM_SSE2 1
#endif

#ifdef VANTORU_DIM_SSE2
namespace {
// For every byte value, (v * 19660 + 16384) >> 15 equals ((v + 1) * 39270) >> 16: one add
// and one high-half multiply per 16-bit lane.
inline __m128i Dim8(__m128i v) {
  return _mm_mulhi_epu16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_set1_epi16(static_cast<short>(39270)));
}

// 16 bytes at a time from an aligned source; returns where the blocks end.
template <bool AlignedDst>
size_t DimBlocks(const uint8_t* src, uint8_t* dst, size_t i, size_t count) {
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_packus_epi16(Dim8(_mm_unpacklo_epi8(v, zero)), Dim8(_mm_unpackhi_epi8(v, zero)));
    if constexpr (AlignedDst) _mm_store_si128(reinterpret_cast<__m128i*>(dst + i), d);
    else _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), d);
  }
  return i;
}
}  // namespace
#endif

TRect NormalizedSelection(int x1, int y1, int x2, int y2) {
  return TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

TRect ClampSelection(const TRect& sel, int width, int height) {
  TRect r{std::clamp(sel.Left, 0, std::max(width, 0)), std::clamp(sel.Top, 0, std::max(height, 0)),
          std::clamp(sel.Right, 0, std::max(width, 0)), std::clamp(sel.Bottom, 0, std::max(height, 0))};
  if (r.Left >= r.Right || r.Top >= r.Bottom) return TRect{};
  return r;
}

TRect SelectionToScreen(const TRect& sel, int originLeft, int originTop) {
  return TRect{originLeft + sel.Left, originTop + sel.Top, originLeft + sel.Left + sel.Width(),
               originTop + sel.Top + sel.Height()};
}

void DimBytes(const uint8_t* src, uint8_t* dst, size_t count) {
  size_t i = 0;
#ifdef VANTORU_DIM_SSE2
  // Byte by byte up to a 16-byte boundary of the source; the screenshot and the display
  // image share their layout, so in the overlay the destination is then aligned too.
  for (; i < count && (reinterpret_cast<uintptr_t>(src + i) & 15) != 0; ++i) dst[i] = DimByte(src[i]);
  if ((reinterpret_cast<uintptr_t>(dst + i) & 15) == 0) i = DimBlocks<true>(src, dst, i, count);
  else i = DimBlocks<false>(src, dst, i, count);
#endif
  for (; i < count; ++i) dst[i] = DimByte(src[i]);
}

void DimOutside(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride, int width, int height,
                const TRect& sel) {
  if (width <= 0 || height <= 0) return;
  const TRect r = ClampSelection(sel, width, height);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t left = static_cast<size_t>(r.Left) * 3, right = static_cast<size_t>(r.Right) * 3;
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = src + y * srcStride;
    uint8_t* d = dst + y * dstStride;
    if (y < r.Top || y >= r.Bottom) {
      DimBytes(s, d, rowBytes);
      continue;
    }
    DimBytes(s, d, left);
    if (d != s) std::memcpy(d + left, s + left, right - left);
    DimBytes(s + right, d + right, rowBytes - right);
  }
}

void TDragSelection::Press(int x, int y) {
  FSelecting = true;
  FStartX = FEndX = x;
  FStartY = FEndY = y;
}

void TDragSelection::Follow(int x, int y) {
  FEndX = x;
  FEndY = y;
  FRect = ClampSelection(NormalizedSelection(FStartX, FStartY, FEndX, FEndY), FWidth, FHeight);
}

bool TDragSelection::Move(int x, int y) {
  if (!FSelecting) return false;
  Follow(x, y);
  return true;
}

bool TDragSelection::Release(int x, int y) {
  if (!FSelecting) return false;
  FSelecting = false;
  Follow(x, y);
  return FRect.Width() > 0 && FRect.Height() > 0;
}
