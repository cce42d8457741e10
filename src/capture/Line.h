// TFrmLine: the window picker. While window-control mode is selected it follows the mouse
// pointer and draws a crawling dashed outline just outside the window or control that a
// capture would take. Only the one-pixel outline belongs to the window, so the target
// stays visible and clickable inside it.
#pragma once
#include <windows.h>

#include "base/Types.h"
#include "ui/Window.h"

class TFrmLine : public TWindow {
 public:
  // `mainWindow` receives the focus whenever the picker would become active, and is the
  // target while the pointer rests on the outline itself.
  explicit TFrmLine(HWND mainWindow);
  ~TFrmLine() override;

  // Places the outline at once, then tracks every 10 ms.
  void Show();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Place();
  void Timer1Timer();
  void DrawOutline();
  void UpdateShape(int width, int height);
  static void CALLBACK DrawLinePoint(int x, int y, LPARAM surface);

  HWND FMain;
  int FDelay = 0;
  TRect FBounds{};
};
