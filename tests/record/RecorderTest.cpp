// The recorder in-process under Wine, with the encoder's stand-in as ffmpeg.exe: the
// command lines it receives, the device lookup, the mirror window and stopping with "q".
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunnerTestHelpers.h"
#include "base/AutoStart.h"
#include "base/Text.h"
#include "capture/Capture.h"
#include "record/ConsoleRunner.h"
#include "record/Recorder.h"
#include "ui/Thread.h"

using namespace runnertest;

namespace {

constexpr const wchar_t* kCodec = L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p";
constexpr const wchar_t* kScale = L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\"";

std::wstring StandIn() { return ProgramDir() + L"ffmpeg-standin.exe"; }
std::wstring CallsFile() { return ProgramDir() + L"ffmpeg-calls.txt"; }

// The stand-in's notes, one per line.
std::vector<std::wstring> Calls() {
  std::ifstream f(CallsFile().c_str(), std::ios::binary);
  std::vector<std::wstring> lines;
  std::string line;
  while (std::getline(f, line)) lines.push_back(Utf8ToWide(line));
  return lines;
}

std::wstring OutputPath(const wchar_t* name) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::wstring path = std::wstring(tmp) + L"vantoru recorder " + name;
  DeleteFileW(path.c_str());
  return path;
}

class Recorder : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    DeleteFileW(CallsFile().c_str());
    SetEnvironmentVariableW(L"VANTORU_TEST_AUDIO_DEVICE", nullptr);
  }
  void TearDown() override { EXPECT_EQ(ProcessTimerCount(), 0u); }

  // Stops the recording and waits for the encoder's end.
  static void StopAndWait(TRecorder& rec) {
    rec.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !rec.IsRunning(); }, 15000));
  }
};

// A topmost window on this thread: red left half, blue right half.
class THalves {
 public:
  THalves(int x, int y, int w, int h) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND wnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      if (msg != WM_PAINT) return DefWindowProcW(wnd, msg, wp, lp);
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT r;
      GetClientRect(wnd, &r);
      RECT left = r, right = r;
      left.right = right.left = r.right / 2;
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
      FillRect(dc, &left, red);
      FillRect(dc, &right, blue);
      DeleteObject(red);
      DeleteObject(blue);
      EndPaint(wnd, &ps);
      return 0;
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RecorderTestHalves";
    RegisterClassW(&wc);
    FWnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, x, y, w, h,
                           nullptr, nullptr, wc.hInstance, nullptr);
    UpdateWindow(FWnd);
  }
  ~THalves() { DestroyWindow(FWnd); }

 private:
  HWND FWnd;
};

COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

TEST_F(Recorder, RegionRecordingMirrorsTheMovingRectangleAndStopsWithQ) {
  THalves halves(100, 100, 400, 150);  // red 100..300, blue 300..500
  TCapture capture;
  TRecorder rec;
  HWND mirror = rec.MirrorWindow();
  ASSERT_TRUE(IsWindow(mirror));
  wchar_t title[64] = {};
  GetWindowTextW(mirror, title, 64);
  EXPECT_STREQ(title, L"Virtual_Screen");
  const LONG_PTR ex = GetWindowLongPtrW(mirror, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowVisible(mirror));

  const std::wstring out = OutputPath(L"region.mp4");
  rec.SetFFMpeg(StandIn());
  rec.SetOutput(out);
  rec.SetMouse(false);
  TRect region{150, 110, 351, 261};  // 201 x 151: a mirror of 200 x 152
  rec.Start(capture, [&] { return region; });
  EXPECT_TRUE(rec.IsRunning());
  EXPECT_EQ(rec.RecTime(), L"00:00:00.00");

  RECT wr{};
  GetWindowRect(mirror, &wr);
  EXPECT_EQ(wr.left, 0);
  EXPECT_EQ(wr.top, GetSystemMetrics(SM_CYSCREEN) + 1);
  EXPECT_EQ(wr.right - wr.left, 200);
  EXPECT_EQ(wr.bottom - wr.top, 152);

  // Wine keeps no pixels of a window outside the screen, so the test brings the mirror
  // into view to look at it. The region's left 150 pixels are red, the rest blue.
  SetWindowPos(mirror, HWND_TOPMOST, 700, 400, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(720, 420) == RGB(255, 0, 0); }, 3000));
  EXPECT_EQ(ScreenPixel(880, 420), RGB(0, 0, 255));
  // Moved right by 150: all blue now; the mirror follows at its next tick.
  region = TRect{300, 110, 501, 261};
  ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(720, 420) == RGB(0, 0, 255); }, 3000));

  // The stand-in's progress reaches RecTime.
  ASSERT_TRUE(PumpUntil([&] { return rec.RecTime().rfind(L"00:00:01.", 0) == 0; }, 10000)) << rec.RecTime();
  StopAndWait(rec);

  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], L"args: \"" + StandIn() + L"\" -rtbufsize 150M  -f gdigrab -framerate 30 -draw_mouse 0 " +
                          L"-i title=\"Virtual_Screen\"  " + kCodec + L"  " + kScale + L" -y \"" + out + L"\"");
  EXPECT_EQ(calls[1], L"frame: 200x152");  // the encoder found the mirror by its title
  EXPECT_EQ(calls[2], L"stdin: 71");       // "q" alone, no line end
  EXPECT_EQ(GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES, true);

  // Stop in the ended state sends nothing more.
  rec.Stop();
  Sleep(100);
  EXPECT_EQ(Calls().size(), 3u);
  DeleteFileW(out.c_str());
}

