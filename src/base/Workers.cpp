#include "base/Workers.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

class TPool {
 public:
  // Hands the job to an idle thread, or to a new one.
  void Post(std::function<void()> job) {
    std::unique_lock<std::mutex> hold(FLock);
    FJobs.push_back(std::move(job));
    if (FIdle >= FJobs.size()) {
      FWake.notify_one();
      return;
    }
    try {
      std::thread([this] { Loop(); }).detach();
    } catch (...) {
      FJobs.pop_back();
      throw;
    }
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> hold(FLock);
    for (;;) {
      ++FIdle;
      FWake.wait(hold, [this] { return !FJobs.empty(); });
      --FIdle;
      std::function<void()> job = std::move(FJobs.front());
      FJobs.pop_front();
      hold.unlock();
      job();  // jobs catch their own exceptions
      job = nullptr;
      hold.lock();
    }
  }

  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FJobs;
  size_t FIdle = 0;
};

// Never destroyed: its threads wait on it until the process ends.
TPool& Pool() {
  static TPool* pool = new TPool;
  return *pool;
}

// Counts the jobs still running.
class TLatch {
 public:
  explicit TLatch(unsigned count) : FLeft(count) {}
  void Done(unsigned n = 1) {
    std::lock_guard<std::mutex> hold(FLock);
    FLeft -= n;
    if (FLeft == 0) FZero.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> hold(FLock);
    FZero.wait(hold, [this] { return FLeft == 0; });
  }

 private:
  std::mutex FLock;
  std::condition_variable FZero;
  unsigned FLeft;
};

}  // namespace

void RunOnWorkers(unsigned count, const std::function<void(unsigned)>& work) {
  if (count == 0) return;
  std::vector<std::exception_ptr> errors(count);
  TLatch latch(count - 1);
  for (unsigned t = 1; t < count; ++t) {
    try {
      Pool().Post([&, t] {
        try {
          work(t);
        } catch (...) {
          errors[t] = std::current_exception();
        }
        latch.Done();
      });
    } catch (const std::system_error&) {
      latch.Done(count - t);  // the started ones share the work
      break;
    }
  }
  try {
    work(0);
  } catch (...) {
    errors[0] = std::current_exception();
  }
  latch.Wait();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

struct TWorkerJob::TState {
  TLatch Ended{1};
  std::exception_ptr Error;
};

TWorkerJob::TWorkerJob(std::function<void()> job) : FState(std::make_shared<TState>()) {
  Pool().Post([state = FState, job = std::move(job)] {
    try {
      job();
    } catch (...) {
      state->Error = std::current_exception();
    }
    state->Ended.Done();
  });
}

TWorkerJob::~TWorkerJob() { FState->Ended.Wait(); }

void TWorkerJob::Wait() {
  FState->Ended.Wait();
  if (FState->Error) std::rethrow_exception(std::exchange(FState->Error, nullptr));
}
