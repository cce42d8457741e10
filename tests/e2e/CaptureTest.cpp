// Captures of the real screen, routed to files: what lies in the save folder afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <regex>
#include <thread>

#include "app/Ids.h"
#include "e2e/Captures.h"

using namespace e2e;

namespace {

class Capture : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetString(kSettingsKey, L"language", L"en");
    SetDword(kSettingsKey, L"mouse", 0);
    SetCursorPos(1270, 790);  // away from the windows under test
  }
};

TEST_F(Capture, FullScreenPngHoldsTheScreenAndNumbersTheFiles) {
  TPatternWindow pattern(100, 120, 200, 150);
  auto v = TVantoru::Start();
  EXPECT_EQ(CaptureNow(v), L"");
  auto files = WaitForFiles(FSaveDir, 1);
  ASSERT_EQ(files, std::vector<std::wstring>{L"V-001.png"});
  const TPixels png = DecodeImageFile(FSaveDir + files[0]);
  EXPECT_EQ(png.Width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(png.Height, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(WorstDifference(png, pattern), 0);

  EXPECT_EQ(CaptureNow(v), L"");
  files = WaitForFiles(FSaveDir, 2);
  EXPECT_EQ(files, (std::vector<std::wstring>{L"V-001.png", L"V-002.png"}));
}

TEST_F(Capture, EveryFileFormatHoldsThePicture) {
  TPatternWindow pattern(100, 120, 120, 90);
  TPatternWindow flat(900, 100, 240, 160, 0x1E90FF);  // clear of the main window in the middle
  auto v = TVantoru::Start();
  struct TCase {
    int Output;
    const wchar_t* Ext;
    bool Exact;  // lossless: the pattern to the bit
    int Tolerance;
  };
  const TCase cases[] = {{0, L"png", true, 0}, {1, L"jpg", false, 12}, {2, L"gif", false, 12},
                         {3, L"bmp", true, 0}, {4, L"webp", false, 12}};
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Ext);
    v.SelectInList(ctl::ChkSaveTo, c.Output);
    ASSERT_EQ(CaptureNow(v), L"");
    const std::wstring name = FormatName(++n, c.Ext);
    ASSERT_TRUE(WaitFor([&] { return GetFileAttributesW((FSaveDir + name).c_str()) != INVALID_FILE_ATTRIBUTES; }))
        << "no " << std::string(name.begin(), name.end());
    const std::wstring path = FSaveDir + name;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    TPixels pixels = std::wstring(c.Ext) == L"webp" ? DecodeWebPWithProgramLibrary(v.Folder(), bytes) : DecodeImageFile(path);
    ASSERT_EQ(pixels.Width, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(pixels.Height, GetSystemMetrics(SM_CYSCREEN));
    if (c.Exact) EXPECT_EQ(WorstDifference(pixels, pattern), 0);
    // Inside the flat area, away from its edges.
    int worst = 0;
    for (int y = 120; y < 240; ++y)
      for (int x = 920; x < 1120; ++x) worst = std::max(worst, ColorDistance(pixels.At(x, y), 0x1E90FF));
    EXPECT_LE(worst, c.Tolerance);
    if (std::wstring(c.Ext) == L"bmp") {
      ASSERT_GE(bytes.size(), 54u);
      EXPECT_EQ(bytes[28], 32) << "a screen capture is saved at its own 32 bits per pixel";
    }
    if (std::wstring(c.Ext) == L"webp") {
      ASSERT_GE(bytes.size(), 16u);
      EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8 ") << "lossy and without alpha";
    }
  }
}

void MoveMouse(int x, int y) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = (x * 65536 + 65535) / GetSystemMetrics(SM_CXSCREEN);
  in.mi.dy = (y * 65536 + 65535) / GetSystemMetrics(SM_CYSCREEN);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(in));
}

