// Web page mode: the browser window and the whole-page capture.
#include "app/Main.h"

#include "base/Settings.h"
#include "capture/Capture.h"
#include "capture/IExplorer.h"
#include "ui/Thread.h"

void TFrmVantoru::TWebWindowDeleter::operator()(TFrmIExplorer* form) const { delete form; }

void TFrmVantoru::OpenWebWindow() {
  const unsigned generation = ++FWebWindowGeneration;
  FIExplorer.reset(new TFrmIExplorer());
  FIExplorer->OnClose = [this, generation] {
    // Closed by the user while still in web page mode: back to full screen, remembered.
    if (CaptureMode() == caWebPage) {
      SetCaptureMode(caFullScreen);
      SaveConfig(setting::Area, 0);
    }
    // The window is inside its own handler now; it is freed once that has returned.
    QueueToMain([generation] {
      if (FrmVantoru && FrmVantoru->FWebWindowGeneration == generation) FrmVantoru->FIExplorer.reset();
    });
  };
  FIExplorer->Show();
}

void TFrmVantoru::CloseWebWindow() {
  if (!FIExplorer || !FIExplorer->Visible()) return;
  ++FWebWindowGeneration;
  FIExplorer->Close();
  FIExplorer.reset();
}

void TFrmVantoru::CaptureWebPage(TBitmap& bitmap) {
  if (FIExplorer) FCapture->Capture(bitmap, &FIExplorer->WB());
}
