// TFrmSize: the size dialog. It enters an exact size for the region frame and keeps the
// three custom sizes the frame's menu offers.
#pragma once
#include <windows.h>

#include "ui/Window.h"

class TFrmArea;

class TFrmSize : public TWindow {
 public:
  explicit TFrmSize(HWND owner);  // hidden, with the stored custom sizes
  void SetArea(TFrmArea* area) { FArea = area; }

  // Fields by group: 0 the current size, 1-3 the custom sizes. Values are kept in
  // 64...9999; text that is not a number reads as 64.
  int FieldWidth(int group);
  int FieldHeight(int group);
  void SetFieldWidth(int group, int value);
  void SetFieldHeight(int group, int value);

  void LoadSizes();
  void SaveSizes();
  // Shows the dialog (not modal) and brings it to the front.
  void ShowDialog();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override;

 private:
  void Apply(int group);
  HWND Field(int id, int group);
  int FieldValue(int id, int group);
  void SetFieldValue(int id, int group, int value);
  void ApplyFonts();

  TFrmArea* FArea = nullptr;
  TGdiObject FFont;
};
