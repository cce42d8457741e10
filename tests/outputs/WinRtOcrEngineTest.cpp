// The Windows Runtime engine, in-process under Wine: without the runtime class (as Wine
// has it) and with the test suite's stand-in runtime registered in its place.
#include "outputs/RtOcr.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../e2e/FakeOcrRuntime.h"
#include "OcrTestSupport.h"
#include "base/AutoStart.h"
#include "base/Text.h"
#include "ui/Thread.h"

using namespace rtocr;
using namespace ocrtest;

namespace {

std::string ReadText(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  const std::string s = ReadText(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

class WinRtOcr : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    InitMainThread();
    fakeocr::Unregister();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    FDir = JoinPath(tmp, FormatW(L"vantoru-winrt-ocr-%lu", GetCurrentProcessId()));
    CreateDirectoryW(FDir.c_str(), nullptr);
    FScript = JoinPath(FDir, L"script.txt");
    FLog = JoinPath(FDir, L"log.txt");
    FDump = JoinPath(FDir, L"bitmap.bin");
    DeleteFileW(FLog.c_str());
    SetEnvironmentVariableW(L"VANTORU_FAKE_OCR", FScript.c_str());
  }
  void TearDown() override {
    fakeocr::Unregister();
    SetEnvironmentVariableW(L"VANTORU_FAKE_OCR", nullptr);
    ShutdownMainThread();
    CoUninitialize();
  }
  void Register() { ASSERT_TRUE(fakeocr::Register(ProgramDir() + L"FakeOcrRuntime.dll")); }
  void Script(const std::wstring& text) {
    fakeocr::WriteScript(FScript, text + L"\nlog=" + FLog + L"\ndump=" + FDump);
  }
  long LiveObjects() {
    HMODULE fake = GetModuleHandleW(L"FakeOcrRuntime.dll");
    if (!fake) return 0;
    auto fn = reinterpret_cast<long(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(fake, "FakeOcrLiveObjects")));
    return fn ? fn() : -1;
  }

  std::wstring FDir, FScript, FLog, FDump;
};

const std::wstring kTwoLanguages =
    L"lang=English (United States)|en-US|English (United States)|Latn\nlang=Korean|ko|한국어|Kore\n";

TEST_F(WinRtOcr, WithoutTheRuntimeClassEveryUseFailsWithTheActivationError) {
  TRtOcr ocr;
  try {
    ocr.AvailableLanguages();
    FAIL() << "listed languages without the runtime class";
  } catch (const EWinRtError& e) {
    EXPECT_EQ(static_cast<uint32_t>(e.ErrorCode()), 0x80040154u);
    const std::wstring prefix = L"Error $80040154: ";
    ASSERT_EQ(e.Message().substr(0, prefix.size()), prefix);
    // Wine has no text for this code; Windows says "Class not registered".
    EXPECT_EQ(e.Message().substr(prefix.size()), SystemErrorText(e.ErrorCode()));
  }
  // With a text, it follows without its line break and full stop.
  const EWinRtError invalid(E_INVALIDARG);
  const std::wstring text = invalid.Message().substr(std::wstring(L"Error $80070057: ").size());
  EXPECT_EQ(invalid.Message(), L"Error $80070057: " + text);
  EXPECT_FALSE(text.empty());
  EXPECT_TRUE(iswalpha(text.back())) << WideToUtf8(invalid.Message());
  EXPECT_THROW(ocr.MaxImageDimension(), EWinRtError);
  EXPECT_THROW(ocr.Recognize(TLanguage{L"English", L"en", L"English", L"Latn"}, nullptr), EWinRtError);
  EXPECT_FALSE(ocr.Running());
}

