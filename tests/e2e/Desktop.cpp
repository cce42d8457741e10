#include "e2e/Desktop.h"

#include <cstring>
#include <vector>

#include "e2e/Driver.h"

namespace e2e {

namespace {

bool Extended(WORD vk) {
  switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DELETE: case VK_INSERT:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT: case VK_SNAPSHOT: return true;
    default: return false;
  }
}

INPUT Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (Extended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

void Mouse(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof(in));
}

}  // namespace

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> ins;
  for (WORD k : keys) ins.push_back(Key(k, false));
  for (auto it = keys.end(); it != keys.begin();) ins.push_back(Key(*--it, true));
  SendInput(static_cast<UINT>(ins.size()), ins.data(), sizeof(INPUT));
  Sleep(50);
}

void ClickAt(int x, int y, bool right) {
  SetCursorPos(x, y);
  Sleep(30);
  Mouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  Sleep(30);
  Mouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
  Sleep(50);
}

// Whether the thread of a window runs the system's move or size loop.
static bool InMoveSize(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
}

void DragMouse(int fromX, int fromY, int toX, int toY) {
  SetCursorPos(fromX, fromY);
  Sleep(30);
  const DWORD thread = GetWindowThreadProcessId(WindowFromPoint(POINT{fromX, fromY}), nullptr);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  // Moves sent before the loop runs would be lost to it.
  for (int i = 0; i < 100 && !InMoveSize(thread); ++i) Sleep(20);
  const int steps = 10;
  for (int i = 1; i <= steps; ++i) {
    SetCursorPos(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof(in));
    Sleep(20);
  }
  Mouse(MOUSEEVENTF_LEFTUP);
  for (int i = 0; i < 100 && InMoveSize(thread); ++i) Sleep(20);
}

void EmptyTheClipboard() {
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  EmptyClipboard();
  CloseClipboard();
}


namespace {

void SendOne(INPUT in) { SendInput(1, &in, sizeof(INPUT)); }

// Absolute input runs from 0 to 65535 over the virtual desktop; round up so that the
// system's truncation lands on the pixel itself.
LONG Normalize(int v, int origin, int extent) {
  return static_cast<LONG>((static_cast<long long>(v - origin) * 65536 + extent - 1) / extent);
}

bool OpenClipboardRetrying() {
  return WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, std::chrono::seconds(3));
}

}  // namespace

bool MouseTo(int x, int y) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = Normalize(x, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  in.mi.dy = Normalize(y, GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  // Wine on a loaded machine now and then drops a move right after a button press: sent
  // again, it arrives.
  for (int attempt = 0; attempt < 4; ++attempt) {
    SendOne(in);
    if (WaitFor(
            [&] {
              POINT p{};
              GetCursorPos(&p);
              return p.x == x && p.y == y;
            },
            std::chrono::milliseconds(500)))
      return true;
  }
  return false;
}

void MouseButton(DWORD flag) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flag;
  SendOne(in);
}

bool MouseDrag(int x1, int y1, int x2, int y2) {
  if (!MouseTo(x1, y1)) return false;
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  const bool moved = MouseTo((x1 + x2) / 2, (y1 + y2) / 2) && MouseTo(x2, y2);
  MouseButton(MOUSEEVENTF_LEFTUP);
  return moved;
}

void PressKey(WORD vk) { PressKeys({vk}); }

HWND WaitProcessWindow(DWORD pid, const wchar_t* cls, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        const auto windows = ProcessWindows(pid, cls, true);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      timeout);
  return found;
}

bool ClipboardHasPicture() {
  return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP);
}

TPixels ClipboardPicture() {
  TPixels p;
  if (!OpenClipboardRetrying()) return p;
  if (HANDLE h = GetClipboardData(CF_DIB)) {
    const auto* bi = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h));
    const int bpp = bi->biBitCount;
    // 32-bit pictures may carry their three colour masks after the header.
    const bool masks = bi->biCompression == BI_BITFIELDS && bpp == 32 && bi->biSize == sizeof(BITMAPINFOHEADER);
    if ((bi->biCompression == BI_RGB && (bpp == 24 || bpp == 32)) || masks) {
      const int w = bi->biWidth, h2 = bi->biHeight < 0 ? -bi->biHeight : bi->biHeight;
      const bool bottomUp = bi->biHeight > 0;
      const auto* bits = reinterpret_cast<const uint8_t*>(bi) + bi->biSize + bi->biClrUsed * sizeof(RGBQUAD) +
                          (masks ? 3 * sizeof(DWORD) : 0);
      const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
      p.Width = w;
      p.Height = h2;
      p.Data.resize(static_cast<size_t>(w) * h2);
      for (int y = 0; y < h2; ++y) {
        const uint8_t* row = bits + stride * (bottomUp ? h2 - 1 - y : y);
        for (int x = 0; x < w; ++x) {
          const uint8_t* px = row + x * (bpp / 8);
          p.Data[static_cast<size_t>(y) * w + x] = (uint32_t(px[2]) << 16) | (uint32_t(px[1]) << 8) | px[0];
        }
      }
    }
    GlobalUnlock(h);
  }
  CloseClipboard();
  return p;
}

TPixels WaitClipboardPicture(std::chrono::milliseconds timeout) {
  if (!WaitFor([] { return ClipboardHasPicture(); }, timeout)) return TPixels{};
  return ClipboardPicture();
}

void SetClipboardText(const std::wstring& text) {
  if (!OpenClipboardRetrying()) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(mem), text.c_str(), bytes);
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
  }
  CloseClipboard();
}

std::wstring ClipboardText() {
  std::wstring s;
  if (!OpenClipboardRetrying()) return s;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    s = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

}  // namespace e2e
