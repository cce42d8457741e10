// The main window and the dialogs from the keyboard alone, as Windows dialogs work: Tab and
// Shift+Tab move the focus through the controls, arrows change a focused list, Space and
// Enter press buttons, Escape closes a dialog. Keys go in as the user types them (SendInput).
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "capture/FrameIds.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Probe.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

class Keyboard : public TE2ETest {
 protected:
  static HWND Focus(HWND wnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info);
    return info.hwndFocus;
  }
  static bool FocusBecomes(HWND wnd, HWND control) {
    return WaitFor([&] { return Focus(wnd) == control; }, 3s);
  }
  // The control shows the selection colour somewhere: how a focused drop-down list shows focus.
  static bool ShowsHighlight(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    const TPixels px = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    const COLORREF h = GetSysColor(COLOR_HIGHLIGHT);
    const uint32_t want = (GetRValue(h) << 16) | (GetGValue(h) << 8) | GetBValue(h);
    for (uint32_t c : px.Data)
      if (c == want) return true;
    return false;
  }
};

TEST_F(Keyboard, MainWindowTabsThroughItsControlsAndArrowsChangeTheFocusedList) {
  SetString(kSettingsKey, L"language", L"en");
  auto v = TVantoru::Start();
  SetForegroundWindow(v.Window());
  HWND area = v.Control(ctl::ChkArea), saveTo = v.Control(ctl::ChkSaveTo), open = v.Control(ctl::BtnOpenDir);
  // The first control takes the focus and shows it.
  ASSERT_TRUE(FocusBecomes(v.Window(), area));
  EXPECT_TRUE(WaitFor([&] { return ShowsHighlight(area); }, 2s));
  KeyPress(VK_TAB);
  ASSERT_TRUE(FocusBecomes(v.Window(), saveTo));
  EXPECT_TRUE(WaitFor([&] { return ShowsHighlight(saveTo) && !ShowsHighlight(area); }, 2s));
  KeyPress(VK_TAB);
  EXPECT_TRUE(FocusBecomes(v.Window(), open));
  KeyPress(VK_TAB);
  EXPECT_TRUE(FocusBecomes(v.Window(), area));  // round again
  PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_TRUE(FocusBecomes(v.Window(), open));
  PressKeys({VK_SHIFT, VK_TAB});
  ASSERT_TRUE(FocusBecomes(v.Window(), saveTo));

  // Down on the output list picks JPG, stored at once; its quality list comes next in the order.
  KeyPress(VK_DOWN);
  EXPECT_TRUE(WaitFor([&] { return GetDword(kSettingsKey, L"saveto") == std::optional<DWORD>(1); }, 3s));
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 1);
  KeyPress(VK_TAB);
  EXPECT_TRUE(FocusBecomes(v.Window(), v.Control(ctl::ChkJPEG_qual)));
  KeyPress(VK_DOWN);
  EXPECT_TRUE(WaitFor([&] { return GetDword(kSettingsKey, L"jpeg_quality").has_value(); }, 3s));
}

TEST_F(Keyboard, HotKeyDialogAnswersSpaceEnterAndEscape) {
  SetString(kSettingsKey, L"language", L"en");
  auto v = TVantoru::Start();
  PostMessageW(v.Window(), WM_COMMAND, cmd::N1, 0);
  HWND dialog = WaitProcessWindow(v.Process().Pid(), L"TFrmHotKey", 5s);
  ASSERT_NE(dialog, nullptr);
  SetForegroundWindow(dialog);
  HWND shift = GetDlgItem(dialog, hotkeyctl::ChkShift), list = GetDlgItem(dialog, hotkeyctl::ChkHotKey);
  ASSERT_TRUE(FocusBecomes(dialog, shift));
  KeyPress(VK_SPACE);
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(shift, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 2s));
  for (int i = 0; i < 3; ++i) KeyPress(VK_TAB);  // Ctrl, Alt, the key list
  ASSERT_TRUE(FocusBecomes(dialog, list));
  KeyPress(VK_DOWN);  // PrintScreen -> A
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(list, CB_GETCURSEL, 0, 0) == 1; }, 2s));
  // Enter on Cancel presses Cancel, not the default OK: nothing is stored.
  KeyPress(VK_TAB);
  EXPECT_TRUE(FocusBecomes(dialog, GetDlgItem(dialog, hotkeyctl::BtnYes)));
  KeyPress(VK_TAB);
  ASSERT_TRUE(FocusBecomes(dialog, GetDlgItem(dialog, hotkeyctl::BtnNo)));
  KeyPress(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 3s));
  EXPECT_FALSE(GetDword(kSettingsKey, L"hotkey").has_value());

  // Escape closes it too; Enter on a check box presses the default OK: Shift+A is stored.
  PostMessageW(v.Window(), WM_COMMAND, cmd::N1, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(dialog); }, 3s));
  SetForegroundWindow(dialog);
  KeyPress(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 3s));
  PostMessageW(v.Window(), WM_COMMAND, cmd::N1, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(dialog); }, 3s));
  SetForegroundWindow(dialog);
  ASSERT_TRUE(WaitFor([&] { return IsChild(dialog, Focus(dialog)); }, 3s));
  SendMessageW(list, CB_SETCURSEL, 1, 0);
  SendMessageW(shift, BM_SETCHECK, BST_CHECKED, 0);
  for (int i = 0; i < 6 && Focus(dialog) != shift; ++i) {
    KeyPress(VK_TAB);
    Sleep(50);
  }
  ASSERT_TRUE(FocusBecomes(dialog, shift));
  KeyPress(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 3s));
  EXPECT_EQ(GetDword(kSettingsKey, L"hotkey"), std::optional<DWORD>(0x2041));
}

TEST_F(Keyboard, SizeDialogAppliesItsGroupOnEnterAndClosesOnEscape) {
  SetString(kSettingsKey, L"language", L"en");
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 1);
  HWND frame = WaitProcessWindow(v.Process().Pid(), L"TFrmArea", 5s);
  ASSERT_NE(frame, nullptr);
  PostMessageW(frame, WM_COMMAND, areacmd::PopConfig, 0);
  HWND dialog = WaitProcessWindow(v.Process().Pid(), L"TFrmSize", 5s);
  ASSERT_NE(dialog, nullptr);
  SetForegroundWindow(dialog);
  HWND width = GetDlgItem(dialog, sizectl::Of(sizectl::EditWidth, 0));
  ASSERT_TRUE(FocusBecomes(dialog, width));
  SetWindowTextW(width, L"300");
  KeyPress(VK_RETURN);
  EXPECT_TRUE(WaitFor([&] {
    RECT r{};
    GetWindowRect(frame, &r);
    return r.right - r.left == 300 + 12;
  }, 3s));
  KeyPress(VK_TAB);
  EXPECT_TRUE(FocusBecomes(dialog, GetDlgItem(dialog, sizectl::Of(sizectl::EditHeight, 0))));
  KeyPress(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 3s));
}

}  // namespace
