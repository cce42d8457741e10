// The main window as the user sees it: its layout at every DPI, the drawing of its lists,
// the menu with its items, check marks and settings, the context menus, the notification
// icon and the language switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "app/Ids.h"
#include "base/Translate.h"
#include "e2e/Captures.h"
#include "e2e/Driver.h"
#include "e2e/Probe.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

// Design pixels at a DPI, halves to the even neighbour (the default rounding mode).
int Scale(int n, UINT dpi) { return static_cast<int>(std::nearbyint(n * static_cast<double>(dpi) / 96.0)); }

// The program's translation table, for the texts each language must show.
const TTranslateTable& Table() {
  static TTranslateTable table = [] {
    std::ifstream f(SourceDirUnix() + "/res/translate.txt", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    TTranslateTable t;
    t.Load(s.str());
    return t;
  }();
  return table;
}
std::wstring T(const wchar_t* korean, const wchar_t* lang) { return Table().Translate(korean, lang); }

std::wstring FileVersion(const std::wstring& exe, bool fourParts) {
  DWORD dummy = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &dummy));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (data.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len))
    return L"?";
  std::wstring s = std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
                   L"." + std::to_wstring(HIWORD(info->dwFileVersionLS));
  if (fourParts) s += L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
  return s;
}

constexpr const wchar_t* kModes[] = {L"전체화면 캡쳐", L"영역화면 캡쳐",    L"드래그영역 캡쳐", L"활성중인 화면 캡쳐",
                                     L"윈도우 컨트롤 캡쳐", L"웹페이지 캡쳐", L"색상 추출"};
constexpr const wchar_t* kOutputs[] = {L"PNG", L"JPG",      L"GIF",    L"BMP",    L"WebP", L"MP4(동영상)",
                                       L"TXT", L"클립보드", L"이미지창고", L"프린터", L"플러팅"};
constexpr const wchar_t* kCredit = L"ⓒ 반토루 팀";
constexpr const wchar_t* kLanguageNames[] = {L"한국어",   L"English",  L"日本語", L"русский",
                                             L"Italiano", L"Français", L"中文"};

// The menu in Korean, depth first: depth, caption ("-" a separator).
struct TMenuRow {
  int Depth;
  const wchar_t* Caption;
};
constexpr TMenuRow kMenu[] = {
    {0, L"저장폴더 열기"}, {0, L"저장폴더 설정"}, {0, L"단축키 설정"}, {0, L"언어 설정"},
    {1, L"한국어"}, {1, L"English"}, {1, L"日本語"}, {1, L"русский"}, {1, L"Italiano"}, {1, L"Français"}, {1, L"中文"},
    {0, L"파일명 설정"}, {1, L"순차적 #1"}, {1, L"순차적 #2"}, {1, L"날짜시간"},
    {0, L"녹화 설정"}, {1, L"최대 녹화시간"},
    {2, L"무제한"}, {2, L"-"}, {2, L"30분"}, {2, L"1시간"}, {2, L"2시간"}, {2, L"4시간"},
    {1, L"사운드 포함"}, {1, L"로그 기록"},
    {0, L"캡쳐소리 설정"}, {1, L"없음"}, {1, L"캡쳐 전 소리"}, {1, L"캡쳐 후 소리"},
    {0, L"마우스 커서 포함"}, {0, L"부팅시 실행"}, {0, L"-"}, {0, kCredit}, {0, L"종료하기"},
};

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

bool IsLanguageName(const std::wstring& s) {
  for (const wchar_t* n : kLanguageNames)
    if (s == n) return true;
  return false;
}

// Opens the main menu as a right click on the window's background does, and reads it.
TOpenMenu OpenMainMenu(TVantoru& v) {
  RECT w{};
  GetWindowRect(v.Window(), &w);
  PostMessageW(v.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(v.Window()), MAKELPARAM(w.left + 20, w.top + 40));
  auto menus = WaitOpenMenus(v.Window(), 1);
  EXPECT_EQ(menus.size(), 1u) << "the menu did not open";
  return menus.empty() ? TOpenMenu{} : menus.front();
}

