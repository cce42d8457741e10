// Runs one console program at a time as a hidden child process: every line of its
// combined standard output and error reaches the caller on the user-interface thread, the
// caller can type lines into its input, time limits and a stop end it, and the end status
// tells how it ended. The work is done by a worker thread and an output-reader thread.
#pragma once
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Handles.h"
#include "record/RunnerText.h"

VANTORU_DECLARE_ERROR(EConsoleRunner, EError);
VANTORU_DECLARE_ERROR(ECreatePipeError, EError);
VANTORU_DECLARE_ERROR(ECreateProcessError, EError);
VANTORU_DECLARE_ERROR(EProcessTimer, EError);

// Lines waiting to be written to the child. `Event` is set after every Add.
class TInputLines {
 public:
  TInputLines();
  ~TInputLines();
  TInputLines(const TInputLines&) = delete;
  TInputLines& operator=(const TInputLines&) = delete;

  HANDLE Event() const { return FEvent.Get(); }
  int Add(const std::wstring& value);  // returns the new entry's index
  int Count();
  void Delete(int index);
  std::wstring Strings(int index);
  void SetStrings(int index, const std::wstring& value);
  std::vector<std::wstring>& LockList();
  void UnlockList();

 private:
  std::mutex FLock;
  THandle FEvent;
  std::vector<std::wstring> FList;
};

// Reads the child's output pipe in blocking reads of 1024 bytes, decodes every piece and
// appends it to ReadString. It starts with its construction.
class TReadPipe {
 public:
  using TDecoding = std::function<std::wstring(const std::string& bytes)>;
  // `writeStdout` is a write end of the same pipe, used only to wake a blocked read.
  TReadPipe(HANDLE readStdout, HANDLE writeStdout, TDecoding decoding);
  ~TReadPipe();  // the thread must have ended (Terminate, then WaitFor)
  TReadPipe(const TReadPipe&) = delete;
  TReadPipe& operator=(const TReadPipe&) = delete;

  HANDLE Event() const { return FEvent.Get(); }
  TSyncString& ReadString() { return FSyncString; }
  void Terminate();
  bool WaitFor(DWORD timeout);
  // Once every writer but ours is gone: returns when everything written before this call
  // is in ReadString (false when that did not happen within `timeout`).
  bool Drain(DWORD timeout);

 private:
  static DWORD WINAPI ThreadProc(void* self);
  void Execute();

  HANDLE Fread_stdout;
  HANDLE Fwrite_stdout;
  TDecoding FOnCharDecoding;
  THandle FEvent;
  THandle FDrained;
  THandle FThread;
  TSyncString FSyncString;
  std::string FMarker;  // written behind the child's output by Drain
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FDraining{false};
};

// Seconds since Beginning and since the last completed output line, counted by a
// one-second system timer ticking on the thread that enabled it (through its message loop).
class TProcessTimer {
 public:
  TProcessTimer();
  ~TProcessTimer();
  TProcessTimer(const TProcessTimer&) = delete;
  TProcessTimer& operator=(const TProcessTimer&) = delete;

  void Beginning();  // both counters 0, then enabled
  void Ending();     // disabled
  void NewOutput();
  int SinceBeginning();
  int SinceLastOutput();
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  HANDLE Event() const { return FEvent.Get(); }

 private:
  friend void CALLBACK ProcessTimerTick(HWND, UINT, UINT_PTR, DWORD);
  friend void ShutdownProcessTimers();
  std::mutex FCriticalSection;
  bool FEnabled = false;
  THandle FEvent;
  UINT_PTR FID = 0;
  std::atomic<int> FSinceBeginning{0};
  std::atomic<int> FSinceLastOutput{0};
};

// Ticks still registered (each enabled TProcessTimer has one).
size_t ProcessTimerCount();
// At program end: every tick must be gone. Stops any that are left, then raises
// "Assertion failure (ConsoleRunner, line 430)" if there were some.
void ShutdownProcessTimers();

class TRunnerThread;

class TConsoleRunner {
 public:
  using TNewLineEvent =
      std::function<void(TConsoleRunner& ASender, const std::wstring& ANewLine, TOutputType AOutputType)>;
  using TNewCharEvent = std::function<void(TConsoleRunner& ASender, wchar_t ANewChar)>;
  using TTerminateProcessEvent = std::function<void(TConsoleRunner& ASender, bool& ACanTerminate)>;
  using TErrorEvent = std::function<void(TConsoleRunner& ASender, const std::exception& AE, bool& AHandled)>;
  using TCharDecoding = std::function<std::wstring(TConsoleRunner& ASender, const std::string& ABuf)>;
  using TCharEncoding =
      std::function<void(TConsoleRunner& ASender, const std::wstring& AChars, std::string& AOutBuf)>;
  using TNotifyEvent = std::function<void(TConsoleRunner& Sender)>;

