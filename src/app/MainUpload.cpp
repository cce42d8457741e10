// Upload output and floating picture windows.
#include "app/Main.h"

void TFrmVantoru::CaptureUpload(TBitmap& bitmap) { (void)bitmap; }

void TFrmVantoru::ShowFloating(const TBitmap& bitmap, const TRect& rect) {
  (void)bitmap;
  (void)rect;
}

void TFrmVantoru::FloatDelete(TFrmFloating* form) { (void)form; }