void CloseMenus(TVantoru& v) {
  for (int i = 0; i < 5 && !OpenMenus(v.Window()).empty(); ++i) {
    KeyPress(VK_ESCAPE);
    WaitFor([&] { return OpenMenus(v.Window()).size() < 1; }, 500ms);
  }
  EXPECT_TRUE(OpenMenus(v.Window()).empty());
}

// The captions of the items that carry a check mark.
std::vector<std::wstring> Checked(const TOpenMenu& m) {
  std::vector<std::wstring> out;
  for (const auto& e : m.Items)
    if (e.Checked) out.push_back(e.Caption);
  return out;
}

POINT ClientToScreenPoint(HWND wnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(wnd, &p);
  return p;
}

// ---------------------------------------------------------------------------------------
// Layout and drawing at 96 DPI, at 144 DPI, and after a move to a 144 DPI monitor

struct TDpiCase {
  UINT StartDpi;
  UINT Dpi;  // after WM_DPICHANGED when it differs from StartDpi
};

class Layout : public TE2ETest, public ::testing::WithParamInterface<TDpiCase> {
 protected:
  TVantoru StartAtDpi() {
    auto v = TVantoru::Start();
    if (GetParam().Dpi != GetParam().StartDpi) ChangeDpi(v.Window(), GetParam().Dpi);
    return v;
  }
  int S(int n) const { return Scale(n, GetParam().Dpi); }
  void ExpectPlace(TVantoru& v, int id, int x, int y, int w, int h) {
    const RECT r = ClientRectOf(v.Control(id));
    EXPECT_EQ(r.left, S(x)) << "control " << id;
    EXPECT_EQ(r.top, S(y)) << "control " << id;
    if (w > 0) {
      EXPECT_EQ(r.right - r.left, S(w)) << "control " << id;
    }
    if (h > 0) {
      EXPECT_EQ(r.bottom - r.top, S(h)) << "control " << id;
    }
  }
};

TEST_P(Layout, LaysOutEveryComponentScaled) {
  TLogPixels screen(GetParam().StartDpi);
  auto v = StartAtDpi();
  HWND w = v.Window();
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, S(162));
  EXPECT_EQ(client.bottom, S(191));
  // A fixed single border with the close button only.
  const LONG style = GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU));
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  if (GetParam().StartDpi == GetParam().Dpi) {
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, 1);
    EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, 1);
  }

  ExpectPlace(v, ctl::LblArea, 8, 8, 0, 0);
  ExpectPlace(v, ctl::ChkArea, 9, 29, 145, 22);
  ExpectPlace(v, ctl::LblSaveTo, 8, 60, 0, 0);
  ExpectPlace(v, ctl::ChkSaveTo, 8, 81, 145, 22);
  ExpectPlace(v, ctl::BtnOpenDir, 8, 123, 145, 33);
  ExpectPlace(v, ctl::LblCopyright, 8, 168, 146, 17);
  for (int id : {ctl::ChkJPEG_qual, ctl::ChkWebp_qual, ctl::ChkOCR_lang, ctl::LstColor, ctl::Label1})
    EXPECT_FALSE(IsWindowVisible(v.Control(id))) << "control " << id;

  const TFont font = ControlFont(v.Control(ctl::ChkArea));
  EXPECT_EQ(font.Face, L"Segoe UI");
  EXPECT_EQ(font.Height, -S(12));
  EXPECT_EQ(ControlFont(v.Control(ctl::Label1)).Weight, FW_BOLD);
  const TFont mono = ControlFont(v.Control(ctl::LstColor));
  EXPECT_EQ(mono.Face, L"Courier New");
  EXPECT_EQ(mono.Height, -S(12));

  // The quality lists share the output list's row, which makes room for them.
  v.SelectInList(ctl::ChkSaveTo, 1);  // JPG
  ExpectPlace(v, ctl::ChkSaveTo, 8, 81, 82, 22);
  ExpectPlace(v, ctl::ChkJPEG_qual, 96, 81, 57, 22);
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::ChkJPEG_qual)));
  v.SelectInList(ctl::ChkSaveTo, 4);  // WebP
  ExpectPlace(v, ctl::ChkWebp_qual, 96, 81, 57, 22);
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::ChkWebp_qual)));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkJPEG_qual)));
  v.SelectInList(ctl::ChkSaveTo, 2);  // GIF
  ExpectPlace(v, ctl::ChkSaveTo, 8, 81, 145, 22);
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkWebp_qual)));

  // The colour picker's card.
  v.SelectInList(ctl::ChkArea, 6);
  ExpectPlace(v, ctl::LblColor, 31, 60, 0, 0);
  ExpectPlace(v, ctl::LstColor, 8, 81, 145, 75);
  EXPECT_TRUE(IsWindowVisible(v.Control(ctl::LstColor)));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::ChkSaveTo)));
  EXPECT_FALSE(IsWindowVisible(v.Control(ctl::BtnOpenDir)));
}

