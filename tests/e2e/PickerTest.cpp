// Window-control mode: the picker outlines what a capture would take, follows the pointer
// from window to control, never covers the target and never appears in a capture.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "app/Ids.h"
#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";

// A captioned window with one push button, on a thread of its own; counts the button's clicks.
class TButtonWindow {
 public:
  TButtonWindow(int left, int top, int width, int height) {
    std::atomic<bool> ready{false};
    FThread = std::thread([=, this, &ready] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &TButtonWindow::Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VantoruTestButtons";
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
      RegisterClassW(&wc);
      FWnd = CreateWindowExW(0, wc.lpszClassName, L"buttons", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, left, top,
                             width, height, nullptr, nullptr, wc.hInstance, this);
      // 121 x 50: the outline around it has 346 points, so each drawing moves the dashes on.
      FButton = CreateWindowExW(0, L"BUTTON", L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 60, 50, 121, 50, FWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(100)), wc.hInstance, nullptr);
      ShowWindow(FWnd, SW_SHOWNOACTIVATE);
      UpdateWindow(FWnd);
      ready = true;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    });
    while (!ready) Sleep(5);
    Sleep(150);
  }
  ~TButtonWindow() {
    PostMessageW(FWnd, WM_CLOSE, 0, 0);
    FThread.join();
  }
  HWND Handle() const { return FWnd; }
  HWND Button() const { return FButton; }
  int Clicks() const { return FClicks; }

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TButtonWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && LOWORD(wp) == 100 && HIWORD(wp) == BN_CLICKED && self) ++self->FClicks;
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(wnd, msg, wp, lp);
  }
  HWND FWnd = nullptr, FButton = nullptr;
  std::atomic<int> FClicks{0};
  std::thread FThread;
};

RECT WindowRectOf(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return r;
}

RECT Inflated(RECT r) { return RECT{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}; }

bool SameRect(RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; }

POINT Centre(RECT r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// The dash phase of the outline on screen around the picker's rectangle: the outline is
// read in drawing order (clockwise from the top-left corner), and the n-th point must be
// white exactly when (n + phase) mod 8 is 5, 6 or 7. None while it is not (yet) drawn so.
std::optional<int> DashPhase(RECT picker) {
  const int w = picker.right - picker.left, h = picker.bottom - picker.top;
  const TPixels px = ReadScreen(picker.left, picker.top, w, h);
  std::vector<uint32_t> ring;
  for (int x = 0; x < w - 1; ++x) ring.push_back(px.At(x, 0));
  for (int y = 0; y < h - 1; ++y) ring.push_back(px.At(w - 1, y));
  for (int x = w - 1; x > 0; --x) ring.push_back(px.At(x, h - 1));
  for (int y = h - 1; y > 0; --y) ring.push_back(px.At(0, y));
  for (int phase = 0; phase < 8; ++phase) {
    bool ok = true;
    for (size_t n = 0; n < ring.size() && ok; ++n)
      ok = ring[n] == (((n + phase) % 8) >= 5 ? 0xFFFFFFu : 0x000000u);
    if (ok) return phase;
  }
  return std::nullopt;
}

class Picker : public TE2ETest {
 protected:
  // Window-control mode; the picker once it shows.
  HWND OpenPicker(TVantoru& v) {
    v.SelectInList(ctl::ChkArea, 4);
    HWND picker = WaitProcessWindow(v.Process().Pid(), L"TFrmLine");
    EXPECT_NE(picker, nullptr) << "no picker";
    return picker;
  }
};

TEST_F(Picker, OutlinesTheWindowThenTheButtonWithCrawlingDashes) {
  TButtonWindow win(100, 100, 360, 240);
  auto v = TVantoru::Start();
  HWND picker = OpenPicker(v);
  ASSERT_NE(picker, nullptr);
  // No task-bar button: an unowned tool window.
  EXPECT_NE(GetWindowLongPtrW(picker, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetWindow(picker, GW_OWNER), nullptr);

  // The pointer on the title bar: the window itself.
  POINT client{0, 0};
  ClientToScreen(win.Handle(), &client);
  const RECT wr = WindowRectOf(win.Handle());
  ASSERT_TRUE(MouseTo((wr.left + wr.right) / 2, (wr.top + client.y) / 2));
  EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(wr)); }, 3s));

  // On the button: the button alone, with the dashed outline just outside it.
  const RECT br = WindowRectOf(win.Button());
  const POINT bc = Centre(br);
  ASSERT_TRUE(MouseTo(bc.x, bc.y));
  ASSERT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(br)); }, 3s));
  std::optional<int> first;
  ASSERT_TRUE(WaitFor([&] { return (first = DashPhase(Inflated(br))).has_value(); }, 3s))
      << "no 5-black-3-white outline around the button";
  // Each drawing carries the pattern on: the dashes travel.
  EXPECT_TRUE(WaitFor([&] {
    const auto now = DashPhase(Inflated(br));
    return now && *now != *first;
  }, 3s));

  // Leaving the mode removes the outline at once.
  v.SelectInList(ctl::ChkArea, 0);
  EXPECT_FALSE(IsWindow(picker));
  EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"TFrmLine").empty());
}

