// The colour picker: the colour under the pointer, taken into the list and the clipboard.
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"

using namespace e2e;

namespace {

class ColorPicker : public TE2ETest {};

std::wstring ClipboardText() {
  std::wstring s;
  if (!OpenClipboard(nullptr)) return s;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    s = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

TEST_F(ColorPicker, TakesTheColourUnderThePointer) {
  TPatternWindow swatch(600, 500, 80, 80, 0x1E90FF);
  SetDword(kSettingsKey, L"sound", 3);  // an after-sound would play; the picker has none
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 6);
  SetCursorPos(640, 540);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LblColor)) == L"1E90FF"; }));
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::LstColor)));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkSaveTo)));

  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND list = v.Control(ctl::LstColor);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
  wchar_t item[32] = {};
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"1E90FF");
  EXPECT_EQ(ClipboardText(), L"1E90FF");

  // The newest colour comes first.
  swatch.SetColor(0x102030);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LblColor)) == L"102030"; }));
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"102030");
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);

  // Leaving the mode shows the output card again.
  v.SelectInList(ctl::ChkArea, 0);
  EXPECT_FALSE(IsWindowVisible(list));
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::ChkSaveTo)));
}

}  // namespace
