// What the tests put on the screen and how they read it back: a window painting a known
// pattern, screen reads, and an independent decoder (stb_image) for the files written.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// 0x00RRGGBB of the pattern at (x, y) of a pattern window's client area. Neighbouring
// pixels differ in every channel, so an offset of one pixel shows.
uint32_t PatternColor(int x, int y);

// 0x00RRGGBB pixels of a screen rectangle, row by row from the top.
struct TPixels {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Data;
  uint32_t At(int x, int y) const { return Data[static_cast<size_t>(y) * Width + x]; }
};

// A topmost borderless window at a screen rectangle that paints PatternColor (or one flat
// colour), with its own thread and message loop so it stays painted while the test waits.
class TPatternWindow {
 public:
  TPatternWindow(int left, int top, int width, int height, uint32_t flatColor = 0xFFFFFFFFu);
  ~TPatternWindow();
  TPatternWindow(const TPatternWindow&) = delete;
  TPatternWindow& operator=(const TPatternWindow&) = delete;
  HWND Handle() const { return FWnd; }
  RECT Rect() const { return FRect; }
  // The colour expected on screen at a screen point inside the window.
  uint32_t Expected(int screenX, int screenY) const;
  // Repaints with another flat colour (or the pattern again with 0xFFFFFFFF).
  void SetColor(uint32_t flatColor);
  // Pixels of `picture`, whose top-left lies at screen point (left, top), that differ from
  // what the window shows there.
  int Mismatches(const TPixels& picture, int left, int top) const;
  // The screen shows the window's colours wherever it lies on the desktop.
  bool Shown() const;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  void Paint(HDC dc);
  RECT FRect;
  uint32_t FFlat;
  HWND FWnd = nullptr;
  std::thread FThread;
};

TPixels ReadScreen(int left, int top, int width, int height);

// A file decoded by stb_image (PNG, BMP, GIF, JPEG), as 0x00RRGGBB; empty when it fails.
TPixels DecodeImageFile(const std::wstring& path);
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);

// Files of a folder (names only), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// Largest difference of one channel between two colours.
int ColorDistance(uint32_t a, uint32_t b);

}  // namespace e2e
