#include "record/ConsoleRunner.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "base/AutoStart.h"
#include "base/Text.h"
#include "ui/Thread.h"
#include "ui/Window.h"

namespace {

constexpr const wchar_t* kUnit = L"ConsoleRunner";
// How long the end of a run waits for the output a child left in the pipe when it ended.
constexpr DWORD kDrainTimeout = 5000;

void NameThread(const wchar_t* name) {
  using Fn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const Fn fn = [] {
    HMODULE k = GetModuleHandleW(L"kernel32.dll");
    return k ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(k, "SetThreadDescription"))) : nullptr;
  }();
  if (fn) fn(GetCurrentThread(), name);
}

void DebugOutput(const std::wstring& text) { OutputDebugStringW(text.c_str()); }

std::wstring ErrorText(const std::exception& e) { return ExceptionMessage(e); }

[[noreturn]] void RaisePipeError() {
  throw ECreatePipeError(FormatW(L"Error creating Pipe: %ls", SysErrorMessage(GetLastError()).c_str()));
}

void CheckPipe(BOOL ok) {
  if (!ok) RaisePipeError();
}

// Closes a handle the worker no longer needs; a failure is a pipe error like the others.
void ClosePipeHandle(THandle& h) {
  if (!CloseHandle(h.Release())) RaisePipeError();
}

THandle Duplicate(HANDLE source, bool inheritable) {
  THandle copy;
  const HANDLE self = GetCurrentProcess();
  CheckPipe(DuplicateHandle(self, source, self, copy.Put(), 0, inheritable ? TRUE : FALSE, DUPLICATE_SAME_ACCESS));
  return copy;
}

std::vector<std::wstring> CurrentEnvironment() {
  std::vector<std::wstring> vars;
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return vars;
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) vars.emplace_back(p);
  FreeEnvironmentStringsW(block);
  return vars;
}

std::string RandomMarker() {
  std::random_device rd;
  std::string m(16, '\0');
  for (auto& c : m) c = static_cast<char>(rd() & 0xFF);
  return m;
}

}  // namespace

std::wstring SysErrorMessage(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring s = n && buf ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!s.empty() && (s.back() <= L' ' || s.back() == L'.')) s.pop_back();
  return s;
}

// ---------------------------------------------------------------------------------------
// Input queue

TInputLines::TInputLines() : FEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!FEvent) throw EConsoleRunner(L"Error creating Event: " + SysErrorMessage(GetLastError()));
}

TInputLines::~TInputLines() {
  std::lock_guard<std::mutex> g(FLock);
  FList.clear();
}

int TInputLines::Add(const std::wstring& value) {
  int index;
  {
    std::lock_guard<std::mutex> g(FLock);
    FList.push_back(value);
    index = static_cast<int>(FList.size()) - 1;
  }
  SetEvent(FEvent.Get());
  return index;
}

int TInputLines::Count() {
  std::lock_guard<std::mutex> g(FLock);
  return static_cast<int>(FList.size());
}

void TInputLines::Delete(int index) {
  std::lock_guard<std::mutex> g(FLock);
  if (index >= 0 && index < static_cast<int>(FList.size())) FList.erase(FList.begin() + index);
}

std::wstring TInputLines::Strings(int index) {
  std::lock_guard<std::mutex> g(FLock);
  return index >= 0 && index < static_cast<int>(FList.size()) ? FList[static_cast<size_t>(index)] : std::wstring();
}

void TInputLines::SetStrings(int index, const std::wstring& value) {
  std::lock_guard<std::mutex> g(FLock);
  if (index >= 0 && index < static_cast<int>(FList.size())) FList[static_cast<size_t>(index)] = value;
}

std::vector<std::wstring>& TInputLines::LockList() {
  FLock.lock();
  return FList;
}

void TInputLines::UnlockList() { FLock.unlock(); }

// ---------------------------------------------------------------------------------------
// Output reader