TEST_F(Capture, PointerIsDrawnAtItsHotSpotClippedAndOnlyWhenAsked) {
  // The program draws the pointer it shows itself: the hand over its copyright line. The
  // window sits in the screen's bottom-right corner, so the hand reaches past the edge.
  SetDword(kSettingsKey, L"mouse", 1);
  auto v = TVantoru::Start();
  RECT wr{};
  GetWindowRect(v.Window(), &wr);
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(v.Window(), nullptr, sw - (wr.right - wr.left), sh - (wr.bottom - wr.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(v.Window());
  RECT label{};
  ASSERT_TRUE(WaitFor([&] {
    GetWindowRect(v.Control(ctl::LblCopyright), &label);
    return label.bottom > sh - 20;
  }));
  const POINT at{sw - 12, (label.top + label.bottom) / 2};
  ASSERT_LT(at.x, label.right);
  MoveMouse(at.x - 4, at.y - 2);
  Sleep(100);
  MoveMouse(at.x, at.y);
  Sleep(300);

  ASSERT_EQ(CaptureNow(v), L"");
  v.MenuCommand(cmd::ChkMouse);  // off
  ASSERT_EQ(CaptureNow(v), L"");
  const auto files = WaitForFiles(FSaveDir, 2);
  ASSERT_EQ(files.size(), 2u);
  const TPixels on = DecodeImageFile(FSaveDir + files[0]);
  const TPixels off = DecodeImageFile(FSaveDir + files[1]);
  ASSERT_EQ(on.Width, sw);
  ASSERT_EQ(off.Width, sw);
  const TPixels screen = ReadScreen(0, 0, sw, sh);
  EXPECT_EQ(off.Data, screen.Data) << "without the option the picture is the screen alone";

  // Expected: the hand drawn over the plain picture at the pointer less its hot spot.
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  ICONINFO ii{};
  ASSERT_TRUE(GetIconInfo(hand, &ii));
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = sw;
  bi.bmiHeader.biHeight = -sh;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  std::memcpy(bits, off.Data.data(), off.Data.size() * 4);
  DrawIcon(mem, at.x - static_cast<int>(ii.xHotspot), at.y - static_cast<int>(ii.yHotspot), hand);
  GdiFlush();
  std::vector<uint32_t> expected(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + off.Data.size());
  for (auto& c : expected) c &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  EXPECT_NE(on.Data, off.Data) << "the pointer is drawn";
  int wrong = 0;
  for (size_t i = 0; i < expected.size(); ++i) wrong += expected[i] != on.Data[i];
  EXPECT_EQ(wrong, 0) << "hot spot " << ii.xHotspot << "," << ii.yHotspot;
}

TEST_F(Capture, ActiveWindowIsCapturedAtItsOwnBounds) {
  TPatternWindow pattern(300, 200, 210, 130);
  SetDword(kSettingsKey, L"area", 3);
  auto v = TVantoru::Start();
  SetForegroundWindow(pattern.Handle());
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == pattern.Handle(); }));
  ASSERT_EQ(CaptureNow(v), L"");
  const auto files = WaitForFiles(FSaveDir, 1);
  ASSERT_EQ(files.size(), 1u);
  const TPixels png = DecodeImageFile(FSaveDir + files[0]);
  EXPECT_EQ(png.Width, 210);
  EXPECT_EQ(png.Height, 130);
  EXPECT_EQ(WorstDifference(png, pattern, 300, 200), 0);
}

// One capture's picture serves the next of the same size: each file must still show the
// screen of its own moment, and a window reaching past the screen's edge its part off the
// screen black, as in a picture of its own.
TEST_F(Capture, EachCaptureShowsTheScreenOfItsOwnMoment) {
  TPatternWindow window(300, 200, 210, 130, 0xD02020);
  SetDword(kSettingsKey, L"area", 3);
  auto v = TVantoru::Start();
  auto capture = [&](int number) {
    SetForegroundWindow(window.Handle());
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == window.Handle(); }));
    EXPECT_EQ(CaptureNow(v), L"");
    return DecodeImageFile(FSaveDir + FormatName(number, L"png"));
  };
  auto count = [](const TPixels& p, int x0, int x1, uint32_t color) {
    int n = 0;
    for (int y = 0; y < p.Height; ++y)
      for (int x = x0; x < x1; ++x) n += p.At(x, y) == color;
    return n;
  };
  const TPixels red = capture(1);
  ASSERT_EQ(red.Width, 210);
  EXPECT_EQ(count(red, 0, 210, 0xD02020), 210 * 130);

  window.SetColor(0x2040D0);
  const TPixels blue = capture(2);
  ASSERT_EQ(blue.Width, 210);
  EXPECT_EQ(count(blue, 0, 210, 0x2040D0), 210 * 130);

  // 110 of its 210 columns past the right edge.
  const int screenW = GetSystemMetrics(SM_CXSCREEN);
  SetWindowPos(window.Handle(), nullptr, screenW - 100, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitFor([&] { return ReadScreen(screenW - 100, 200, 100, 130).At(50, 60) == 0x2040D0; }));
  const TPixels half = capture(3);
  ASSERT_EQ(half.Width, 210);
  EXPECT_EQ(count(half, 0, 100, 0x2040D0), 100 * 130);
  EXPECT_EQ(count(half, 100, 210, 0), 110 * 130);
}

