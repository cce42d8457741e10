#include "e2e/Screen.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_JPEG
#include <stb_image.h>

namespace e2e {

uint32_t PatternColor(int x, int y) {
  const uint32_t r = static_cast<uint32_t>(x * 37 + y * 11) & 0xFF;
  const uint32_t g = static_cast<uint32_t>(x * 13 + y * 53 + 100) & 0xFF;
  const uint32_t b = static_cast<uint32_t>((x ^ y) * 29 + 7) & 0xFF;
  return (r << 16) | (g << 8) | b;
}

TPatternWindow::TPatternWindow(int left, int top, int width, int height, uint32_t flatColor)
    : FRect{left, top, left + width, top + height}, FFlat(flatColor) {
  std::atomic<bool> ready{false};
  FThread = std::thread([this, &ready] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &TPatternWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VantoruTestPattern";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    FWnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"pattern", WS_POPUP, FRect.left,
                           FRect.top, FRect.right - FRect.left, FRect.bottom - FRect.top, nullptr, nullptr,
                           wc.hInstance, this);
    ShowWindow(FWnd, SW_SHOWNOACTIVATE);
    UpdateWindow(FWnd);
    ready = true;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  });
  while (!ready) Sleep(5);
  // The X server shows it some time after the paint; on a loaded machine that can take
  // long. A part covered by a later window never matches, hence the limit.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Shown() && std::chrono::steady_clock::now() < until) Sleep(20);
}

bool TPatternWindow::Shown() const {
  const int vl = GetSystemMetrics(SM_XVIRTUALSCREEN), vt = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int left = std::max<int>(FRect.left, vl), top = std::max<int>(FRect.top, vt);
  const int right = std::min<int>(FRect.right, vl + GetSystemMetrics(SM_CXVIRTUALSCREEN));
  const int bottom = std::min<int>(FRect.bottom, vt + GetSystemMetrics(SM_CYVIRTUALSCREEN));
  if (right <= left || bottom <= top) return true;
  return Mismatches(ReadScreen(left, top, right - left, bottom - top), left, top) == 0;
}

int TPatternWindow::Mismatches(const TPixels& picture, int left, int top) const {
  int bad = 0;
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x)
      if (picture.At(x, y) != Expected(left + x, top + y)) ++bad;
  return bad;
}

TPatternWindow::~TPatternWindow() {
  if (FWnd) PostMessageW(FWnd, WM_CLOSE, 0, 0);
  if (FThread.joinable()) FThread.join();
}

void TPatternWindow::SetColor(uint32_t flatColor) {
  FFlat = flatColor;
  InvalidateRect(FWnd, nullptr, FALSE);
  UpdateWindow(FWnd);
  Sleep(100);
}

uint32_t TPatternWindow::Expected(int screenX, int screenY) const {
  if (FFlat != 0xFFFFFFFFu) return FFlat;
  return PatternColor(screenX - FRect.left, screenY - FRect.top);
}

LRESULT CALLBACK TPatternWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(wnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<TPatternWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (self) self->Paint(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(wnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(wnd, msg, wp, lp);
  }
}

void TPatternWindow::Paint(HDC dc) {
  const int w = FRect.right - FRect.left, h = FRect.bottom - FRect.top;
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = FFlat != 0xFFFFFFFFu ? FFlat : PatternColor(x, y);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, px.data(), &bi, DIB_RGB_COLORS);
}

TPixels ReadScreen(int left, int top, int width, int height) {
  TPixels p;
  p.Width = width;
  p.Height = height;
  p.Data.resize(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  // The part on the desktop only, the rest stays black: under Wine a read that reaches past
  // the desktop's edge comes back black as a whole.
  const int vl = GetSystemMetrics(SM_XVIRTUALSCREEN), vt = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int l = std::max(left, vl), t = std::max(top, vt);
  const int r = std::min(left + width, vl + GetSystemMetrics(SM_CXVIRTUALSCREEN));
  const int b = std::min(top + height, vt + GetSystemMetrics(SM_CYVIRTUALSCREEN));
  if (l < r && t < b) BitBlt(mem, l - left, t - top, r - l, b - t, screen, l, t, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  const auto* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < p.Data.size(); ++i) p.Data[i] = src[i] & 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return p;
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TPixels DecodeImageFile(const std::wstring& path) {
  TPixels p;
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  if (bytes.empty()) return p;
  int w = 0, h = 0, n = 0;
  unsigned char* rgb = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 3);
  if (!rgb) return p;
  p.Width = w;
  p.Height = h;
  p.Data.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.Data.size(); ++i)
    p.Data[i] = (uint32_t(rgb[i * 3]) << 16) | (uint32_t(rgb[i * 3 + 1]) << 8) | rgb[i * 3 + 2];
  stbi_image_free(rgb);
  return p;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  std::wstring pattern = folder;
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  HANDLE h = FindFirstFileW((pattern + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

int ColorDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
  return d;
}

}  // namespace e2e
