#include "outputs/Save.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <winspool.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

#include "base/AutoStart.h"
#include "base/FileNaming.h"
#include "base/Handles.h"
#include "base/Workers.h"
#include "outputs/Encoders.h"
#include "outputs/PrintLayout.h"
#include "ui/Bitmap.h"
#include "ui/Thread.h"

std::wstring SystemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring s = n && text ? std::wstring(text, n) : L"System error " + std::to_wstring(code) + L".";
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
  return s;
}

void WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  // Written beside the target and moved over it only when complete, so a failed write
  // never leaves a truncated picture under the name.
  const std::wstring part = path + L".part";
  auto fail = [&](const wchar_t* what, DWORD code) -> void {
    throw EFileError(std::wstring(what) + L" \"%s\". %s", {path, SystemErrorText(code)});
  };
  {
    TFileHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) fail(L"Cannot create file", GetLastError());
    // A write may take less than it was given (the last space of a disk): the rest goes in
    // the next one, which then either goes on or fails with the system's own reason.
    size_t done = 0;
    int stalled = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      const BOOL ok = WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr);
      const DWORD code = ok ? 0 : GetLastError();
      stalled = written ? 0 : stalled + 1;
      if (!ok || stalled > 1) {
        file.Reset();
        DeleteFileW(part.c_str());
        fail(L"Cannot write file", code ? code : ERROR_WRITE_FAULT);
      }
      done += written;
    }
  }
  if (!MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD code = GetLastError();
    DeleteFileW(part.c_str());
    fail(L"Cannot create file", code);
  }
}

void RemoveStalePartFiles(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(JoinPath(folder, L"V-*.part").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    // The pattern also matches short (8.3) names; only the long name decides.
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsOwnPartName(fd.cFileName))
      DeleteFileW(JoinPath(folder, fd.cFileName).c_str());
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

void SavePNG(const TBitmap& bitmap, const std::wstring& path) { WriteWholeFile(path, EncodePng(bitmap.View())); }

void SavePNGWhileFilling(const TBitmap& bitmap, const std::wstring& path,
                         const std::function<void(const std::function<void(int rows)>&)>& fill) {
  const TPixelView view = bitmap.View();
  TRowGate gate;
  TPngSettings settings;
  settings.Rows = &gate;
  std::vector<uint8_t> png;
  std::optional<TWorkerJob> encoder;
  try {
    encoder.emplace([&] { png = EncodePng(view, settings); });
  } catch (const std::system_error&) {
    // No thread to spare: fill first, encode afterwards.
    fill([](int) {});
    WaitOrRaise([&] { SavePNG(bitmap, path); });
    return;
  }
  try {
    fill([&](int rows) { gate.Publish(rows); });
  } catch (...) {
    gate.Abandon();
    encoder.reset();
    throw;
  }
  gate.Publish(view.Height);
  WaitOrRaise([&] {
    encoder->Wait();
    WriteWholeFile(path, png);
  });
}

void SaveJPG(const TBitmap& bitmap, const std::wstring& path, uint8_t quality) {
  WriteWholeFile(path, EncodeJpeg(bitmap.View(), quality));
}

void SaveGIF(const TBitmap& bitmap, const std::wstring& path) { WriteWholeFile(path, EncodeGif(bitmap.View())); }

void SaveBMP(const TBitmap& bitmap, const std::wstring& path) { WriteWholeFile(path, EncodeBmp(bitmap.View())); }

namespace {

// GDI+ for the length of one save.
class TGdiPlus {
 public:
  TGdiPlus() {
    Gdiplus::GdiplusStartupInput input;
    FOk = Gdiplus::GdiplusStartup(&FToken, &input, nullptr) == Gdiplus::Ok;
  }
  ~TGdiPlus() {
    if (FOk) Gdiplus::GdiplusShutdown(FToken);
  }
  bool Ok() const { return FOk; }

 private:
  ULONG_PTR FToken = 0;
  bool FOk = false;
};

}  // namespace

void SaveWebP(TBitmap& bitmap, const std::wstring& path, int quality) {
  const std::wstring library = ProgramDir() + L"libwebp.dll";
  if (!FileExists(library)) return;
  TModule webp(LoadLibraryW(library.c_str()));
  if (!webp) return;
  bitmap.SetPixelFormat(32);
  auto encode = reinterpret_cast<TWebPEncodeBGRA>(reinterpret_cast<void*>(GetProcAddress(webp.Get(), "WebPEncodeBGRA")));
  auto release = reinterpret_cast<TWebPFree>(reinterpret_cast<void*>(GetProcAddress(webp.Get(), "WebPFree")));
  if (!encode || !release) throw EEncoderError(L"\"" + library + L"\" lacks WebPEncodeBGRA or WebPFree.");
  CheckPicture(bitmap.View());

  TGdiPlus gdiplus;
  if (!gdiplus.Ok()) throw EEncoderError(L"GDI+ could not be started.");
  Gdiplus::GpBitmap* image = nullptr;
  if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap.Handle(), nullptr, &image) != Gdiplus::Ok || !image)
    throw EEncoderError(L"GDI+ could not read the picture.");
  std::vector<uint8_t> bytes;
  Gdiplus::BitmapData data{};
  const Gdiplus::Rect all(0, 0, bitmap.Width(), bitmap.Height());
  const bool locked = Gdiplus::DllExports::GdipBitmapLockBits(image, &all, Gdiplus::ImageLockModeRead,
                                                               PixelFormat32bppARGB, &data) == Gdiplus::Ok;
  try {
    if (!locked) throw EEncoderError(L"GDI+ could not lock the picture's pixels.");
    TPixelView view;
    view.Width = static_cast<int>(data.Width);
    view.Height = static_cast<int>(data.Height);
    view.BitsPerPixel = 32;
    view.Pixels = static_cast<const uint8_t*>(data.Scan0);
    view.Stride = data.Stride;
    bytes = EncodeWebP(view, quality, encode, release);
  } catch (...) {
    if (locked) Gdiplus::DllExports::GdipBitmapUnlockBits(image, &data);
    Gdiplus::DllExports::GdipDisposeImage(image);
    throw;
  }
  Gdiplus::DllExports::GdipBitmapUnlockBits(image, &data);
  Gdiplus::DllExports::GdipDisposeImage(image);
  WriteWholeFile(path, bytes);
}

