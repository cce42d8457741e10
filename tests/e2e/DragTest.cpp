// Drag mode: the overlay freezes the screen, dims it, and hands over exactly the pixels the
// user drags across with the left mouse button; Escape or leaving the program cancels.
#include <gtest/gtest.h>

#include <functional>

#include "e2e/Desktop.h"
#include "e2e/Driver.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";
constexpr int kPatLeft = 200, kPatTop = 150;

// About 60 % of each channel, rounded: what the overlay shows outside the selection.
uint32_t Dimmed(uint32_t c) {
  uint32_t r = 0;
  for (int s = 0; s < 24; s += 8) r |= ((((c >> s) & 0xFF) * 19660 + 16384) >> 15) << s;
  return r;
}

uint32_t Pattern(int screenX, int screenY) { return PatternColor(screenX - kPatLeft, screenY - kPatTop); }

// Pixels of `got` (whose top-left is at screen point (left, top)) that differ from `expected`.
int Mismatches(const TPixels& got, int left, int top, const std::function<uint32_t(int, int)>& expected) {
  int bad = 0;
  for (int y = 0; y < got.Height; ++y)
    for (int x = 0; x < got.Width; ++x)
      if (got.At(x, y) != expected(left + x, top + y)) ++bad;
  return bad;
}

// What the screen must show over the pattern while the overlay is up with `sel` selected.
std::function<uint32_t(int, int)> Display(RECT sel) {
  return [sel](int x, int y) {
    const bool in = x >= sel.left && x < sel.right && y >= sel.top && y < sel.bottom;
    return in ? Pattern(x, y) : Dimmed(Pattern(x, y));
  };
}

bool ScreenShows(RECT area, RECT sel) {
  const TPixels px = ReadScreen(area.left, area.top, area.right - area.left, area.bottom - area.top);
  return Mismatches(px, area.left, area.top, Display(sel)) == 0;
}

class Drag : public TE2ETest {
 protected:
  // The pattern under the overlay, the program in drag mode with clipboard output and the
  // cursor setting on (a drag capture never shows it anyway).
  TVantoru StartInDragMode() {
    SetDword(kSettingsKey, L"area", 2);
    SetDword(kSettingsKey, L"saveto", 7);
    SetDword(kSettingsKey, L"mouse", 1);
    auto v = TVantoru::Start();
    SetClipboardText(L"before");
    return v;
  }

  // Requests a capture and waits for the overlay over the whole desktop.
  HWND OpenOverlay(TVantoru& v) {
    FDone = v.SendCommandAsync(kCapture);
    HWND overlay = WaitProcessWindow(v.Process().Pid(), L"TFrmDrag");
    EXPECT_NE(overlay, nullptr) << "no drag overlay";
    // As a user would, act only once the overlay is in front.
    if (overlay) {
      EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == overlay; }, 5s)) << "overlay not in front";
    }
    return overlay;
  }

  // The capture request has returned and the overlay is gone.
  void ExpectOverlayClosed(TVantoru& v, std::chrono::milliseconds within = 10s) {
    ASSERT_EQ(FDone.wait_for(within), std::future_status::ready) << "the overlay did not close";
    EXPECT_EQ(FDone.get(), 1);
    EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"TFrmDrag", true).empty());
  }

  void ExpectCancelled(TVantoru& v) {
    EXPECT_EQ(ClipboardText(), L"before");
    EXPECT_FALSE(ClipboardHasPicture());
    EXPECT_TRUE(ProcessWindows(v.Process().Pid(), L"#32770", true).empty()) << "a message box appeared";
    EXPECT_TRUE(FilesIn(FSaveDir).empty());
  }

  // The clipboard holds the pattern's pixels of the screen rectangle `r`, and nothing else.
  void ExpectPatternPicture(RECT r) {
    const TPixels pic = WaitClipboardPicture();
    ASSERT_EQ(pic.Width, r.right - r.left);
    ASSERT_EQ(pic.Height, r.bottom - r.top);
    EXPECT_EQ(Mismatches(pic, r.left, r.top, Pattern), 0);
    EXPECT_EQ(pic.At(0, 0), Pattern(r.left, r.top));
    EXPECT_EQ(pic.At(pic.Width - 1, pic.Height - 1), Pattern(r.right - 1, r.bottom - 1));
  }

  std::future<LRESULT> FDone;
};

