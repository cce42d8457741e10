// What the runner's and recorder's in-process tests share: pumping this thread's messages
// (the runner's deliveries and ticks come through them) and answering this process's
// message boxes from another thread.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ui/Window.h"

namespace runnertest {

inline bool PumpUntil(const std::function<bool()>& cond, DWORD ms = 10000) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!cond()) {
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    ProcessMessages();
  }
  return true;
}

// Answers every message box of this process with OK and keeps the last one's texts.
class TBoxWatcher {
 public:
  TBoxWatcher() : FThread([this] { Watch(); }) {}
  ~TBoxWatcher() {
    FStop = true;
    FThread.join();
  }
  int Count() const { return FCount; }
  std::wstring Text() {
    std::lock_guard<std::mutex> g(FLock);
    return FText;
  }
  std::wstring Caption() {
    std::lock_guard<std::mutex> g(FLock);
    return FCaption;
  }

 private:
  static std::wstring TextOf(HWND w) {
    wchar_t buf[2048] = {};
    GetWindowTextW(w, buf, 2048);
    return buf;
  }
  void Watch() {
    while (!FStop) {
      HWND found = nullptr;
      EnumWindows(
          [](HWND w, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || std::wstring(cls) != L"#32770") return TRUE;
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&found));
      if (found) {
        std::wstring text;
        for (HWND c = GetWindow(found, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
          wchar_t cls[32] = {};
          GetClassNameW(c, cls, 32);
          const std::wstring t = TextOf(c);
          if (std::wstring(cls) == L"Static" && t.size() > text.size()) text = t;
        }
        {
          std::lock_guard<std::mutex> g(FLock);
          FText = text;
          FCaption = TextOf(found);
        }
        ++FCount;
        SendMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (IsWindow(found) && !FStop) Sleep(10);
      }
      Sleep(20);
    }
  }
  std::atomic<bool> FStop{false};
  std::atomic<int> FCount{0};
  std::mutex FLock;
  std::wstring FText, FCaption;
  std::thread FThread;
};

}  // namespace runnertest
