// The global hotkey: PrintScreen by default, the stored choice otherwise; its dialog's OK
// and Cancel when another program holds the combination.
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "capture/FrameIds.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr int kPrintScreenItem = 0, kF5Item = 41, kF9Item = 45;

// Another program holding a combination: this test process, registered first.
class THeldHotKey {
 public:
  THeldHotKey(UINT modifiers, UINT key) : FHeld(RegisterHotKey(nullptr, 0x7001, modifiers, key) != FALSE) {}
  ~THeldHotKey() { Release(); }
  bool Held() const { return FHeld; }
  void Release() {
    if (FHeld) UnregisterHotKey(nullptr, 0x7001);
    FHeld = false;
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
    }
  }

 private:
  bool FHeld;
};

// Whether a combination is free, seen from another program.
bool IsFree(UINT modifiers, UINT key) {
  THeldHotKey probe(modifiers, key);
  return probe.Held();
}

class HotKey : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"area", 6);  // colour picker: every capture adds one entry to the list
  }
  static int Captures(TVantoru& v) {
    return static_cast<int>(SendMessageW(v.Control(ctl::LstColor), LB_GETCOUNT, 0, 0));
  }
  static HWND Dialog(TVantoru& v, bool visible = true) {
    HWND d = nullptr;
    WaitFor([&] {
      auto w = ProcessWindows(v.Process().Pid(), L"TFrmHotKey", visible);
      d = w.empty() ? nullptr : w.front();
      return d != nullptr;
    }, 5s);
    return d;
  }
  static bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == 1; }
  static void Choose(HWND dialog, int item, bool shift, bool ctrl, bool alt) {
    SendMessageW(GetDlgItem(dialog, hotkeyctl::ChkHotKey), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageW(GetDlgItem(dialog, hotkeyctl::ChkShift), BM_SETCHECK, shift, 0);
    SendMessageW(GetDlgItem(dialog, hotkeyctl::ChkCtrl), BM_SETCHECK, ctrl, 0);
    SendMessageW(GetDlgItem(dialog, hotkeyctl::ChkAlt), BM_SETCHECK, alt, 0);
  }
  // Buttons are clicked by a posted notification: OK may answer with a message box.
  static void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  static std::wstring AnswerBox(TVantoru& v, std::wstring* caption = nullptr) {
    HWND box = WaitMessageBox(v.Process().Pid(), 5s);
    if (!box) return L"(no message box)";
    const std::wstring text = MessageBoxText(box);
    if (caption) *caption = WindowText(box);
    AnswerMessageBox(box);
    WaitFor([&] { return !IsWindow(box); }, 3s);
    return text;
  }
};

TEST_F(HotKey, PrintScreenTakesOneCapturePerPress) {
  SetDword(kSettingsKey, L"area", 0);
  SetDword(kSettingsKey, L"saveto", 7);
  auto v = TVantoru::Start();
  EmptyTheClipboard();
  PressKeys({VK_SNAPSHOT});
  TPixels p;
  ASSERT_TRUE(WaitFor([&] {
    p = ClipboardPicture();
    return !p.Data.empty();
  }, 5s));
  EXPECT_EQ(p.Width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(p.Height, GetSystemMetrics(SM_CYSCREEN));

  v.SelectInList(ctl::ChkArea, 6);
  PressKeys({VK_SNAPSHOT});
  ASSERT_TRUE(WaitFor([&] { return Captures(v) == 1; }, 5s));
  Sleep(300);
  EXPECT_EQ(Captures(v), 1);
  // Held down, the key repeats; the repeats are not presses.
  INPUT down{};
  down.type = INPUT_KEYBOARD;
  down.ki.wVk = VK_SNAPSHOT;
  down.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  INPUT held[3] = {down, down, down};
  SendInput(3, held, sizeof(INPUT));
  PressKeys({});  // a short pause
  INPUT up = down;
  up.ki.dwFlags |= KEYEVENTF_KEYUP;
  SendInput(1, &up, sizeof(INPUT));
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 2; }, 5s)) << Captures(v);
  Sleep(500);
  EXPECT_EQ(Captures(v), 2);
  // The program holds PrintScreen alone.
  EXPECT_FALSE(IsFree(0, VK_SNAPSHOT));
}

