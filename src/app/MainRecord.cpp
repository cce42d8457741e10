// The main window's side of screen recording: starting and stopping the recorder and
// showing its elapsed time.
#include "app/Main.h"

#include <array>

#include "base/AutoStart.h"
#include "base/Settings.h"
#include "base/Translate.h"
#include "record/Recorder.h"
#include "ui/MsgBox.h"

namespace {
constexpr UINT_PTR kTmrRec = 2;  // the recording timer (WM_TIMER in Main.cpp)
constexpr const wchar_t* kRegionIdle = L"[REC] 00:00:00";
constexpr ULONGLONG kSessionEndWait = 5000;  // ms
}  // namespace

void TFrmVantoru::TRecorderDeleter::operator()(TRecorder* recorder) const { delete recorder; }

bool TFrmVantoru::IsRecording() const { return FRecorder != nullptr; }

void TFrmVantoru::RecordStart() {
  TFuncOfRect rect = [this] { return RegionRect(); };
  const std::wstring ffmpeg = ProgramDir() + L"ffmpeg.exe";
  if (!FileExists(ffmpeg)) return;

  FStatus = stBusy;
  EnableWindow(Child(L"ChkArea"), FALSE);
  ShowCard(2);
  SetRegionRecordingLabel(kRegionIdle, true);
  try {
    FRecorder.reset(new TRecorder());
    FRecorder->SetAudio(MenuChecked(L"ChkAudio"));
    FRecorder->SetMouse(MenuChecked(L"ChkMouse"));
    FRecorder->SetLogging(MenuChecked(L"ChkLog"));
    FRecorder->SetFFMpeg(ffmpeg);
    std::array<bool, 5> limits{};
    for (size_t i = 0; i < limits.size(); ++i)
      limits[i] = MenuChecked(L"ChkRecLimit" + std::to_wstring(kRecordLimits[i]));
    FRecorder->SetRecLimits(limits);
    FRecorder->SetLogFolder(SavePath());
    FRecorder->SetOutput(NewFilename(L"mp4"));
    if (CaptureMode() == caRegion) FRecorder->Start(*FCapture, rect);
    else FRecorder->Start();
  } catch (...) {
    // A recording that could not start must not leave the controller busy for good.
    EndRecording();
    throw;
  }
  SetTimer(FHandle, kTmrRec, 100, nullptr);
  FStatus = stRunning;
}

void TFrmVantoru::RecordStop() {
  if (FRecorder) FRecorder->Stop();
}

void TFrmVantoru::TmrRecTimer() {
  if (FRecorder && FRecorder->IsRunning()) {
    const std::wstring time = FRecorder->RecTime().substr(0, 8);
    if (ChildText(L"LvlRecTime") != time) {
      SetChildText(L"LvlRecTime", time);
      SetRegionRecordingLabel(L"[REC] " + time, true);
    }
    return;
  }
  const bool tooShort = FRecorder && FRecorder->TooShort();
  EndRecording();
  if (tooShort) {
    const std::wstring caption = Translate(Caption());
    ShowMessage(L"녹화 시간이 너무 짧아 저장하지 않았습니다.", MB_ICONINFORMATION, true, &caption);
  }
}

void TFrmVantoru::FinishRecordingForSessionEnd() {
  if (!FRecorder) return;
  // The recording timer stays out of it, so the recorder goes only here.
  KillTimer(FHandle, kTmrRec);
  RecordStop();
  // The encoder closes its file within a moment of "q"; the session does not wait longer.
  const ULONGLONG until = GetTickCount64() + kSessionEndWait;
  while (FRecorder->IsRunning() && GetTickCount64() < until) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    ProcessMessages();
  }
  EndRecording();
}

void TFrmVantoru::EndRecording() {
  KillTimer(FHandle, kTmrRec);
  FRecorder.reset();
  EnableWindow(Child(L"ChkArea"), TRUE);
  ShowCard(0);
  SetChildText(L"LvlRecTime", L"00:00:00");
  SetRegionRecordingLabel(kRegionIdle, false);
  FStatus = stIdle;
}
