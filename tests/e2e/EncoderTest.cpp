// Screen recording with the real encoder: the ffmpeg.exe that scripts/deps.sh builds lies
// beside the program, as it does in the release. A recording made here is copied into the
// folder named by VANTORU_ENCODER_OUT together with "<test>.json", which says what the
// file must show; tests/e2e/encoder_check.py, which runs these tests under Wine, then checks
// it with Linux ffprobe and ffmpeg (a Windows program under Wine cannot start them).
//
// A window of the test paints a time code that only increases: twelve cells, black or
// white, of a Gray-coded counter that goes up by one every 100 ms. One bit changes per step,
// so a frame grabbed during a repaint still shows one of the two values.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Ids.h"
#include "base/Text.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Recording.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";
constexpr int kCell = 24;   // side of one time-code cell
constexpr int kBits = 12;

// A topmost window: the time code in its top row of cells, white below it (where a test
// puts the pointer). Its own thread paints it while the test waits.
class TTimeCodeWindow {
 public:
  TTimeCodeWindow(int left, int top, int width, int height) : FRect{left, top, left + width, top + height} {
    std::atomic<bool> ready{false};
    FThread = std::thread([this, &ready] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &TTimeCodeWindow::Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VantoruTestTimeCode";
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      RegisterClassW(&wc);
      FWnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"time code", WS_POPUP, FRect.left,
                             FRect.top, FRect.right - FRect.left, FRect.bottom - FRect.top, nullptr, nullptr,
                             wc.hInstance, this);
      ShowWindow(FWnd, SW_SHOWNOACTIVATE);
      UpdateWindow(FWnd);
      SetTimer(FWnd, 1, 100, nullptr);
      ready = true;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    });
    while (!ready) Sleep(5);
    // Painted and shown: the white part reads white.
    WaitFor([&] { return ReadScreen(left + 2, top + kCell + 4, 1, 1).At(0, 0) == 0xFFFFFF; });
  }
  ~TTimeCodeWindow() {
    PostMessageW(FWnd, WM_CLOSE, 0, 0);
    FThread.join();
  }
  TTimeCodeWindow(const TTimeCodeWindow&) = delete;
  TTimeCodeWindow& operator=(const TTimeCodeWindow&) = delete;

  // The value painted last.
  int Code() const { return FCode; }
  RECT Rect() const { return FRect; }

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TTimeCodeWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    switch (msg) {
      case WM_TIMER:
        ++self->FNext;
        InvalidateRect(wnd, nullptr, FALSE);
        UpdateWindow(wnd);
        return 0;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        self->Paint(dc);
        EndPaint(wnd, &ps);
        return 0;
      }
      case WM_CLOSE: DestroyWindow(wnd); return 0;
      case WM_DESTROY: PostQuitMessage(0); return 0;
      default: return DefWindowProcW(wnd, msg, wp, lp);
    }
  }
  // Drawn off screen and put on the window in one copy, so no grab sees half a picture.
  void Paint(HDC dc) {
    const int value = FNext;
    const int gray = value ^ (value >> 1);
    const int w = FRect.right - FRect.left, h = FRect.bottom - FRect.top;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all{0, 0, w, h};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i < kBits; ++i) {
      RECT cell{i * kCell, 0, (i + 1) * kCell, kCell};
      const bool one = (gray >> (kBits - 1 - i)) & 1;
      FillRect(mem, &cell, static_cast<HBRUSH>(GetStockObject(one ? WHITE_BRUSH : BLACK_BRUSH)));
    }
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    GdiFlush();
    FCode = value;
  }

  RECT FRect;
  HWND FWnd = nullptr;
  std::thread FThread;
  int FNext = 0;  // on the window's thread
  std::atomic<int> FCode{0};
};

// One press of the capture hotkey; `gap` is the time between two of them when two.
void PressHotKey(int times = 1, DWORD gap = 0) {
  for (int i = 0; i < times; ++i) {
    if (i) Sleep(gap);
    INPUT in[2]{};
    for (auto& k : in) {
      k.type = INPUT_KEYBOARD;
      k.ki.wVk = VK_SNAPSHOT;
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
  }
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

class Encoder : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"saveto", 5);  // MP4
    FFolder = ProgramFolder();
    ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg.exe").c_str(), (FFolder + L"ffmpeg.exe").c_str(), FALSE))
        << "the build folder has no ffmpeg.exe (scripts/deps.sh builds it)";
  }

  TVantoru StartProgram(const std::vector<std::wstring>& env = {}) { return StartCreated(FFolder, env); }
  // The encoder's elapsed time on the main window has reached `hms`.
  static bool Reached(const TVantoru& v, const std::wstring& hms) {
    return WindowText(v.Control(ctl::LvlRecTime)) >= hms;
  }

  // Hands a recording to the Linux checks: "<test>.mp4" and "<test>.json".
  static void Keep(const std::wstring& mp4, const std::string& checks) {
    wchar_t out[MAX_PATH] = L"";
    ASSERT_TRUE(GetEnvironmentVariableW(L"VANTORU_ENCODER_OUT", out, MAX_PATH))
        << "run through tests/e2e/encoder_check.py, which checks the recordings";
    const std::wstring name = Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::wstring base = std::wstring(out) + L"\\" + name;
    ASSERT_TRUE(CopyFileW(mp4.c_str(), (base + L".mp4").c_str(), FALSE)) << WideToUtf8(mp4);
    std::ofstream((base + L".json").c_str(), std::ios::binary) << checks;
  }

  std::wstring FFolder;
};