void PrintBitmap(const TBitmap& bitmap, int screenPpi) {
  CheckPicture(bitmap.View());
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  std::wstring printer(size, L'\0');
  if (!size || !GetDefaultPrinterW(printer.data(), &size)) throw EPrinterError(L"There is no default printer.");
  printer.resize(wcslen(printer.c_str()));
  TMemDc dc(CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr));
  if (!dc) throw EPrinterError(L"Cannot open the printer \"%s\". %s", {printer, SystemErrorText(GetLastError())});
  DOCINFOW doc{};
  doc.cbSize = sizeof(doc);
  doc.lpszDocName = L"";
  if (StartDocW(dc.Get(), &doc) <= 0)
    throw EPrinterError(L"Cannot start a print job on \"%s\". %s", {printer, SystemErrorText(GetLastError())});
  bool drawn = false;
  if (StartPage(dc.Get()) > 0) {
    const TRect r = PrintRect(bitmap.Width(), bitmap.Height(), GetDeviceCaps(dc.Get(), LOGPIXELSX),
                              GetDeviceCaps(dc.Get(), LOGPIXELSY), screenPpi);
    const TPixelView v = bitmap.View();
    const BITMAPINFO bi = DibInfo(v);
    SetStretchBltMode(dc.Get(), COLORONCOLOR);
    const int lines = StretchDIBits(dc.Get(), r.Left, r.Top, r.Width(), r.Height(), 0, 0, v.Width, v.Height,
                                    v.Pixels, &bi, DIB_RGB_COLORS, SRCCOPY);
    drawn = lines != 0 && lines != static_cast<int>(GDI_ERROR);
    if (EndPage(dc.Get()) <= 0) drawn = false;
  }
  const DWORD code = GetLastError();
  // The job is ended whether or not the page was drawn.
  EndDoc(dc.Get());
  if (!drawn) throw EPrinterError(L"Cannot print on \"%s\". %s", {printer, SystemErrorText(code)});
}
