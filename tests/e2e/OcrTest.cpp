// TXT output: text recognition of the captured picture into a text file. Wine has no
// recognition engine; the test suite's stand-in runtime (FakeOcrRuntime.dll) is registered
// in the Wine prefix for the tests that need one, and reached by the program through the
// same runtime activation as the real engine on Windows.
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "base/Text.h"
#include "e2e/Driver.h"
#include "e2e/FakeOcrRuntime.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr int kTXT = 6, kClipboard = 7, kActiveWindow = 3;

using fakeocr::Encode;

std::string FileText(const std::wstring& path) {
  const std::vector<uint8_t> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

class Ocr : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    fakeocr::Unregister();
    const std::wstring dir = NewTempDir(L"ocr");
    FScript = dir + L"script.txt";
    FLog = dir + L"log.txt";
    FDump = dir + L"bitmap.bin";
  }
  void TearDown() override {
    TE2ETest::TearDown();
    fakeocr::Unregister();
  }
  void Register() { ASSERT_TRUE(fakeocr::Register(BuildDir() + L"FakeOcrRuntime.dll")); }
  // What the stand-in engine offers and recognises (see FakeOcrRuntime.cpp).
  void Script(const std::wstring& text) { fakeocr::WriteScript(FScript, text + L"\nlog=" + FLog); }
  TVantoru Start() { return TVantoru::Start(L"", L"", {L"VANTORU_FAKE_OCR=" + FScript}); }
  std::string Log() { return FileText(FLog); }
  std::wstring Txt(int n) { return FSaveDir + L"V-00" + std::to_wstring(n) + L".txt"; }

  std::wstring FScript, FLog, FDump;
};

const std::wstring kLanguages =
    L"lang=English (United States)|en-US|English (United States)|Latn\n"
    L"lang=Korean|ko|한국어|Kore\n"
    L"lang=Deutsch (Deutschland)|de-DE|Deutsch (Deutschland)|Latn\n";

TEST_F(Ocr, WithoutTheRuntimeTxtIsRefusedAndTheProgramGoesOn) {
  {
    // Chosen at start: reported at start, back to PNG.
    SetDword(kSettingsKey, L"saveto", kTXT);
    auto v = TVantoru::Start();
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"This version of Windows does not support OCR.");
    AnswerMessageBox(box);
    EXPECT_TRUE(WaitFor([&] { return GetDword(kSettingsKey, L"saveto") == std::optional<DWORD>(0); }));
    EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0);
  }
  auto v = TVantoru::Start();
  EXPECT_EQ(v.ListCount(ctl::ChkOCR_lang), 0);
  auto pick = std::async(std::launch::async, [&] { v.SelectInList(ctl::ChkSaveTo, kTXT); });
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"This version of Windows does not support OCR.");
  EXPECT_EQ(WindowText(box), WindowText(v.Window()));
  AnswerMessageBox(box);
  pick.get();
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0);
  EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(0));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkOCR_lang)));

  // Captures still work.
  v.SelectInList(ctl::ChkSaveTo, kClipboard);
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  EXPECT_TRUE(WaitFor([] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }));
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
}

TEST_F(Ocr, TheLanguageListShowsTheEnginesLanguagesAndKeepsTheChoice) {
  Register();
  Script(kLanguages);
  SetDword(kSettingsKey, L"language_ocr", 2);
  {
    auto v = Start();
    ASSERT_EQ(v.ListCount(ctl::ChkOCR_lang), 3);
    EXPECT_EQ(v.ListText(ctl::ChkOCR_lang, 0), L"English (United States)");
    EXPECT_EQ(v.ListText(ctl::ChkOCR_lang, 1), L"Korean");
    EXPECT_EQ(v.ListText(ctl::ChkOCR_lang, 2), L"Deutsch (Deutschland)");
    EXPECT_EQ(v.ListIndex(ctl::ChkOCR_lang), 2);
    EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkOCR_lang)));
    v.SelectInList(ctl::ChkSaveTo, kTXT);  // accepted: no message
    EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
    EXPECT_TRUE(IsWindowVisible(v.Control(ctl::ChkOCR_lang)));
    EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(kTXT));
    v.SelectInList(ctl::ChkOCR_lang, 1);
    EXPECT_EQ(GetDword(kSettingsKey, L"language_ocr"), std::optional<DWORD>(1));
  }
  // A stored index beyond the list selects nothing.
  SetDword(kSettingsKey, L"language_ocr", 3);
  auto v = Start();
  EXPECT_EQ(v.ListIndex(ctl::ChkOCR_lang), -1);
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), kTXT);
}

class OcrCapture : public Ocr {
 protected:
  void SetUp() override {
    Ocr::SetUp();
    Register();
    SetDword(kSettingsKey, L"saveto", kTXT);
    SetDword(kSettingsKey, L"area", kActiveWindow);
    SetDword(kSettingsKey, L"sound", 3);  // the after-sound plays on success
  }
  // Brings the pattern window to the front, so it is what the active-window capture takes,
  // and waits until the screen shows it whole again.
  void Activate() {
    ASSERT_TRUE(WaitFor([&] {
      SetForegroundWindow(FTarget.Handle());
      return GetForegroundWindow() == FTarget.Handle();
    }));
    ASSERT_TRUE(WaitFor([&] { return FTarget.Shown(); }));
  }
  LRESULT Capture(TVantoru& v) { return v.SendCommand(L"{\"command\":\"capture\"}"); }

