// Region mode: the frame's hole is the capture, pixel for pixel; the hole lets clicks
// through; keys, the ring and the size dialog move and resize the frame, which keeps its
// place across starts.
#include <gtest/gtest.h>

#include <atomic>

#include "app/Ids.h"
#include "capture/FrameIds.h"
#include "e2e/Captures.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr int kHead = 25;  // the header at 96 dots per inch
constexpr int kRing = 6;

HWND WaitFrame(TVantoru& v) {
  HWND frame = nullptr;
  WaitFor([&] {
    auto w = ProcessWindows(v.Process().Pid(), L"TFrmArea", true);
    frame = w.empty() ? nullptr : w.front();
    return frame != nullptr;
  });
  return frame;
}

RECT WindowRectOf(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

// The hole, as the frame's shape defines it: the window inset by the ring and the header.
RECT HoleOf(HWND frame, int head = kHead) {
  const RECT r = WindowRectOf(frame);
  return RECT{r.left + kRing, r.top + head + kRing, r.right - kRing, r.bottom - kRing};
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::optional<DWORD> Setting(const wchar_t* name) { return GetDword(kSettingsKey, name); }

// Pixels of `picture` that differ from what the pattern shows at the hole's place.
int Mismatches(const TPixels& picture, const TPatternWindow& pattern, const RECT& hole) {
  return pattern.Mismatches(picture, hole.left, hole.top);
}

class RegionFrame : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"area", 1);
    SetDword(kSettingsKey, L"saveto", 7);  // clipboard
    SetDword(kSettingsKey, L"mouse", 0);   // no pointer drawn into the picture
  }
  void StorePlace(int left, int top, int width, int height) {
    SetDword(kSettingsKey, L"left", static_cast<DWORD>(left));
    SetDword(kSettingsKey, L"top", static_cast<DWORD>(top));
    SetDword(kSettingsKey, L"width", static_cast<DWORD>(width));
    SetDword(kSettingsKey, L"height", static_cast<DWORD>(height));
  }
  // The main window goes to the notification area, as a user would have it, so only the
  // test's pattern lies under the hole.
  static void HideMainWindow(TVantoru& v, const TPatternWindow& pattern, HWND frame, int head = kHead) {
    SendMessageW(v.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitFor([&] { return !IsWindowVisible(v.Window()); }, 3s);
    // The pattern repaints what the window uncovered a little later.
    const RECT hole = HoleOf(frame, head);
    WaitFor([&] { return Mismatches(ReadScreen(hole.left, hole.top, Width(hole), Height(hole)), pattern, hole) == 0; }, 5s);
  }
  TPixels CaptureToClipboard(TVantoru& v) {
    EmptyTheClipboard();
    EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
    return ClipboardPicture();
  }
};

TEST_F(RegionFrame, TheCaptureIsExactlyThePixelsUnderTheHoleAlsoWhenHidden) {
  TPatternWindow pattern(300, 150, 700, 560);
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  HideMainWindow(v, pattern, frame);
  // First start: a 480 x 360 hole, the window centred on the primary screen.
  const RECT w = WindowRectOf(frame);
  EXPECT_EQ(w.left, (GetSystemMetrics(SM_CXSCREEN) - 480) / 2);
  EXPECT_EQ(w.top, (GetSystemMetrics(SM_CYSCREEN) - 360) / 2);
  const RECT hole = HoleOf(frame);
  EXPECT_EQ(Width(hole), 480);
  EXPECT_EQ(Height(hole), 360);
  EXPECT_EQ(WindowText(GetDlgItem(frame, areactl::LblSize)), L"480x360");

  const TPixels shown = CaptureToClipboard(v);
  ASSERT_EQ(shown.Width, 480);
  ASSERT_EQ(shown.Height, 360);
  EXPECT_EQ(Mismatches(shown, pattern, hole), 0);

  // "Hide": region mode stays, and the capture still takes the hidden frame's hole.
  SendMessageW(frame, WM_COMMAND, areacmd::PopClose, 0);
  EXPECT_FALSE(IsWindowVisible(frame));
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 1);
  const TPixels hidden = CaptureToClipboard(v);
  ASSERT_EQ(hidden.Width, 480);
  ASSERT_EQ(hidden.Height, 360);
  EXPECT_EQ(Mismatches(hidden, pattern, hole), 0);

  // Choosing region mode again shows the frame where it was.
  v.SelectInList(ctl::ChkArea, 1);
  EXPECT_TRUE(IsWindowVisible(frame));
  EXPECT_EQ(HoleOf(frame).left, hole.left);
}