TEST_F(Drag, TakesTheDraggedPixelsOfTheFrozenScreen) {
  TPatternWindow pattern(kPatLeft, kPatTop, 320, 240);
  auto v = StartInDragMode();
  ASSERT_TRUE(MouseTo(300, 250));  // where the selection will be
  HWND overlay = OpenOverlay(v);
  ASSERT_NE(overlay, nullptr);
  RECT wr{};
  GetWindowRect(overlay, &wr);
  EXPECT_EQ(wr.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
  EXPECT_EQ(wr.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
  EXPECT_EQ(wr.right - wr.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(wr.bottom - wr.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));

  // Before any drag the whole screenshot shows dimmed, and it stays frozen when the
  // pattern is painted over after the request.
  const RECT area{kPatLeft, kPatTop, kPatLeft + 320, kPatTop + 240};
  ASSERT_TRUE(WaitFor([&] { return ScreenShows(area, RECT{}); }, 5s));
  pattern.SetColor(0x00FF00);
  EXPECT_TRUE(ScreenShows(area, RECT{}));

  // While dragging, the inside is undimmed; the column and row under the pointer are not.
  ASSERT_TRUE(MouseTo(250, 200));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(MouseTo(300, 240));
  EXPECT_TRUE(WaitFor([&] { return ScreenShows(area, RECT{250, 200, 300, 240}); }, 5s));
  ASSERT_TRUE(MouseTo(350, 280));
  MouseButton(MOUSEEVENTF_LEFTUP);
  ExpectOverlayClosed(v);

  // Exactly the pixels 250..349 x 200..279 of the pattern as it was, without the cursor.
  ExpectPatternPicture(RECT{250, 200, 350, 280});
}

TEST_F(Drag, ClicksAndOtherButtonsKeepTheOverlayAndAReverseDragTakesTheSamePixels) {
  TPatternWindow pattern(kPatLeft, kPatTop, 320, 240);
  auto v = StartInDragMode();
  HWND overlay = OpenOverlay(v);
  ASSERT_NE(overlay, nullptr);
  const RECT area{kPatLeft, kPatTop, kPatLeft + 320, kPatTop + 240};
  ASSERT_TRUE(WaitFor([&] { return ScreenShows(area, RECT{}); }, 5s));

  // A press and release without a move, a horizontal drag, right and middle button drags.
  ASSERT_TRUE(MouseTo(260, 210));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  MouseButton(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(MouseDrag(260, 210, 330, 210));
  for (const auto& [down, up] : {std::pair{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                 std::pair{MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP}}) {
    ASSERT_TRUE(MouseTo(250, 200));
    MouseButton(down);
    ASSERT_TRUE(MouseTo(350, 280));
    MouseButton(up);
  }
  ASSERT_TRUE(MouseTo(300, 300));  // a move with no button down selects nothing either
  Sleep(300);
  EXPECT_EQ(FDone.wait_for(0s), std::future_status::timeout) << "the overlay closed without a selection";
  EXPECT_TRUE(IsWindowVisible(overlay));
  EXPECT_TRUE(ScreenShows(area, RECT{}));

  // From bottom-right to top-left: the same rectangle as the other way round.
  ASSERT_TRUE(MouseDrag(350, 280, 250, 200));
  ExpectOverlayClosed(v);
  ExpectPatternPicture(RECT{250, 200, 350, 280});
}

TEST_F(Drag, EscapeCancelsBeforeAndDuringADrag) {
  TPatternWindow pattern(kPatLeft, kPatTop, 320, 240);
  auto v = StartInDragMode();
  for (const bool dragging : {false, true}) {
    SCOPED_TRACE(dragging ? "during a drag" : "before a drag");
    ASSERT_NE(OpenOverlay(v), nullptr);
    if (dragging) {
      ASSERT_TRUE(MouseTo(250, 200));
      MouseButton(MOUSEEVENTF_LEFTDOWN);
      ASSERT_TRUE(MouseTo(300, 240));
    }
    PressKey(VK_ESCAPE);
    ExpectOverlayClosed(v, 5s);
    if (dragging) MouseButton(MOUSEEVENTF_LEFTUP);
    ExpectCancelled(v);
  }
  // The controller is idle again: the next request opens a new overlay and captures.
  ASSERT_NE(OpenOverlay(v), nullptr);
  ASSERT_TRUE(MouseDrag(250, 200, 260, 205));
  ExpectOverlayClosed(v);
  EXPECT_EQ(WaitClipboardPicture().Width, 10);
}

TEST_F(Drag, SwitchingToAnotherApplicationCancels) {
  TPatternWindow pattern(kPatLeft, kPatTop, 320, 240);
  auto v = StartInDragMode();
  HWND overlay = OpenOverlay(v);
  ASSERT_NE(overlay, nullptr);
  ASSERT_TRUE(MouseTo(250, 200));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(MouseTo(300, 240));
  // A press still queued in the program when the switch happens clicks the overlay active
  // again (Wine delivers it late on a loaded machine); the user would just switch again.
  auto switched = std::chrono::steady_clock::now();
  for (int i = 0; i < 5 && FDone.wait_for(0ms) != std::future_status::ready; ++i) {
    switched = std::chrono::steady_clock::now();
    SetForegroundWindow(pattern.Handle());
    FDone.wait_for(1s);
  }
  ExpectOverlayClosed(v, 1s);
  // One tick of the overlay's 100 ms check, with room for a loaded machine.
  EXPECT_LT(std::chrono::steady_clock::now() - switched, 1500ms);
  MouseButton(MOUSEEVENTF_LEFTUP);
  ExpectCancelled(v);
}

}  // namespace
