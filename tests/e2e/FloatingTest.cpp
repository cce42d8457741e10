// Floating picture windows: where they sit and what they show, their menu commands, the
// save dialog, dragging, and the end of the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/Ids.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"
#include "outputs/FloatingIds.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";
// The save dialog's controls (the common dialog's file name field and type list).
constexpr int kFileNameEdit = 1152, kFileNameCombo = 1148, kTypeList = 1136;

class Floating : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"saveto", 10);  // floating
    SetDword(kSettingsKey, L"area", 3);     // the active window
    SetDword(kSettingsKey, L"mouse", 0);
    SetDword(kSettingsKey, L"sound", 1);
  }

  std::vector<HWND> Floatings(TVantoru& v) { return ProcessWindows(v.Process().Pid(), L"TFrmFloating"); }

  // Captures the pattern window as the active window; returns the new floating window.
  HWND Pin(TVantoru& v, const TPatternWindow& pattern) {
    SetCursorPos(1200, 700);  // out of the way
    SetForegroundWindow(pattern.Handle());
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == pattern.Handle(); }, 3s));
    const auto before = Floatings(v);
    EXPECT_EQ(v.SendCommand(kCapture), 1);
    for (HWND w : Floatings(v))
      if (std::find(before.begin(), before.end(), w) == before.end()) return w;
    ADD_FAILURE() << "no new floating window";
    return nullptr;
  }
};

RECT WindowRect(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Pixels on screen inside `r` that differ from the pattern window that was at `origin`.
int WrongPixels(const RECT& r, int originX, int originY) {
  const TPixels px = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
  int wrong = 0;
  for (int y = 0; y < px.Height; ++y)
    for (int x = 0; x < px.Width; ++x)
      wrong += px.At(x, y) != PatternColor(x + r.left - originX, y + r.top - originY);
  return wrong;
}

void Mouse(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof(in));
}

void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

TEST_F(Floating, CoversTheCapturedRectangleWithThePicture) {
  auto pattern = std::make_unique<TPatternWindow>(100, 200, 400, 300);
  auto v = TVantoru::Start();
  HWND f = Pin(v, *pattern);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(SameRect(WindowRect(f), RECT{100, 200, 500, 500}));
  RECT client{};
  GetClientRect(f, &client);
  POINT origin{0, 0};
  ClientToScreen(f, &origin);
  EXPECT_EQ(origin.x, 100);
  EXPECT_EQ(origin.y, 200);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 300);
  // Borderless, topmost, no owner, no taskbar button.
  EXPECT_EQ(GetWindowLongW(f, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  EXPECT_EQ(GetWindowLongW(f, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindow(f, GW_OWNER), nullptr);

  // With the window it came from gone, the screen there still shows it, 1:1.
  pattern.reset();
  EXPECT_TRUE(WaitFor([&] { return WrongPixels(RECT{100, 200, 500, 500}, 100, 200) == 0; }, 3s))
      << WrongPixels(RECT{100, 200, 500, 500}, 100, 200) << " pixels differ";

  // It stays while the main window hides in the notification area.
  SendMessageW(v.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(v.Window()); }));
  EXPECT_TRUE(IsWindowVisible(f));
}

