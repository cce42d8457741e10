// One instance per session, its command-line switches and the messages it accepts.
#include <gtest/gtest.h>

#include <thread>

#include "app/Ids.h"
#include "base/Text.h"
#include "e2e/Driver.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

class Instance : public TE2ETest {};

TEST_F(Instance, SecondStartBringsTheFirstToTheFrontAndEnds) {
  auto first = TVantoru::Start();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(first.Window()); }));
  // The close button only hides the window.
  SendMessageW(first.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(first.Window()); }));
  EXPECT_TRUE(first.Process().Running());

  TProcess second = TProcess::Start(first.Exe());
  EXPECT_EQ(second.WaitExit(10s), std::optional<DWORD>(0));
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(first.Window()); }));
  EXPECT_EQ(GetForegroundWindow(), first.Window());
  // Still exactly one main window.
  EXPECT_EQ(ProcessWindows(second.Pid(), L"TFrmVantoru").size(), 0u);
}

TEST_F(Instance, StartSwitchStaysHiddenAndASecondOneDoesNothing) {
  auto v = TVantoru::Start(L"/start");
  Sleep(500);
  EXPECT_FALSE(IsWindowVisible(v.Window()));
  TProcess second = TProcess::Start(v.Exe(), L"/start");
  EXPECT_EQ(second.WaitExit(10s), std::optional<DWORD>(0));
  Sleep(300);
  EXPECT_FALSE(IsWindowVisible(v.Window()));
  // The user can still bring it up.
  PostMessageW(v.Window(), WM_USER, 1, 0);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(v.Window()); }));
}

TEST_F(Instance, UninstQuitsTheRunningInstance) {
  auto v = TVantoru::Start();
  const auto t0 = std::chrono::steady_clock::now();
  TProcess uninst = TProcess::Start(v.Exe(), L"/uninst");
  EXPECT_EQ(uninst.WaitExit(10s), std::optional<DWORD>(0));
  EXPECT_TRUE(v.Process().WaitExit(3s).has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
}

TEST_F(Instance, UninstWithoutAnInstanceEndsAtOnce) {
  const std::wstring folder = ProgramFolder();
  TProcess uninst = TProcess::Start(folder + L"vantoru.exe", L"/uninst");
  EXPECT_EQ(uninst.WaitExit(5s), std::optional<DWORD>(0));
  EXPECT_EQ(FindWindowW(L"TFrmVantoru", nullptr), nullptr);
}

// What the Run key holds, for a failure's message.
std::string RunKeyContents() {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) return "the Run key does not open: error " + std::to_string(opened);
  std::string names;
  wchar_t name[256];
  for (DWORD i = 0, n = 256; RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, n = 256)
    names += " \"" + WideToUtf8(name) + "\"";
  RegCloseKey(key);
  return "the Run key holds:" + (names.empty() ? std::string(" nothing") : names);
}

TEST_F(Instance, InstRegistersStartWithTheSystem) {
  auto v = TVantoru::Start(L"/inst");
  std::optional<std::wstring> entry;
  const bool written = WaitFor([&] { return (entry = GetString(kRunKey, L"Vantoru")).has_value(); }, 5s);
  ASSERT_TRUE(written) << RunKeyContents() << "; the program is " << (v.Process().Running() ? "" : "not ")
                       << "running, its window " << (IsWindowVisible(v.Window()) ? "shown" : "not shown");
  EXPECT_EQ(*entry, L"\"" + v.Exe() + L"\" /start");
}

TEST_F(Instance, UserMessages) {
  auto v = TVantoru::Start();
  SendMessageW(v.Window(), WM_USER, 7, 0);  // ignored
  EXPECT_TRUE(v.Process().Running());
  SendMessageW(v.Window(), WM_USER, 2, 0);
  EXPECT_TRUE(v.Process().WaitExit(5s).has_value());
}

TEST_F(Instance, QuitMenuAsksFirst) {
  auto v = TVantoru::Start();
  auto click = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N10); });
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Are you sure you want to quit?");
  EXPECT_EQ(WindowText(box), L"Vantoru");
  AnswerMessageBox(box, IDNO);
  click.wait();
  Sleep(200);
  EXPECT_TRUE(v.Process().Running());

  auto again = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N10); });
  box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(v.Process().WaitExit(5s).has_value());
}

TEST_F(Instance, EndOfSessionQuits) {
  auto v = TVantoru::Start();
  DWORD_PTR reply = 0;
  SendMessageTimeoutW(v.Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &reply);
  EXPECT_EQ(reply, 1u);
  EXPECT_TRUE(v.Process().WaitExit(5s).has_value());
}

// ---- WM_COPYDATA

class CopyData : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"saveto", 7);  // clipboard: a capture that needs no file
  }
};

TEST_F(CopyData, CaptureRunsOneCaptureAndAnswersOne) {
  auto v = TVantoru::Start();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  // The capture went to the output: the clipboard holds a picture of the screen.
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(CopyData, EverythingElseAnswersZero) {
  auto v = TVantoru::Start();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"Capture\"}"), 0);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}", 2), 0);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\""), 0);
  EXPECT_EQ(v.SendCommand(L"[\"capture\"]"), 0);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"quit\"}"), 0);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}", 1, /*nul=*/false), 0);
  EXPECT_EQ(v.SendCommand(L""), 0);
  // None of them captured.
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(CopyData, HugeOrDeeplyNestedTextNeitherCrashesNorHangs) {
  auto v = TVantoru::Start();
  // Wine's own message transport gives up on records beyond about 2 MB (the record is lost,
  // see Lifetime), so the texts here stay below that; the core tests go further.
  EXPECT_EQ(v.SendCommand(std::wstring(900000, L'[')), 0);
  EXPECT_EQ(v.SendCommand(L"{\"a\":\"" + std::wstring(900000, L'x') + L"\"}"), 0);
  EXPECT_EQ(v.SendCommand(L"{\"x\":" + std::wstring(300000, L'{')), 0);
  EXPECT_TRUE(v.Process().Running());
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
}

TEST_F(CopyData, AboutOpensTheProductPage) {
  TUrlLog urls;
  auto v = TVantoru::Start();
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"about\"}"), 1);
  EXPECT_TRUE(urls.WaitForUrl("http://product.vantoru.test/vantoru?v=1.0.0.0"));
}

TEST_F(CopyData, UnsupportedCombinationIsRefusedWithAMessage) {
  SetDword(kSettingsKey, L"saveto", 10);  // floating
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 5);        // web page
  auto reply = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"This capture mode is not supported.");
  AnswerMessageBox(box);
  EXPECT_EQ(reply.get(), 1);
}

}  // namespace