TReadPipe::TReadPipe(HANDLE readStdout, HANDLE writeStdout, TDecoding decoding)
    : Fread_stdout(readStdout),
      Fwrite_stdout(writeStdout),
      FOnCharDecoding(std::move(decoding)),
      FEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      FDrained(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FMarker(RandomMarker()) {
  if (!FEvent || !FDrained) throw EConsoleRunner(L"Error creating Event: " + SysErrorMessage(GetLastError()));
  FThread.Reset(CreateThread(nullptr, 0, &TReadPipe::ThreadProc, this, 0, nullptr));
  if (!FThread) throw EConsoleRunner(L"Error creating Thread: " + SysErrorMessage(GetLastError()));
}

TReadPipe::~TReadPipe() = default;

DWORD WINAPI TReadPipe::ThreadProc(void* self) {
  static_cast<TReadPipe*>(self)->Execute();
  return 0;
}

void TReadPipe::Execute() {
  NameThread(L"TReadPipe");
  try {
    TMarkerCut cut(FMarker);
    char buf[1024];
    while (!FTerminated) {
      std::memset(buf, 0, sizeof(buf));
      DWORD n = 0;
      if (!ReadFile(Fread_stdout, buf, sizeof(buf), &n, nullptr)) {
        // With our own write end open the pipe cannot break; if it does, nothing more can come.
        if (GetLastError() != ERROR_BROKEN_PIPE) RaiseAssertion(kUnit, 1355);
        if (!FTerminated) SetEvent(FDrained.Get());
        break;
      }
      if (FTerminated) break;
      std::string bytes(buf, n);
      bool drained = false;
      if (FDraining) bytes = cut.Feed(bytes, drained);
      if (!bytes.empty()) {
        FSyncString.Add(FOnCharDecoding(bytes));
        SetEvent(FEvent.Get());
      }
      if (drained) SetEvent(FDrained.Get());
    }
  } catch (const std::exception& e) {
    DebugOutput(L"EXCEPTION: TReadPipe Execute " + ErrorText(e));
  } catch (...) {
    DebugOutput(L"EXCEPTION: TReadPipe Execute unknown error");
  }
}

void TReadPipe::Terminate() {
  FTerminated = true;
  // Three bytes wake a read that waits for output; they are discarded.
  static const char kFin[] = {'f', '\0', 'i'};
  DWORD written = 0;
  if (!WriteFile(Fwrite_stdout, kFin, sizeof(kFin), &written, nullptr)) {
    CancelSynchronousIo(FThread.Get());
    RaiseAssertion(kUnit, 1380);
  }
}

bool TReadPipe::WaitFor(DWORD timeout) { return WaitForSingleObject(FThread.Get(), timeout) == WAIT_OBJECT_0; }

bool TReadPipe::Drain(DWORD timeout) {
  FDraining = true;
  DWORD written = 0;
  if (!WriteFile(Fwrite_stdout, FMarker.data(), static_cast<DWORD>(FMarker.size()), &written, nullptr)) return false;
  const HANDLE objs[2] = {FDrained.Get(), FThread.Get()};
  return WaitForMultipleObjects(2, objs, FALSE, timeout) == WAIT_OBJECT_0;
}

// ---------------------------------------------------------------------------------------
// Tick counter and its process-wide registry

namespace {

struct TTimerRegistry {
  std::mutex Lock;
  std::vector<std::pair<UINT_PTR, TProcessTimer*>> Entries;
};

TTimerRegistry& Registry() {
  static TTimerRegistry r;
  return r;
}

}  // namespace

void CALLBACK ProcessTimerTick(HWND, UINT, UINT_PTR id, DWORD) {
  TTimerRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.Lock);
  for (auto& [timerId, timer] : r.Entries) {
    if (timerId != id) continue;
    ++timer->FSinceBeginning;
    ++timer->FSinceLastOutput;
    SetEvent(timer->FEvent.Get());
    return;
  }
}

TProcessTimer::TProcessTimer() : FEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!FEvent) throw EProcessTimer(L"could not create event");
}

TProcessTimer::~TProcessTimer() {
  try {
    SetEnabled(false);
  } catch (...) {
    // A timer that cannot be killed dies with its thread's message queue.
  }
  // Whatever happened above, no entry may point at a destroyed object.
  TTimerRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.Lock);
  std::erase_if(r.Entries, [this](const auto& e) { return e.second == this; });
}

void TProcessTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  TTimerRegistry& r = Registry();
  if (value) {
    const UINT_PTR id = SetTimer(nullptr, 0, 1000, &ProcessTimerTick);
    if (!id) {
      FEnabled = false;
      throw EProcessTimer(L"could not start timer");
    }
    FID = id;
    std::lock_guard<std::mutex> g(r.Lock);
    r.Entries.emplace_back(id, this);
  } else {
    if (!KillTimer(nullptr, FID)) throw EProcessTimer(L"could not kill timer");
    std::lock_guard<std::mutex> g(r.Lock);
    const auto it = std::find_if(r.Entries.begin(), r.Entries.end(), [this](const auto& e) { return e.first == FID; });
    if (it != r.Entries.end()) r.Entries.erase(it);
  }
}

void TProcessTimer::Beginning() {
  FSinceBeginning = 0;
  FSinceLastOutput = 0;
  SetEnabled(true);
}

void TProcessTimer::Ending() { SetEnabled(false); }

void TProcessTimer::NewOutput() {
  std::lock_guard<std::mutex> g(FCriticalSection);
  FSinceLastOutput = 0;
}

int TProcessTimer::SinceBeginning() {
  std::lock_guard<std::mutex> g(FCriticalSection);
  return FSinceBeginning;
}

int TProcessTimer::SinceLastOutput() {
  std::lock_guard<std::mutex> g(FCriticalSection);
  return FSinceLastOutput;
}

size_t ProcessTimerCount() {
  TTimerRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.Lock);
  return r.Entries.size();
}

void ShutdownProcessTimers() {
  TTimerRegistry& r = Registry();
  std::vector<std::pair<UINT_PTR, TProcessTimer*>> left;
  {
    std::lock_guard<std::mutex> g(r.Lock);
    left.swap(r.Entries);
  }
  if (left.empty()) return;
  for (const auto& e : left) {
    KillTimer(nullptr, e.first);
    e.second->FEnabled = false;
  }
  RaiseAssertion(kUnit, 430);
}

// ---------------------------------------------------------------------------------------
// Worker

class TRunnerThread final : public IRunnerEvents {
 public:
  // Creates the worker and starts its thread; the thread keeps the worker alive until its
  // end has been delivered.
  static std::shared_ptr<TRunnerThread> Start(TConsoleRunner& owner, TProcessTimer& timer, THandle& thread);

  bool Finished() const { return FFinished; }
  TInputLines& InputLines() { return FInputLines; }
  void RequestStop() {
    FStopRequested = true;
    SetEvent(FTerminateEvent.Get());
  }

  // IRunnerEvents: the scanner's and writer's deliveries
  bool StopRequested() override { return FStopRequested; }
  void NewChar(wchar_t c) override;
  void LinesAdd(const std::wstring& line) override;
  void NewLine(const std::wstring& line, TOutputType type) override;
  void NewOutput() override { FTimer.NewOutput(); }
  void ReplaceLastOutput(const std::wstring& text) override;
  void AppendOutput(const std::wstring& text) override;

 private:
  friend class TConsoleRunner;
  TRunnerThread(TConsoleRunner& owner, TProcessTimer& timer);
  static DWORD WINAPI ThreadProc(void* param);
  void Execute();
  void Body();
  void RunChild(HANDLE process, TReadPipe& reader);
  void ScanOutputStep(TReadPipe& reader);
  void DoSendLine();
  void DoTerminateProcess(HANDLE process);

