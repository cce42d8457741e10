// The windows the main window owns for the whole run: hotkey window, size dialog, region frame.
#include "app/Main.h"

#include "base/Settings.h"
#include "capture/Area.h"
#include "capture/HotKey.h"
#include "capture/Size.h"

void TFrmVantoru::CreateOwnedWindows() {
  FHotKey = std::make_unique<TFrmHotKey>(FHandle);
  FHotKey->OnHotKey = [this] { Start(); };
  FSize = std::make_unique<TFrmSize>(FHandle);
  FArea = std::make_unique<TFrmArea>(*FSize);
  FSize->SetArea(FArea.get());
  FArea->IsRecording = [this] { return IsRecording(); };
  FArea->RecordStop = [this] { RecordStop(); };
  FArea->OnCloseButton = [this] {
    SetCaptureMode(caFullScreen);
    SaveConfig(setting::Area, static_cast<int>(caFullScreen));
  };
  // Registered once every window a hotkey press may reach exists: the dialog that a
  // failed registration opens lets the user choose a key that works at once.
  FHotKey->FormCreate();
}

void TFrmVantoru::DestroyOwnedWindows() {
  FArea.reset();
  FSize.reset();
  FHotKey.reset();
}

void TFrmVantoru::N1Click() {
  if (!FHotKey) return;
  if (FHotKey->Visible()) SetForegroundWindow(FHotKey->Handle());
  else FHotKey->ShowModal();
}

TRect TFrmVantoru::RegionRect() { return FArea ? FArea->GetRect() : TRect{}; }

void TFrmVantoru::ShowRegionFrame() {
  if (FArea) FArea->ShowFrame();
}

void TFrmVantoru::CloseRegionFrame() {
  if (FArea && FArea->Visible()) FArea->Close();
}

void TFrmVantoru::SetRegionRecordingLabel(const std::wstring& text, bool recording) {
  if (FArea) FArea->SetRecordingLabel(text, recording);
}