TEST_P(Layout, ColourListDrawsTheColourWithASwatch) {
  TPatternWindow swatch(1100, 600, 80, 80, 0x1E90FF);
  TLogPixels screen(GetParam().StartDpi);
  auto v = StartAtDpi();
  v.SelectInList(ctl::ChkArea, 6);
  SetCursorPos(1140, 640);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LblColor)) == L"1E90FF"; }));
  ASSERT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND list = v.Control(ctl::LstColor);

  // The first item's rectangle in the list's client area, on screen.
  auto item = [&] {
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    const POINT o = ClientToScreenPoint(list, 0, 0);
    Sleep(100);  // the repaint after the change
    return std::make_pair(r, ReadScreen(o.x + r.left, o.y + r.top, r.right - r.left, r.bottom - r.top));
  };
  auto [r, px] = item();
  ASSERT_EQ(r.bottom - r.top, S(15));
  const int left = S(2), top = S(2), right = S(15), bottom = r.bottom - r.top - S(2);
  // The swatch in the item's colour, inside a one-pixel black border.
  EXPECT_EQ(px.At((left + right) / 2, (top + bottom) / 2), 0x1E90FFu);
  EXPECT_EQ(px.At(left + 1, top + 1), 0x1E90FFu);
  EXPECT_EQ(px.At(right - 1, bottom - 1), 0x1E90FFu);
  for (auto [x, y] : {std::pair{left, top}, {right, top}, {right, bottom}, {left, bottom}, {(left + right) / 2, top},
                      {(left + right) / 2, bottom}, {left, (top + bottom) / 2}, {right, (top + bottom) / 2}})
    EXPECT_EQ(px.At(x, y), 0x000000u) << x << "," << y;
  EXPECT_EQ(px.At(left - 1, top - 1), 0xFFFFFFu);
  EXPECT_EQ(px.At(right + 1, bottom + 1), 0xFFFFFFu);
  // Black text right of the swatch on white.
  int dark = 0;
  for (int y = 0; y < px.Height; ++y)
    for (int x = S(20); x < px.Width; ++x) dark += px.At(x, y) == 0x000000u;
  EXPECT_GT(dark, 10);
  EXPECT_EQ(px.At(S(18), 1), 0xFFFFFFu);

  // Selected: white text on RGB(51, 153, 255), the swatch unchanged.
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  std::tie(r, px) = item();
  EXPECT_EQ(px.At(S(18), 1), 0x3399FFu);
  EXPECT_EQ(px.At((left + right) / 2, (top + bottom) / 2), 0x1E90FFu);
  int white = 0;
  for (int y = 0; y < px.Height; ++y)
    for (int x = S(20); x < px.Width; ++x) white += px.At(x, y) == 0xFFFFFFu;
  EXPECT_GT(white, 10);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, Layout,
                         ::testing::Values(TDpiCase{96, 96}, TDpiCase{144, 144}, TDpiCase{96, 144}),
                         [](const auto& info) {
                           return "At" + std::to_string(info.param.StartDpi) +
                                  (info.param.Dpi != info.param.StartDpi ? "MovedTo" + std::to_string(info.param.Dpi)
                                                                         : std::string());
                         });

// ---------------------------------------------------------------------------------------

class MainWindow : public TE2ETest {};