std::atomic<int> gClicks{0};
WNDPROC gPatternProc = nullptr;
LRESULT CALLBACK CountClicks(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;  // stays below the frame
  if (msg == WM_LBUTTONDOWN) ++gClicks;
  return CallWindowProcW(gPatternProc, w, msg, wp, lp);
}

TEST_F(RegionFrame, ClicksInTheHoleReachTheWindowBelowAndTheRingTakesItsOwn) {
  TPatternWindow below(300, 150, 700, 560);
  gClicks = 0;
  gPatternProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(below.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountClicks)));
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  HideMainWindow(v, below, frame);
  const RECT hole = HoleOf(frame);
  const POINT centre{(hole.left + hole.right) / 2, (hole.top + hole.bottom) / 2};
  EXPECT_EQ(WindowFromPoint(centre), below.Handle());
  ClickAt(centre.x, centre.y);
  EXPECT_TRUE(WaitFor([] { return gClicks == 1; }, 3s));
  // Just inside the hole's corners, too.
  ClickAt(hole.left, hole.top);
  ClickAt(hole.right - 1, hole.bottom - 1);
  EXPECT_TRUE(WaitFor([] { return gClicks == 3; }, 3s));

  // The ring itself is the frame's.
  const POINT ring{centre.x, hole.bottom + 2};
  EXPECT_EQ(WindowFromPoint(ring), frame);
  EXPECT_EQ(WindowFromPoint(POINT{hole.left - 1, centre.y}), frame);
  ClickAt(ring.x, ring.y);
  Sleep(200);
  EXPECT_EQ(gClicks, 3);
  SetWindowLongPtrW(below.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gPatternProc));
}

TEST_F(RegionFrame, KeysMoveAndResizeAndThePlaceSurvivesARestart) {
  StorePlace(200, 150, 400, 300);
  RECT expected{};
  {
    auto v = TVantoru::Start();
    HWND frame = WaitFrame(v);
    ASSERT_NE(frame, nullptr);
    expected = WindowRectOf(frame);
    ASSERT_EQ(expected.left, 200);
    ASSERT_EQ(Width(HoleOf(frame)), 400);
    SetForegroundWindow(frame);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == frame; }, 3s));
    const struct {
      std::initializer_list<WORD> Keys;
      int DX, DY, DW, DH;
    } steps[] = {
        {{VK_RIGHT}, 1, 0, 0, 0},
        {{VK_DOWN}, 0, 1, 0, 0},
        {{VK_LEFT}, -1, 0, 0, 0},
        {{VK_UP}, 0, -1, 0, 0},
        {{VK_RIGHT}, 1, 0, 0, 0},
        {{VK_SHIFT, VK_RIGHT}, 0, 0, 1, 0},
        {{VK_CONTROL, VK_SHIFT, VK_RIGHT}, 0, 0, 1, 0},
        {{VK_CONTROL, VK_RIGHT}, 0, 0, 10, 0},
        {{VK_SHIFT, VK_LEFT}, 0, 0, -1, 0},
        {{VK_SHIFT, VK_DOWN}, 0, 0, 0, 1},
        {{VK_SHIFT, VK_UP}, 0, 0, 0, -1},
        {{VK_CONTROL, VK_DOWN}, 0, 0, 0, 10},
        {{VK_CONTROL, VK_LEFT}, 0, 0, -10, 0},
        {{VK_CONTROL, VK_UP}, 0, 0, 0, -10},
        {{VK_CONTROL, VK_DOWN}, 0, 0, 0, 10},
        {{VK_MENU, VK_F4}, 0, 0, 0, 0},  // swallowed: the frame stays
    };
    int n = 0;
    for (const auto& s : steps) {
      expected.left += s.DX;
      expected.right += s.DX + s.DW;
      expected.top += s.DY;
      expected.bottom += s.DY + s.DH;
      PressKeys(s.Keys);
      EXPECT_TRUE(WaitFor([&] {
        const RECT now = WindowRectOf(frame);
        return EqualRect(&expected, &now) != 0;
      }, 3s)) << "step " << n;
      ++n;
    }
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_TRUE(v.Process().Running());
    const RECT hole = HoleOf(frame);
    EXPECT_EQ(WindowText(GetDlgItem(frame, areactl::LblSize)),
              std::to_wstring(Width(hole)) + L"x" + std::to_wstring(Height(hole)));
    EXPECT_EQ(Setting(L"left"), std::optional<DWORD>(expected.left));
    EXPECT_EQ(Setting(L"top"), std::optional<DWORD>(expected.top));
    EXPECT_EQ(Setting(L"width"), std::optional<DWORD>(Width(hole)));
    EXPECT_EQ(Setting(L"height"), std::optional<DWORD>(Height(hole)));
    EXPECT_TRUE(v.Quit());
  }
  auto again = TVantoru::Start();
  HWND frame = WaitFrame(again);
  ASSERT_NE(frame, nullptr);
  const RECT now = WindowRectOf(frame);
  EXPECT_TRUE(EqualRect(&now, &expected)) << now.left << "," << now.top << " " << Width(now) << "x" << Height(now);
}

