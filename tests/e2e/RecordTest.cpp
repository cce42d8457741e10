// Screen recording through the main window, with the test suite's encoder stand-in
// installed as ffmpeg.exe beside the program. The stand-in notes its command lines and
// what it read from its input in "ffmpeg-calls.txt" beside itself, and writes the last
// picture it grabbed as a BMP to the output path.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "app/Ids.h"
#include "base/Text.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Recording.h"
#include "e2e/Screen.h"

using namespace e2e;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";
constexpr const wchar_t* kCodec = L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p";
constexpr const wchar_t* kScale = L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\"";

class Record : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"saveto", 5);  // MP4
    FFolder = ProgramFolder();
    ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-standin.exe").c_str(), (FFolder + L"ffmpeg.exe").c_str(), FALSE));
  }

  std::wstring Encoder() const { return FFolder + L"ffmpeg.exe"; }

  TVantoru StartProgram(const std::vector<std::wstring>& env = {}) { return StartCreated(FFolder, env); }

  std::vector<std::wstring> Calls() const {
    std::ifstream f((FFolder + L"ffmpeg-calls.txt").c_str(), std::ios::binary);
    std::vector<std::wstring> lines;
    std::string line;
    while (std::getline(f, line)) {
      std::wstring w(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                                             nullptr, 0)),
                     L'\0');
      MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), w.data(), static_cast<int>(w.size()));
      lines.push_back(w);
    }
    return lines;
  }
  size_t CallCount(const std::wstring& prefix) const {
    size_t n = 0;
    for (const auto& c : Calls()) n += c.rfind(prefix, 0) == 0;
    return n;
  }

  std::wstring FFolder;
};

// The grab of the whole screen: its options stand before "-i", where ffmpeg reads them.
std::wstring ScreenInput(bool mouse) {
  return L"-f gdigrab -framerate 30 -offset_x 0 -offset_y 0 -video_size " +
         std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" + std::to_wstring(GetSystemMetrics(SM_CYSCREEN)) +
         (mouse ? L"" : L" -draw_mouse 0") + L" -i desktop";
}

TEST_F(Record, FullScreenStartsAndStopsWithTheCaptureRequest) {
  TPatternWindow pattern(120, 90, 200, 120);
  SetDword(kSettingsKey, L"mouse", 0);
  SetDword(kSettingsKey, L"audio", 1);  // sound wanted, but the stand-in lists no audio device
  auto v = StartProgram();
  SetCursorPos(640, 400);

  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Recording(v));
  // The stand-in's progress reaches the time label: hours, minutes and seconds only.
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LvlRecTime)) == L"00:00:01"; }))
      << WindowText(v.Control(ctl::LvlRecTime));

  EXPECT_EQ(v.SendCommand(kCapture), 1);  // the second request stops the recording
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }));

  const std::wstring out = FSaveDir + L"V-001.mp4";
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], L"args: \"" + Encoder() + L"\" -list_devices true -f dshow -i dummy");
  // No device: exactly the arguments of a recording without sound.
  EXPECT_EQ(calls[1], L"args: \"" + Encoder() + L"\" -rtbufsize 150M  " + ScreenInput(false) + L"  " + kCodec +
                          L"  " + kScale + L" -y \"" + out + L"\"");
  EXPECT_EQ(calls[3], L"stdin: 71");  // "q" with no line end

  // What the encoder grabbed is the monitor the pointer was on, from its top-left corner.
  const TPixels frame = DecodeImageFile(out);
  ASSERT_EQ(frame.Width, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_EQ(frame.Height, GetSystemMetrics(SM_CYSCREEN));
  for (const auto& [x, y] : {std::pair{125, 95}, std::pair{310, 200}})
    EXPECT_LE(ColorDistance(frame.At(x, y), pattern.Expected(x, y)), 2) << x << "," << y;

  // And the next request records again, into the next file.
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Recording(v));
  ASSERT_TRUE(WaitFor([&] { return CallCount(L"args: ") == 4; }));
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }));
  EXPECT_NE(Calls()[5].find(L" -y \"" + FSaveDir + L"V-002.mp4\""), std::wstring::npos) << Calls()[5];
}

TEST_F(Record, TimeLimitEndsTheRecordingByItselfAndTheLogKeepsEveryLine) {
  const std::wstring saveDir = FSaveDir + L"later\\recordings";  // made by the first log line
  SetString(kSettingsKey, L"path", saveDir);
  SetDword(kSettingsKey, L"record_limit", 30);
  SetDword(kSettingsKey, L"ffmpeg_log", 1);
  // The stand-in takes "-t 1800" as 1.8 seconds.
  auto v = StartProgram({L"VANTORU_TEST_STANDIN_SPEEDUP=1000"});

  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(v.SendCommand(kCapture), 1);
    EXPECT_TRUE(Recording(v));
    ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }, std::chrono::seconds(15)));
  }
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 6u);
  const std::wstring out = saveDir + L"\\V-001.mp4";
  EXPECT_EQ(calls[0], L"args: \"" + Encoder() + L"\" -rtbufsize 150M  " + ScreenInput(true) + L"  " + kCodec +
                          L" -t 1800 " + kScale + L" -y \"" + out + L"\"");
  EXPECT_EQ(calls[2], L"stdin: ");  // nothing was typed

  // Every line once, whole, ended by CR LF, also the first line, which the stand-in writes
  // in two pieces; the second recording's lines are appended.
  bool whole = false;
  const std::vector<std::string> lines = CrLfLines(saveDir + L"\\ffmpeg.log", whole);
  EXPECT_TRUE(whole) << "the log ends inside a line";
  for (const auto& line : lines) {
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
  }
  const std::string banner = "ffmpeg version stand-in Copyright (c) the Vantoru tests";
  std::vector<size_t> banners;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == banner) banners.push_back(i);
    EXPECT_NE(lines[i], "ffmpeg version stand-in ") << "the first piece was written on its own";
  }
  ASSERT_EQ(banners.size(), 2u) << (lines.empty() ? "" : lines[0]);
  EXPECT_EQ(banners[0], 0u);
  const std::vector<std::string> one(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(banners[1]));
  auto has = [&](const std::string& part) {
    return std::any_of(one.begin(), one.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
  };
  EXPECT_EQ(one[1], "Output #0, mp4, to '" + WideToUtf8(out) + "':");
  EXPECT_EQ(one[2], "Press [q] to stop, [?] for help");
  EXPECT_TRUE(has(" time=00:00:01."));
  // The closing line, written just before the encoder ended, is there too.
  EXPECT_EQ(one.back().rfind("video:", 0), 0u) << one.back();
  EXPECT_EQ(lines.back().find("muxing overhead: 0.1%") != std::string::npos, true) << lines.back();
}