TEST_F(Floating, SeveralWindowsAndTheirMenuCommands) {
  TPatternWindow a(40, 60, 200, 150), b(300, 100, 180, 120), c(600, 300, 250, 200);
  auto v = TVantoru::Start();
  HWND fa = Pin(v, a), fb = Pin(v, b), fc = Pin(v, c);
  ASSERT_TRUE(fa && fb && fc);
  EXPECT_EQ(Floatings(v).size(), 3u);
  EXPECT_TRUE(SameRect(WindowRect(fb), RECT{300, 100, 480, 220}));

  // "Delete floating" removes only the window it was chosen on.
  PostMessageW(fb, WM_COMMAND, cmd::BtnDelete, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(fb); }));
  Sleep(100);
  EXPECT_TRUE(IsWindowVisible(fa));
  EXPECT_TRUE(IsWindowVisible(fc));
  EXPECT_EQ(Floatings(v).size(), 2u);

  // "Delete all floating" on any of them removes every one.
  PostMessageW(fc, WM_COMMAND, cmd::BtnDeleteAll, 0);
  ASSERT_TRUE(WaitFor([&] { return Floatings(v).empty(); }));

  // Quitting closes the ones still open, and the program ends normally.
  ASSERT_NE(Pin(v, a), nullptr);
  ASSERT_NE(Pin(v, c), nullptr);
  EXPECT_TRUE(v.Quit());
  EXPECT_EQ(v.Process().WaitExit(1s), std::optional<DWORD>(0));
  EXPECT_TRUE(Floatings(v).empty());
}

TEST_F(Floating, DraggingMovesItAndTheRightButtonOpensItsMenu) {
  auto pattern = std::make_unique<TPatternWindow>(200, 150, 300, 200);
  auto v = TVantoru::Start();
  HWND f = Pin(v, *pattern);
  ASSERT_NE(f, nullptr);
  pattern.reset();  // the mouse is for the floating window alone

  // Merely passing over it moves nothing and holds nothing up.
  for (int i = 0; i <= 10; ++i) SetCursorPos(250 + i * 10, 200 + i * 5), Sleep(15);
  Sleep(200);
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(v.Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result));
  EXPECT_TRUE(SameRect(WindowRect(f), RECT{200, 150, 500, 350}));

  // The move starts with the first movement while the button is down; the window then
  // follows the pointer by what it moves after that.
  SetCursorPos(300, 250);
  Sleep(100);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(150);
  SetCursorPos(301, 250);
  Sleep(100);
  for (int i = 1; i <= 10; ++i) SetCursorPos(301 + i * 7, 250 + i * 4), Sleep(30);
  Mouse(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(f), RECT{270, 190, 570, 390}); }, 3s))
      << WindowRect(f).left << "," << WindowRect(f).top;
  // Once the button is up, passing over it moves it no more.
  for (int i = 0; i <= 10; ++i) SetCursorPos(400 - i * 10, 300 - i * 5), Sleep(15);
  Sleep(200);
  EXPECT_TRUE(SameRect(WindowRect(f), RECT{270, 190, 570, 390}));

  // Its menu: save, a separator, delete this one, delete all. The second item deletes it.
  SetCursorPos(400, 300);
  Sleep(100);
  Mouse(MOUSEEVENTF_RIGHTDOWN);
  Mouse(MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(WaitFor([&] { return !ProcessWindows(v.Process().Pid(), L"#32768", true).empty(); }, 3s));
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(f); }, 3s));
  EXPECT_TRUE(v.Process().Running());
}

// ---- the save dialog

HWND WaitSaveDialog(DWORD pid) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND d : ProcessWindows(pid, L"#32770", true))
      if (GetDlgItem(d, kTypeList)) found = d;
    return found != nullptr;
  });
  return found;
}

HWND FileNameField(HWND dialog) {
  if (HWND edit = GetDlgItem(dialog, kFileNameEdit)) return edit;
  HWND combo = GetDlgItem(dialog, kFileNameCombo);
  return combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
}

