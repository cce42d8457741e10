// The web page window as far as it works without the browser engine: its tool bar, its
// place in the capture modes, and a capture that finds no document.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/Ids.h"
#include "capture/IExplorer.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kEmulationKey =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr int kWebPageMode = 5;

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class WebPage : public TE2ETest {
 protected:
  HWND OpenWebWindow(TVantoru& v) {
    // The start is over once it has written the output list's value (its last step);
    // on a loaded machine the idle wait of the start can come before that.
    EXPECT_TRUE(WaitFor([] { return GetDword(kSettingsKey, L"saveto").has_value(); }, 20s));
    v.SelectInList(ctl::ChkArea, kWebPageMode);
    HWND found = nullptr;
    WaitFor([&] {
      auto w = ProcessWindows(v.Process().Pid(), L"TFrmIExplorer", true);
      found = w.empty() ? nullptr : w.front();
      return found != nullptr;
    });
    return found;
  }
  static RECT ChildRect(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static HWND FocusOf(HWND wnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info);
    return info.hwndFocus;
  }
  static void PressAltD() {
    INPUT in[4] = {};
    for (auto& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = VK_MENU;
    in[1].ki.wVk = 'D';
    in[2].ki.wVk = 'D';
    in[2].ki.dwFlags = KEYEVENTF_KEYUP;
    in[3].ki.wVk = VK_MENU;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
  }
};

TEST_F(WebPage, OpensEmptyWithDisabledHistoryButtonsAndWritesTheEmulationMode) {
  DeleteValue(kEmulationKey, L"vantoru.exe");
  auto v = TVantoru::Start();
  HWND web = OpenWebWindow(v);
  ASSERT_NE(web, nullptr);
  EXPECT_EQ(GetWindow(web, GW_OWNER), nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(web, iectl::Edit1)), L"https://");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(web, iectl::BtnBack)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(web, iectl::BtnForward)));
  EXPECT_EQ(GetDword(kEmulationKey, L"vantoru.exe"), std::optional<DWORD>(11001));

  // Client 695 x 572: the tool bar's 37 pixels on top, the browser below filling the rest.
  RECT client{};
  GetClientRect(web, &client);
  EXPECT_EQ(client.right, 695);
  EXPECT_EQ(client.bottom, 572);
  const RECT wb = ChildRect(web, GetDlgItem(web, iectl::WB));
  EXPECT_EQ(wb.left, 0);
  EXPECT_EQ(wb.top, 37);
  EXPECT_EQ(wb.right, 695);
  EXPECT_EQ(wb.bottom, 572);
  const RECT edit = ChildRect(web, GetDlgItem(web, iectl::Edit1));
  EXPECT_EQ(edit.left, 57);
  EXPECT_EQ(edit.right, 695 - 8);

  // The address box follows the window's width.
  RECT wr{};
  GetWindowRect(web, &wr);
  SetWindowPos(web, nullptr, 0, 0, wr.right - wr.left + 100, wr.bottom - wr.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(ChildRect(web, GetDlgItem(web, iectl::Edit1)).right, 695 + 100 - 8);
  EXPECT_EQ(ChildRect(web, GetDlgItem(web, iectl::WB)).right, 695 + 100);
}

TEST_F(WebPage, CaptureWithoutADocumentFailsAndTheWindowStaysUsable) {
  SetString(kSettingsKey, L"language", L"ko");
  auto v = TVantoru::Start();
  HWND web = OpenWebWindow(v);
  ASSERT_NE(web, nullptr);
  HWND wb = GetDlgItem(web, iectl::WB);
  const RECT before = ChildRect(web, wb);

  auto sent = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box).rfind(L"캡쳐가 실패하였습니다.\r\r", 0), 0u) << Narrow(MessageBoxText(box));
  AnswerMessageBox(box);
  EXPECT_EQ(sent.get(), 1);
  EXPECT_TRUE(FilesIn(FSaveDir).empty());

  const RECT after = ChildRect(web, wb);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(IsWindowVisible(web));

  // Alt+D in the main window: nothing while the browser window is hidden; once it shows,
  // the focus goes to its address box.
  ShowWindow(web, SW_HIDE);
  SetForegroundWindow(v.Window());
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == v.Window(); }));
  PressAltD();
  Sleep(300);
  EXPECT_NE(FocusOf(web), GetDlgItem(web, iectl::Edit1));
  EXPECT_FALSE(IsWindowVisible(web));
  ShowWindow(web, SW_SHOWNA);
  SetForegroundWindow(v.Window());
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == v.Window(); }));
  PressAltD();
  EXPECT_TRUE(WaitFor([&] { return FocusOf(web) == GetDlgItem(web, iectl::Edit1); }, 5s));
  // A second capture request is taken as the first was: the controller is idle again.
  auto again = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box);
  EXPECT_EQ(again.get(), 1);
}

TEST_F(WebPage, ClosedByTheUserSwitchesToFullScreenAndStoresIt) {
  auto v = TVantoru::Start();
  HWND web = OpenWebWindow(v);
  ASSERT_NE(web, nullptr);
  SetDword(kSettingsKey, L"area", 3);  // so the window's own write shows
  SendMessageW(web, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(web); }));
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 0);
  EXPECT_EQ(GetDword(kSettingsKey, L"area"), std::optional<DWORD>(0));
  EXPECT_TRUE(v.Process().Running());

  // It opens again on a new choice of the mode.
  EXPECT_NE(OpenWebWindow(v), nullptr);
}

TEST_F(WebPage, AnotherModeClosesTheWindowAndStays) {
  auto v = TVantoru::Start();
  HWND web = OpenWebWindow(v);
  ASSERT_NE(web, nullptr);
  v.SelectInList(ctl::ChkArea, 3);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(web); }));
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 3);
  EXPECT_EQ(GetDword(kSettingsKey, L"area"), std::optional<DWORD>(3));
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"TFrmIExplorer").empty());
}

}  // namespace
