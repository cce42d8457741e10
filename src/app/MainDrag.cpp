// Drag captures and the window picker.
#include "app/Main.h"

bool TFrmVantoru::CaptureDrag(std::unique_ptr<TBitmap>& bitmap, TRect& rect) {
  (void)bitmap;
  (void)rect;
  return false;
}
void TFrmVantoru::OpenPicker() {}
void TFrmVantoru::ClosePicker() {}
