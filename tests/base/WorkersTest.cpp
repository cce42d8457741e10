#include "base/Workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Lets `count` callers through only once all of them have arrived; false after 10 s, so a
// pool that runs the calls one after another fails instead of hanging.
class TMeeting {
 public:
  explicit TMeeting(unsigned count) : FLeft(count) {}
  bool Arrive() {
    std::unique_lock<std::mutex> hold(FLock);
    if (--FLeft == 0) FAll.notify_all();
    return FAll.wait_for(hold, 10s, [this] { return FLeft == 0; });
  }

 private:
  std::mutex FLock;
  std::condition_variable FAll;
  unsigned FLeft;
};

TEST(Workers, EveryIndexRunsOnceAtTheSameTimeOnItsOwnThread) {
  for (unsigned count : {1u, 2u, 5u}) {
    SCOPED_TRACE(count);
    TMeeting meeting(count);
    std::mutex lock;
    std::vector<unsigned> seen;
    std::set<std::thread::id> threads;
    std::atomic<int> met{0};
    RunOnWorkers(count, [&](unsigned i) {
      if (meeting.Arrive()) ++met;
      std::lock_guard<std::mutex> hold(lock);
      seen.push_back(i);
      threads.insert(std::this_thread::get_id());
    });
    std::sort(seen.begin(), seen.end());
    std::vector<unsigned> expected(count);
    for (unsigned i = 0; i < count; ++i) expected[i] = i;
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(met.load(), static_cast<int>(count));
    EXPECT_EQ(threads.size(), count);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 1u) << "index 0 runs on the caller";
  }
}

TEST(Workers, AFailureIsRethrownOnceEveryCallHasEnded) {
  std::atomic<int> ended{0};
  try {
    RunOnWorkers(4, [&](unsigned i) {
      if (i == 3) throw std::runtime_error("three");
      if (i == 1) {
        std::this_thread::sleep_for(50ms);
        ended++;
        throw std::runtime_error("one");
      }
      std::this_thread::sleep_for(20ms);
      ended++;
    });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "one");  // the lowest index that threw
  }
  EXPECT_EQ(ended.load(), 3);
}

// Jobs that wait for one another, nested as the PNG file's encoder does it (a job whose
// workers are jobs too): none may wait for a thread that a waiting job holds.
TEST(Workers, JobsThatWaitForEachOtherAllGetAThread) {
  constexpr unsigned kJobs = 4;
  TMeeting meeting(kJobs * 3);
  std::atomic<int> met{0};
  std::vector<std::unique_ptr<TWorkerJob>> jobs;
  for (unsigned j = 0; j < kJobs; ++j)
    jobs.push_back(std::make_unique<TWorkerJob>([&] {
      RunOnWorkers(3, [&](unsigned) {
        if (meeting.Arrive()) ++met;
      });
    }));
  for (auto& j : jobs) j->Wait();
  EXPECT_EQ(met.load(), static_cast<int>(kJobs * 3));
}

TEST(Workers, AJobIsWaitedForAndItsFailureComesBack) {
  std::atomic<bool> done{false};
  {
    TWorkerJob job([&] {
      std::this_thread::sleep_for(30ms);
      done = true;
    });
  }
  EXPECT_TRUE(done) << "the job's end is waited for when it goes";

  TWorkerJob failing([] { throw std::runtime_error("no"); });
  EXPECT_THROW(failing.Wait(), std::runtime_error);
}

}  // namespace