TEST_F(HotKey, AStoredCombinationIsRegisteredInsteadOfPrintScreen) {
  SetDword(kSettingsKey, L"hotkey", 0x6041);  // Ctrl+Shift+A
  auto v = TVantoru::Start();
  PressKeys({VK_SNAPSHOT});
  Sleep(300);
  EXPECT_EQ(Captures(v), 0);
  PressKeys({VK_CONTROL, VK_SHIFT, 'A'});
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 1; }, 5s));
  EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_SHIFT, 'A'));
  EXPECT_TRUE(IsFree(0, VK_SNAPSHOT));

  // The dialog shows the stored choice.
  auto menu = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N1); });
  HWND dialog = Dialog(v);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), L"Hotkey setting");
  HWND list = GetDlgItem(dialog, hotkeyctl::ChkHotKey);
  EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 50);
  wchar_t text[32] = {};
  SendMessageW(list, CB_GETLBTEXT, SendMessageW(list, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"A");
  EXPECT_TRUE(Checked(dialog, hotkeyctl::ChkCtrl));
  EXPECT_TRUE(Checked(dialog, hotkeyctl::ChkShift));
  EXPECT_FALSE(Checked(dialog, hotkeyctl::ChkAlt));

  // OK with another free choice: registered, stored, closed; the old one is released.
  Choose(dialog, kF9Item, false, false, true);
  Click(dialog, hotkeyctl::BtnYes);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5s));
  menu.wait();
  EXPECT_EQ(GetDword(kSettingsKey, L"hotkey"), std::optional<DWORD>(0x8078));
  EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_SHIFT, 'A'));
  PressKeys({VK_MENU, VK_F9});
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 2; }, 5s));
}

TEST_F(HotKey, HeldAtStartTheUserIsToldAndOkRetriesUntilAFreeKey) {
  THeldHotKey other(0, VK_SNAPSHOT);
  ASSERT_TRUE(other.Held());
  auto v = TVantoru::Start();
  std::wstring caption;
  EXPECT_EQ(AnswerBox(v, &caption),
            L"An unknown program is using the shortcut key.\r\rPlease change the shortcut key.");
  EXPECT_EQ(caption, L"Hotkey setting");
  HWND dialog = Dialog(v);
  ASSERT_NE(dialog, nullptr);

  // OK with the held key: told, the dialog stays, nothing stored.
  Click(dialog, hotkeyctl::BtnYes);
  EXPECT_EQ(AnswerBox(v, &caption), L"Using shortcut keys in another program.");
  EXPECT_EQ(caption, L"Hotkey setting");
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(GetDword(kSettingsKey, L"hotkey").has_value());

  Choose(dialog, kF9Item, false, false, false);
  Click(dialog, hotkeyctl::BtnYes);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5s));
  EXPECT_EQ(GetDword(kSettingsKey, L"hotkey"), std::optional<DWORD>(0x78));
  // The start goes on once the dialog is closed.
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(v.Window()); }, 5s));
  PressKeys({VK_F9});
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 1; }, 5s));
}

TEST_F(HotKey, CancelAfterAFailedOkRestoresTheStoredHotKey) {
  auto v = TVantoru::Start();
  THeldHotKey other(MOD_CONTROL | MOD_ALT, VK_F5);
  ASSERT_TRUE(other.Held());
  auto menu = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N1); });
  HWND dialog = Dialog(v);
  ASSERT_NE(dialog, nullptr);
  Choose(dialog, kF5Item, false, true, true);
  Click(dialog, hotkeyctl::BtnYes);
  EXPECT_EQ(AnswerBox(v), L"Using shortcut keys in another program.");
  // Until Cancel no hotkey is active.
  EXPECT_TRUE(IsFree(0, VK_SNAPSHOT));
  PressKeys({VK_SNAPSHOT});
  Sleep(300);
  EXPECT_EQ(Captures(v), 0);

  Click(dialog, hotkeyctl::BtnNo);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5s));
  menu.wait();
  HWND list = GetDlgItem(dialog, hotkeyctl::ChkHotKey);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), kPrintScreenItem);
  EXPECT_FALSE(Checked(dialog, hotkeyctl::ChkCtrl));
  EXPECT_FALSE(Checked(dialog, hotkeyctl::ChkAlt));
  EXPECT_FALSE(GetDword(kSettingsKey, L"hotkey").has_value());
  PressKeys({VK_SNAPSHOT});
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 1; }, 5s));
}

