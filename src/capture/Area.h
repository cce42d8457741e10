// TFrmArea: the region frame. A red ring under a dark red header floats above all windows
// around a see-through, click-through hole; the hole is what a region capture takes.
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "base/Types.h"
#include "capture/AreaGeometry.h"
#include "ui/Menu.h"
#include "ui/Window.h"

class TFrmSize;

class TFrmArea : public TWindow {
 public:
  // Created hidden at the stored place (or the default one); `size` is the size dialog,
  // which must outlive the frame.
  explicit TFrmArea(TFrmSize& size);

  // The hole on the screen; also while the frame is hidden (its last place).
  TRect GetRect() const;
  // Capture size; `sizeNo` 1-3 renames that preset's menu entry to the new size.
  void SetSize(int width, int height, int sizeNo);
  void SetMove(int left, int top);
  // Shows the frame and starts the pulse. Closing (WM_CLOSE) hides it again.
  void ShowFrame();
  // The header's time: bold yellow while recording, regular maroon otherwise.
  void SetRecordingLabel(const std::wstring& text, bool recording);
  // The header bar's height at the window's DPI.
  int Head() const { return ScaleValue(area::HeadHeight); }

  // The main window's recorder and mode list.
  std::function<bool()> IsRecording;
  std::function<void()> RecordStop;
  std::function<void()> OnCloseButton;  // before the close button closes the frame

  // Look of a header part, read by its window procedure.
  struct TPanelLook {
    COLORREF Back = RGB(64, 0, 0);
    COLORREF Text = RGB(255, 255, 255);
    HFONT Font = nullptr;
    bool Centre = false;
    HICON Icon = nullptr;
    bool Button = false;  // a click closes instead of dragging
  };

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override;

 private:
  void CreateComponents();
  void CreateMenu();
  void ApplyFonts();
  void LoadPosition();
  void SavePosition();
  void UpdateCloseIcon();
  void FormResize();
  void UpdateShape();
  void FormClose();
  void TmrColorTimer();
  void StartDrag();
  void BtnCloseClick();
  bool KeyDown(WPARAM key, LPARAM lp);
  LRESULT HitTest(LPARAM lp);
  void Paint(HDC dc);
  TAreaSize WindowSize() const;
  bool Recording() const { return IsRecording && IsRecording(); }
  TPanelLook& Look(int id);

  TFrmSize& FSize;
  TPopupMenu FMenu;
  std::array<TPanelLook, 7> FLooks;  // by control identifier, from PnlHead on
  COLORREF FAreaColor = RGB(255, 0, 0);
  COLORREF FBrushColor = RGB(255, 0, 0);
  TPulse FPulse;
  bool FReady = false;  // children exist and the place is loaded: resizes are handled
  TGdiObject FFont, FFontBold;
  TIconHandle FCloseIcon;
};