TEST_F(RegionFrame, AStoredPlaceTouchingTheDesktopEdgeIsReplacedByTheDefault) {
  const int right = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int bottom = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const struct {
    int Left, Top, Width, Height;
    bool Accepted;
  } cases[] = {
      {left, 100, 300, 200, false},
      {100, top, 300, 200, false},
      {right - 300, 100, 300, 200, false},
      {100, bottom - 200, 300, 200, false},
      {left + 1, top + 1, 300, 200, true},
      {right - 301, bottom - 201, 300, 200, true},
  };
  const int defLeft = (GetSystemMetrics(SM_CXSCREEN) - 480) / 2, defTop = (GetSystemMetrics(SM_CYSCREEN) - 360) / 2;
  for (const auto& c : cases) {
    StorePlace(c.Left, c.Top, c.Width, c.Height);
    auto v = TVantoru::Start();
    HWND frame = WaitFrame(v);
    ASSERT_NE(frame, nullptr);
    const RECT w = WindowRectOf(frame), hole = HoleOf(frame);
    const int el = c.Accepted ? c.Left : defLeft, et = c.Accepted ? c.Top : defTop;
    const int ew = c.Accepted ? c.Width : 480, eh = c.Accepted ? c.Height : 360;
    EXPECT_EQ(w.left, el) << c.Left << "," << c.Top;
    EXPECT_EQ(w.top, et) << c.Left << "," << c.Top;
    EXPECT_EQ(Width(hole), ew) << c.Left << "," << c.Top;
    EXPECT_EQ(Height(hole), eh) << c.Left << "," << c.Top;
    // What was replaced is written back.
    EXPECT_EQ(Setting(L"left"), std::optional<DWORD>(el));
    EXPECT_EQ(Setting(L"top"), std::optional<DWORD>(et));
    EXPECT_EQ(Setting(L"width"), std::optional<DWORD>(ew));
    EXPECT_EQ(Setting(L"height"), std::optional<DWORD>(eh));
    EXPECT_TRUE(v.Quit());
  }
}

TEST_F(RegionFrame, ANarrowFrameHidesHeaderPartsAndTheRingStopsAtTwoByTwo) {
  StorePlace(100, 100, 60, 60);
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  // A 72-pixel window: the label shows the size fields' smallest value.
  EXPECT_EQ(WindowText(GetDlgItem(frame, areactl::LblSize)), L"64x64");
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(frame, areactl::LblSize)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, areactl::LvlRecTime)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, areactl::BtnClose)));

  // Grow it by the keyboard past the thresholds: 60 + 5 x 10 = 110 (window 122).
  SetForegroundWindow(frame);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == frame; }, 3s));
  for (int i = 0; i < 5; ++i) PressKeys({VK_CONTROL, VK_RIGHT});
  ASSERT_TRUE(WaitFor([&] { return Width(WindowRectOf(frame)) == 122; }, 3s));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(frame, areactl::BtnClose)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, areactl::LvlRecTime)));
  EXPECT_EQ(WindowText(GetDlgItem(frame, areactl::LblSize)), L"110x64");

  // Dragging the bottom-right corner far up and left stops at a 2 x 2 hole.
  const RECT w = WindowRectOf(frame);
  DragMouse(w.right - 2, w.bottom - 2, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return Width(HoleOf(frame)) == 2 && Height(HoleOf(frame)) == 2; }, 3s))
      << Width(WindowRectOf(frame)) << "x" << Height(WindowRectOf(frame));
  EXPECT_EQ(WindowRectOf(frame).left, w.left);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, areactl::LblSize)));
  EXPECT_TRUE(WaitFor([] { return Setting(L"width") == std::optional<DWORD>(2); }, 3s));
  EXPECT_EQ(Setting(L"height"), std::optional<DWORD>(2));
  // The keyboard cannot go below it either.
  SetForegroundWindow(frame);
  PressKeys({VK_SHIFT, VK_LEFT});
  PressKeys({VK_CONTROL, VK_UP});
  Sleep(200);
  EXPECT_EQ(Width(HoleOf(frame)), 2);
  EXPECT_EQ(Height(HoleOf(frame)), 2);
  // A capture of the smallest hole is 2 x 2 as well.
  EmptyTheClipboard();
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  const TPixels p = ClipboardPicture();
  EXPECT_EQ(p.Width, 2);
  EXPECT_EQ(p.Height, 2);
}