// Types the name, picks the type (counted from 0) and presses the button.
void AnswerSaveDialog(HWND dialog, const std::wstring& name, int type, int button) {
  // The type first: choosing a type puts its extension on a name already typed.
  HWND types = GetDlgItem(dialog, kTypeList);
  SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(type), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kTypeList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
  SendMessageW(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// The luminance table of libjpeg's baseline quality scaling, sorted.
std::vector<int> LuminanceTable(int quality) {
  static const int base[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                               14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                               18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                               49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
  const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  std::vector<int> t;
  for (int b : base) t.push_back(std::clamp((b * scale + 50) / 100, 1, 255));
  std::sort(t.begin(), t.end());
  return t;
}

// The first quantisation table of a JPEG file, sorted; empty when there is none.
std::vector<int> FirstQuantTable(const std::vector<uint8_t>& jpg) {
  for (size_t i = 2; i + 4 + 64 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xDB && jpg[i + 4] == 0x00) {
      std::vector<int> t(jpg.begin() + static_cast<ptrdiff_t>(i + 5), jpg.begin() + static_cast<ptrdiff_t>(i + 69));
      std::sort(t.begin(), t.end());
      return t;
    }
  return {};
}

TEST_F(Floating, SaveDialogWritesTheChosenTypeAndCancelWritesNothing) {
  SetDword(kSettingsKey, L"jpeg_quality", 3);  // the list shows 70
  TPatternWindow pattern(100, 100, 160, 120);
  auto v = TVantoru::Start();
  HWND f = Pin(v, pattern);
  ASSERT_NE(f, nullptr);
  const auto matchesPattern = [](const TPixels& px) {
    if (px.Width != 160 || px.Height != 120) return false;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x)
        if (px.At(x, y) != PatternColor(x, y)) return false;
    return true;
  };

  // Every name is typed ending in ".png"; the type chosen in the list decides the format.
  // (Wine's dialog then appends the type's own extension, so the name is looked up.)
  for (int type = 0; type < 5; ++type) {
    SCOPED_TRACE(type);
    const std::wstring name = L"pic-" + std::to_wstring(type) + L".png";
    PostMessageW(f, WM_COMMAND, cmd::BtnSave, 0);
    HWND dialog = WaitSaveDialog(v.Process().Pid());
    ASSERT_NE(dialog, nullptr);
    AnswerSaveDialog(dialog, name, type, IDOK);  // a bare name: the dialog starts in the save folder
    std::wstring path;
    ASSERT_TRUE(WaitFor([&] {
      // A file is written beside its name first and renamed when complete.
      for (const auto& n : FilesIn(FSaveDir))
        if (n.rfind(name, 0) == 0 && !n.ends_with(L".part")) path = FSaveDir + n;
      WIN32_FILE_ATTRIBUTE_DATA a{};
      return !IsWindow(dialog) && !path.empty() &&
             GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a) && a.nFileSizeLow > 0;
    }));
    Sleep(100);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 16u);
    const std::string head(bytes.begin(), bytes.begin() + 16);
    switch (type) {
      case 0:
        EXPECT_EQ(head.substr(0, 8), "\x89PNG\r\n\x1A\n");
        EXPECT_TRUE(matchesPattern(DecodeImageFile(path)));
        break;
      case 1:
        EXPECT_EQ(head.substr(0, 3), "\xFF\xD8\xFF");
        EXPECT_EQ(DecodeImageFile(path).Width, 160);
        EXPECT_EQ(FirstQuantTable(bytes), LuminanceTable(70));
        break;
      case 2:
        EXPECT_EQ(head.substr(0, 4), "GIF8");
        EXPECT_EQ(DecodeImageFile(path).Width, 160);
        break;
      case 3:
        EXPECT_EQ(head.substr(0, 2), "BM");
        EXPECT_TRUE(matchesPattern(DecodeImageFile(path)));
        break;
      case 4:
        EXPECT_EQ(head.substr(0, 4), "RIFF");
        EXPECT_EQ(head.substr(8, 8), "WEBPVP8 ");  // lossy
        break;
    }
  }
  EXPECT_EQ(FilesIn(FSaveDir).size(), 5u);

  // Cancelling writes nothing.
  PostMessageW(f, WM_COMMAND, cmd::BtnSave, 0);
  HWND dialog = WaitSaveDialog(v.Process().Pid());
  ASSERT_NE(dialog, nullptr);
  AnswerSaveDialog(dialog, L"cancelled.png", 0, IDCANCEL);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  Sleep(300);
  EXPECT_EQ(FilesIn(FSaveDir).size(), 5u);
  EXPECT_TRUE(IsWindowVisible(f));
}

}  // namespace
