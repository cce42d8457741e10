// captureroad: where the time of a full-screen capture to a PNG file goes, step by step,
// with the program's own code on this machine (under Wine: Wine's GDI and file system).
//   captureroad road [N] [FOLDER]    N rounds (default 15) of each step of the capture road
//                                    on the monitor under the pointer; prints each step's
//                                    median, min and max in milliseconds. The PNG files go
//                                    to FOLDER (default: a temporary folder), named as the
//                                    program names them, and are deleted at the end.
//   captureroad encode W H [N]       N rounds (default 5) of each encoder on that picture at
//                                    W x H (PNG on one thread and on every core): the encoder
//                                    benchmark's figures as this build runs them
//   captureroad picture W H OUT.png  writes the desktop picture of the encoder benchmark
//                                    (window chrome, panels, text, a photograph) at W x H
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/AutoStart.h"
#include "base/FileNaming.h"
#include "base/Handles.h"
#include "base/SaveFolder.h"
#include "base/Types.h"
#include "base/Workers.h"
#include "capture/Capture.h"
#include "fixtures/TestImage.h"
#include "outputs/Encoders.h"
#include "outputs/Save.h"
#include "ui/Bitmap.h"
#include "ui/Thread.h"

namespace {

double Now() {
  static const double freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / freq;
}

// Processor time of the whole process (every thread), in milliseconds: less disturbed by
// other work on the machine than the clock.
double CpuMs() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto ms = [](const FILETIME& f) {
    return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

struct TStep {
  const wchar_t* Name;
  std::vector<double> Ms;
};

void PrintSteps(std::vector<TStep>& steps) {
  for (TStep& st : steps) {
    std::sort(st.Ms.begin(), st.Ms.end());
    wprintf(L"  %-32ls median %8.2f   min %8.2f   max %8.2f\n", st.Name, st.Ms[st.Ms.size() / 2], st.Ms.front(),
            st.Ms.back());
  }
}

int Road(int rounds, std::wstring folder) {
  bool temporary = false;
  if (folder.empty()) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    folder = std::wstring(tmp) + L"captureroad-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    temporary = true;
  }
  TCapture capture;
  capture.SetShowCursor(false);
  const TWinFolder saveFolder(folder);
  std::vector<TStep> steps = {{L"new picture (DIB section)", {}},  {L"screen copy (BitBlt)", {}},
                              {L"copy into the last picture", {}},
                              {L"pointer (DrawMouse)", {}},        {L"naming (sequential #1)", {}},
                              {L"PNG encode, 1 thread", {}},       {L"PNG encode, every core", {}},
                              {L"file write (.part, rename)", {}}, {L"free picture", {}},
                              {L"Wait round trip (pool thread)", {}},
                              {L"copy + encode, one after the other", {}},
                              {L"bands beside the encode, new pic.", {}},
                              {L"bands beside the encode, last pic.", {}}};
  std::vector<std::wstring> written;
  size_t pngBytes = 0;
  TRect rect{};
  for (int i = 0; i < rounds; ++i) {
    int s = 0;
    auto timed = [&](const std::function<void()>& f) {
      const double t0 = Now();
      f();
      steps[static_cast<size_t>(s++)].Ms.push_back(Now() - t0);
    };
    auto bitmap = std::make_unique<TBitmap>();
    rect = MonitorUnderCursor();
    timed([&] { bitmap->SetSize(rect.Width(), rect.Height()); });
    timed([&] {
      capture.Capture(bitmap->Canvas(), rect);
      GdiFlush();
    });
    // Its pages are in now: what a capture soon after another costs.
    timed([&] {
      capture.Capture(bitmap->Canvas(), rect);
      GdiFlush();
    });
    timed([&] {
      capture.DrawMouse(bitmap->Canvas(), rect.Left, rect.Top);
      GdiFlush();
    });
    std::wstring name;
    timed([&] { name = JoinPath(folder, NextFileName(fnSequential1, saveFolder, L"png", TLocalTime{})); });
    std::vector<uint8_t> png;
    TPngSettings one;
    one.Threads = 1;
    timed([&] { png = EncodePng(bitmap->View(), one); });
    timed([&] { png = EncodePng(bitmap->View()); });
    timed([&] { WriteWholeFile(name, png); });
    timed([&] { bitmap.reset(); });
    timed([&] { Wait([] {}); });
    // Copy and encode again, one after the other.
    bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(rect.Width(), rect.Height());
    timed([&] {
      capture.Capture(bitmap->Canvas(), rect);
      GdiFlush();
      png = EncodePng(bitmap->View());
    });
    // As the program captures to a PNG file: the encoder starts on the first bands while
    // the rest is copied, into a new picture and into the one of the capture before.
    auto banded = [&] {
      TRowGate gate;
      TPngSettings overlapped;
      overlapped.Rows = &gate;
      TWorkerJob encoder([&] { png = EncodePng(bitmap->View(), overlapped); });
      capture.Capture(bitmap->Canvas(), rect, [&](int rows) { gate.Publish(rows); });
      gate.Publish(rect.Height());
      encoder.Wait();
    };
    bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(rect.Width(), rect.Height());
    timed(banded);
    timed(banded);
    bitmap.reset();
    written.push_back(name);
    pngBytes = png.size();
  }
  wprintf(L"Capture road of a %dx%d monitor, %d rounds, %u cores (milliseconds):\n", rect.Width(), rect.Height(),
          rounds, std::max(1u, std::thread::hardware_concurrency()));
  PrintSteps(steps);
  wprintf(L"  PNG file: %zu bytes\n", pngBytes);
  for (const std::wstring& f : written) DeleteFileW(f.c_str());
  if (temporary) RemoveDirectoryW(folder.c_str());
  return 0;
}

int Encode(int w, int h, int rounds) {
  const TTestImage img = MakeScreenshot(w, h);
  const TPixelView view = img.View();
  TModule webp(LoadLibraryW((ProgramDir() + L"libwebp.dll").c_str()));
  auto webpEncode = webp ? reinterpret_cast<TWebPEncodeBGRA>(
                               reinterpret_cast<void*>(GetProcAddress(webp.Get(), "WebPEncodeBGRA")))
                         : nullptr;
  auto webpFree =
      webp ? reinterpret_cast<TWebPFree>(reinterpret_cast<void*>(GetProcAddress(webp.Get(), "WebPFree"))) : nullptr;
  struct TEncoder {
    const wchar_t* Name;
    std::function<std::vector<uint8_t>()> Run;
    TStep Wall, Cpu;
    size_t Bytes = 0;
  };
  TPngSettings one;
  one.Threads = 1;
  std::vector<TEncoder> encoders;
  encoders.push_back({L"PNG, 1 thread", [&] { return EncodePng(view, one); }, {}, {}});
  encoders.push_back({L"PNG, every core", [&] { return EncodePng(view); }, {}, {}});
  encoders.push_back({L"JPEG q90", [&] { return EncodeJpeg(view, 90); }, {}, {}});
  encoders.push_back({L"GIF", [&] { return EncodeGif(view); }, {}, {}});
  encoders.push_back({L"BMP", [&] { return EncodeBmp(view); }, {}, {}});
  if (webpEncode && webpFree)
    encoders.push_back({L"WebP q90 (libwebp.dll)", [&] { return EncodeWebP(view, 90, webpEncode, webpFree); }, {}, {}});
  for (int i = 0; i < rounds; ++i) {
    for (TEncoder& e : encoders) {
      const double t0 = Now(), c0 = CpuMs();
      e.Bytes = e.Run().size();
      e.Wall.Ms.push_back(Now() - t0);
      e.Cpu.Ms.push_back(CpuMs() - c0);
    }
  }
  wprintf(L"Encoders on the %dx%d desktop picture, %d rounds: median time and processor time (all\n"
          L"threads) in milliseconds, file size\n", w, h, rounds);
  for (TEncoder& e : encoders) {
    for (TStep* st : {&e.Wall, &e.Cpu}) std::sort(st->Ms.begin(), st->Ms.end());
    wprintf(L"  %-24ls %8.1f ms  %8.1f ms cpu  %9zu bytes\n", e.Name, e.Wall.Ms[e.Wall.Ms.size() / 2],
            e.Cpu.Ms[e.Cpu.Ms.size() / 2], e.Bytes);
  }
  return 0;
}

int Picture(int w, int h, const std::wstring& path) {
  const TTestImage img = MakeScreenshot(w, h);
  WriteWholeFile(path, EncodePng(img.View()));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring what = argc > 1 ? argv[1] : L"";
  try {
    if (what == L"road") {
      InitMainThread();
      return Road(argc > 2 ? std::max(1, _wtoi(argv[2])) : 15, argc > 3 ? argv[3] : L"");
    }
    if (what == L"encode" && argc > 3)
      return Encode(_wtoi(argv[2]), _wtoi(argv[3]), argc > 4 ? std::max(1, _wtoi(argv[4])) : 5);
    if (what == L"picture" && argc > 4) return Picture(_wtoi(argv[2]), _wtoi(argv[3]), argv[4]);
  } catch (const EError& e) {
    fwprintf(stderr, L"captureroad: %ls\n", e.Message().c_str());
    return 1;
  }
  fwprintf(stderr, L"usage: captureroad road [N] [FOLDER] | encode W H [N] | picture W H OUT.png\n");
  return 2;
}
