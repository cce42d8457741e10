// Web page mode: the browser window and the whole-page capture.
#include "app/Main.h"

void TFrmVantoru::OpenWebWindow() {}
void TFrmVantoru::CloseWebWindow() {}
void TFrmVantoru::CaptureWebPage(TBitmap& bitmap) { (void)bitmap; }
