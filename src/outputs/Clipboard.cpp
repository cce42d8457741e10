#include "outputs/Clipboard.h"

#include <windows.h>

#include <cstring>

#include "base/Errors.h"
#include "base/Translate.h"
#include "ui/Bitmap.h"
#include "ui/MsgBox.h"

namespace {

// Opens, empties and fills the clipboard with one format; the handle passes to the system.
void SetClipboard(UINT format, HANDLE data) {
  if (!data) throw EError(L"Out of memory");
  if (!OpenClipboard(ApplicationWindow())) {
    if (format == CF_BITMAP) DeleteObject(data);
    else GlobalFree(data);
    throw EError(L"Cannot open clipboard");
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(format, data) != nullptr;
  CloseClipboard();
  if (!ok) {
    if (format == CF_BITMAP) DeleteObject(data);
    else GlobalFree(data);
    throw EError(L"Cannot set clipboard data");
  }
}

void ReportFailure() {
  const std::wstring caption = Translate(ApplicationTitle());
  ShowMessage(L"클립보드 사용을 방지하는 프로그램이 실행중입니다.", MB_ICONINFORMATION, true, &caption);
}

}  // namespace

void CopyBitmapToClipboard(const TBitmap& bitmap) {
  try {
    // The clipboard takes over a device-dependent copy of the picture.
    HDC screen = GetDC(nullptr);
    HBITMAP copy = CreateCompatibleBitmap(screen, bitmap.Width(), bitmap.Height());
    if (copy) {
      HDC dst = CreateCompatibleDC(screen);
      HGDIOBJ old = SelectObject(dst, copy);
      const TPixelView v = bitmap.View();
      const BITMAPINFO bi = DibInfo(v);
      SetDIBitsToDevice(dst, 0, 0, v.Width, v.Height, 0, 0, 0, v.Height, v.Pixels, &bi, DIB_RGB_COLORS);
      SelectObject(dst, old);
      DeleteDC(dst);
    }
    ReleaseDC(nullptr, screen);
    SetClipboard(CF_BITMAP, copy);
  } catch (const std::exception&) {
    ReportFailure();
  }
}

void CopyTextToClipboard(const std::wstring& text) {
  try {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (mem) {
      void* p = GlobalLock(mem);
      std::memcpy(p, text.c_str(), bytes);
      GlobalUnlock(mem);
    }
    SetClipboard(CF_UNICODETEXT, mem);
  } catch (const std::exception&) {
    ReportFailure();
  }
}
