#include "record/Recorder.h"

#include <shlobj.h>

#include <algorithm>

#include "base/AutoStart.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "capture/Capture.h"
#include "record/ConsoleRunner.h"
#include "record/RecordCommand.h"
#include "ui/Window.h"

namespace {
constexpr UINT_PTR kMirrorTick = 1;
constexpr UINT kMirrorInterval = 30;
}  // namespace

// The window the encoder grabs in a region recording. It lies just below the primary
// monitor, where no part of the visible desktop normally is, and is never activated.
class TMirrorWindow : public TWindow {
 public:
  explicit TMirrorWindow(TRecorder& owner) : FOwner(owner) {
    TClassInfo cls{L"TVirtualScreen"};
    cls.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    CreateWnd(cls, L"Virtual_Screen", WS_POPUP, WS_EX_LAYERED | WS_EX_TOOLWINDOW, GetDesktopWindow(), CW_USEDEFAULT,
              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    SetLayeredWindowAttributes(FHandle, 0, 255, LWA_ALPHA);
    // The encoder grabs it pixel for pixel: its size is the region's, not a design size.
    FKeepBoundsOnDpiChange = true;
    RECT r{};
    GetWindowRect(FHandle, &r);
    SetWindowPos(FHandle, HWND_NOTOPMOST, 0, GetSystemMetrics(SM_CYSCREEN) + 1, r.right - r.left, r.bottom - r.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
  }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_TIMER && wp == kMirrorTick) {
      FOwner.MirrorTick();
      return 0;
    }
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefaultProc(msg, wp, lp);
  }

 private:
  TRecorder& FOwner;
};

TRecorder::TRecorder() : FVirtual(std::make_unique<TMirrorWindow>(*this)) { SetMirrorTick(true); }

TRecorder::~TRecorder() {
  // The runner first: anything it still delivers reaches a recorder that is whole.
  FCMD.reset();
  SetMirrorTick(false);
  FVirtual.reset();
}

HWND TRecorder::MirrorWindow() const { return FVirtual ? FVirtual->Handle() : nullptr; }

void TRecorder::SetMirrorTick(bool on) {
  if (on == FTimer || !FVirtual) return;
  FTimer = on;
  if (on) SetTimer(FVirtual->Handle(), kMirrorTick, kMirrorInterval, nullptr);
  else KillTimer(FVirtual->Handle(), kMirrorTick);
}

void TRecorder::Start(TCapture& capture, TFuncOfRect rect) {
  FIsRunning = true;
  FCapture = &capture;
  // The engine draws the pointer into the mirror; the encoder is told not to draw one.
  capture.SetShowCursor(FMouse);
  FRect = std::move(rect);
  const int width = std::max(0, MirrorSide(FRect().Width()));
  const int height = std::max(0, MirrorSide(FRect().Height()));
  SetWindowPos(FVirtual->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetMirrorTick(true);
  Start();
}

void TRecorder::Start() {
  FRecTime = L"00:00:00.00";
  FIsRunning = true;
  try {
    TRecordParams p;
    p.FFMpeg = FFFMpeg;
    p.Output = FOutput;
    p.Region = static_cast<bool>(FRect);
    if (!p.Region) p.Monitor = MonitorUnderCursor();
    p.Mouse = FMouse;
    p.TimeLimit = TimeLimitPiece(FRecLimits.data());
    if (FAudio) {
      FDriver = GetDriver();
      p.Driver = FDriver;
    }

    FCMD = std::make_unique<TConsoleRunner>();
    FCMD->OnNewLine = [this](TConsoleRunner&, const std::wstring& line, TOutputType type) { OnNewLine(line, type); };
    FCMD->OnTerminated = [this](TConsoleRunner&) { Ended(); };
    // Killing the encoder would leave a file without its index: it finishes by itself.
    FCMD->OnTerminateProcess = [](TConsoleRunner&, bool& canTerminate) { canTerminate = false; };
    FCMD->SetCommandLine(RecordCommandLine(p));
    FCMD->Execute();
  } catch (...) {
    // Nothing runs, so the caller must not wait for an end that never comes.
    FIsRunning = false;
    throw;
  }
}

void TRecorder::Stop() {
  if (FCMD && FCMD->IsRunning()) {
    FCMD->SendLine(L"q", false);
    FStopped = true;
  }
  SetMirrorTick(false);
}

void TRecorder::Ended() {
  // Stopped before its first frame, the encoder leaves an MP4 without a stream, which no
  // player opens: it goes, and the caller tells the user why there is no recording.
  if (FFrames <= 0) {
    if (!FOutput.empty()) DeleteFileW(FOutput.c_str());
    FTooShort = FStopped;
  }
  FIsRunning = false;
}

std::wstring TRecorder::GetDriver() {
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  sa.bInheritHandle = TRUE;
  THandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &sa, 0)) return std::wstring();

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd.Get();
  si.hStdError = writeEnd.Get();
  std::wstring commandLine = DeviceListCommandLine(FFFMpeg);
  PROCESS_INFORMATION pi{};
  std::wstring listing;
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    THandle process(pi.hProcess), thread(pi.hThread);
    writeEnd.Reset();  // the child's copy is then the only one: its end ends the reads
    char buf[255];
    DWORD n = 0;
    while (ReadFile(readEnd.Get(), buf, sizeof(buf), &n, nullptr) && n > 0)
      listing += Utf8ToWide(std::string_view(buf, n));
    WaitForSingleObject(process.Get(), INFINITE);
  }
  return AudioDeviceFromListing(listing);
}

void TRecorder::OnNewLine(const std::wstring& line, TOutputType type) {
  const std::wstring time = RecTimeFromLine(line);
  if (!time.empty()) FRecTime = time;
  FFrames = std::max(FFrames, FramesFromLine(line));
  // A line's beginning comes again with the whole line: only whole lines are written.
  if (FLogging && type == otEntireLine) AppendLog(line + L"\r\n");
}

void TRecorder::AppendLog(const std::wstring& line) {
  if (FLogFolder.empty()) return;
  const std::wstring& folder = FLogFolder;
  if (!DirectoryExists(folder)) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  const std::wstring path = JoinPath(folder, L"ffmpeg.log");
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD err = GetLastError();
    throw EError(L"Cannot open file \"%s\". %s", {path, SysErrorMessage(err)});
  }
  const std::string bytes = WideToUtf8(line);
  LARGE_INTEGER zero{};
  DWORD written = 0;
  if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) ||
      !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    const DWORD err = GetLastError();
    throw EError(L"Cannot write file \"%s\". %s", {path, SysErrorMessage(err)});
  }
}

void TRecorder::MirrorTick() {
  if (!FCapture || !FRect) return;
  const TRect r = FRect();
  TWindowDc dc(FVirtual->Handle());
  if (dc.Get()) FCapture->Capture(dc.Get(), r);
}
