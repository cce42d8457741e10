// winshot: a picture of Vantoru's main window as it is on the screen, for looking at it.
//   winshot OUT.bmp                 the window
//   winshot OUT.bmp menu [DOWN]     the window with its menu open beside it; with DOWN, that
//                                   many steps down the menu and its submenu opened
// Writes a 24-bit BMP of the smallest rectangle holding the window and its open menus.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
  Sleep(150);
}

std::vector<RECT> MenuRects(DWORD pid) {
  struct TCtx {
    DWORD Pid;
    std::vector<RECT> Rects;
  } ctx{pid, {}};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<TCtx*>(lp);
        wchar_t cls[16] = {};
        DWORD p = 0;
        GetWindowThreadProcessId(w, &p);
        GetClassNameW(w, cls, 16);
        RECT r{};
        if (p == c->Pid && IsWindowVisible(w) && !lstrcmpW(cls, L"#32768") && GetWindowRect(w, &r))
          c->Rects.push_back(r);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.Rects;
}

bool SaveBmp(const wchar_t* path, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files are
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(BITMAPINFOHEADER);
  fh.bfSize = fh.bfOffBits + size;
  bi.bmiHeader.biSizeImage = size;
  bool ok = false;
  if (FILE* f = _wfopen(path, L"wb")) {
    ok = fwrite(&fh, sizeof(fh), 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f) == 1 &&
         fwrite(bits, size, 1, f) == 1;
    fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    fwprintf(stderr, L"usage: winshot OUT.bmp [menu [DOWN]]\n");
    return 2;
  }
  HWND main = nullptr;
  for (int i = 0; i < 200 && !(main = FindWindowW(L"TFrmVantoru", nullptr)); ++i) Sleep(100);
  if (!main) {
    fwprintf(stderr, L"winshot: Vantoru is not running\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  RECT area{};
  GetWindowRect(main, &area);
  const bool menu = argc > 2 && std::wstring(argv[2]) == L"menu";
  if (menu) {
    // As a right click at the window's top right corner would open it.
    PostMessageW(main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(main), MAKELPARAM(area.right + 2, area.top));
    for (int i = 0; i < 50 && MenuRects(pid).empty(); ++i) Sleep(100);
    if (argc > 3) {
      for (int i = _wtoi(argv[3]); i > 0; --i) Key(VK_DOWN);
      Key(VK_RIGHT);
    }
    Sleep(300);
    for (const RECT& r : MenuRects(pid)) UnionRect(&area, &area, &r);
  }
  Sleep(200);
  const bool ok = SaveBmp(argv[1], area);
  for (int i = 0; menu && i < 5 && !MenuRects(pid).empty(); ++i) Key(VK_ESCAPE);
  return ok ? 0 : 1;
}
