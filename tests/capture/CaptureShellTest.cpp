// The screen copy in bands (what the PNG encoder starts on early) against the copy in one
// piece, on a window whose every pixel differs, with the pointer across a band's edge.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capture/Capture.h"
#include "ui/Bitmap.h"

namespace {

constexpr int kLeft = 40, kTop = 30, kWidth = 300, kHeight = 400;

LRESULT CALLBACK PatternProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    std::vector<uint32_t> px(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) px[static_cast<size_t>(y) * kWidth + x] = uint32_t(x) | uint32_t(y) << 9 | 0x800000;
    const TPixelView view{kWidth, kHeight, 32, reinterpret_cast<const uint8_t*>(px.data()), kWidth * 4};
    const BITMAPINFO bi = DibInfo(view);
    SetDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, px.data(), &bi, DIB_RGB_COLORS);
    EndPaint(wnd, &ps);
    return 0;
  }
  if (msg == WM_SETCURSOR) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void Pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (GetTickCount() < end) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(10);
  }
}

std::vector<uint8_t> Pixels(const TBitmap& b) {
  const TPixelView v = b.View();
  std::vector<uint8_t> out;
  for (int y = 0; y < v.Height; ++y) out.insert(out.end(), v.Row(y), v.Row(y) + v.Width * 4);
  return out;
}

TEST(CaptureShell, BandsGiveThePictureOfOneCopyWithThePointerWhole) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PatternProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VantoruBandPattern";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, kLeft, kTop, kWidth,
                             kHeight, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(wnd);
  SetForegroundWindow(wnd);
  // The arrow's tip 4 rows above the edge of the second band (32-row bands at this height).
  SetCursorPos(kLeft + 100, kTop + 60);
  Pump(400);

  const TRect rect{kLeft, kTop, kLeft + kWidth, kTop + kHeight};
  TCapture capture;
  auto copy = [&](bool pointer, bool bands) {
    capture.SetShowCursor(pointer);
    TBitmap b;
    b.SetSize(kWidth, kHeight);
    if (bands) {
      std::vector<int> reported;
      capture.Capture(b.Canvas(), rect, [&](int rows) { reported.push_back(rows); });
      EXPECT_GT(reported.size(), 1u);
      for (size_t i = 1; i < reported.size(); ++i) EXPECT_GT(reported[i], reported[i - 1]);
      EXPECT_EQ(reported.empty() ? 0 : reported.back(), kHeight);
    } else {
      capture.Capture(b.Canvas(), rect);
      GdiFlush();
    }
    return Pixels(b);
  };
  const std::vector<uint8_t> plain = copy(false, false);
  EXPECT_TRUE(copy(false, true) == plain) << "bands without the pointer";
  const std::vector<uint8_t> whole = copy(true, false);
  const std::vector<uint8_t> banded = copy(true, true);
  EXPECT_FALSE(whole == plain) << "the pointer is drawn";
  // The pointer reaches into the rows below the band's edge, and no band draws it twice.
  size_t below = 0;
  for (int y = 64; y < 96; ++y)
    for (int x = 100; x < 132; ++x) {
      const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
      below += std::memcmp(&whole[i], &plain[i], 3) != 0;
    }
  EXPECT_GT(below, 0u);
  EXPECT_TRUE(banded == whole);
  DestroyWindow(wnd);
}

}  // namespace