  TConsoleRunner* FOwner;
  std::wstring FCommandLine;
  std::wstring FCurrentDir;
  std::vector<std::wstring> FEnvironment;
  bool FHasOutputList;
  TInputLines FInputLines;
  bool FInputToOutput;
  int FMaxTimeAfterBeginning;
  int FMaxTimeAfterLastOutput;
  TReadPipe::TDecoding FOnCharDecoding;
  std::function<void(const std::wstring&, std::string&)> FOnCharEncoding;
  TConsoleRunner::TNewCharEvent FOnNewChar;
  TConsoleRunner::TNewLineEvent FOnNewLine;
  TConsoleRunner::TTerminateProcessEvent FOnTerminateProcess;
  int FPriority;
  THandle FTerminateEvent;
  TProcessTimer& FTimer;
  DWORD FExitCode = 0;
  bool FCanTerminate = false;
  std::atomic<bool> FStopRequested{false};
  std::atomic<bool> FFinished{false};
  std::exception_ptr FError;
  TScanState FScan;
  HANDLE FWriteStdin = nullptr;
};

TRunnerThread::TRunnerThread(TConsoleRunner& owner, TProcessTimer& timer)
    : FOwner(&owner),
      FCommandLine(owner.FCommandLine),
      FCurrentDir(owner.FCurrentDir),
      FEnvironment(owner.FEnvironment),
      FHasOutputList(owner.FOutputLines != nullptr),
      FInputToOutput(owner.FInputToOutput),
      FMaxTimeAfterBeginning(owner.FMaxTimeAfterBeginning),
      FMaxTimeAfterLastOutput(owner.FMaxTimeAfterLastOutput),
      FOnCharDecoding([o = &owner](const std::string& bytes) { return o->DecodeOutput(bytes); }),
      FOnCharEncoding([o = &owner](const std::wstring& text, std::string& out) { o->EncodeInput(text, out); }),
      FOnNewChar(owner.OnNewChar),
      FOnNewLine(owner.OnNewLine),
      FOnTerminateProcess(owner.OnTerminateProcess),
      FPriority(owner.FPriority),
      FTerminateEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FTimer(timer) {
  if (!FTerminateEvent) throw EConsoleRunner(L"Error creating Event: " + SysErrorMessage(GetLastError()));
  owner.FEndStatus.exchange(esStill_Active);
}

std::shared_ptr<TRunnerThread> TRunnerThread::Start(TConsoleRunner& owner, TProcessTimer& timer, THandle& thread) {
  std::shared_ptr<TRunnerThread> worker(new TRunnerThread(owner, timer));
  auto* keep = new std::shared_ptr<TRunnerThread>(worker);
  thread.Reset(CreateThread(nullptr, 0, &TRunnerThread::ThreadProc, keep, 0, nullptr));
  if (!thread) {
    const DWORD err = GetLastError();
    delete keep;
    owner.FEndStatus.exchange(esNone);
    throw EConsoleRunner(L"Error creating Thread: " + SysErrorMessage(err));
  }
  return worker;
}

DWORD WINAPI TRunnerThread::ThreadProc(void* param) {
  auto* keep = static_cast<std::shared_ptr<TRunnerThread>*>(param);
  (*keep)->Execute();
  delete keep;
  return 0;
}

void TRunnerThread::Execute() {
  NameThread(L"TRunnerThread");
  try {
    Body();
  } catch (const std::exception& e) {
    DebugOutput(L"EXCEPTION: TRunnerThread " + ErrorText(e));
    FOwner->FEndStatus.exchange(esError);
    FError = std::current_exception();
  } catch (...) {
    DebugOutput(L"EXCEPTION: TRunnerThread unknown error");
    FOwner->FEndStatus.exchange(esError);
    FError = std::make_exception_ptr(EConsoleRunner(L"Unknown error"));
  }
  try {
    SyncToMain([this] { FOwner->WorkerEnded(*this); });
  } catch (...) {
    // Whatever the end handlers raised has been reported on the main thread already.
  }
  FFinished = true;
}

