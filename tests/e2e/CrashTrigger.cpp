// Linked only into vantoru-crashtest.exe, the test suite's build of the program: a posted
// "VantoruCrashTest" message makes it fail in the way its wParam names, inside the program's
// own code and runtime, so the crash handling is exercised as a real fault would.
#include <windows.h>

#include <stdexcept>

#include "e2e/CrashTriggerKinds.h"

namespace {

DWORD WINAPI ThrowOnAThread(void*) { throw std::runtime_error("escaped its thread"); }

void Fail(int kind) {
  switch (kind) {
    case e2e::kCrashAccessViolation: *static_cast<volatile int*>(nullptr) = 1; break;
    case e2e::kCrashNoexcept:
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
      [](const char* text) noexcept { throw std::runtime_error(text); }("test fault");
#pragma GCC diagnostic pop
      break;
    case e2e::kCrashEscapingException:
      CloseHandle(CreateThread(nullptr, 0, ThrowOnAThread, nullptr, 0, nullptr));
      Sleep(INFINITE);
      break;
    default: break;
  }
}

LRESULT CALLBACK Hook(int code, WPARAM removed, LPARAM lp) {
  static const UINT message = RegisterWindowMessageW(e2e::kCrashMessage);
  const MSG* m = reinterpret_cast<const MSG*>(lp);
  if (code == HC_ACTION && removed == PM_REMOVE && m->message == message) Fail(static_cast<int>(m->wParam));
  return CallNextHookEx(nullptr, code, removed, lp);
}

// Armed before the program's entry, on its main thread.
const HHOOK gHook = SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());

}  // namespace