TEST_F(Capture, ARequestDuringASaveIsAnsweredAtOnceAndTurnedAway) {
  // The whole screen in a pattern: a picture that takes a while to encode.
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  TPatternWindow pattern(0, 0, w, h);
  auto v = TVantoru::Start(L"/start");  // in the notification area, off the screen
  // Two programs ask at the same moment. The request taken first captures and is answered
  // once its file is written; the other one reaches the program while the picture is being
  // encoded and is answered at once, without a capture. Only when it comes after the
  // capture has ended are there two files, so a few rounds must show one file at least once.
  size_t files = 0;
  bool turnedAway = false;
  for (int round = 0; round < 5 && !turnedAway; ++round) {
    std::atomic<int> ready{0};
    auto send = [&] {
      ++ready;
      while (ready < 2) std::this_thread::yield();
      return v.SendCommand(L"{\"command\":\"capture\"}");
    };
    auto a = std::async(std::launch::async, send);
    auto b = std::async(std::launch::async, send);
    EXPECT_EQ(a.get(), 1);
    EXPECT_EQ(b.get(), 1);
    // Both answered: every capture is complete, its file in place.
    const size_t now = FilesIn(FSaveDir).size();
    ASSERT_GT(now, files) << "round " << round;
    ASSERT_LE(now, files + 2) << "round " << round;
    turnedAway = now == files + 1;
    files = now;
  }
  EXPECT_TRUE(turnedAway) << "every second request waited for the capture before it and captured again";
  for (const std::wstring& name : FilesIn(FSaveDir)) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    TPixels png = DecodeImageFile(FSaveDir + name);
    ASSERT_EQ(png.Width, w);
    ASSERT_EQ(png.Height, h);
    // Below the strip where the system's tray window may lie, all of it is the pattern.
    png.Data.erase(png.Data.begin(), png.Data.begin() + static_cast<ptrdiff_t>(w) * 100);
    png.Height -= 100;
    EXPECT_EQ(pattern.Mismatches(png, 0, 100), 0);
  }
}

TEST_F(Capture, NothingCapturedIsAFailureAndLeavesNoFile) {
  // The web page mode without a loaded page yields an empty picture.
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 5);
  for (HWND w : ProcessWindows(v.Process().Pid(), nullptr, true))
    if (w != v.Window()) ShowWindow(w, SW_HIDE);  // whatever that mode opened stays out of the way
  const std::wstring text = CaptureNow(v);
  EXPECT_EQ(text.rfind(L"Capture failed.\r\r", 0), 0u) << std::string(text.begin(), text.end());
  EXPECT_NE(text.find(L"empty"), std::wstring::npos);
  EXPECT_TRUE(FilesIn(FSaveDir).empty());
  // The controller is idle again.
  v.SelectInList(ctl::ChkArea, 0);
  EXPECT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(FSaveDir, 1), std::vector<std::wstring>{L"V-001.png"});
}

TEST_F(Capture, AMissingSaveFolderIsAFailureThatNamesIt) {
  const std::wstring missing = FSaveDir + L"gone";
  SetString(kSettingsKey, L"path", missing);
  auto v = TVantoru::Start();
  const std::wstring text = CaptureNow(v);
  EXPECT_EQ(text.rfind(L"Capture failed.\r\r", 0), 0u) << std::string(text.begin(), text.end());
  EXPECT_NE(text.find(missing + L"\\V-001.png"), std::wstring::npos) << std::string(text.begin(), text.end());
  EXPECT_TRUE(FilesIn(FSaveDir).empty());
  EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES) << "the folder is not created";
}

TEST_F(Capture, NamesFollowTheNamingMenu) {
  // Sequential #1 counts every "V-" entry but plain folders, in the real folder.
  CloseHandle(CreateFileW((FSaveDir + L"V-005.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  CreateDirectoryW((FSaveDir + L"V-009").c_str(), nullptr);
  CreateDirectoryW((FSaveDir + L"V-030.d").c_str(), nullptr);
  auto v = TVantoru::Start();
  ASSERT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(FSaveDir, 2), (std::vector<std::wstring>{L"V-005.jpg", L"V-006.png"}));

  // Sequential #2 fills the first free number of its extension.
  v.MenuCommand(cmd::ChkAppend3);
  EXPECT_EQ(GetDword(kSettingsKey, L"append"), std::optional<DWORD>(3));
  ASSERT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(FSaveDir, 3), (std::vector<std::wstring>{L"V-001.png", L"V-005.jpg", L"V-006.png"}));

  // Date and time, to the millisecond, in local time.
  v.MenuCommand(cmd::ChkAppend2);
  SYSTEMTIME before{};
  GetLocalTime(&before);
  ASSERT_EQ(CaptureNow(v), L"");
  ASSERT_TRUE(v.Quit());
  const auto files = WaitForFiles(FSaveDir, 4);
  ASSERT_EQ(files.size(), 4u);
  const std::wstring dated = files[3];
  EXPECT_TRUE(std::regex_match(std::string(dated.begin(), dated.end()), std::regex(R"(V-\d{8}-\d{9}\.png)")))
      << std::string(dated.begin(), dated.end());
  wchar_t day[16];
  swprintf(day, 16, L"V-%04d%02d%02d-", before.wYear, before.wMonth, before.wDay);
  EXPECT_EQ(dated.rfind(day, 0), 0u);
}

}  // namespace

