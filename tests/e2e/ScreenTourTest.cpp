// Every window the program shows, as the screen shows it, in one language at a time: each
// visible control's rectangle on screen carries that control's own painting, and no text
// of another language is left. One program start per language and DPI walks the main
// window's cards and menus, the dialogs, the region frame, a floating window and its menu,
// the web page window, the update offer, the upload bar and the message boxes.
// With VANTORU_SHOTS set to a folder, it also saves a picture of each window there
// (scripts/screenshots.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>

#include "app/Ids.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "capture/FrameIds.h"
#include "capture/IExplorer.h"
#include "e2e/Captures.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/HttpServer.h"
#include "e2e/Probe.h"
#include "e2e/Screen.h"
#include "outputs/FloatingIds.h"
#include "service/Update.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

std::string Narrow(const std::wstring& s) { return WideToUtf8(s); }

// The table's rows as the program carries them: code -> text.
const std::vector<std::map<std::wstring, std::wstring>>& Rows() {
  static const auto rows = [] {
    std::ifstream f(SourceDirUnix() + "/res/translate.txt", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    std::vector<std::map<std::wstring, std::wstring>> out(1);
    for (const std::wstring& line : SplitLines(Utf8ToWide(s.str().substr(3)))) {
      const size_t eq = line.find(L'=');
      if (eq == std::wstring::npos) {
        if (!out.back().empty()) out.emplace_back();
        continue;
      }
      out.back()[line.substr(0, eq)] = ReplaceAll(line.substr(eq + 1), L"\\n", L"\r");
    }
    if (out.back().empty()) out.pop_back();
    return out;
  }();
  return rows;
}

bool HasHangul(const std::wstring& s) {
  return std::any_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
}

// No line of `texts` belongs to another language: no Korean outside Korean, and no English
// text of a row outside English where that row says it otherwise.
void ExpectLanguage(const std::vector<std::wstring>& texts, const std::wstring& lang, const std::string& where) {
  for (const std::wstring& text : texts) {
    for (std::wstring line : SplitLines(text)) {
      if (line.empty() || line == L"한국어") continue;  // the language menu names Korean in Korean
      if (lang != L"ko") EXPECT_FALSE(HasHangul(line)) << where << ": Korean text in " << Narrow(lang) << ": " << Narrow(line);
      if (lang == L"en") continue;
      for (const auto& row : Rows()) {
        auto en = row.find(L"en"), own = row.find(lang);
        if (en != row.end() && own != row.end() && en->second == line && own->second != line)
          ADD_FAILURE() << where << ": English text in " << Narrow(lang) << ": " << Narrow(line);
      }
    }
  }
}

std::vector<HWND> Descendants(HWND wnd) {
  std::vector<HWND> out;
  EnumChildWindows(
      wnd,
      [](HWND c, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(c);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

std::wstring ComboItem(HWND combo, int i) {
  wchar_t buf[256] = {};
  if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= 255) return L"";
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
  return buf;
}

// The texts a window shows: its title when it has a title bar, its controls' captions and
// the items of its drop-down lists (edit fields and plain lists hold the user's data).
std::vector<std::wstring> WindowTexts(HWND wnd) {
  std::vector<std::wstring> out;
  if ((GetWindowLongW(wnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) out.push_back(WindowText(wnd));
  for (HWND c : Descendants(wnd)) {
    const std::wstring cls = ClassName(c);
    if (!lstrcmpiW(cls.c_str(), L"COMBOBOX")) {
      const int n = static_cast<int>(SendMessageW(c, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < n; ++i) out.push_back(ComboItem(c, i));
    } else if (!lstrcmpiW(cls.c_str(), L"BUTTON") && ClassName(wnd) == L"#32770") {
      continue;  // a message box's buttons are the system's, in the system's language
    } else if (lstrcmpiW(cls.c_str(), L"EDIT") && lstrcmpiW(cls.c_str(), L"LISTBOX")) {
      out.push_back(WindowText(c));
    }
  }
  return out;
}

std::vector<std::wstring> MenuTexts(const std::vector<TOpenMenu>& menus) {
  std::vector<std::wstring> out;
  for (const auto& m : menus)
    for (const auto& e : m.Items)
      if (!e.Separator) out.push_back(e.Caption);
  return out;
}

// What is wrong with how a screen rectangle shows a control: one flat colour, or no ink
// where it has text. Empty when it is painted.
std::string PaintFault(const RECT& r, bool hasText) {
  const TPixels px = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (px.Data.empty()) return "nothing on screen";
  std::map<uint32_t, int> counts;
  for (uint32_t c : px.Data) ++counts[c];
  const uint32_t back =
      std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  if (counts.size() < 2) return "one colour";
  int ink = 0;
  for (uint32_t c : px.Data) ink += ColorDistance(c, back) > 40;
  if (hasText && ink < 8) return "no text on screen (" + std::to_string(ink) + " ink pixels)";
  if (ink == 0) return "nothing but faint shades";
  return "";
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{};
  IntersectRect(&r, &a, &b);
  return r;
}

// Every visible control of `wnd` that shows on screen, and what is wrong with its painting.
// `skip`: a control whose inside is not the program's own drawing (an empty web page).
std::vector<std::string> Unpainted(HWND wnd, HWND skip = nullptr) {
  std::vector<std::string> faults;
  RECT client{};
  GetClientRect(wnd, &client);
  MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  for (HWND c : Descendants(wnd)) {
    if (!IsWindowVisible(c) || (skip && (c == skip || IsChild(skip, c)))) continue;
    RECT r{};
    GetWindowRect(c, &r);
    r = Intersect(Intersect(r, client), screen);
    if (r.right - r.left <= 2 || r.bottom - r.top <= 2) continue;  // a line, or off the screen
    const std::wstring cls = ClassName(c);
    bool hasText = !WindowText(c).empty();
    if (!lstrcmpiW(cls.c_str(), L"COMBOBOX")) {
      const int sel = static_cast<int>(SendMessageW(c, CB_GETCURSEL, 0, 0));
      hasText = sel >= 0 && !ComboItem(c, sel).empty();
    }
    const std::string fault = PaintFault(r, hasText);
    if (!fault.empty())
      faults.push_back(Narrow(cls) + " " + std::to_string(GetDlgCtrlID(c)) + " \"" + Narrow(WindowText(c)) + "\": " + fault);
  }
  return faults;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += "\n  " + x;
  return s;
}

class ScreenTour : public TE2ETest, public ::testing::WithParamInterface<std::pair<const wchar_t*, DWORD>> {
 protected:
  std::wstring Lang() const { return GetParam().first; }
  DWORD Dpi() const { return GetParam().second; }
  std::string Where(const char* what) const {
    return std::string(what) + " (" + Narrow(Lang()) + ", " + std::to_string(Dpi()) + " DPI)";
  }

  // A window fully painted (given a moment to paint), in the language; and its picture.
  void ExpectWindow(HWND wnd, const char* name, HWND skip = nullptr) {
    ASSERT_NE(wnd, nullptr) << Where(name) << " did not show";
    std::vector<std::string> faults;
    WaitFor([&] { return (faults = Unpainted(wnd, skip)).empty(); }, 3s);
    EXPECT_TRUE(faults.empty()) << Where(name) << " shows controls unpainted:" << Join(faults);
    ExpectLanguage(WindowTexts(wnd), Lang(), Where(name));
    RECT r{};
    GetWindowRect(wnd, &r);
    Shot(r, name);
  }

  // The open menus of the program, painted and in the language.
  void ExpectMenus(TVantoru& v, size_t count, const char* name) {
    const auto menus = WaitOpenMenus(v.Window(), count);
    ASSERT_EQ(menus.size(), count) << Where(name) << " did not open";
    ExpectLanguage(MenuTexts(menus), Lang(), Where(name));
    RECT all{};
    for (HWND m : ProcessWindows(v.Process().Pid(), L"#32768", true)) {
      RECT r{};
      GetWindowRect(m, &r);
      std::string fault;
      WaitFor([&] { return (fault = PaintFault(r, true)).empty(); }, 2s);
      EXPECT_EQ(fault, "") << Where(name);
      UnionRect(&all, &all, &r);
    }
    Shot(all, name);
    for (int i = 0; i < 5 && !OpenMenus(v.Window()).empty(); ++i) {
      KeyPress(VK_ESCAPE);
      WaitFor([&] { return OpenMenus(v.Window()).empty(); }, 500ms);
    }
  }

  // A message box of the program: painted, in the language; answered with `answer`.
  void ExpectMessageBox(TVantoru& v, const char* name, int answer = IDOK) {
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr) << Where(name) << " did not show";
    ExpectWindow(box, name);
    AnswerMessageBox(box, answer);
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 3s);
  }

  // A 24-bit BMP of a screen rectangle in VANTORU_SHOTS: NAME-LANG-DPI.bmp.
  void Shot(const RECT& r, const char* name) const {
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VANTORU_SHOTS", dir, MAX_PATH)) return;
    const TPixels px = ReadScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (px.Data.empty()) return;
    const std::wstring path = std::wstring(dir) + L"\\" + Utf8ToWide(name) + L"-" + Lang() + L"-" +
                              std::to_wstring(Dpi()) + L".bmp";
    const int stride = (px.Width * 3 + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * px.Height);
    for (int y = 0; y < px.Height; ++y)
      for (int x = 0; x < px.Width; ++x) {
        const uint32_t c = px.At(x, px.Height - 1 - y);
        uint8_t* p = &bits[static_cast<size_t>(y) * stride + x * 3];
        p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF;
      }
    BITMAPINFOHEADER bi{sizeof(bi), px.Width, px.Height, 1, 24, BI_RGB, static_cast<DWORD>(bits.size())};
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(fh) + sizeof(bi) + bits.size()), 0, 0,
                        sizeof(fh) + sizeof(bi)};
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
      fwrite(&fh, sizeof(fh), 1, f);
      fwrite(&bi, sizeof(bi), 1, f);
      fwrite(bits.data(), bits.size(), 1, f);
      fclose(f);
    }
  }
};

TEST_P(ScreenTour, EveryWindowPaintsEachControlInOneLanguage) {
  TLogPixels dpi(Dpi());
  SetString(kSettingsKey, L"language", Lang());
  SetDword(kSettingsKey, L"saveto", 1);  // JPG: the quality list shows beside the output list
  // The start-up call offers an update with a note.
  THttpServer service;
  service.SetReply(200, R"({"update":"https:\/\/dl.vantoru.test\/setup.exe","info":{"style":"note",)"
                        R"("text":"Notes","url":"http:\/\/notes.vantoru.test\/","flag":""}})");
  const std::wstring folder = ProgramFolder();
  ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-standin.exe").c_str(), (folder + L"ffmpeg.exe").c_str(), FALSE));
  auto v = TVantoru::Start(L"", folder, {L"VANTORU_SERVICE_URL=http://127.0.0.1:" + std::to_wstring(service.Port())});

  HWND update = WaitProcessWindow(v.Process().Pid(), L"TMessageForm");
  ExpectWindow(update, "update");
  PostMessageW(update, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(update, IDNO)));
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(update); }));

  // Card 0, and the main menu.
  SetForegroundWindow(v.Window());
  ExpectWindow(v.Window(), "main");
  PostMessageW(v.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(v.Window()), MAKELPARAM(20, 20));
  ExpectMenus(v, 1, "main-menu");

  // Text output without a recognition engine says so.
  auto pick = std::async(std::launch::async, [&] { v.SelectInList(ctl::ChkSaveTo, 6); });
  ExpectMessageBox(v, "message-ocr");
  pick.wait();

  // The hotkey dialog.
  PostMessageW(v.Window(), WM_COMMAND, cmd::N1, 0);
  HWND hotkey = WaitProcessWindow(v.Process().Pid(), L"TFrmHotKey");
  ExpectWindow(hotkey, "hotkey");
  PostMessageW(hotkey, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(hotkey); }));

  // The region frame, its menu and the size dialog; then a floating picture and its menu.
  v.SelectInList(ctl::ChkSaveTo, 10);
  v.SelectInList(ctl::ChkArea, 1);
  HWND frame = WaitProcessWindow(v.Process().Pid(), L"TFrmArea");
  ExpectWindow(frame, "region");
  HWND head = GetDlgItem(frame, areactl::PnlHead);
  RECT hr{};
  GetWindowRect(head, &hr);
  PostMessageW(head, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(head), MAKELPARAM(hr.left + 10, hr.top + 10));
  ExpectMenus(v, 1, "region-menu");
  PostMessageW(frame, WM_COMMAND, areacmd::PopConfig, 0);
  HWND size = WaitProcessWindow(v.Process().Pid(), L"TFrmSize");
  ExpectWindow(size, "size");
  PostMessageW(size, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(size); }));
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND floating = WaitProcessWindow(v.Process().Pid(), L"TFrmFloating");
  ASSERT_NE(floating, nullptr);
  RECT fr{};
  GetWindowRect(floating, &fr);
  PostMessageW(floating, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(floating), MAKELPARAM(fr.left + 10, fr.top + 10));
  ExpectMenus(v, 1, "floating-menu");
  PostMessageW(floating, WM_COMMAND, cmd::BtnDeleteAll, 0);
  ASSERT_TRUE(WaitFor([&] { return ProcessWindows(v.Process().Pid(), L"TFrmFloating", true).empty(); }));

  // The web page window; a floating picture of a web page is refused with a message.
  v.SelectInList(ctl::ChkArea, 5);
  HWND web = WaitProcessWindow(v.Process().Pid(), L"TFrmIExplorer");
  ExpectWindow(web, "web", web ? GetDlgItem(web, iectl::WB) : nullptr);
  auto refused = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  ExpectMessageBox(v, "message-unsupported");
  refused.wait();

  // Card 1 with a colour taken, and the colour list's menu.
  v.SelectInList(ctl::ChkArea, 6);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  SetForegroundWindow(v.Window());
  ExpectWindow(v.Window(), "main-color");
  HWND colors = v.Control(ctl::LstColor);
  RECT lr{};
  GetWindowRect(colors, &lr);
  PostMessageW(v.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(colors), MAKELPARAM(lr.left + 10, lr.top + 5));
  ExpectMenus(v, 1, "color-menu");

  // An upload that fails: its bar and its message.
  v.SelectInList(ctl::ChkArea, 0);
  v.SelectInList(ctl::ChkSaveTo, 8);
  auto upload = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  HWND box = WaitMessageBox(v.Process().Pid());
  HWND bar = WaitProcessWindow(v.Process().Pid(), L"TProgressForm");
  ASSERT_NE(bar, nullptr);
  RECT br{};
  GetWindowRect(bar, &br);
  EXPECT_EQ(PaintFault(br, true), "") << Where("upload bar");
  Shot(br, "upload");
  ASSERT_NE(box, nullptr);
  ExpectMessageBox(v, "message-upload");
  upload.wait();

  // Card 2 while recording; quitting then is refused with a message.
  v.SelectInList(ctl::ChkSaveTo, 5);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(v.Control(ctl::Label1)); }));
  // Running: the encoder reports progress (a stop before it runs is not a stop).
  EXPECT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LvlRecTime)) != L"00:00:00.00"; }, 10s));
  SetForegroundWindow(v.Window());
  ExpectWindow(v.Window(), "main-record");
  PostMessageW(v.Window(), WM_USER, 2, 0);
  ExpectMessageBox(v, "message-recording");
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(v.Control(ctl::Label1)); }, 10s));

  // The question before quitting.
  PostMessageW(v.Window(), WM_COMMAND, cmd::N10, 0);
  ExpectMessageBox(v, "message-quit", IDNO);
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenTour,
                         ::testing::Values(std::make_pair(L"ko", 96u), std::make_pair(L"en", 96u),
                                           std::make_pair(L"ja", 96u), std::make_pair(L"ru", 96u),
                                           std::make_pair(L"it", 96u), std::make_pair(L"fr", 96u),
                                           std::make_pair(L"zh", 96u), std::make_pair(L"ko", 144u),
                                           std::make_pair(L"en", 144u)),
                         [](const auto& info) {
                           return Narrow(info.param.first) + std::to_string(info.param.second);
                         });

}  // namespace