TEST_F(MainWindow, DropDownListsDrawTheirItemsInTheStateColours) {
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 2);
  HWND combo = v.Control(ctl::ChkArea);
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  HWND dropped = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    const auto lists = ProcessWindows(v.Process().Pid(), L"ComboLBox", true);
    dropped = lists.empty() ? nullptr : lists.front();
    return dropped != nullptr;
  }));
  Sleep(150);
  const int h = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  const POINT o = ClientToScreenPoint(dropped, 0, 0);
  RECT lr{};
  GetClientRect(dropped, &lr);
  const TPixels px = ReadScreen(o.x, o.y, lr.right, h * 4);
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  auto row = [&](int i, uint32_t back) {
    int fill = 0, other = 0;
    for (int y = i * h; y < (i + 1) * h; ++y)
      for (int x = 0; x < px.Width; ++x) (px.At(x, y) == back ? fill : other)++;
    return std::make_pair(fill, other);
  };
  const uint32_t highlight = GetSysColor(COLOR_HIGHLIGHT), window = GetSysColor(COLOR_WINDOW);
  auto rgb = [](COLORREF c) { return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c); };
  // Item 2 is selected: the highlight colour behind its text; the others the window colour.
  for (int i = 0; i < 4; ++i) {
    auto [fill, text] = row(i, rgb(i == 2 ? highlight : window));
    EXPECT_GT(fill, px.Width * h / 2) << "item " << i;
    EXPECT_GT(text, 10) << "item " << i << " shows no text";
  }
  // The text starts one pixel right of the item's edge: column 0 is background only.
  for (int y = 0; y < h * 4; ++y) EXPECT_EQ(px.At(0, y), rgb(y / h == 2 ? highlight : window)) << y;
}

TEST_F(MainWindow, CreditLineIsABlueLinkToTheProductPage) {
  TUrlLog urls;
  auto v = TVantoru::Start();
  HWND label = v.Control(ctl::LblCopyright);
  RECT r{};
  GetWindowRect(label, &r);
  const TPixels px = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
  // Blue text: strokes of blue, and nothing dark in every channel as black text has.
  int blue = 0, dark = 0;
  for (uint32_t c : px.Data) {
    const uint32_t red = c >> 16, green = (c >> 8) & 0xFF, b = c & 0xFF;
    blue += b >= 0xC0 && red <= 0x60 && green <= 0x60;
    dark += std::max({red, green, b}) < 0x80;
  }
  EXPECT_GT(blue, 5);
  EXPECT_EQ(dark, 0);

  const POINT c = Centre(r);
  SetCursorPos(c.x, c.y);
  EXPECT_TRUE(WaitFor([&] { return PointerShape(v.Window()) == L"hand"; }, 2s));
  RECT area{};
  GetWindowRect(v.Control(ctl::LblArea), &area);
  SetCursorPos(area.left + 5, area.top + 5);
  EXPECT_TRUE(WaitFor([&] { return PointerShape(v.Window()) == L"arrow"; }, 2s));
  MouseClick(c.x, c.y);
  EXPECT_TRUE(urls.WaitForUrl("http://product.vantoru.test/vantoru?v=" + std::string(1, '1')));
  const auto opened = urls.Urls();
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened.back(), "http://product.vantoru.test/vantoru?v=" + Narrow(FileVersion(v.Exe(), true)));
}

// Right clicks on each place of the window, as the user makes them.
TEST_F(MainWindow, RightClickOpensTheMenuOnTheBackgroundAndTheLabels) {
  auto v = TVantoru::Start();
  HWND w = v.Window();
  const std::wstring first = T(L"저장폴더 열기", L"en");
  struct {
    const char* Where;
    int X, Y;  // design pixels in the client area
    bool Menu;
  } places[] = {
      {"background", 100, 2, true},    {"LblArea", 12, 14, true},     {"LblSaveTo", 12, 66, true},
      {"card background", 150, 110, true}, {"LblCopyright", 81, 176, true}, {"ChkArea", 60, 40, false},
      {"ChkSaveTo", 60, 92, false},    {"BtnOpenDir", 80, 140, false},
  };
  for (const auto& p : places) {
    const POINT s = ClientToScreenPoint(w, p.X, p.Y);
    MouseClick(s.x, s.y, /*right=*/true);
    if (p.Menu) {
      auto menus = WaitOpenMenus(w, 1);
      ASSERT_EQ(menus.size(), 1u) << p.Where;
      EXPECT_EQ(menus[0].Items.front().Caption, first) << p.Where;
      // At the pointer.
      EXPECT_EQ(menus[0].Rect.left, s.x) << p.Where;
      EXPECT_EQ(menus[0].Rect.top, s.y) << p.Where;
      CloseMenus(v);
    } else {
      Sleep(300);
      EXPECT_TRUE(OpenMenus(w).empty()) << p.Where;
      CloseMenus(v);
      KeyPress(VK_ESCAPE);  // a list that opened on the click
    }
  }
}

