#include "ui/Thread.h"

#include <windows.h>

#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "base/Errors.h"
#include "base/Translate.h"
#include "base/Handles.h"
#include "ui/Window.h"

void Wait(const std::function<void()>& proc) {
  struct TJob {
    const std::function<void()>* Proc;
    THandle Done;
  } job{&proc, THandle(CreateEventW(nullptr, TRUE, FALSE, nullptr))};
  auto body = [](PTP_CALLBACK_INSTANCE, void* ctx) {
    auto* j = static_cast<TJob*>(ctx);
    try {
      (*j->Proc)();
    } catch (...) {
      // The caller learns the outcome from the state the procedure left behind.
    }
    SetEvent(j->Done.Get());
  };
  if (!job.Done || !TrySubmitThreadpoolCallback(body, &job, nullptr)) {
    try {
      proc();
    } catch (...) {
    }
    return;
  }
  HANDLE h = job.Done.Get();
  while (MsgWaitForMultipleObjects(1, &h, FALSE, 10, QS_ALLINPUT) != WAIT_OBJECT_0) {
    // Once the program is quitting, a posted WM_QUIT would wake this loop at once, again
    // and again: just wait for the procedure then.
    MSG quit;
    if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) {
      WaitForSingleObject(h, INFINITE);
      break;
    }
    ProcessMessages();
  }
}

void WaitOrRaise(const std::function<void()>& proc) {
  std::exception_ptr error;
  Wait([&] {
    try {
      proc();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
}

namespace {

constexpr UINT WM_RUN_TASKS = WM_APP + 1;

struct TTask {
  std::function<void()> Run;
  HANDLE Done = nullptr;  // set after running (synchronous tasks only)
  std::exception_ptr Error;
  bool Ran = false;
};

struct TQueue {
  std::mutex Lock;
  std::deque<std::shared_ptr<TTask>> Tasks;
  HWND Window = nullptr;
  DWORD ThreadId = 0;
  bool Open = false;
};

TQueue& Queue() {
  static TQueue q;
  return q;
}

void RunPending() {
  TQueue& q = Queue();
  for (;;) {
    std::shared_ptr<TTask> t;
    {
      std::lock_guard<std::mutex> g(q.Lock);
      if (q.Tasks.empty()) return;
      t = q.Tasks.front();
      q.Tasks.pop_front();
    }
    try {
      t->Run();
    } catch (const std::exception& e) {
      if (t->Done) t->Error = std::current_exception();
      else ShowUnhandledError(TranslateError(e));
    } catch (...) {
      if (t->Done) t->Error = std::current_exception();
    }
    t->Ran = true;
    if (t->Done) SetEvent(t->Done);
  }
}

LRESULT CALLBACK QueueProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_RUN_TASKS) {
    RunPending();
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

bool Enqueue(const std::shared_ptr<TTask>& t) {
  TQueue& q = Queue();
  std::lock_guard<std::mutex> g(q.Lock);
  if (!q.Open) return false;
  q.Tasks.push_back(t);
  // One wake-up per task is harmless: an empty queue ends the handler at once.
  PostMessageW(q.Window, WM_RUN_TASKS, 0, 0);
  return true;
}

}  // namespace

void InitMainThread() {
  TQueue& q = Queue();
  WNDCLASSW wc{};
  wc.lpfnWndProc = QueueProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VantoruTaskQueue";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  std::lock_guard<std::mutex> g(q.Lock);
  q.Window = wnd;
  q.ThreadId = GetCurrentThreadId();
  q.Open = wnd != nullptr;
}

void ShutdownMainThread() {
  TQueue& q = Queue();
  std::deque<std::shared_ptr<TTask>> dropped;
  HWND wnd;
  {
    std::lock_guard<std::mutex> g(q.Lock);
    q.Open = false;
    dropped.swap(q.Tasks);
    wnd = q.Window;
    q.Window = nullptr;
  }
  for (auto& t : dropped)
    if (t->Done) SetEvent(t->Done);
  if (wnd) DestroyWindow(wnd);
}

bool IsMainThread() { return GetCurrentThreadId() == Queue().ThreadId; }

bool QueueToMain(std::function<void()> task) {
  auto t = std::make_shared<TTask>();
  t->Run = std::move(task);
  return Enqueue(t);
}

bool SyncToMain(const std::function<void()>& task) {
  if (IsMainThread()) {
    task();
    return true;
  }
  THandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto t = std::make_shared<TTask>();
  t->Run = task;
  t->Done = done.Get();
  if (!done || !Enqueue(t)) return false;
  WaitForSingleObject(done.Get(), INFINITE);
  if (t->Error) std::rethrow_exception(t->Error);
  return t->Ran;
}
