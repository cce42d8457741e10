// Upload output and floating picture windows.
#include "app/Main.h"

void TFrmVantoru::CaptureUpload(TBitmap& bitmap) { (void)bitmap; }