// The checks' description of a time code at (x, y) of the video whose values must lie in
// [first, last] and climb by at least `climb`.
std::string TimeCodeJson(int x, int y, int first, int last, int climb) {
  std::ostringstream s;
  s << "{\"x\": " << x << ", \"y\": " << y << ", \"cell\": " << kCell << ", \"bits\": " << kBits
    << ", \"first\": " << first << ", \"last\": " << last << ", \"climb\": " << climb << "}";
  return s.str();
}
std::string PointerJson(int x, int y, bool present) {
  std::ostringstream s;
  s << "{\"x\": " << x << ", \"y\": " << y << ", \"present\": " << (present ? "true" : "false") << "}";
  return s.str();
}

TEST_F(Encoder, FullScreenFromHotKeyToHotKey) {
  const int left = 40, top = 560;
  TTimeCodeWindow code(left, top, kBits * kCell, 160);
  SetDword(kSettingsKey, L"mouse", 0);
  SetDword(kSettingsKey, L"audio", 1);  // sound wanted, but Wine here has no capture device
  auto v = StartProgram();
  const POINT pointer{left + 150, top + 90};  // on the white part
  ASSERT_TRUE(MouseTo(pointer.x, pointer.y));

  const int first = code.Code();
  const auto start = std::chrono::steady_clock::now();
  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return Recording(v); }));
  // Long enough that the encoder's start-up (under a second) is a small part of it.
  ASSERT_TRUE(WaitFor([&] { return Reached(v, L"00:00:10"); }, 30s)) << WindowText(v.Control(ctl::LvlRecTime));
  PressHotKey();
  const auto stop = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }, 15s));
  const int last = code.Code();  // no frame can show a later value
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty()) << "a message box";

  const double seconds = Seconds(start, stop);
  std::ostringstream checks;
  checks << "{\"width\": " << GetSystemMetrics(SM_CXSCREEN) << ", \"height\": " << GetSystemMetrics(SM_CYSCREEN)
         << ", \"audio\": false, \"duration\": " << seconds << ", \"tolerance\": " << seconds * 0.1
         << ", \"timecode\": " << TimeCodeJson(left, top, first, last, (last - first) / 2)
         << ", \"pointer\": " << PointerJson(pointer.x, pointer.y, false) << "}";
  Keep(FSaveDir + L"V-001.mp4", checks.str());
}

// The time limit "30 minutes" with the encoder told 3 seconds in its place (a shim beside
// it changes the number), the pointer drawn, and the encoder's lines in the log.
TEST_F(Encoder, TimeLimitEndsTheRecordingAndTheLogHoldsTheEncodersLines) {
  ASSERT_TRUE(MoveFileW((FFolder + L"ffmpeg.exe").c_str(), (FFolder + L"ffmpeg-real.exe").c_str()));
  ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-shortlimit.exe").c_str(), (FFolder + L"ffmpeg.exe").c_str(), FALSE));
  const int left = 40, top = 560;
  TTimeCodeWindow code(left, top, kBits * kCell, 160);
  SetDword(kSettingsKey, L"record_limit", 30);
  SetDword(kSettingsKey, L"mouse", 1);
  SetDword(kSettingsKey, L"ffmpeg_log", 1);
  auto v = StartProgram({L"VANTORU_TEST_LIMIT_SECONDS=3"});
  const POINT pointer{left + 150, top + 90};
  ASSERT_TRUE(MouseTo(pointer.x, pointer.y));

  const int first = code.Code();
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Recording(v));
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }, 20s));  // by itself
  const int last = code.Code();
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty()) << "a message box";

  // The log: the real encoder's lines, each whole and once, each ended by CR LF.
  bool whole = false;
  const std::vector<std::string> lines = CrLfLines(FSaveDir + L"ffmpeg.log", whole);
  EXPECT_TRUE(whole) << "the log ends inside a line";
  int banners = 0, prompts = 0, progress = 0, quits = 0;
  for (const auto& line : lines) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    banners += line.rfind("ffmpeg version ", 0) == 0;
    prompts += line == "Press [q] to stop, [?] for help";
    progress += line.rfind("frame=", 0) == 0 && line.find(" time=") != std::string::npos;
    quits += line.find("[q] command received") != std::string::npos;
  }
  EXPECT_EQ(banners, 1) << (lines.empty() ? "" : lines[0]);
  EXPECT_EQ(prompts, 1);
  EXPECT_GE(progress, 2);
  EXPECT_EQ(quits, 0);  // it ended by itself

  std::ostringstream checks;
  checks << "{\"width\": " << GetSystemMetrics(SM_CXSCREEN) << ", \"height\": " << GetSystemMetrics(SM_CYSCREEN)
         << ", \"audio\": false, \"duration\": 3, \"tolerance\": 0.3"
         << ", \"timecode\": " << TimeCodeJson(left, top, first, last, 15)
         << ", \"pointer\": " << PointerJson(pointer.x, pointer.y, true) << "}";
  Keep(FSaveDir + L"V-001.mp4", checks.str());
}

