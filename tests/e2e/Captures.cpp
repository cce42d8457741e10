#include "e2e/Captures.h"

namespace e2e {

std::wstring CaptureNow(TVantoru& v) {
  auto reply = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  std::wstring boxText;
  while (reply.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    auto boxes = ProcessWindows(v.Process().Pid(), L"#32770", true);
    if (!boxes.empty()) {
      boxText = MessageBoxText(boxes.front());
      AnswerMessageBox(boxes.front());
      WaitFor([&] { return !IsWindow(boxes.front()); }, std::chrono::seconds(5));
    }
  }
  EXPECT_EQ(reply.get(), 1);
  return boxText;
}

std::vector<std::wstring> WaitForFiles(const std::wstring& folder, size_t count) {
  std::vector<std::wstring> files;
  WaitFor([&] { return (files = FilesIn(folder)).size() >= count; }, std::chrono::seconds(3));
  return files;
}

std::wstring FormatName(int number, const std::wstring& ext) {
  wchar_t buf[64];
  swprintf(buf, 64, L"V-%03d.%ls", number, ext.c_str());
  return buf;
}

TPixels DecodeWebPWithProgramLibrary(const std::wstring& programFolder, const std::vector<uint8_t>& bytes) {
  TPixels p;
  HMODULE lib = LoadLibraryW((programFolder + L"libwebp.dll").c_str());
  if (!lib) return p;
  using TDecode = uint8_t* (*)(const uint8_t*, size_t, int*, int*);
  using TFree = void (*)(void*);
  auto decode = reinterpret_cast<TDecode>(reinterpret_cast<void*>(GetProcAddress(lib, "WebPDecodeRGB")));
  auto release = reinterpret_cast<TFree>(reinterpret_cast<void*>(GetProcAddress(lib, "WebPFree")));
  int w = 0, h = 0;
  if (uint8_t* rgb = decode && release ? decode(bytes.data(), bytes.size(), &w, &h) : nullptr) {
    p.Width = w, p.Height = h;
    p.Data.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < p.Data.size(); ++i)
      p.Data[i] = (uint32_t(rgb[i * 3]) << 16) | (uint32_t(rgb[i * 3 + 1]) << 8) | rgb[i * 3 + 2];
    release(rgb);
  }
  FreeLibrary(lib);
  return p;
}

TPixels ClipboardPixels() {
  TPixels p;
  if (!OpenClipboard(nullptr)) return p;
  if (HBITMAP bmp = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
    BITMAP info{};
    GetObjectW(bmp, sizeof(info), &info);
    p.Width = info.bmWidth;
    p.Height = info.bmHeight;
    p.Data.resize(static_cast<size_t>(p.Width) * p.Height);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = p.Width;
    bi.bmiHeader.biHeight = -p.Height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, static_cast<UINT>(p.Height), p.Data.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    for (auto& c : p.Data) c &= 0xFFFFFF;
  }
  CloseClipboard();
  return p;
}

int WorstDifference(const TPixels& file, const TPatternWindow& window, int fileLeft, int fileTop) {
  const RECT r = window.Rect();
  int worst = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const int fx = x - fileLeft, fy = y - fileTop;
      if (fx < 0 || fy < 0 || fx >= file.Width || fy >= file.Height) return 256;
      worst = std::max(worst, ColorDistance(file.At(fx, fy), window.Expected(x, y)));
    }
  return worst;
}

TLogPixels::TLogPixels(DWORD dpi) {
  FOld = GetDword(L"Control Panel\\Desktop", L"LogPixels");
  SetDword(L"Control Panel\\Desktop", L"LogPixels", dpi);
}

TLogPixels::~TLogPixels() {
  if (FOld) SetDword(L"Control Panel\\Desktop", L"LogPixels", *FOld);
  else DeleteValue(L"Control Panel\\Desktop", L"LogPixels");
}

}  // namespace e2e
