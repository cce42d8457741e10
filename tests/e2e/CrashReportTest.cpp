// Crash reporting, with the test build of the program (vantoru-crashtest.exe, which fails on
// request): a minidump and a text report in the crash folder, and a small window naming it.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "e2e/CrashTriggerKinds.h"
#include "e2e/Driver.h"
#include "e2e/Probe.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

std::string Narrow(const std::wstring& w) {
  std::string s(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), 0);
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), static_cast<int>(s.size()), nullptr, nullptr);
  if (!s.empty()) s.pop_back();
  return s;
}

class CrashReport : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetString(kSettingsKey, L"language", L"en");
    FProgram = ProgramFolder();
    ASSERT_TRUE(CopyFileW((BuildDir() + L"vantoru-crashtest.exe").c_str(), (FProgram + L"vantoru.exe").c_str(), FALSE));
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
    FCrashDir = std::wstring(local) + L"\\Dorvenix\\Vantoru\\crash";
    FBefore = FilesIn(FCrashDir);
  }
  void TearDown() override {
    for (HWND w = FindWindowW(L"TFrmCrash", nullptr); w; w = FindWindowW(L"TFrmCrash", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
      if (!p) break;
      TerminateProcess(p, 1);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
    for (const auto& f : NewFiles()) DeleteFileW((FCrashDir + L"\\" + f).c_str());
    TE2ETest::TearDown();
  }

  std::vector<std::wstring> NewFiles() const {
    std::vector<std::wstring> added;
    for (const auto& f : FilesIn(FCrashDir))
      if (std::find(FBefore.begin(), FBefore.end(), f) == FBefore.end()) added.push_back(f);
    return added;
  }

  struct TCrash {
    std::optional<DWORD> ExitCode;
    std::wstring Report;  // the text report
    std::string Dump;     // the minidump's bytes
    HWND Window = nullptr;
  };
  TCrash Crash(int kind) {
    TCrash c;
    auto v = TVantoru::Start(L"", FProgram);
    PostMessageW(v.Window(), RegisterWindowMessageW(kCrashMessage), static_cast<WPARAM>(kind), 0);
    // Writing the minidump takes Wine some seconds.
    c.ExitCode = v.Process().WaitExit(60s);
    WaitFor([&] { return (c.Window = FindWindowW(L"TFrmCrash", nullptr)) && IsWindowVisible(c.Window); }, 20s);
    for (const auto& f : NewFiles()) {
      std::ifstream in((FCrashDir + L"\\" + f).c_str(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      if (f.size() > 4 && f.substr(f.size() - 4) == L".txt") {
        const std::string s = bytes.str();
        c.Report = std::wstring(s.begin(), s.end());  // ASCII apart from module paths
      } else if (f.size() > 4 && f.substr(f.size() - 4) == L".dmp") {
        c.Dump = bytes.str();
      }
    }
    return c;
  }

  std::wstring FProgram, FCrashDir;
  std::vector<std::wstring> FBefore;
};

TEST_F(CrashReport, AnAccessViolationLeavesADumpAReportAndAWindowNamingTheFolder) {
  const TCrash c = Crash(kCrashAccessViolation);
  ASSERT_EQ(c.ExitCode, std::optional<DWORD>(0xC0000005));
  const auto files = NewFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].rfind(L"crash-", 0), 0u);
  ASSERT_GE(c.Dump.size(), 32u);
  EXPECT_EQ(c.Dump.substr(0, 4), "MDMP");
  for (const wchar_t* line : {L"Version: 1.0.0.0\r\n", L"Exception: C0000005 (access violation)\r\n", L"Modules:\r\n"})
    EXPECT_NE(c.Report.find(line), std::wstring::npos) << Narrow(line) << " in\n" << Narrow(c.Report);
  EXPECT_NE(c.Report.find(L"(vantoru.exe+"), std::wstring::npos) << "the address lies in the program";
  EXPECT_NE(c.Report.find(L"\\vantoru.exe\r\n"), std::wstring::npos);
  EXPECT_NE(c.Report.find(L"user32.dll\r\n"), std::wstring::npos);

  // The window: small, on the screen, naming the folder, with a close button.
  ASSERT_NE(c.Window, nullptr);
  EXPECT_EQ(WindowText(c.Window), L"Vantoru");
  RECT r{};
  GetWindowRect(c.Window, &r);
  EXPECT_GE(r.left, 0);
  EXPECT_GE(r.top, 0);
  EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_LT(r.right - r.left, 600);
  std::vector<std::wstring> texts;
  HWND close = nullptr;
  for (HWND child = GetWindow(c.Window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    texts.push_back(WindowText(child));
    if (ClassName(child) == L"Button") close = child;
  }
  EXPECT_NE(std::find(texts.begin(), texts.end(), FCrashDir), texts.end()) << Narrow(FCrashDir);
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"The program ran into a problem and was closed."), texts.end());
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(WindowText(close), L"Close");
  // What is on the screen there is the window: the button lies inside it, drawn.
  RECT b{};
  GetWindowRect(close, &b);
  EXPECT_TRUE(b.left >= r.left && b.right <= r.right && b.top >= r.top && b.bottom <= r.bottom);
  const TPixels shot = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::vector<uint32_t> colours(shot.Data);
  std::sort(colours.begin(), colours.end());
  EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 8) << "an empty window";

  // The close button ends the report window's process.
  DWORD pid = 0;
  GetWindowThreadProcessId(c.Window, &pid);
  HANDLE reporter = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(reporter, nullptr);
  const POINT centre = Centre(b);
  MouseClick(centre.x, centre.y);
  EXPECT_EQ(WaitForSingleObject(reporter, 10000), WAIT_OBJECT_0);
  CloseHandle(reporter);

  // And the program starts again at once.
  auto again = TVantoru::Start(L"", ProgramFolder());
  EXPECT_TRUE(IsWindowVisible(again.Window()));
}

TEST_F(CrashReport, EveryKindOfUnhandledFaultIsReported) {
  struct TCase {
    const char* Name;
    int Kind;
    std::wstring Line;  // what the report says about it
  };
  for (const TCase& k : {
           TCase{"exception out of a noexcept function", kCrashNoexcept,
                 L"Message: unhandled C++ exception: test fault"},
           TCase{"exception nothing catches", kCrashEscapingException,
                 L"Message: unhandled C++ exception: escaped its thread"},
       }) {
    SCOPED_TRACE(k.Name);
    const TCrash c = Crash(k.Kind);
    EXPECT_TRUE(c.ExitCode.has_value());
    EXPECT_NE(c.Report.find(k.Line), std::wstring::npos) << Narrow(c.Report);
    EXPECT_EQ(c.Dump.substr(0, 4), "MDMP");
    ASSERT_NE(c.Window, nullptr);
    PostMessageW(c.Window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(c.Window); }));
    for (const auto& f : NewFiles()) DeleteFileW((FCrashDir + L"\\" + f).c_str());
  }
}

}  // namespace
