#include "e2e/Desktop.h"

#include <vector>

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

TPixels ClipboardPixels() {
  TPixels p;
  if (!OpenClipboard(nullptr)) return p;
  if (HBITMAP bmp = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
    BITMAP info{};
    GetObjectW(bmp, sizeof(info), &info);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    p.Width = info.bmWidth;
    p.Height = info.bmHeight;
    p.Data.resize(static_cast<size_t>(p.Width) * p.Height);
    HDC dc = GetDC(nullptr);
    if (GetDIBits(dc, bmp, 0, static_cast<UINT>(p.Height), p.Data.data(), &bi, DIB_RGB_COLORS) != p.Height) {
      p = TPixels{};
    }
    ReleaseDC(nullptr, dc);
    for (auto& px : p.Data) px &= 0xFFFFFF;
  }
  CloseClipboard();
  return p;
}

}  // namespace e2e