TEST_F(MainWindow, ColourCardOpensTheMenuAndItsListThePickMenu) {
  TPatternWindow swatch(700, 500, 80, 80, 0x1E90FF);
  auto v = TVantoru::Start();
  HWND w = v.Window();
  v.SelectInList(ctl::ChkArea, 6);
  // ShpColor and LblColor open the main menu.
  for (auto [x, y] : {std::pair{14, 66}, {40, 66}}) {
    const POINT s = ClientToScreenPoint(w, x, y);
    MouseClick(s.x, s.y, true);
    auto menus = WaitOpenMenus(w, 1);
    ASSERT_EQ(menus.size(), 1u) << x;
    EXPECT_EQ(menus[0].Items.size(), std::size(kMenu)) << x;
    CloseMenus(v);
  }

  SetCursorPos(740, 540);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LblColor)) == L"1E90FF"; }));
  ASSERT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  swatch.SetColor(0x102030);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LblColor)) == L"102030"; }));
  ASSERT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND list = v.Control(ctl::LstColor);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);

  // The list's own menu, in the interface language (English here).
  auto pick = [&](const wchar_t* caption) {
    RECT r{};
    GetWindowRect(list, &r);
    MouseClick(r.left + 80, r.bottom - 8, true);
    auto menus = WaitOpenMenus(w, 1);
    EXPECT_EQ(menus.size(), 1u);
    if (menus.empty()) return;
    ASSERT_EQ(menus[0].Items.size(), 2u);
    EXPECT_EQ(menus[0].Items[0].Caption, L"Copy");
    EXPECT_EQ(menus[0].Items[1].Caption, L"Delete");
    const TMenuEntry* item = menus[0].Find(caption);
    ASSERT_NE(item, nullptr);
    const POINT c = Centre(item->Rect);
    MouseClick(c.x, c.y);
    WaitOpenMenus(w, 0);
    // The command runs after the menu closed; a sent message is answered once it is done.
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  };
  // Without a selection both do nothing.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  pick(L"Delete");
  pick(L"Copy");
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  // With one: copy its text, delete it.
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  pick(L"Copy");
  ASSERT_TRUE(WaitFor([] { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }, 2s));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE text = GetClipboardData(CF_UNICODETEXT);
  EXPECT_STREQ(text ? static_cast<const wchar_t*>(GlobalLock(text)) : L"", L"1E90FF");
  if (text) GlobalUnlock(text);
  CloseClipboard();
  pick(L"Delete");
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
  wchar_t left[16] = {};
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(left));
  EXPECT_STREQ(left, L"102030");
}

TEST_F(MainWindow, NotificationIconShowsTheWindowAndOpensTheMenu) {
  auto v = TVantoru::Start();
  const std::wstring hint = L"Vantoru " + FileVersion(v.Exe(), false);
  const auto hints = TrayIconHints();
  EXPECT_NE(std::find(hints.begin(), hints.end(), hint), hints.end()) << "no icon with the hint " << Narrow(hint);

  // The close button hides the window to the icon; a click on the icon shows it again.
  SendMessageW(v.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(v.Window()); }));
  const auto icons = TrayIconWindows();
  ASSERT_FALSE(icons.empty());
  RECT r{};
  GetWindowRect(icons.back(), &r);
  const POINT c = Centre(r);
  MouseClick(c.x, c.y);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(v.Window()) != FALSE; }));

  MouseClick(c.x, c.y, true);
  auto menus = WaitOpenMenus(v.Window(), 1);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].Items.size(), std::size(kMenu));
  EXPECT_EQ(menus[0].Items.back().Caption, L"Quit");
  CloseMenus(v);
}

