// The region frame and the size dialog in-process: the hit test's bands, the recording's
// hold on the ring, and the custom presets kept in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/Config.h"
#include "base/Settings.h"
#include "capture/Area.h"
#include "capture/FrameIds.h"
#include "capture/Size.h"
#include "ui/Menu.h"

namespace {

constexpr const wchar_t* kKey = L"Software\\Dorvenix\\Vantoru";

class RegionFrameShell : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

  static LRESULT HitAt(TFrmArea& frame, int x, int y) {
    return SendMessageW(frame.Handle(), WM_NCHITTEST, 0, MAKELPARAM(x, y));
  }
  static std::wstring Text(HWND w) {
    wchar_t buf[64] = {};
    GetWindowTextW(w, buf, 64);
    return buf;
  }
  static void Click(TWindow& form, int id) {
    SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(form.Handle(), id)));
  }
  static std::wstring Preset(TFrmArea& frame, int no) {
    return frame.Menus().front()->Find(L"PopSize_" + std::to_wstring(no))->Caption;
  }
};

TEST_F(RegionFrameShell, TheRingIsResizeHandlesExceptWhileRecording) {
  TFrmSize size(nullptr);
  TFrmArea frame(size);
  frame.SetMove(100, 100);
  frame.SetSize(200, 100, 0);  // window 212 x 137 at head 25
  const TRect hole = frame.GetRect();
  ASSERT_EQ(hole, (TRect{106, 131, 306, 231}));
  const struct {
    int X, Y;
    LRESULT Hit;
  } cases[] = {{101, 127, HTTOPLEFT}, {200, 128, HTTOP},        {310, 127, HTTOPRIGHT},
               {102, 180, HTLEFT},    {310, 180, HTRIGHT},      {102, 234, HTBOTTOMLEFT},
               {200, 235, HTBOTTOM},  {311, 236, HTBOTTOMRIGHT}};
  bool recording = false;
  frame.IsRecording = [&] { return recording; };
  for (const auto& c : cases) EXPECT_EQ(HitAt(frame, c.X, c.Y), c.Hit) << c.X << "," << c.Y;
  EXPECT_EQ(HitAt(frame, 50, 50), HTNOWHERE);
  recording = true;
  for (const auto& c : cases) EXPECT_EQ(HitAt(frame, c.X, c.Y), HTCLIENT) << c.X << "," << c.Y;
}

TEST_F(RegionFrameShell, RecordingLabelAndClosingStopsARecording) {
  TFrmSize size(nullptr);
  TFrmArea frame(size);
  HWND label = GetDlgItem(frame.Handle(), areactl::LvlRecTime);
  EXPECT_EQ(Text(label), L"[REC] 00:00:00");
  frame.SetRecordingLabel(L"[REC] 00:01:05", true);
  EXPECT_EQ(Text(label), L"[REC] 00:01:05");

  int stops = 0;
  bool recording = true;
  frame.IsRecording = [&] { return recording; };
  frame.RecordStop = [&] {
    ++stops;
    recording = false;
  };
  frame.ShowFrame();
  EXPECT_TRUE(frame.Visible());
  frame.SetMove(123, 145);
  SendMessageW(frame.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(frame.Visible());
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(TConfig(kConfigPath).ReadInteger(setting::Left, 0), 123);  // kept on close
  frame.ShowFrame();
  SendMessageW(frame.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(stops, 1);  // nothing to stop any more
  // Alt+F4 by the system menu's road does not close it either.
  frame.ShowFrame();
  SendMessageW(frame.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(frame.Visible());
}

TEST_F(RegionFrameShell, ACustomSizeRenamesItsPresetAndTheNextStartKeepsIt) {
  {
    TFrmSize size(nullptr);
    TFrmArea frame(size);
    size.SetArea(&frame);
    frame.SetMove(10, 10);  // room for 800 x 600 inside the desktop
    EXPECT_EQ(Preset(frame, 1), L"320x240");
    EXPECT_EQ(Preset(frame, 2), L"640x480");
    EXPECT_EQ(Preset(frame, 3), L"720x480");
    size.SetFieldWidth(2, 800);
    size.SetFieldHeight(2, 600);
    Click(size, sizectl::Of(sizectl::BtnApply, 2));
    EXPECT_EQ(Preset(frame, 2), L"800x600");
    EXPECT_EQ(Preset(frame, 1), L"320x240");
    const TRect hole = frame.GetRect();
    EXPECT_EQ(hole.Width(), 800);
    EXPECT_EQ(hole.Height(), 600);

    // The current-size group resizes without renaming any preset.
    size.SetFieldWidth(0, 500);
    Click(size, sizectl::Of(sizectl::BtnApply, 0));
    EXPECT_EQ(frame.GetRect().Width(), 500);
    EXPECT_EQ(Preset(frame, 2), L"800x600");
    EXPECT_EQ(Preset(frame, 3), L"720x480");
  }
  TFrmSize size(nullptr);
  TFrmArea frame(size);
  size.SetArea(&frame);
  EXPECT_EQ(Preset(frame, 2), L"800x600");
  EXPECT_EQ(size.FieldWidth(2), 800);
  EXPECT_EQ(size.FieldHeight(2), 600);
  EXPECT_EQ(frame.GetRect().Width(), 500);  // the frame's own size came back too
  SendMessageW(frame.Handle(), WM_COMMAND, areacmd::PopSize_2, 0);
  EXPECT_EQ(frame.GetRect().Width(), 800);
  EXPECT_EQ(frame.GetRect().Height(), 600);
}

TEST_F(RegionFrameShell, SizeFieldsAreCorrectedWhenLeft) {
  TFrmSize size(nullptr);
  const struct {
    const wchar_t* Typed;
    const wchar_t* Shown;
  } cases[] = {{L"12000", L"9999"}, {L"12", L"64"}, {L"", L"64"}, {L"0640", L"640"}, {L"9999", L"9999"}};
  for (int group = 0; group < 4; ++group) {
    for (const auto& c : cases) {
      const int id = sizectl::Of(sizectl::EditHeight, group);
      HWND edit = GetDlgItem(size.Handle(), id);
      SetWindowTextW(edit, c.Typed);
      SendMessageW(size.Handle(), WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
      EXPECT_EQ(Text(edit), c.Shown) << group << " " << c.Typed;
    }
  }
  // A value set from outside beyond a bound is brought to it as well.
  size.SetFieldWidth(3, 20000);
  EXPECT_EQ(size.FieldWidth(3), 9999);
  size.SetFieldWidth(3, -4);
  EXPECT_EQ(size.FieldWidth(3), 64);
}

}  // namespace