  TConsoleRunner();
  virtual ~TConsoleRunner();
  TConsoleRunner(const TConsoleRunner&) = delete;
  TConsoleRunner& operator=(const TConsoleRunner&) = delete;

  // Starts a run and returns at once.
  void Execute();
  // Asks the run to end; returns at once.
  void Stop();
  // Queues a line for the child's input, with CR LF when `AEol`.
  void SendLine(const std::wstring& AValue, bool AEol);
  // From Execute until the end of the run has been delivered on the user-interface thread.
  bool IsRunning() const { return FThread != nullptr; }

  const std::wstring& CommandLine() const { return FCommandLine; }
  void SetCommandLine(const std::wstring& v) { FCommandLine = v; }
  const std::wstring& CurrentDir() const { return FCurrentDir; }
  void SetCurrentDir(const std::wstring& v) { FCurrentDir = v; }
  std::vector<std::wstring>& Environment() { return FEnvironment; }  // "NAME=value" entries
  DWORD ExitCode() const { return FExitCode; }
  bool InputToOutput() const { return FInputToOutput; }
  void SetInputToOutput(bool v) { FInputToOutput = v; }
  const std::vector<std::wstring>& Lines() const { return FLines; }
  int MaxTimeAfterBeginning() const { return FMaxTimeAfterBeginning; }
  void SetMaxTimeAfterBeginning(int seconds) { FMaxTimeAfterBeginning = seconds; }
  int MaxTimeAfterLastOutput() const { return FMaxTimeAfterLastOutput; }
  void SetMaxTimeAfterLastOutput(int seconds) { FMaxTimeAfterLastOutput = seconds; }
  std::vector<std::wstring>* OutputLines() const { return FOutputLines; }
  void SetOutputLines(std::vector<std::wstring>* list) { FOutputLines = list; }
  int Priority() const { return FPriority; }
  void SetPriority(int v) { FPriority = v; }
  TEndStatus EndStatus() const { return static_cast<TEndStatus>(FEndStatus.load()); }
  // The child's identity, copied in right after it started. Its handles are closed by the
  // worker at the end of the run.
  const PROCESS_INFORMATION& ProcessInformation() const { return FProcessInformation; }

  const TCharDecoding& OnCharDecoding() const { return FOnCharDecoding; }
  void SetOnCharDecoding(TCharDecoding handler);
  const TCharEncoding& OnCharEncoding() const { return FOnCharEncoding; }
  void SetOnCharEncoding(TCharEncoding handler);

  TErrorEvent OnExecuteError;
  TNewCharEvent OnNewChar;
  TNewLineEvent OnNewLine;
  TNotifyEvent OnTerminated;
  TTerminateProcessEvent OnTerminateProcess;

 protected:
  // One chunk of output bytes as text (default: the system's ANSI code page).
  virtual std::wstring DecodeOutput(const std::string& ABuf);
  // Text for the child as bytes (default: the system's ANSI code page).
  virtual void EncodeInput(const std::wstring& AChars, std::string& AOutBuf);

 private:
  friend class TRunnerThread;
  void WorkerEnded(TRunnerThread& worker);
  static void ShowWorkerError(const std::exception& e);

  std::wstring FCommandLine;
  std::wstring FCurrentDir;
  std::vector<std::wstring> FEnvironment;
  DWORD FExitCode = 0;
  bool FInputToOutput = false;
  std::vector<std::wstring> FLines;
  int FMaxTimeAfterBeginning = 0;
  int FMaxTimeAfterLastOutput = 0;
  TCharDecoding FOnCharDecoding;
  TCharEncoding FOnCharEncoding;
  std::vector<std::wstring>* FOutputLines = nullptr;
  int FPriority = NORMAL_PRIORITY_CLASS;
  std::shared_ptr<TRunnerThread> FThread;
  // The workers' threads not known to have ended: once its end is delivered a worker only
  // frees itself, but it must be gone before the runner is, or it may still be ending while
  // the process exits.
  std::vector<THandle> FWorkerThreads;
  std::unique_ptr<TProcessTimer> FTimer;
  std::atomic<int> FEndStatus{esNone};
  PROCESS_INFORMATION FProcessInformation{};
};

// The system's text for an error code, without the trailing full stop and line break.
std::wstring SysErrorMessage(DWORD code);