// ---------------------------------------------------------------------------------------
// The menu

class MainMenu : public TE2ETest {};

TEST_F(MainMenu, HasEveryItemInOrderWithTheDefaultChecks) {
  SetString(kSettingsKey, L"language", L"ko");
  auto v = TVantoru::Start();
  const TOpenMenu m = OpenMainMenu(v);
  CloseMenus(v);
  ASSERT_EQ(m.Items.size(), std::size(kMenu));
  for (size_t i = 0; i < m.Items.size(); ++i) {
    const TMenuEntry& e = m.Items[i];
    const std::wstring expected = kMenu[i].Caption;
    EXPECT_EQ(e.Depth, kMenu[i].Depth) << i;
    if (expected == L"-") {
      EXPECT_TRUE(e.Separator) << i;
    } else {
      EXPECT_EQ(e.Caption, expected) << i;
      // Only these open submenus.
      const bool sub = i + 1 < std::size(kMenu) && kMenu[i + 1].Depth > kMenu[i].Depth;
      EXPECT_EQ(e.Submenu, sub) << i;
      EXPECT_EQ(e.Caption.find(L'&'), std::wstring::npos) << "accelerator in " << i;
    }
  }
  // Defaults of an empty registry, and the stored language.
  EXPECT_EQ(Checked(m), (std::vector<std::wstring>{L"한국어", L"순차적 #1", L"무제한", L"캡쳐 전 소리", L"마우스 커서 포함"}));
}

// Drives the menu with the mouse: each click writes its setting and moves its check mark.
TEST_F(MainMenu, ClicksOnTheItemsWriteTheirSettings) {
  auto v = TVantoru::Start();
  HWND w = v.Window();
  // Opens the menu with a right click and clicks through the captions, one submenu level each.
  auto click = [&](std::vector<std::wstring> path) {
    RECT r{};
    GetWindowRect(w, &r);
    MouseClick(r.left + 100, r.top + 30, true);
    for (size_t level = 0; level < path.size(); ++level) {
      auto menus = WaitOpenMenus(w, level + 1);
      ASSERT_EQ(menus.size(), level + 1) << "level " << level;
      const TMenuEntry* item = nullptr;
      for (const auto& e : menus.front().Items)
        if (e.Depth == 0 && e.Caption == path[level]) item = &e;
      ASSERT_NE(item, nullptr) << "no item " << Narrow(path[level]);
      const POINT c = Centre(item->Rect);
      MouseClick(c.x, c.y);
    }
    EXPECT_EQ(WaitOpenMenus(w, 0).size(), 0u);
  };

  // The item's command runs after the menu has closed.
  auto dword = [](const wchar_t* name, DWORD value) {
    return WaitFor([&] { return GetDword(kSettingsKey, name) == std::optional<DWORD>(value); }, 3s);
  };
  click({L"Sound setting", L"None"});
  EXPECT_TRUE(dword(L"sound", 1));
  click({L"Recording setting", L"Limit recording time", L"2 hours"});
  EXPECT_TRUE(dword(L"record_limit", 120));
  click({L"Filename setting", L"DateTime"});
  EXPECT_TRUE(dword(L"append", 2));
  click({L"Mouse cursor"});
  EXPECT_TRUE(dword(L"mouse", 0));
  click({L"Recording setting", L"Include sound"});
  EXPECT_TRUE(dword(L"audio", 1));
  click({L"Language", L"日本語"});
  EXPECT_TRUE(WaitFor([] { return GetString(kSettingsKey, L"language") == std::optional<std::wstring>(L"ja"); }, 3s));

  const TOpenMenu m = OpenMainMenu(v);
  CloseMenus(v);
  // Exactly one check per group, and the toggles as clicked.
  EXPECT_EQ(Checked(m), (std::vector<std::wstring>{L"日本語", T(L"날짜시간", L"ja"), T(L"2시간", L"ja"),
                                                   T(L"사운드 포함", L"ja"), T(L"없음", L"ja")}));
}