void TRunnerThread::Body() {
  SECURITY_DESCRIPTOR sd;
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  sa.bInheritHandle = TRUE;
  if (InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) && SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE))
    sa.lpSecurityDescriptor = &sd;

  // Of the two pipes only the child's three ends are inheritable; the program keeps a read
  // end for the reader, a write end for the input writer and a write end to wake the reader.
  THandle outRead, outWrite, inRead, inWrite;
  CheckPipe(CreatePipe(outRead.Put(), outWrite.Put(), &sa, 0));
  THandle errWrite = Duplicate(outWrite.Get(), true);
  THandle wakeWrite = Duplicate(outWrite.Get(), false);
  CheckPipe(CreatePipe(inRead.Put(), inWrite.Put(), &sa, 0));
  THandle readerRead = Duplicate(outRead.Get(), false);
  THandle writerWrite = Duplicate(inWrite.Get(), false);
  ClosePipeHandle(outRead);
  ClosePipeHandle(inWrite);
  FWriteStdin = writerWrite.Get();

  STARTUPINFOW si{};
  GetStartupInfoW(&si);
  si.cb = sizeof(si);
  // The program's own start-up data, without what would clash with our standard handles
  // (a hot key or monitor travels in the same fields) or hand the child our C runtime's files.
  si.dwFlags &= ~static_cast<DWORD>(STARTF_USEHOTKEY | 0x400 /* STARTF_HASSHELLDATA */);
  si.lpReserved = nullptr;
  si.lpReserved2 = nullptr;
  si.cbReserved2 = 0;
  si.dwFlags |= STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = inRead.Get();
  si.hStdOutput = outWrite.Get();
  si.hStdError = errWrite.Get();

  std::wstring environment;
  if (!FEnvironment.empty()) environment = BuildEnvironmentBlock(CurrentEnvironment(), FEnvironment);

  std::wstring commandLine = FCommandLine;  // CreateProcessW may write into it
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                      static_cast<DWORD>(FPriority) | CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT,
                      environment.empty() ? nullptr : environment.data(),
                      FCurrentDir.empty() ? nullptr : FCurrentDir.c_str(), &si, &pi)) {
    const DWORD err = GetLastError();
    throw ECreateProcessError(FormatW(L"Error creating Process: %ls - (%ls)", FCommandLine.c_str(),
                                      SysErrorMessage(err).c_str()));
  }
  THandle process(pi.hProcess), thread(pi.hThread);
  QueueToMain([owner = FOwner, pi] { owner->FProcessInformation = pi; });

  ClosePipeHandle(outWrite);
  ClosePipeHandle(inRead);
  ClosePipeHandle(errWrite);

  auto reader = std::make_unique<TReadPipe>(readerRead.Get(), wakeWrite.Get(), FOnCharDecoding);
  FScan = TScanState{};
  GetExitCodeProcess(process.Get(), &FExitCode);

  std::exception_ptr failure;
  try {
    RunChild(process.Get(), *reader);
  } catch (...) {
    failure = std::current_exception();
  }

  if (FCanTerminate) {
    WaitForSingleObject(process.Get(), 1000);
    GetExitCodeProcess(process.Get(), &FExitCode);
  }
  process.Reset();
  thread.Reset();
  try {
    reader->Terminate();
    reader->WaitFor(INFINITE);
    reader.reset();
  } catch (...) {
    // A reader that could not be woken may still be inside its read: it cannot be freed.
    if (!reader->WaitFor(1000)) (void)reader.release();
    if (!failure) failure = std::current_exception();
  }
  FWriteStdin = nullptr;
  if (failure) std::rethrow_exception(failure);
}

