// One MP4 screen recording: runs ffmpeg.exe with a command line built from the options,
// follows its progress lines for the elapsed time and ends it by typing "q". A region
// recording lets the encoder grab the mirror window "Virtual_Screen", into which the
// region's screen rectangle is copied every 30 ms.
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "base/Types.h"
#include "record/RunnerText.h"

class TCapture;
class TConsoleRunner;
class TMirrorWindow;

// The rectangle source of a region recording, asked again for every mirror copy.
using TFuncOfRect = std::function<TRect()>;

class TRecorder {
 public:
  TRecorder();
  ~TRecorder();  // does not stop a recording: free it once IsRunning has turned false
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  bool Audio() const { return FAudio; }
  void SetAudio(bool v) { FAudio = v; }
  const std::wstring& FFMpeg() const { return FFFMpeg; }
  void SetFFMpeg(const std::wstring& v) { FFFMpeg = v; }
  bool Mouse() const { return FMouse; }
  void SetMouse(bool v) { FMouse = v; }
  bool Logging() const { return FLogging; }
  void SetLogging(bool v) { FLogging = v; }
  const std::wstring& Output() const { return FOutput; }
  void SetOutput(const std::wstring& v) { FOutput = v; }
  // Check states of the five time-limit items (0, 30, 60, 120, 240 minutes) at the start;
  // the last checked one wins, none means no limit.
  const std::array<bool, 5>& RecLimits() const { return FRecLimits; }
  void SetRecLimits(const std::array<bool, 5>& v) { FRecLimits = v; }
  // The folder of "ffmpeg.log": where the captures are saved.
  const std::wstring& LogFolder() const { return FLogFolder; }
  void SetLogFolder(const std::wstring& v) { FLogFolder = v; }
  const std::wstring& RecTime() const { return FRecTime; }
  bool IsRunning() const { return FIsRunning; }
  const std::wstring& Driver() const { return FDriver; }
  // After the end: the recording was stopped before the encoder had written a frame, and
  // the empty file it left was removed.
  bool TooShort() const { return FTooShort; }
  HWND MirrorWindow() const;

  // A region recording of what `rect` returns, through the mirror window.
  void Start(TCapture& capture, TFuncOfRect rect);
  // A full-screen recording of the monitor nearest to the mouse pointer.
  void Start();
  // Asks the encoder to finish; the recording is over when IsRunning turns false.
  void Stop();
  // The first audio capture device of the encoder's device listing, or empty.
  std::wstring GetDriver();

 private:
  friend class TMirrorWindow;
  void OnNewLine(const std::wstring& line, TOutputType type);
  void Ended();
  void MirrorTick();
  void SetMirrorTick(bool on);
  void AppendLog(const std::wstring& line);

  std::unique_ptr<TConsoleRunner> FCMD;
  TCapture* FCapture = nullptr;
  std::unique_ptr<TMirrorWindow> FVirtual;
  bool FTimer = false;  // the mirror tick runs
  bool FAudio = false;
  std::wstring FFFMpeg;
  bool FMouse = true;
  std::wstring FDriver;
  std::wstring FOutput;
  std::wstring FRecTime;
  bool FLogging = false;
  std::array<bool, 5> FRecLimits{};
  std::wstring FLogFolder;
  bool FIsRunning = false;
  TFuncOfRect FRect;
  int FFrames = -1;        // the highest frame count the encoder reported
  bool FStopped = false;   // "q" was sent
  bool FTooShort = false;
};