TEST_F(Record, MissingEncoderStartsNothing) {
  auto v = StartProgram();
  ASSERT_EQ(v.ListIndex(ctl::ChkSaveTo), 5);  // accepted at start: the encoder was there
  ASSERT_TRUE(DeleteFileW(Encoder().c_str()));

  EXPECT_EQ(v.SendCommand(kCapture), 1);
  Sleep(300);
  EXPECT_TRUE(OnOutputCard(v));
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
  EXPECT_TRUE(FilesIn(FSaveDir).empty());

  // The controller stayed idle: with the encoder back the next request records.
  ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-standin.exe").c_str(), Encoder().c_str(), FALSE));
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Recording(v));
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }));
}

// The region frame of the process, found by its place: the capture rectangle plus the
// 6-pixel ring and the 25-pixel header.
HWND FindRegionFrame(DWORD pid, const RECT& inner) {
  for (HWND w : ProcessWindows(pid, nullptr, true)) {
    RECT r{};
    GetWindowRect(w, &r);
    if (r.left == inner.left - 6 && r.top == inner.top - 31 && r.right == inner.right + 6 &&
        r.bottom == inner.bottom + 6)
      return w;
  }
  return nullptr;
}

std::wstring RecLabel(HWND frame) {
  std::wstring found;
  EnumChildWindows(
      frame,
      [](HWND c, LPARAM lp) -> BOOL {
        const std::wstring t = WindowText(c);
        if (t.rfind(L"[REC] ", 0) != 0) return TRUE;
        *reinterpret_cast<std::wstring*>(lp) = t;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST_F(Record, RegionRecordingGrabsTheMirrorOfTheFrame) {
  const RECT inner{300, 250, 300 + 301, 250 + 201};  // odd sizes: a mirror of 300 x 200
  TPatternWindow pattern(inner.left - 50, inner.top - 50, 420, 320);
  SetDword(kSettingsKey, L"area", 1);
  SetDword(kSettingsKey, L"left", static_cast<DWORD>(inner.left - 6));
  SetDword(kSettingsKey, L"top", static_cast<DWORD>(inner.top - 31));
  SetDword(kSettingsKey, L"width", 301);
  SetDword(kSettingsKey, L"height", 201);
  auto v = TVantoru::Start(L"", FFolder);
  HWND frame = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (frame = FindRegionFrame(v.Process().Pid(), inner)) != nullptr; }, std::chrono::seconds(3)));

  // The hotkey starts the recording and stops it again.
  PressKeys({VK_SNAPSHOT});
  ASSERT_TRUE(WaitFor([&] { return Recording(v); }));
  HWND mirror = nullptr;
  for (HWND w : ProcessWindows(v.Process().Pid()))
    if (WindowText(w) == L"Virtual_Screen") mirror = w;
  ASSERT_NE(mirror, nullptr);
  RECT mr{};
  GetWindowRect(mirror, &mr);
  EXPECT_EQ(mr.right - mr.left, 300);
  EXPECT_EQ(mr.bottom - mr.top, 200);
  EXPECT_EQ(mr.top, GetSystemMetrics(SM_CYSCREEN) + 1);

  // Off the screen Wine keeps no pixels of it; brought into view it shows the region.
  SetWindowPos(mirror, HWND_TOPMOST, 900, 500, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitFor([&] {
    const TPixels p = ReadScreen(900 + 10, 500 + 10, 1, 1);
    return ColorDistance(p.At(0, 0), pattern.Expected(inner.left + 10, inner.top + 10)) <= 2;
  }));
  ASSERT_TRUE(WaitFor([&] { return RecLabel(frame) == L"[REC] 00:00:01"; })) << RecLabel(frame);
  EXPECT_EQ(WindowText(v.Control(ctl::LvlRecTime)).substr(0, 8), L"00:00:01");

  PressKeys({VK_SNAPSHOT});
  ASSERT_TRUE(WaitFor([&] { return RecordingIdle(v); }));
  EXPECT_EQ(RecLabel(frame), L"[REC] 00:00:00");
  const auto calls = Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], L"args: \"" + Encoder() + L"\" -rtbufsize 150M  -f gdigrab -framerate 30 -draw_mouse 0 " +
                          L"-i title=\"Virtual_Screen\"  " + kCodec + L"  " + kScale + L" -y \"" + FSaveDir +
                          L"V-001.mp4\"");
  EXPECT_EQ(calls[1], L"frame: 300x200");
}

}  // namespace