// Wine keeps no pixels of a window outside the screen, and the mirror window lies just
// below it: as in the stand-in's region tests, the test moves the mirror onto the screen
// once the recording runs, away from the region. The pointer rests on the mirror, so an
// encoder that drew it would put it into the recording.
TEST_F(Encoder, RegionRecordsTheRegion) {
  const RECT inner{100, 120, 100 + 320, 120 + 200};
  TTimeCodeWindow code(inner.left + 10, inner.top + 10, kBits * kCell, 170);
  SetDword(kSettingsKey, L"area", 1);
  SetDword(kSettingsKey, L"mouse", 0);
  SetDword(kSettingsKey, L"left", static_cast<DWORD>(inner.left - 6));
  SetDword(kSettingsKey, L"top", static_cast<DWORD>(inner.top - 31));
  SetDword(kSettingsKey, L"width", static_cast<DWORD>(inner.right - inner.left));
  SetDword(kSettingsKey, L"height", static_cast<DWORD>(inner.bottom - inner.top));
  auto v = TVantoru::Start(L"", FFolder);
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : ProcessWindows(v.Process().Pid(), nullptr, true)) {
      RECT r{};
      GetWindowRect(w, &r);
      if (r.left == inner.left - 6 && r.top == inner.top - 31) return true;
    }
    return false;
  }));

  const int first = code.Code();
  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return Recording(v); }));
  HWND mirror = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : ProcessWindows(v.Process().Pid()))
      if (WindowText(w) == L"Virtual_Screen") mirror = w;
    return mirror != nullptr;
  }));
  const POINT at{800, 450};
  SetWindowPos(mirror, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  const POINT inRegion{150, 100};  // white part of the time-code window
  ASSERT_TRUE(MouseTo(at.x + inRegion.x, at.y + inRegion.y));
  ASSERT_TRUE(WaitFor([&] { return Reached(v, L"00:00:03"); }, 20s)) << WindowText(v.Control(ctl::LvlRecTime));
  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }, 15s));
  const int last = code.Code();

  // Before the mirror came into view the encoder saw black: the checks look at the frames
  // that show the region.
  std::ostringstream checks;
  checks << "{\"width\": " << inner.right - inner.left << ", \"height\": " << inner.bottom - inner.top
         << ", \"audio\": false, \"skip_black\": true"
         << ", \"timecode\": " << TimeCodeJson(10, 10, first, last, 10)
         << ", \"pointer\": " << PointerJson(inRegion.x, inRegion.y, false) << "}";
  Keep(FSaveDir + L"V-001.mp4", checks.str());
}

// A stop before the encoder's first frame: no file without a picture stays behind, and the
// user is told why there is no recording. The next recording works.
TEST_F(Encoder, StopRightAfterTheStartSaysTheRecordingWasTooShort) {
  auto v = StartProgram();
  PressHotKey(2, 20);
  HWND box = WaitMessageBox(v.Process().Pid(), 20s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"The recording was too short and was not saved.");
  EXPECT_EQ(WindowText(box), L"Vantoru");
  EXPECT_TRUE(RecordingIdle(v));
  EXPECT_TRUE(FilesIn(FSaveDir).empty()) << WideToUtf8(FilesIn(FSaveDir).front());
  AnswerMessageBox(box);

  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return Recording(v) && Reached(v, L"00:00:01"); }, 20s));
  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }, 15s));
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty()) << "a message box";
  Keep(FSaveDir + L"V-001.mp4", "{\"audio\": false, \"min_duration\": 0.5}");
}

// The end of the session during a recording: the encoder is told to finish, the program
// ends without asking, and the file is whole.
TEST_F(Encoder, SessionEndFinishesTheRecording) {
  auto v = StartProgram();
  PressHotKey();
  ASSERT_TRUE(WaitFor([&] { return Recording(v) && Reached(v, L"00:00:02"); }, 20s));

  std::atomic<bool> boxSeen{false};
  std::atomic<bool> done{false};
  std::thread watch([&] {
    while (!done) {
      if (!ProcessWindows(v.Process().Pid(), L"#32770", true).empty()) boxSeen = true;
      Sleep(20);
    }
  });
  DWORD_PTR reply = 0;
  const LRESULT sent =
      SendMessageTimeoutW(v.Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 15000, &reply);
  const bool ended = v.Process().WaitExit(10s).has_value();
  done = true;
  watch.join();
  EXPECT_NE(sent, 0);
  EXPECT_EQ(reply, 1u);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(boxSeen);
  Keep(FSaveDir + L"V-001.mp4", "{\"audio\": false, \"min_duration\": 1.5}");
}

}  // namespace