TEST_F(MainMenu, EachGroupKeepsOneCheckMark) {
  auto v = TVantoru::Start();
  struct {
    unsigned Id;
    const wchar_t* Group;  // the submenu's Korean caption
    const wchar_t* Item;
    const wchar_t* Setting;
    DWORD Value;
  } clicks[] = {
      {cmd::ChkSound2, L"캡쳐소리 설정", L"캡쳐 전 소리", L"sound", 2},
      {cmd::ChkSound1, L"캡쳐소리 설정", L"없음", L"sound", 1},
      {cmd::ChkSound3, L"캡쳐소리 설정", L"캡쳐 후 소리", L"sound", 3},
      {cmd::ChkAppend3, L"파일명 설정", L"순차적 #2", L"append", 3},
      {cmd::ChkAppend1, L"파일명 설정", L"순차적 #1", L"append", 1},
      {cmd::ChkRecLimit30, L"최대 녹화시간", L"30분", L"record_limit", 30},
      {cmd::ChkRecLimit240, L"최대 녹화시간", L"4시간", L"record_limit", 240},
      {cmd::ChkRecLimit60, L"최대 녹화시간", L"1시간", L"record_limit", 60},
  };
  for (const auto& c : clicks) {
    v.MenuCommand(c.Id);
    EXPECT_EQ(GetDword(kSettingsKey, c.Setting), std::optional<DWORD>(c.Value)) << c.Value;
    const TOpenMenu m = OpenMainMenu(v);
    CloseMenus(v);
    std::vector<std::wstring> checked;
    for (const auto& e : m.Children(T(c.Group, L"en")))
      if (e.Checked) checked.push_back(e.Caption);
    EXPECT_EQ(checked, std::vector<std::wstring>{T(c.Item, L"en")}) << c.Value;
  }
}

// The Run entry cannot be written or deleted while its key is a link to nowhere.
class TBrokenRunKey {
 public:
  TBrokenRunKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kRunKey);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return;
    const std::wstring target = L"\\Registry\\Nowhere\\Vantoru";
    FOk = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                         static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~TBrokenRunKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      using Fn = LONG(WINAPI*)(HANDLE);
      if (auto del = reinterpret_cast<Fn>(
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"))))
        del(key);
      RegCloseKey(key);
    }
    HKEY run = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
    if (run) RegCloseKey(run);
  }
  bool Ok() const { return FOk; }

 private:
  bool FOk = false;
};