TEST_F(Recorder, SoundUsesTheFirstAudioDeviceOrRecordsWithoutIt) {
  const std::wstring out = OutputPath(L"full screen.mp4");
  const std::wstring screen = FormatW(L"-f gdigrab -framerate 30 -offset_x 0 -offset_y 0 -video_size %dx%d -i desktop",
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  const std::wstring listing = L"args: \"" + StandIn() + L"\" -list_devices true -f dshow -i dummy";
  struct {
    const wchar_t* Device;
    bool Audio;
    std::wstring Args;
  } cases[] = {
      {nullptr, true,
       L"-rtbufsize 150M  " + screen + L"  " + kCodec + L"  " + kScale + L" -y \"" + out + L"\""},
      {L"@device_cm_{33D9A762}\\wave_{5F}", true,
       L"-rtbufsize 150M -f dshow -i audio=\"@device_cm_{33D9A762}\\wave_{5F}\" " + screen +
           L" -c:a aac -ac 2 -b:a 128k " + kCodec + L"  " + kScale + L" -y \"" + out + L"\""},
  };
  SetCursorPos(10, 10);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Device ? c.Device : L"no device");
    DeleteFileW(CallsFile().c_str());
    SetEnvironmentVariableW(L"VANTORU_TEST_AUDIO_DEVICE", c.Device);
    TRecorder rec;
    rec.SetFFMpeg(StandIn());
    rec.SetOutput(out);
    rec.SetAudio(c.Audio);
    rec.Start();
    EXPECT_EQ(rec.Driver(), c.Device ? c.Device : L"");
    ASSERT_TRUE(PumpUntil([&] { return Calls().size() >= 2; }));
    StopAndWait(rec);
    const auto calls = Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], listing);
    EXPECT_EQ(calls[1], L"args: \"" + StandIn() + L"\" " + c.Args);
  }
  DeleteFileW(out.c_str());
}

TEST_F(Recorder, AMissingEncoderEndsTheRecordingAfterTheErrorBox) {
  TBoxWatcher box;
  TRecorder rec;
  rec.SetFFMpeg(ProgramDir() + L"no-ffmpeg-here.exe");
  rec.SetOutput(OutputPath(L"never.mp4"));
  rec.SetAudio(true);  // the device listing cannot start either: no sound, no box for it
  rec.Start();
  EXPECT_TRUE(rec.Driver().empty());
  ASSERT_TRUE(PumpUntil([&] { return !rec.IsRunning(); }, 15000));
  EXPECT_EQ(box.Count(), 1);
  EXPECT_EQ(box.Text().rfind(L"ECreateProcessError\r\nError creating Process: \"" + ProgramDir() + L"no-ffmpeg-here.exe\"", 0),
            0u)
      << box.Text();
}

// A file without a frame is no recording: it goes. Only a stop asked for by the user makes
// it "too short"; an encoder that ended by itself without a frame says nothing here.
TEST_F(Recorder, AnEncoderThatWroteNoFrameLeavesNoFile) {
  const struct {
    bool Frames;
    bool ByLimit;
    bool Kept;
    bool TooShort;
  } cases[] = {
      {true, false, true, false},
      {false, false, false, true},
      {false, true, false, false},
  };
  SetEnvironmentVariableW(L"VANTORU_TEST_STANDIN_SPEEDUP", L"1000");  // "-t 1800" lasts 1.8 s
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "frames " << c.Frames << ", by the limit " << c.ByLimit);
    SetEnvironmentVariableW(L"VANTORU_TEST_STANDIN_NO_FRAMES", c.Frames ? nullptr : L"1");
    const std::wstring out = OutputPath(L"short.mp4");
    TRecorder rec;
    rec.SetFFMpeg(StandIn());
    rec.SetOutput(out);
    rec.SetRecLimits({false, c.ByLimit, false, false, false});
    rec.Start();
    ASSERT_TRUE(PumpUntil([&] { return rec.RecTime() != L"00:00:00.00"; }, 10000));
    if (c.ByLimit) ASSERT_TRUE(PumpUntil([&] { return !rec.IsRunning(); }, 15000));
    else StopAndWait(rec);
    EXPECT_EQ(GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES, c.Kept);
    EXPECT_EQ(rec.TooShort(), c.TooShort);
    DeleteFileW(out.c_str());
  }
  SetEnvironmentVariableW(L"VANTORU_TEST_STANDIN_NO_FRAMES", nullptr);
  SetEnvironmentVariableW(L"VANTORU_TEST_STANDIN_SPEEDUP", nullptr);
}

}  // namespace