TEST_F(Picker, InsideIsClickThroughAndTheOutlineLeadsToTheMainWindow) {
  SetDword(kSettingsKey, L"saveto", 7);
  auto v = TVantoru::Start();
  const RECT main = WindowRectOf(v.Window());
  // A window just above the main window: the bottom row of its outline is the top row of
  // the main window's outline.
  TPatternWindow above(main.left, main.top - 1 - 80, main.right - main.left, 80, 0x808080);
  TButtonWindow win(40, 40, 300, 200);
  HWND picker = OpenPicker(v);
  ASSERT_NE(picker, nullptr);

  // Clicks inside the outline reach the button under it.
  const RECT br = WindowRectOf(win.Button());
  const POINT bc = Centre(br);
  ASSERT_TRUE(MouseTo(bc.x, bc.y));
  ASSERT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(br)); }, 3s));
  EXPECT_EQ(WindowFromPoint(bc), win.Button());
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(WaitFor([&] { return win.Clicks() == 1; }, 3s));

  // The pointer resting on the outline: the outline jumps to the main window.
  const RECT ar = WindowRectOf(above.Handle());
  const POINT ac = Centre(ar);
  ASSERT_TRUE(MouseTo(ac.x, ac.y));
  ASSERT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(ar)); }, 3s));
  ASSERT_TRUE(MouseTo(ac.x, ar.bottom));  // on the outline's bottom row
  ASSERT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(main)); }, 3s));
  // A capture there takes the main window the outline shows, not the outline.
  auto done = v.SendCommandAsync(kCapture);
  ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
  const TPixels pic = WaitClipboardPicture();
  EXPECT_EQ(pic.Width, main.right - main.left);
  EXPECT_EQ(pic.Height, main.bottom - main.top);

  // The picker never keeps the focus while the main window shows.
  SetForegroundWindow(picker);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == v.Window(); }, 3s));
}

TEST_F(Picker, CaptureTakesTheButtonAloneWithoutTheOutline) {
  SetDword(kSettingsKey, L"saveto", 7);
  SetDword(kSettingsKey, L"mouse", 0);
  TButtonWindow win(100, 100, 360, 240);
  auto v = TVantoru::Start();
  const RECT br = WindowRectOf(win.Button());
  const POINT bc = Centre(br);
  ASSERT_TRUE(MouseTo(bc.x, bc.y));
  Sleep(100);
  // The button and its surroundings as they are before any outline.
  const TPixels before = ReadScreen(br.left, br.top, br.right - br.left, br.bottom - br.top);

  HWND picker = OpenPicker(v);
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(WaitFor([&] { return SameRect(WindowRectOf(picker), Inflated(br)) && DashPhase(Inflated(br)); }, 3s));
  SetClipboardText(L"before");
  auto done = v.SendCommandAsync(kCapture);
  ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(done.get(), 1);
  const TPixels pic = WaitClipboardPicture();
  ASSERT_EQ(pic.Width, br.right - br.left);
  ASSERT_EQ(pic.Height, br.bottom - br.top);
  int bad = 0;
  for (size_t i = 0; i < pic.Data.size(); ++i) bad += pic.Data[i] != before.Data[i];
  EXPECT_EQ(bad, 0) << "the capture differs from the button as it was before the outline";
}

}  // namespace
