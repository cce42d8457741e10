// Captures of the real screen, routed to files: what lies in the save folder afterwards.
#include <gtest/gtest.h>

#include <regex>

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

}  // namespace
