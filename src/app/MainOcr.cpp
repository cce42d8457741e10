// Text recognition for the TXT output.
#include "app/Main.h"

#include "app/Config.h"

void TFrmVantoru::LoadOcrLanguages(TConfig& cfg) { (void)cfg; }

bool TFrmVantoru::RecognizeText(std::unique_ptr<TBitmap> bitmap) {
  (void)bitmap;
  return false;
}