TEST_F(WinRtOcr, ListsLanguagesAndRecognisesARegionThroughTheRuntime) {
  Register();
  Script(kTwoLanguages + L"max=2600\nline=Hello world\nline=Grüße\nangle=1.5");
  {
    TRtOcr ocr;
    const TLanguages langs = ocr.AvailableLanguages();
    ASSERT_EQ(langs.size(), 2u);
    EXPECT_EQ(langs[0], (TLanguage{L"English (United States)", L"en-US", L"English (United States)", L"Latn"}));
    EXPECT_EQ(langs[1], (TLanguage{L"Korean", L"ko", L"한국어", L"Kore"}));
    EXPECT_EQ(ocr.MaxImageDimension(), 2600);

    std::vector<TResult> results;
    int data = 0;
    ocr.OnCompleted = [&](TRtOcr&, const TResult& r, void* d) {
      EXPECT_EQ(d, &data);
      results.push_back(r);
    };
    ocr.SetPicture(*PatternPicture(7, 5));
    ocr.Recognize(langs[1], &data, 1, 1, 5, 4);
    ASSERT_TRUE(PumpUntil([&] { return !results.empty(); }));
    EXPECT_EQ(ReadBytes(FDump), PatternRegion(1, 1, 5, 4));
    EXPECT_EQ(ReadText(FLog), "recognize ko 4x3\n");
    const TResult& r = results[0];
    EXPECT_EQ(r.Status, stCompleted);
    EXPECT_EQ(r.Text, L"Hello world Grüße");
    EXPECT_EQ(r.TextAngle, 1.5);
    ASSERT_EQ(r.Lines.size(), 2u);
    EXPECT_EQ(r.Lines[0].Text, L"Hello world");
    EXPECT_EQ(r.Lines[1].Text, L"Grüße");
    ASSERT_EQ(r.Lines[0].Words.size(), 2u);
    EXPECT_EQ(r.Lines[0].Words[1].Text, L"world");
    const TSRect w = r.Lines[0].Words[1].Rect;
    EXPECT_EQ(std::vector<float>({w.X, w.Y, w.Width, w.Height}), std::vector<float>({10, 0, 8, 16}));
    EXPECT_EQ(r.Lines[1].Words[0].Rect.Y, 20.0f);

    // No angle reported, no lines found.
    Script(kTwoLanguages);
    ocr.Recognize(langs[0], &data);
    ASSERT_TRUE(PumpUntil([&] { return results.size() == 2; }));
    EXPECT_EQ(results[1].TextAngle, 0);
    EXPECT_TRUE(results[1].Lines.empty());
    EXPECT_EQ(results[1].Text, L"");
    EXPECT_EQ(ReadBytes(FDump), PatternRegion(0, 0, 7, 5));
  }
  // Every runtime object handed out has been given back.
  EXPECT_TRUE(PumpUntil([&] { return LiveObjects() == 0; })) << LiveObjects();
}

TEST_F(WinRtOcr, CancelAndCloseReachTheRuntime) {
  Register();
  HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, L"VantoruShellTestOcrHold");
  Script(kTwoLanguages + L"line=text\nhold=VantoruShellTestOcrHold");
  std::vector<TResult> results;
  {
    TRtOcr ocr;
    ocr.OnCompleted = [&](TRtOcr&, const TResult& r, void*) { results.push_back(r); };
    ocr.SetPicture(*PatternPicture(4, 4));
    const TLanguage lang = ocr.AvailableLanguages()[0];
    ocr.Recognize(lang, nullptr);
    ocr.Cancel();
    ASSERT_TRUE(PumpUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results[0].Status, stCanceled);
    EXPECT_TRUE(results[0].Lines.empty());
    // Going away while the next one runs closes it; its end reaches nobody.
    ocr.Recognize(lang, nullptr);
  }
  EXPECT_EQ(ReadText(FLog), "recognize en-US 4x4\ncancel\nrecognize en-US 4x4\ncancel\nclose\n");
  EXPECT_TRUE(PumpUntil([&] { return LiveObjects() == 0; })) << LiveObjects();
  EXPECT_EQ(results.size(), 1u);
  CloseHandle(hold);
}

TEST_F(WinRtOcr, TheRuntimeRefusesWhatItCannotTake) {
  Register();
  Script(kTwoLanguages + L"max=4\nrefuse=ko");
  {
    TRtOcr ocr;
    const TLanguages langs = ocr.AvailableLanguages();
    ocr.SetPicture(*PatternPicture(6, 3));
    EXPECT_THROW(ocr.Recognize(langs[0], nullptr), EOleSysError);           // wider than the largest size
    EXPECT_THROW(ocr.Recognize(langs[0], nullptr, 3, 0, 2, 3), EOleSysError);  // an inverted region
    try {
      ocr.Recognize(langs[1], nullptr);  // the engine makes no recogniser for it
      ADD_FAILURE();
    } catch (const ERtOcrError& e) {
      EXPECT_EQ(e.Message(), L"Language not available");
    }
    EXPECT_FALSE(ocr.Running());
    ocr.Recognize(langs[0], nullptr, 0, 0, 4, 3);
    EXPECT_TRUE(ocr.Running());
    ASSERT_TRUE(PumpUntil([&] { return !ocr.Running(); }));
  }
  EXPECT_TRUE(PumpUntil([&] { return LiveObjects() == 0; })) << LiveObjects();
}

}  // namespace
