// Threads kept for the encoders' work on every core. Starting a thread costs about a
// millisecond under Wine (less on Windows), as much as a capture's first band of rows, so the
// threads of one picture are kept for the next. A job never waits for a busy thread: when
// none is idle a new one starts, so jobs may wait for one another.
#pragma once
#include <functional>
#include <memory>

// Runs work(0) on the calling thread and work(1) ... work(count - 1) on kept threads at the
// same time; returns once every call has returned, then rethrows the exception of the
// lowest index that threw. When no thread can be started, the calls not started are left
// out: `work` must let the others take their share (a shared counter of what is left).
void RunOnWorkers(unsigned count, const std::function<void(unsigned)>& work);

// A job on a kept thread; Wait (or the destructor) returns once it has returned and
// rethrows what it threw. Raises std::system_error when no thread can be started.
class TWorkerJob {
 public:
  explicit TWorkerJob(std::function<void()> job);
  TWorkerJob(const TWorkerJob&) = delete;
  TWorkerJob& operator=(const TWorkerJob&) = delete;
  ~TWorkerJob();
  void Wait();

 private:
  struct TState;
  std::shared_ptr<TState> FState;
};