TEST_F(MainMenu, RunOnSystemStartThatIsBlockedShowsWhyAndStaysUnchecked) {
  SetString(kSettingsKey, L"language", L"ja");
  auto v = TVantoru::Start();
  v.MenuCommand(cmd::ChkRegStart);  // on, while it can be written
  ASSERT_TRUE(GetString(kRunKey, L"Vantoru").has_value());
  TBrokenRunKey broken;
  ASSERT_TRUE(broken.Ok());
  auto off = std::async(std::launch::async, [&] { v.MenuCommand(cmd::ChkRegStart); });
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  // In the interface's language; captioned with the window's title.
  EXPECT_EQ(MessageBoxText(box), T(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.", L"ja"));
  EXPECT_EQ(WindowText(box), L"Vantoru");
  AnswerMessageBox(box);
  off.wait();
  TOpenMenu m = OpenMainMenu(v);
  CloseMenus(v);
  ASSERT_NE(m.Find(T(L"부팅시 실행", L"ja")), nullptr);
  EXPECT_FALSE(m.Find(T(L"부팅시 실행", L"ja"))->Checked);

  // Switching it on fails the same way and leaves it unchecked too.
  off = std::async(std::launch::async, [&] { v.MenuCommand(cmd::ChkRegStart); });
  box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box);
  off.wait();
  m = OpenMainMenu(v);
  CloseMenus(v);
  EXPECT_FALSE(m.Find(T(L"부팅시 실행", L"ja"))->Checked);
}

// ---------------------------------------------------------------------------------------
// The language switch

class Language : public TE2ETest {
 protected:
  // Everything the main window shows must be in `lang`.
  void ExpectWindowIn(TVantoru& v, const wchar_t* lang) {
    SCOPED_TRACE(testing::Message() << "language " << Narrow(lang));
    const std::wstring code = lang;
    EXPECT_EQ(WindowText(v.Window()), code == L"ko" ? L"반토루" : L"Vantoru");
    EXPECT_EQ(WindowText(v.Control(ctl::LblArea)), T(L"캡쳐영역", lang));
    EXPECT_EQ(WindowText(v.Control(ctl::LblSaveTo)), T(L"저장형식", lang));
    EXPECT_EQ(WindowText(v.Control(ctl::BtnOpenDir)), T(L"폴더열기", lang));
    EXPECT_EQ(WindowText(v.Control(ctl::LblCopyright)), T(kCredit, lang));
    EXPECT_EQ(WindowText(v.Control(ctl::Label1)), T(L"녹화중", lang));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(v.ListText(ctl::ChkArea, i), T(kModes[i], lang)) << i;
    for (int i = 0; i < 11; ++i) EXPECT_EQ(v.ListText(ctl::ChkSaveTo, i), T(kOutputs[i], lang)) << i;
    EXPECT_EQ(v.ListIndex(ctl::ChkArea), 3);
    EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 2);

    const TOpenMenu m = OpenMainMenu(v);
    CloseMenus(v);
    ASSERT_EQ(m.Items.size(), std::size(kMenu));
    for (size_t i = 0; i < m.Items.size(); ++i) {
      const std::wstring korean = kMenu[i].Caption;
      if (korean == L"-") continue;
      // Translated from its own design text whatever language came before, so "저장폴더
      // 열기" never turns into the button's "폴더열기".
      const std::wstring expected = IsLanguageName(korean) ? korean : T(kMenu[i].Caption, lang);
      EXPECT_EQ(m.Items[i].Caption, expected) << i;
    }
    std::vector<std::wstring> languages;
    for (const auto& e : m.Children(m.Items[3].Caption))
      if (e.Checked) languages.push_back(e.Caption);
    EXPECT_EQ(languages, std::vector<std::wstring>{kLanguageNames[LanguageIndex(lang)]});
    EXPECT_EQ(GetString(kSettingsKey, L"language"), std::optional<std::wstring>(code));
  }
  static size_t LanguageIndex(const wchar_t* lang) {
    size_t i = 0;
    while (std::wstring(kLanguages[i]) != lang) ++i;
    return i;
  }
};

TEST_F(Language, SwitchTurnsEverythingIntoEachLanguageAndBack) {
  SetString(kSettingsKey, L"language", L"ko");
  auto v = TVantoru::Start();
  v.SelectInList(ctl::ChkArea, 3);
  v.SelectInList(ctl::ChkSaveTo, 2);
  const std::wstring version = FileVersion(v.Exe(), true);
  // ko: the start's own translation; then every language in menu order and back to Korean.
  for (const wchar_t* lang : {L"en", L"ja", L"ru", L"it", L"fr", L"zh", L"ko"}) {
    v.MenuCommand(static_cast<unsigned>(cmd::ChkLangKo + LanguageIndex(lang)));
    ExpectWindowIn(v, lang);
    const auto hints = TrayIconHints();
    const std::wstring hint = T(L"반토루", lang) + L" " + version;
    EXPECT_NE(std::find(hints.begin(), hints.end(), hint), hints.end()) << "tray hint in " << Narrow(lang);
  }
}

TEST_F(Language, RestartComesUpInTheStoredLanguage) {
  SetString(kSettingsKey, L"language", L"ko");
  {
    auto v = TVantoru::Start();
    v.SelectInList(ctl::ChkArea, 3);
    v.SelectInList(ctl::ChkSaveTo, 2);
    ExpectWindowIn(v, L"ko");
    v.MenuCommand(cmd::ChkLangRu);
    ASSERT_TRUE(v.Quit());
  }
  auto again = TVantoru::Start();
  ExpectWindowIn(again, L"ru");
  const auto hints = TrayIconHints();
  // The start shows the three-part version.
  EXPECT_NE(std::find(hints.begin(), hints.end(), L"Vantoru " + FileVersion(again.Exe(), false)), hints.end());
}

}  // namespace