void TRunnerThread::RunChild(HANDLE process, TReadPipe& reader) {
  const HANDLE objects[5] = {reader.Event(), FInputLines.Event(), process, FTerminateEvent.Get(), FTimer.Event()};
  bool ended = false;  // the process object was signalled
  for (;;) {
    const DWORD w = WaitForMultipleObjects(5, objects, FALSE, INFINITE);
    switch (w) {
      case WAIT_OBJECT_0:
        while (reader.ReadString().Length() > 0 && !FStopRequested) ScanOutputStep(reader);
        break;
      case WAIT_OBJECT_0 + 1:
        if (FInputLines.Count() > 0 && !FStopRequested) {
          DoSendLine();
          if (FInputLines.Count() > 0) SetEvent(FInputLines.Event());
        }
        break;
      case WAIT_OBJECT_0 + 2:
        GetExitCodeProcess(process, &FExitCode);
        ended = true;
        break;
      case WAIT_OBJECT_0 + 3:
      case WAIT_OBJECT_0 + 4: break;
      default: throw EConsoleRunner(L"Error waiting for the process: " + SysErrorMessage(GetLastError()));
    }
    // A child may end with the code that also means "still active": the signalled process
    // object says it has ended all the same.
    if (FStopRequested || FExitCode != STILL_ACTIVE || ended) break;
    if (FMaxTimeAfterBeginning > 0 && FTimer.SinceBeginning() > FMaxTimeAfterBeginning) break;
    if (FMaxTimeAfterLastOutput > 0 && FTimer.SinceLastOutput() > FMaxTimeAfterLastOutput) break;
  }

  if (FExitCode == STILL_ACTIVE && !ended && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
    FCanTerminate = true;
    FOwner->FEndStatus.exchange(FStopRequested ? esStop : esTime);
    DoTerminateProcess(process);
  } else {
    FOwner->FEndStatus.exchange(esProcess);
    FCanTerminate = false;
    // The child is gone, but what it wrote last may still be on its way through the pipe.
    if (reader.Drain(kDrainTimeout))
      while (reader.ReadString().Length() > 0 && !FStopRequested) ScanOutputStep(reader);
  }
  FinishOutput(FScan, *this);
}

void TRunnerThread::ScanOutputStep(TReadPipe& reader) {
  TSyncString& buffer = reader.ReadString();
  const std::wstring s = buffer.Value();
  buffer.Delete(1, s.size());
  ScanOutput(s, FScan, *this);
}

