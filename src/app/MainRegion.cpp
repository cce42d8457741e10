// The windows the main window owns for the whole run: hotkey window, size dialog, region frame.
#include "app/Main.h"

void TFrmVantoru::CreateOwnedWindows() {}
void TFrmVantoru::DestroyOwnedWindows() {}
void TFrmVantoru::N1Click() {}
TRect TFrmVantoru::RegionRect() { return TRect{}; }
void TFrmVantoru::ShowRegionFrame() {}
void TFrmVantoru::CloseRegionFrame() {}
void TFrmVantoru::SetRegionRecordingLabel(const std::wstring& text, bool recording) {
  (void)text;
  (void)recording;
}