TEST_F(RegionFrame, DraggingTheHeaderMovesTheFrameAndIsKept) {
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  const RECT before = WindowRectOf(frame);
  RECT label{};
  GetWindowRect(GetDlgItem(frame, areactl::LvlRecTime), &label);
  DragMouse(label.left + 20, label.top + 5, label.left + 20 - 150, label.top + 5 + 70);
  RECT moved{};
  ASSERT_TRUE(WaitFor([&] {
    moved = WindowRectOf(frame);
    return moved.left == before.left - 150 && moved.top == before.top + 70;
  }, 3s)) << moved.left << "," << moved.top;
  EXPECT_EQ(Width(moved), Width(before));
  EXPECT_TRUE(WaitFor([&] { return Setting(L"left") == std::optional<DWORD>(moved.left); }, 3s));
  EXPECT_EQ(Setting(L"top"), std::optional<DWORD>(moved.top));
}

TEST_F(RegionFrame, TheCloseButtonSwitchesToFullScreen) {
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  HWND close = GetDlgItem(frame, areactl::BtnClose);
  ASSERT_TRUE(IsWindowVisible(close));
  const RECT r = WindowRectOf(close);
  EXPECT_EQ(Width(r), 16);
  ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(frame); }, 3s));
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 0);
  EXPECT_EQ(Setting(L"area"), std::optional<DWORD>(0));
  // The place was kept on the way out.
  EXPECT_EQ(Setting(L"left"), std::optional<DWORD>(WindowRectOf(frame).left));
}