  TPatternWindow FTarget{700, 400, 40, 30};
};

TEST_F(OcrCapture, WritesTheLinesInOrderAsAnsiTextFromTheEnlargedPicture) {
  SetDword(kSettingsKey, L"language_ocr", 1);
  Script(kLanguages + L"line=Hello world\nline=Grüße 123\nline=\nline=end");
  auto v = Start();
  Activate();
  EXPECT_EQ(Capture(v), 1);
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesW(Txt(1).c_str()) != INVALID_FILE_ATTRIBUTES; }));
  // The engine got the capture at three times its size, in the chosen language.
  EXPECT_EQ(Log(), "recognize ko 120x90\n");
  const std::wstring expected = L"Hello world\r\nGrüße 123\r\n\r\nend\r\n";
  ASSERT_TRUE(WaitFor([&] { return FileText(Txt(1)).size() == Encode(CP_ACP, expected).size(); }));
  const std::string bytes = FileText(Txt(1));
  EXPECT_EQ(bytes, Encode(CP_ACP, expected));
  EXPECT_NE(bytes, Encode(CP_UTF8, expected));  // the system's code page, not UTF-8, no mark
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
  EXPECT_EQ(FilesIn(FSaveDir), std::vector<std::wstring>{L"V-001.txt"});
}

TEST_F(OcrCapture, IgnoresPressesWhileRecognisingAndReportsAFailedRecognition) {
  HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, L"VantoruE2EOcrHold");
  Script(kLanguages + L"hold=VantoruE2EOcrHold");  // finds no text, once released
  auto v = Start();
  Activate();
  EXPECT_EQ(Capture(v), 1);
  ASSERT_TRUE(WaitFor([&] { return !Log().empty(); }));
  // Taken, and ignored while the first one runs: a started one would be logged by now.
  EXPECT_EQ(Capture(v), 1);
  EXPECT_EQ(Capture(v), 1);
  EXPECT_EQ(Log(), "recognize en-US 120x90\n");
  EXPECT_TRUE(FilesIn(FSaveDir).empty());
  SetEvent(hold);
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesW(Txt(1).c_str()) != INVALID_FILE_ATTRIBUTES; }));
  EXPECT_EQ(FileText(Txt(1)), "");  // no lines: an empty file
  CloseHandle(hold);

  // An engine error, or a result that cannot be read after the engine reported success:
  // the failure message, no file, and the next press works again.
  for (const wchar_t* failure : {L"status=3", L"readfail=80004005"}) {
    SCOPED_TRACE(WideToUtf8(failure));
    Script(kLanguages + failure + L"\nline=lost");
    Activate();
    EXPECT_EQ(Capture(v), 1);
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Capture failed.\r\rOCR failed.");
    EXPECT_EQ(WindowText(box), WindowText(v.Window()));
    AnswerMessageBox(box);
    ASSERT_TRUE(WaitFor([&] { return ProcessWindows(v.Process().Pid(), L"#32770", true).empty(); }));
    EXPECT_EQ(FilesIn(FSaveDir), std::vector<std::wstring>{L"V-001.txt"});
  }

  Script(kLanguages + L"line=again");
  Activate();
  EXPECT_EQ(Capture(v), 1);
  ASSERT_TRUE(WaitFor([&] { return FileText(Txt(2)) == "again\r\n"; }));
}

TEST_F(OcrCapture, EnlargesNoFurtherThanTheEngineTakesAndHandsItOpaquePixels) {
  // One colour, so that the enlarged picture can be checked pixel by pixel.
  constexpr uint32_t kColor = 0x2060A0;
  FTarget.SetColor(kColor);
  Script(kLanguages);  // the languages are listed at start
  auto v = Start();
  // The 40 x 30 capture: three times where that fits, the largest size that fits where it
  // does not, smaller than the capture where even that is too large.
  const struct {
    int Max, Width, Height;
  } cases[] = {{10000, 120, 90}, {100, 100, 75}, {30, 30, 23}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Max);
    DeleteFileW(FLog.c_str());
    Script(kLanguages + L"line=fits\nmax=" + std::to_wstring(c.Max) + L"\ndump=" + FDump);
    Activate();
    EXPECT_EQ(Capture(v), 1);
    ASSERT_TRUE(WaitFor([&] { return FileText(Txt(n + 1)) == "fits\r\n"; })) << Log();
    ++n;
    EXPECT_EQ(Log(), "recognize en-US " + std::to_string(c.Width) + "x" + std::to_string(c.Height) + "\n");
    const std::vector<uint8_t> pixels = ReadFileBytes(FDump);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(c.Width * c.Height * 4));
    int wrong = 0;
    size_t first = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) {
      const uint32_t rgb = uint32_t(pixels[i + 2]) << 16 | uint32_t(pixels[i + 1]) << 8 | pixels[i];
      if (pixels[i + 3] != 0xFF || ColorDistance(rgb, kColor) > 2) first = wrong++ ? first : i;
    }
    EXPECT_EQ(wrong, 0) << "first at pixel " << first / 4 << ": " << int(pixels[first]) << "," << int(pixels[first + 1])
                        << "," << int(pixels[first + 2]) << "," << int(pixels[first + 3]);
  }
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty());
}

}  // namespace
