// The outputs besides files: the clipboard, the printer, and the output list's checks for
// the external files with its option lists and widths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/Ids.h"
#include "e2e/Captures.h"

#include <winspool.h>

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

TEST_F(Outputs, WebPLoadsItsLibraryAtEachSave) {
  // Chosen while the library is there; gone by the capture: no file and no message.
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkSaveTo, 4);
  ASSERT_EQ(v.ListIndex(ctl::ChkSaveTo), 4);
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::ChkWebp_qual)));
  ASSERT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(FSaveDir, 1), std::vector<std::wstring>{L"V-001.webp"});
  ASSERT_TRUE(DeleteFileW((v.Folder() + L"libwebp.dll").c_str())) << "the library stays loaded after a save";
  ASSERT_EQ(CaptureNow(v), L"");
  Sleep(300);
  EXPECT_EQ(FilesIn(FSaveDir), std::vector<std::wstring>{L"V-001.webp"});
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

std::wstring FromUnixPath(const char* path) {
  std::wstring w = L"Z:";
  for (const char* p = path; *p; ++p) w += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  if (w.back() != L'\\') w += L'\\';
  return w;
}

std::vector<std::wstring> Pages(const std::wstring& folder) {
  std::vector<std::wstring> pages;
  for (const auto& f : FilesIn(folder))
    if (f.size() > 4 && f.compare(f.size() - 4, 4, L".png") == 0) pages.push_back(f);
  return pages;
}

TEST_F(Outputs, PrinterGetsOneJobWithThePictureEnlargedAtTheTopLeft) {
  const char* out = std::getenv("VANTORU_PRINT_OUT");
  const char* queue = std::getenv("VANTORU_PRINTER");
  if (!out || !queue) GTEST_SKIP() << "no print queue: scripts/test.sh starts one with scripts/print-queue.sh";
  const std::wstring folder = FromUnixPath(out);
  const std::wstring printer(queue, queue + std::strlen(queue));
  ASSERT_TRUE(SetDefaultPrinterW(printer.c_str()));
  const size_t before = Pages(folder).size();
  // What the page must show, from the printer's own resolution and printable area.
  HDC dc = CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  const int offX = GetDeviceCaps(dc, PHYSICALOFFSETX), offY = GetDeviceCaps(dc, PHYSICALOFFSETY);
  DeleteDC(dc);

  TPatternWindow flat(300, 200, 160, 120, 0x1E90FF);
  SetDword(kSettingsKey, L"area", 3);
  SetDword(kSettingsKey, L"saveto", 9);
  auto v = TVantoru::Start();
  SetForegroundWindow(flat.Handle());
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == flat.Handle(); }));
  ASSERT_EQ(CaptureNow(v), L"");
  std::vector<std::wstring> pages;
  ASSERT_TRUE(WaitFor([&] { return (pages = Pages(folder)).size() > before; }, std::chrono::seconds(30)))
      << "no job reached the queue";
  Sleep(500);
  EXPECT_EQ(Pages(folder).size(), before + 1) << "one job";
  EXPECT_TRUE(FilesIn(FSaveDir).empty());

  std::wstring page;
  for (const auto& p : Pages(folder))
    if (page.empty() || CompareStringOrdinal(p.c_str(), -1, page.c_str(), -1, FALSE) == CSTR_GREATER_THAN) page = p;
  const TPixels png = DecodeImageFile(folder + page);
  ASSERT_GT(png.Width, 0);
  int left = png.Width, top = png.Height, right = -1, bottom = -1;
  for (int y = 0; y < png.Height; ++y)
    for (int x = 0; x < png.Width; ++x)
      if (ColorDistance(png.At(x, y), 0x1E90FF) <= 24)
        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
  ASSERT_GE(right, 0) << "the picture is not on the page";
  // Printer dots per screen pixel, whole: 160 x 120 pixels at (dpi / 96) dots each; the page
  // image has 100 pixels per inch.
  const double wantW = 160.0 * (dpiX / 96) * 100 / dpiX, wantH = 120.0 * (dpiY / 96) * 100 / dpiY;
  EXPECT_NEAR(right - left + 1, wantW, 2.0);
  EXPECT_NEAR(bottom - top + 1, wantH, 2.0);
  EXPECT_NEAR(left, offX * 100.0 / dpiX, 2.0);
  EXPECT_NEAR(top, offY * 100.0 / dpiY, 2.0);
}

}  // namespace