TEST_F(RegionFrame, SizeDialogAppliesExactAndCustomSizesThatSurviveARestart) {
  {
    auto v = TVantoru::Start();
    HWND frame = WaitFrame(v);
    ASSERT_NE(frame, nullptr);
    SendMessageW(frame, WM_COMMAND, areacmd::PopConfig, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      auto w = ProcessWindows(v.Process().Pid(), L"TFrmSize", true);
      dialog = w.empty() ? nullptr : w.front();
      return dialog != nullptr;
    }, 3s));
    EXPECT_EQ(WindowText(dialog), L"Size setting");
    // The current size and the stored customs are in the fields.
    auto field = [&](int id, int group) { return GetDlgItem(dialog, sizectl::Of(id, group)); };
    EXPECT_EQ(WindowText(field(sizectl::EditWidth, 0)), L"480");
    EXPECT_EQ(WindowText(field(sizectl::EditHeight, 0)), L"360");
    EXPECT_EQ(WindowText(field(sizectl::EditWidth, 2)), L"640");
    EXPECT_EQ(WindowText(field(sizectl::EditHeight, 3)), L"480");
    auto apply = [&](int group) {
      HWND b = field(sizectl::BtnApply, group);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(sizectl::Of(sizectl::BtnApply, group), BN_CLICKED),
                   reinterpret_cast<LPARAM>(b));
    };

    SendMessageW(field(sizectl::EditWidth, 2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"800"));
    SendMessageW(field(sizectl::EditHeight, 2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"600"));
    apply(2);
    EXPECT_EQ(Width(HoleOf(frame)), 800);
    EXPECT_EQ(Height(HoleOf(frame)), 600);
    EXPECT_EQ(WindowText(GetDlgItem(frame, areactl::LblSize)), L"800x600");
    EXPECT_EQ(WindowText(field(sizectl::EditWidth, 0)), L"800");
    EXPECT_EQ(Setting(L"width_2"), std::optional<DWORD>(800));
    EXPECT_EQ(Setting(L"height_2"), std::optional<DWORD>(600));
    EXPECT_EQ(Setting(L"width"), std::optional<DWORD>(800));
    EXPECT_EQ(Setting(L"width_1"), std::optional<DWORD>(320));  // all six are written

    // Out of bounds or not a number: brought to 64...9999.
    SendMessageW(field(sizectl::EditWidth, 1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"50"));
    SendMessageW(field(sizectl::EditHeight, 1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    apply(1);
    EXPECT_EQ(Width(HoleOf(frame)), 64);
    EXPECT_EQ(Height(HoleOf(frame)), 64);
    EXPECT_EQ(Setting(L"width_1"), std::optional<DWORD>(64));
    EXPECT_EQ(Setting(L"height_1"), std::optional<DWORD>(64));

    // The current-size group applies exactly what it holds.
    SendMessageW(field(sizectl::EditWidth, 0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"333"));
    SendMessageW(field(sizectl::EditHeight, 0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"222"));
    apply(0);
    EXPECT_EQ(Width(HoleOf(frame)), 333);
    EXPECT_EQ(Height(HoleOf(frame)), 222);
    EXPECT_TRUE(v.Quit());
  }
  // The next start offers the stored customs: the second preset gives 800 x 600.
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(Width(HoleOf(frame)), 333);
  SendMessageW(frame, WM_COMMAND, areacmd::PopSize_2, 0);
  EXPECT_EQ(Width(HoleOf(frame)), 800);
  EXPECT_EQ(Height(HoleOf(frame)), 600);
  SendMessageW(frame, WM_COMMAND, areacmd::PopSize_3, 0);
  EXPECT_EQ(Width(HoleOf(frame)), 720);
  EXPECT_EQ(Height(HoleOf(frame)), 480);
}

TEST_F(RegionFrame, AtOneHundredFiftyPercentTheHeaderAndTheCloseImageScaleAndTheHoleStaysExact) {
  TLogPixels dpi(144);
  TPatternWindow pattern(300, 150, 700, 600);
  auto v = TVantoru::Start();
  HWND frame = WaitFrame(v);
  ASSERT_NE(frame, nullptr);
  const int head = 38;  // 25 * 1.5 = 37.5, halves to even; the ring stays 6 pixels
  HideMainWindow(v, pattern, frame, head);
  EXPECT_EQ(Height(WindowRectOf(GetDlgItem(frame, areactl::PnlHead))), head);
  const RECT hole = HoleOf(frame, head);
  EXPECT_EQ(Width(hole), 480);
  EXPECT_EQ(Height(hole), 360);
  const TPixels shown = CaptureToClipboard(v);
  ASSERT_EQ(shown.Width, 480);
  ASSERT_EQ(shown.Height, 360);
  EXPECT_EQ(Mismatches(shown, pattern, hole), 0);

  // The close button shows the 24-pixel image of the program's own resource.
  const RECT close = WindowRectOf(GetDlgItem(frame, areactl::BtnClose));
  ASSERT_EQ(Width(close), 24);
  ASSERT_EQ(Height(close), 24);
  HMODULE exe = LoadLibraryExW(v.Exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  HICON icon = static_cast<HICON>(LoadImageW(exe, L"CLOSE", IMAGE_ICON, 24, 24, 0));
  ASSERT_NE(icon, nullptr);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 24, -24, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  RECT all{0, 0, 24, 24};
  HBRUSH back = CreateSolidBrush(RGB(64, 0, 0));
  FillRect(mem, &all, back);
  DrawIconEx(mem, 0, 0, icon, 24, 24, 0, nullptr, DI_NORMAL);
  GdiFlush();
  const auto* want = static_cast<const uint32_t*>(bits);
  const TPixels got = ReadScreen(close.left, close.top, 24, 24);
  int bad = 0, white = 0;
  for (int i = 0; i < 24 * 24; ++i) {
    if ((want[i] & 0xFFFFFF) != got.Data[static_cast<size_t>(i)]) ++bad;
    if ((want[i] & 0xFFFFFF) == 0xFFFFFF) ++white;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(white, 40);  // the cross is there to compare
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteObject(back);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  DestroyIcon(icon);
  FreeLibrary(exe);
}

}  // namespace
