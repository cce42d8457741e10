// A captured picture pinned to the screen where it was taken: borderless, always on top,
// no taskbar button. Dragging moves it; its menu saves the picture or deletes windows.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/Types.h"
#include "ui/Bitmap.h"
#include "ui/Menu.h"
#include "ui/Window.h"

class TFrmFloating : public TWindow {
 public:
  // What the window needs of the main window that keeps it.
  struct TEvents {
    std::function<std::wstring()> SavePath;  // the save dialog's first folder
    std::function<int()> JpegQuality;
    std::function<int()> WebpQuality;
    std::function<void(TFrmFloating*)> Delete;  // nullptr: every floating window
  };

  explicit TFrmFloating(TEvents events);
  ~TFrmFloating() override;

  void SetPicture(const TBitmap& picture);  // a copy, drawn 1:1 from the top-left corner
  void SetBounds(const TRect& rect);        // window rectangle in screen pixels
  TPopupMenu& Popup() { return FPopup; }

  void BtnSaveClick();
  void BtnDeleteClick();
  void BtnDeleteAllClick();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool EnableFrameShadow();
  void ImageMouseMove();
  void Paint(HDC dc);

  TEvents FEvents;
  TBitmap FImage;
  TPopupMenu FPopup;
  // Cleared when the window goes, so a save dialog that outlives it touches nothing.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