TEST_F(HotKey, CancelThatCannotRegisterSaysCapturesWillNotWork) {
  THeldHotKey other(0, VK_SNAPSHOT);
  ASSERT_TRUE(other.Held());
  auto v = TVantoru::Start();
  AnswerBox(v);
  HWND dialog = Dialog(v);
  ASSERT_NE(dialog, nullptr);
  Click(dialog, hotkeyctl::BtnNo);
  std::wstring caption;
  EXPECT_EQ(AnswerBox(v, &caption), L"The capture function does not work because the shortcut key is not set.");
  EXPECT_EQ(caption, L"Hotkey setting");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5s));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(v.Window()); }, 5s));
  // The program runs on without a hotkey, even once the key is free again.
  other.Release();
  PressKeys({VK_SNAPSHOT});
  Sleep(300);
  EXPECT_EQ(Captures(v), 0);
  EXPECT_TRUE(IsFree(0, VK_SNAPSHOT));
}

TEST_F(HotKey, AStoredKeyTheListLacksGivesPrintScreenAndSaysSoOnce) {
  SetDword(kSettingsKey, L"hotkey", 0x402D);  // Ctrl+Insert: not in the list
  auto v = TVantoru::Start();
  EXPECT_EQ(AnswerBox(v), L"The stored shortcut key cannot be used, so the default key PrintScreen is used.");
  EXPECT_TRUE(IsFree(MOD_CONTROL, VK_INSERT));
  EXPECT_FALSE(IsFree(0, VK_SNAPSHOT));
  PressKeys({VK_SNAPSHOT});
  EXPECT_TRUE(WaitFor([&] { return Captures(v) == 1; }, 5s));

  // The dialog shows what is registered; Cancel registers it again without a word.
  auto menu = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N1); });
  HWND dialog = Dialog(v);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, hotkeyctl::ChkHotKey), CB_GETCURSEL, 0, 0), kPrintScreenItem);
  EXPECT_FALSE(Checked(dialog, hotkeyctl::ChkCtrl));
  Click(dialog, hotkeyctl::BtnNo);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5s));
  menu.wait();
  EXPECT_EQ(WaitMessageBox(v.Process().Pid(), 300ms), nullptr);
  EXPECT_FALSE(IsFree(0, VK_SNAPSHOT));
  // The registry keeps the stored value until the user chooses a key.
  EXPECT_EQ(GetDword(kSettingsKey, L"hotkey"), std::optional<DWORD>(0x402D));
}

TEST_F(HotKey, OnlyItsOwnIdentifierCapturesAndTheAtomGoesAtExit) {
  // A program that was killed earlier leaves its atom behind: clear it first.
  for (int i = 0; i < 100 && GlobalFindAtomW(L"VantoruHotKey"); ++i) GlobalDeleteAtom(GlobalFindAtomW(L"VantoruHotKey"));
  ASSERT_EQ(GlobalFindAtomW(L"VantoruHotKey"), 0);
  auto v = TVantoru::Start();
  HWND window = Dialog(v, false);
  ASSERT_NE(window, nullptr);
  const ATOM id = GlobalFindAtomW(L"VantoruHotKey");
  ASSERT_NE(id, 0);
  EXPECT_FALSE(IsWindowVisible(window));  // created hidden
  SendMessageW(window, WM_HOTKEY, id + 1, MAKELPARAM(0, VK_SNAPSHOT));
  SendMessageW(window, WM_HOTKEY, 1, MAKELPARAM(0, VK_SNAPSHOT));
  EXPECT_EQ(Captures(v), 0);
  SendMessageW(window, WM_HOTKEY, id, MAKELPARAM(0, VK_SNAPSHOT));
  EXPECT_EQ(Captures(v), 1);
  EXPECT_TRUE(v.Quit());
  EXPECT_EQ(GlobalFindAtomW(L"VantoruHotKey"), 0);
  EXPECT_TRUE(IsFree(0, VK_SNAPSHOT));
}

}  // namespace