void TRunnerThread::DoSendLine() {
  const std::wstring text = InputText(FInputLines.Strings(0));
  if (text.empty()) {
    FInputLines.Delete(0);
    return;
  }
  std::string bytes;
  FOnCharEncoding(text, bytes);
  DWORD written = 0;
  if (!WriteFile(FWriteStdin, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    RaiseAssertion(kUnit, 701);
  if (FInputToOutput) EchoInput(text, FHasOutputList, FScan, *this);
  FInputLines.Delete(0);
}

void TRunnerThread::DoTerminateProcess(HANDLE process) {
  if (FOnTerminateProcess) {
    bool canTerminate = FCanTerminate;
    SyncToMain([&] { FOnTerminateProcess(*FOwner, canTerminate); });
    FCanTerminate = canTerminate;
  }
  if (FCanTerminate) TerminateProcess(process, 0);
}

void TRunnerThread::NewChar(wchar_t c) {
  if (!FOnNewChar) return;
  QueueToMain([owner = FOwner, handler = FOnNewChar, c] { handler(*owner, c); });
}

void TRunnerThread::NewLine(const std::wstring& line, TOutputType type) {
  if (!FOnNewLine) return;
  QueueToMain([owner = FOwner, handler = FOnNewLine, line, type] { handler(*owner, line, type); });
}

void TRunnerThread::LinesAdd(const std::wstring& line) {
  if (!FHasOutputList) return;
  QueueToMain([owner = FOwner, line] {
    try {
      owner->FLines.push_back(line);
    } catch (...) {
    }
    if (owner->FOutputLines) owner->FOutputLines->push_back(line);
  });
}

void TRunnerThread::ReplaceLastOutput(const std::wstring& text) {
  QueueToMain([owner = FOwner, text] {
    if (std::vector<std::wstring>* list = owner->FOutputLines) {
      if (list->empty()) list->push_back(text);
      else list->back() = text;
    }
  });
}

void TRunnerThread::AppendOutput(const std::wstring& text) {
  QueueToMain([owner = FOwner, text] {
    if (std::vector<std::wstring>* list = owner->FOutputLines) list->push_back(text);
  });
}

// ---------------------------------------------------------------------------------------
// The component

TConsoleRunner::TConsoleRunner() = default;

TConsoleRunner::~TConsoleRunner() {
  Stop();
  if (FThread) {
    // The owner should have waited for OnTerminated. Wait here rather than let the worker's
    // queued deliveries reach a component that is gone.
    OnTerminated = nullptr;
    OnExecuteError = nullptr;
    FOutputLines = nullptr;
    while (FThread && !FThread->Finished()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      ProcessMessages();
    }
  }
  FThread.reset();
  // Their ends have been delivered: what is left of them needs nothing from this thread.
  for (const THandle& t : FWorkerThreads) WaitForSingleObject(t.Get(), 5000);
  FTimer.reset();
}

void TConsoleRunner::Execute() {
  if (FThread) throw EConsoleRunner(L"ConsoleRunner still running");
  if (FCommandLine.empty()) throw EConsoleRunner(L"No Commandline to execute");
  // Only those already gone: this may run inside the previous worker's end delivery.
  std::erase_if(FWorkerThreads, [](const THandle& t) { return WaitForSingleObject(t.Get(), 0) == WAIT_OBJECT_0; });
  if (!FTimer) FTimer = std::make_unique<TProcessTimer>();
  FLines.clear();
  FTimer->Beginning();
  try {
    THandle thread;
    FThread = TRunnerThread::Start(*this, *FTimer, thread);
    FWorkerThreads.push_back(std::move(thread));
  } catch (...) {
    FTimer->Ending();
    throw;
  }
}

void TConsoleRunner::Stop() {
  if (FThread) FThread->RequestStop();
}

void TConsoleRunner::SendLine(const std::wstring& AValue, bool AEol) {
  if (!FThread) throw EConsoleRunner(L"ConsoleRunner not running");
  FThread->InputLines().Add(MarkInput(AValue, AEol));
}

void TConsoleRunner::SetOnCharDecoding(TCharDecoding handler) {
  if (FThread) throw EConsoleRunner(L"ConsoleRunner still running");
  FOnCharDecoding = std::move(handler);
}

void TConsoleRunner::SetOnCharEncoding(TCharEncoding handler) {
  if (FThread) throw EConsoleRunner(L"ConsoleRunner still running");
  FOnCharEncoding = std::move(handler);
}

std::wstring TConsoleRunner::DecodeOutput(const std::string& ABuf) {
  if (FOnCharDecoding) return FOnCharDecoding(*this, ABuf);
  if (ABuf.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, ABuf.data(), static_cast<int>(ABuf.size()), nullptr, 0);
  std::wstring s(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, ABuf.data(), static_cast<int>(ABuf.size()), s.data(), n);
  return s;
}

void TConsoleRunner::EncodeInput(const std::wstring& AChars, std::string& AOutBuf) {
  if (FOnCharEncoding) {
    FOnCharEncoding(*this, AChars, AOutBuf);
    return;
  }
  if (AChars.empty()) return;
  const int n =
      WideCharToMultiByte(CP_ACP, 0, AChars.data(), static_cast<int>(AChars.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return;
  const size_t at = AOutBuf.size();
  AOutBuf.resize(at + static_cast<size_t>(n));
  WideCharToMultiByte(CP_ACP, 0, AChars.data(), static_cast<int>(AChars.size()), AOutBuf.data() + at, n, nullptr,
                      nullptr);
}

void TConsoleRunner::WorkerEnded(TRunnerThread& worker) {
  FExitCode = worker.FExitCode;
  std::exception_ptr error = worker.FError;
  try {
    if (FTimer) FTimer->Ending();
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  const std::shared_ptr<TRunnerThread> ended = std::move(FThread);  // IsRunning is now false
  FThread.reset();
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      bool handled = false;
      if (OnExecuteError) {
        try {
          OnExecuteError(*this, e, handled);
        } catch (const std::exception& inHandler) {
          ShowWorkerError(inHandler);
          handled = true;
        }
      }
      if (!handled) ShowWorkerError(e);
    }
  }
  if (OnTerminated) OnTerminated(*this);
}

void TConsoleRunner::ShowWorkerError(const std::exception& e) {
  const auto* err = dynamic_cast<const EError*>(&e);
  const std::wstring text = std::wstring(err ? err->ClassName() : L"Exception") + L"\r\n" + ErrorText(e);
  const std::wstring path = ProgramPath();
  const std::wstring caption = path.substr(path.find_last_of(L"\\/") + 1);
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_TASKMODAL | MB_ICONERROR);
}
