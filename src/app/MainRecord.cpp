// The main window's side of screen recording.
#include "app/Main.h"

#include "app/AutoStart.h"

bool TFrmVantoru::IsRecording() const { return false; }

void TFrmVantoru::RecordStart() {
  if (!FileExists(ProgramDir() + L"ffmpeg.exe")) return;
}

void TFrmVantoru::RecordStop() {}

void TFrmVantoru::TmrRecTimer() {}
