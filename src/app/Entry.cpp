// Process entry and instance control.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/Crash.h"
#include "app/Main.h"
#include "base/Handles.h"
#include "base/Settings.h"
#include "base/Translate.h"
#include "record/ConsoleRunner.h"
#include "ui/Thread.h"
#include "ui/TranslateWin.h"
#include "ui/Window.h"

namespace {

constexpr const wchar_t* kMutexName = L"VantoruMutex";

// The program's arguments after its own name.
std::vector<std::wstring> Arguments() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  if (argv) LocalFree(argv);
  return args;
}

}  // namespace

int VantoruMain(const std::wstring& firstArg) {
  HWND running = FindWindowW(L"TFrmVantoru", nullptr);
  if (firstArg == L"/uninst") {
    if (running) {
      // A running recording makes the instance answer with a message box; do not wait on it.
      DWORD_PTR result = 0;
      SendMessageTimeoutW(running, WM_USER, 2, 0, SMTO_NORMAL, 1000, &result);
      for (int i = 0; i < 10 && IsWindow(running); ++i) Sleep(100);
    }
    return 0;
  }
  // Creating the mutex decides who is first, so two starts in the same instant cannot both
  // run. One that exists but cannot be had (another instance of other rights) counts too.
  // The handle is held until the process ends.
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex) CloseHandle(mutex);
    if (firstArg != L"/start" && running) {
      DWORD_PTR result = 0;
      SendMessageTimeoutW(running, WM_USER, 1, 0, SMTO_ABORTIFHUNG, 10000, &result);
    }
    return 0;
  }

  InstallCrashHandler();

  if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
    // The manifest normally did it already; older systems keep what they have.
  }
  OleInitialize(nullptr);
  InitMainThread();
  LoadTranslateTable();
  SetCurrentLanguage(GetSystemLanguage().substr(0, 2));
  {
    TFrmVantoru form(firstArg);
    if (firstArg != L"/start") {
      ShowWindow(form.Handle(), SW_SHOW);
      UpdateWindow(form.Handle());
    }
    RunMessageLoop(form.Handle());
  }
  try {
    ShutdownProcessTimers();  // every runner must have ended its run by now
  } catch (const std::exception& e) {
    ShowUnhandledError(ExceptionMessage(e));
  }
  ShutdownMainThread();
  SetCurrentLanguage(L"");
  OleUninitialize();
  return 0;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> args = Arguments();
  const std::wstring first = args.empty() ? std::wstring() : args[0];
  // The window of a crash report, started by the crashed instance.
  if (first == L"/crash") return ShowCrashReport(args.size() > 1 ? args[1] : std::wstring());
  VantoruMain(first);
  return 0;
}
