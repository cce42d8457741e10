// The outputs besides files: the clipboard, the printer, and the output list's checks for
// the external files with its option lists and widths.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Ids.h"
#include "e2e/Captures.h"

using namespace e2e;

namespace {

class Outputs : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetString(kSettingsKey, L"language", L"en");
    SetDword(kSettingsKey, L"mouse", 0);
    SetCursorPos(1270, 790);
  }
};

int WindowWidth(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r.right - r.left;
}

TEST_F(Outputs, ClipboardHoldsTheCaptureAndNoFileIsWritten) {
  TPatternWindow pattern(100, 120, 200, 150);
  SetDword(kSettingsKey, L"saveto", 7);
  auto v = TVantoru::Start();
  ASSERT_EQ(CaptureNow(v), L"");
  const TPixels clip = ClipboardPixels();
  ASSERT_EQ(clip.Width, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_EQ(clip.Height, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(WorstDifference(clip, pattern), 0);
  EXPECT_TRUE(FilesIn(FSaveDir).empty());
}

TEST_F(Outputs, ABusyClipboardIsReportedOnceAndTheCaptureStillCompletes) {
  SetDword(kSettingsKey, L"saveto", 7);
  auto v = TVantoru::Start();
  ASSERT_TRUE(OpenClipboard(nullptr));  // held by this process, as another program would
  const std::wstring text = CaptureNow(v);
  CloseClipboard();
  EXPECT_EQ(text, L"A program preventing clipboard usage is running.");
  // Idle again: the next capture reaches the clipboard.
  EXPECT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(ClipboardPixels().Width, GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(Outputs, WebPWithoutItsLibraryIsRefusedAndTheListReturnsToPng) {
  TUrlLog urls;
  auto v = TVantoru::Start(L"", ProgramFolder({}));
  auto pick = std::async(std::launch::async, [&] { v.SelectInList(ctl::ChkSaveTo, 4); });
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"\"libwebp.dll\" file not found.");
  EXPECT_EQ(WindowText(box), L"Vantoru");
  AnswerMessageBox(box);
  pick.get();
  EXPECT_TRUE(urls.WaitForUrl("?app=vantoru&msg=webpnotfound"));
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0);
  EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(0));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkWebp_qual)));
  EXPECT_EQ(WindowWidth(v.Control(ctl::ChkSaveTo)), 145);
  // And a capture is a PNG again.
  EXPECT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(FSaveDir, 1), std::vector<std::wstring>{L"V-001.png"});
}

TEST_F(Outputs, Mp4WithoutTheEncoderIsRefusedAndWithItStays) {
  {
    TUrlLog urls;
    auto v = TVantoru::Start();
    auto pick = std::async(std::launch::async, [&] { v.SelectInList(ctl::ChkSaveTo, 5); });
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"\"ffmpeg.exe\" file not found.");
    EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0) << "back to PNG before the message";
    AnswerMessageBox(box);
    pick.get();
    EXPECT_TRUE(urls.WaitForUrl("?app=vantoru&msg=ffmpegnotfound"));
    EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(0));
  }
  const std::wstring folder = ProgramFolder();
  CloseHandle(CreateFileW((folder + L"ffmpeg.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  auto v = TVantoru::Start(L"", folder);
  v.SelectInList(ctl::ChkSaveTo, 5);
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 5);
  EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(5));
  EXPECT_EQ(WindowWidth(v.Control(ctl::ChkSaveTo)), 145);
}

TEST_F(Outputs, OptionListsAndWidthsFollowTheOutputAtTheWindowDpi) {
  struct TCase {
    int Output;
    int Width96, Width144;  // 145 at 144 DPI is 217.5: halves go to the even neighbour
    bool Jpeg, WebP;
  };
  const TCase cases[] = {{1, 82, 123, true, false}, {4, 82, 123, false, true}, {0, 145, 218, false, false},
                         {3, 145, 218, false, false}};
  for (DWORD dpi : {96u, 144u}) {
    SCOPED_TRACE(dpi);
    TLogPixels logPixels(dpi);
    auto v = TVantoru::Start();
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Output);
      v.SelectInList(ctl::ChkSaveTo, c.Output);
      EXPECT_EQ(WindowWidth(v.Control(ctl::ChkSaveTo)), dpi == 96 ? c.Width96 : c.Width144);
      EXPECT_EQ(IsWindowVisible(v.Control(ctl::ChkJPEG_qual)) != FALSE, c.Jpeg);
      EXPECT_EQ(IsWindowVisible(v.Control(ctl::ChkWebp_qual)) != FALSE, c.WebP);
      EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkOCR_lang)));
      EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(c.Output));
    }
  }
}

TEST_F(Outputs, JpegQualityListSetsTheFilesQuality) {
  // The same screen at 60 and at 100: the better quality is the larger file.
  TPatternWindow pattern(100, 120, 400, 300);
  SetDword(kSettingsKey, L"saveto", 1);
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkJPEG_qual, 4);  // "60"
  EXPECT_EQ(GetDword(kSettingsKey, L"jpeg_quality"), std::optional<DWORD>(4));
  ASSERT_EQ(CaptureNow(v), L"");
  v.SelectInList(ctl::ChkJPEG_qual, 0);  // "100"
  ASSERT_EQ(CaptureNow(v), L"");
  const auto files = WaitForFiles(FSaveDir, 2);
  ASSERT_EQ(files, (std::vector<std::wstring>{L"V-001.jpg", L"V-002.jpg"}));
  const size_t q60 = ReadFileBytes(FSaveDir + files[0]).size(), q100 = ReadFileBytes(FSaveDir + files[1]).size();
  EXPECT_GT(q100, q60 * 3 / 2);
}

}  // namespace
