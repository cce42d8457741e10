// TFrmDrag: the drag overlay. Covers the whole virtual desktop with a screenshot frozen at
// the moment it shows, dimmed outside the rectangle the user drags with the left button.
// One overlay per drag capture, run modally by the controller.
#pragma once
#include <windows.h>

#include <memory>

#include "base/Types.h"
#include "capture/DragSelect.h"
#include "ui/Bitmap.h"
#include "ui/Window.h"

class TFrmDrag : public TWindow {
 public:
  explicit TFrmDrag(HWND owner);
  ~TFrmDrag() override;

  // Puts an empty result picture in `bitmap` and remembers both variables. After the modal
  // run a picture there holds the selection and `rect` its screen rectangle; a null
  // `bitmap` means the user cancelled.
  void Capture(std::unique_ptr<TBitmap>& bitmap, TRect& rect);
  // Whether the run ended with a selection (false too when the overlay went away otherwise).
  bool Finished() const { return FFinished; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool FWasActive = false;  // cancelling needs a switch away, not a start behind another window
  void FormShow();
  void DrawSelect(bool dim);
  void StayOnTop();
  void MouseUp(int x, int y);
  void Cancel();
  void CloseOverlay(int result);

  TDragSelection FSelection{0, 0};
  TBitmap FScreen{24};  // the frozen screenshot
  TBitmap FSelect{24};  // what is on display
  std::unique_ptr<TBitmap>* FBitmap = nullptr;
  TRect* FRect = nullptr;
  bool FFinished = false;
};