namespace {

RECT BoundsOf(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

std::string Text(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

class DpiChange : public TE2ETest {};

// A move to a monitor of 144 DPI (WM_DPICHANGED with the system's suggested rectangle): the
// windows whose size is what they show keep their pixels, the designed ones grow.
TEST_F(DpiChange, WindowsSizedByWhatTheyShowKeepTheirBoundsAndDesignedOnesScale) {
  SetString(kSettingsKey, L"language", L"en");
  SetDword(kSettingsKey, L"mouse", 0);  // the picture is the pattern alone
  const std::wstring folder = ProgramFolder();
  ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-standin.exe").c_str(), (folder + L"ffmpeg.exe").c_str(), FALSE));
  auto v = TVantoru::Start(L"", folder);

  // The hotkey dialog scales with its design.
  PostMessageW(v.Window(), WM_COMMAND, cmd::N1, 0);
  HWND hotkey = WaitProcessWindow(v.Process().Pid(), L"TFrmHotKey");
  ASSERT_NE(hotkey, nullptr);
  const RECT dialogBefore = BoundsOf(hotkey);
  ChangeDpi(hotkey, 144);
  const RECT dialogAfter = BoundsOf(hotkey);
  EXPECT_GT((dialogAfter.right - dialogAfter.left) * 10, (dialogBefore.right - dialogBefore.left) * 14);
  PostMessageW(hotkey, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(hotkey); }));

  // A floating picture keeps its rectangle and shows its picture 1:1 as before.
  v.SelectInList(ctl::ChkSaveTo, 10);
  v.SelectInList(ctl::ChkArea, 1);
  TPatternWindow pattern(300, 150, 700, 550);  // under the whole hole of the centred frame
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND floating = WaitProcessWindow(v.Process().Pid(), L"TFrmFloating");
  ASSERT_NE(floating, nullptr);
  const RECT fr = BoundsOf(floating);
  TPixels before;
  ASSERT_TRUE(WaitFor([&] {
    before = ReadScreen(fr.left, fr.top, fr.right - fr.left, fr.bottom - fr.top);
    return pattern.Mismatches(before, fr.left, fr.top) == 0;
  }, 3s)) << "the floating picture is not the pattern at " << Text(fr) << ": "
          << pattern.Mismatches(before, fr.left, fr.top) << " pixels differ";
  ChangeDpi(floating, 144);
  const RECT fa = BoundsOf(floating);
  EXPECT_TRUE(EqualRect(&fr, &fa)) << Text(fr) << " became " << Text(fa);
  Sleep(200);
  const TPixels after = ReadScreen(fr.left, fr.top, fr.right - fr.left, fr.bottom - fr.top);
  EXPECT_EQ(pattern.Mismatches(after, fr.left, fr.top), 0);
  PostMessageW(floating, WM_COMMAND, cmd::BtnDeleteAll, 0);
  ASSERT_TRUE(WaitFor([&] { return ProcessWindows(v.Process().Pid(), L"TFrmFloating", true).empty(); }));

  // The recorder's mirror keeps the region's size.
  v.SelectInList(ctl::ChkSaveTo, 5);
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  HWND mirror = WaitProcessWindow(v.Process().Pid(), L"TVirtualScreen");
  ASSERT_NE(mirror, nullptr);
  const RECT mr = BoundsOf(mirror);
  ChangeDpi(mirror, 144);
  const RECT ma = BoundsOf(mirror);
  EXPECT_TRUE(EqualRect(&mr, &ma)) << Text(mr) << " became " << Text(ma);
  EXPECT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LvlRecTime)) != L"00:00:00.00"; }, 10s));
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(v.Control(ctl::Label1)); }, 10s));

  // The picker's outline stays around its target.
  v.SelectInList(ctl::ChkSaveTo, 0);
  v.SelectInList(ctl::ChkArea, 4);
  HWND line = WaitProcessWindow(v.Process().Pid(), L"TFrmLine");
  ASSERT_NE(line, nullptr);
  const RECT lr = BoundsOf(line);
  ChangeDpi(line, 144);
  const RECT la = BoundsOf(line);
  EXPECT_TRUE(EqualRect(&lr, &la)) << Text(lr) << " became " << Text(la);

  // The drag overlay keeps covering the whole virtual screen.
  v.SelectInList(ctl::ChkArea, 2);
  auto drag = v.SendCommandAsync(L"{\"command\":\"capture\"}");
  HWND overlay = WaitProcessWindow(v.Process().Pid(), L"TFrmDrag");
  ASSERT_NE(overlay, nullptr);
  const RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                    GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                    GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  ChangeDpi(overlay, 144);
  const RECT oa = BoundsOf(overlay);
  EXPECT_TRUE(EqualRect(&screen, &oa)) << Text(oa);
  SetForegroundWindow(overlay);
  KeyPress(VK_ESCAPE);
  EXPECT_EQ(drag.get(), 1);
}

}  // namespace
