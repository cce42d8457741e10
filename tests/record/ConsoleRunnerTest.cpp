// The console runner against small child programs of the test suite, in-process under Wine.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "RunnerTestHelpers.h"
#include "base/AutoStart.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "record/ConsoleRunner.h"
#include "ui/Thread.h"
#include "ui/Window.h"

using namespace runnertest;

namespace {

std::wstring Child(const std::wstring& args) { return L"\"" + ProgramDir() + L"runner-child.exe\" " + args; }

// A runner whose deliveries are written down in the order they arrive.
struct TRun {
  TConsoleRunner R;
  std::vector<std::wstring> Events;  // "line:...", "frag:...", "end"
  int Ends = 0;

  explicit TRun(const std::wstring& commandLine) {
    R.SetCommandLine(commandLine);
    R.OnNewLine = [this](TConsoleRunner& sender, const std::wstring& line, TOutputType type) {
      EXPECT_EQ(&sender, &R);
      EXPECT_TRUE(sender.IsRunning());  // every delivery comes before the end
      Events.push_back((type == otEntireLine ? L"line:" : L"frag:") + line);
    };
    R.OnTerminated = [this](TConsoleRunner& sender) {
      EXPECT_FALSE(sender.IsRunning());
      Events.push_back(L"end");
      ++Ends;
    };
  }
  bool WaitEnd(DWORD ms = 15000) {
    const int before = Ends;
    return PumpUntil([&] { return Ends > before || (!R.IsRunning() && Ends > 0); }, ms);
  }
  bool WaitLine(const std::wstring& event, DWORD ms = 10000) {
    return PumpUntil([&] { return std::find(Events.begin(), Events.end(), event) != Events.end(); }, ms);
  }
  std::vector<std::wstring> Completed() const {
    std::vector<std::wstring> lines;
    for (const auto& e : Events)
      if (e.rfind(L"line:", 0) == 0) lines.push_back(e.substr(5));
    return lines;
  }
};

class ConsoleRunner : public ::testing::Test {
 protected:
  void SetUp() override { InitMainThread(); }
  void TearDown() override { EXPECT_EQ(ProcessTimerCount(), 0u) << "a tick outlived its run"; }
};

HANDLE OpenChild(const TConsoleRunner& r) {
  return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                     r.ProcessInformation().dwProcessId);
}

TEST_F(ConsoleRunner, ChildEndingByItselfDeliversEverythingInOrderThenTheEnd) {
  TRun run(Child(L"write \"a\\r\\nb\" \"\\r\\n\" tail exit=7"));
  std::vector<std::wstring> list;
  run.R.SetOutputLines(&list);
  EXPECT_EQ(run.R.EndStatus(), esNone);
  run.R.Execute();
  EXPECT_TRUE(run.R.IsRunning());
  EXPECT_EQ(run.R.EndStatus(), esStill_Active);
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Events, (std::vector<std::wstring>{L"line:a", L"frag:b", L"line:b", L"frag:tail", L"line:tail", L"end"}));
  EXPECT_EQ(run.R.EndStatus(), esProcess);
  EXPECT_EQ(run.R.ExitCode(), 7u);
  EXPECT_NE(run.R.ProcessInformation().dwProcessId, 0u);
  // With an output list both it and Lines receive every completed line.
  EXPECT_EQ(list, (std::vector<std::wstring>{L"a", L"b", L"tail"}));
  EXPECT_EQ(run.R.Lines(), list);

  // The same runner again, now without an output list: Lines stays empty.
  run.R.SetOutputLines(nullptr);
  run.Events.clear();
  run.R.SetCommandLine(Child(L"write one\\r\\n exit=0"));
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Events, (std::vector<std::wstring>{L"line:one", L"end"}));
  EXPECT_TRUE(run.R.Lines().empty());
  EXPECT_EQ(run.R.ExitCode(), 0u);
}

TEST_F(ConsoleRunner, NothingTheChildWroteBeforeEndingIsLost) {
  for (int round = 0; round < 2; ++round) {
    TRun run(Child(L"flood 500"));
    std::vector<std::wstring> list;
    run.R.SetOutputLines(&list);
    // A reader that is slow with the last piece: the child has long ended when it comes.
    run.R.SetOnCharDecoding([](TConsoleRunner&, const std::string& bytes) {
      if (bytes.find("line 500") != std::string::npos) Sleep(1000);
      return std::wstring(bytes.begin(), bytes.end());
    });
    run.R.Execute();
    ASSERT_TRUE(run.WaitEnd(30000));
    ASSERT_EQ(list.size(), 500u) << "round " << round;
    EXPECT_EQ(list.back(), L"line 500");
    EXPECT_EQ(run.R.EndStatus(), esProcess);
  }
}

TEST_F(ConsoleRunner, StopKillsTheChildWithExitCodeZero) {
  TRun run(Child(L"hang"));
  run.R.Execute();
  ASSERT_TRUE(run.WaitLine(L"line:ready"));
  THandle child(OpenChild(run.R));
  ASSERT_TRUE(child);
  run.R.Stop();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.R.EndStatus(), esStop);
  EXPECT_EQ(run.R.ExitCode(), 0u);
  EXPECT_EQ(WaitForSingleObject(child.Get(), 5000), WAIT_OBJECT_0);
}

TEST_F(ConsoleRunner, TerminateProcessHandlerMaySpareTheChild) {
  TRun run(Child(L"hang"));
  int asked = 0;
  run.R.OnTerminateProcess = [&](TConsoleRunner&, bool& canTerminate) {
    EXPECT_TRUE(canTerminate);
    ++asked;
    canTerminate = false;
  };
  run.R.Execute();
  ASSERT_TRUE(run.WaitLine(L"line:ready"));
  THandle child(OpenChild(run.R));
  run.R.Stop();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(run.R.EndStatus(), esStop);
  EXPECT_EQ(WaitForSingleObject(child.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));  // still alive
  TerminateProcess(child.Get(), 9);
}

TEST_F(ConsoleRunner, TimeLimitsEndTheRunAfterTheLimitHasPassed) {
  struct TCase {
    const wchar_t* Args;
    int AfterBeginning, AfterLastOutput;
    const wchar_t* Last;
  } cases[] = {
      {L"hang", 1, 0, L"line:ready"},
      // A prompt is no completed line: the time since the last output keeps counting.
      {L"prompt", 0, 1, L"line:Name> "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args);
    TRun run(Child(c.Args));
    run.R.SetMaxTimeAfterBeginning(c.AfterBeginning);
    run.R.SetMaxTimeAfterLastOutput(c.AfterLastOutput);
    const ULONGLONG start = GetTickCount64();
    run.R.Execute();
    ASSERT_TRUE(run.WaitEnd());
    // The limit is passed at the second tick, not the first.
    EXPECT_GE(GetTickCount64() - start, 1900u);
    EXPECT_EQ(run.R.EndStatus(), esTime);
    EXPECT_EQ(run.Events[run.Events.size() - 2], c.Last);
  }
}

TEST_F(ConsoleRunner, MissingProgramShowsTheErrorBoxUnlessTheHandlerTakesIt) {
  const std::wstring cmd = L"\"C:\\no such folder\\missing.exe\" -x";
  TRun run(cmd);
  TBoxWatcher box;
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(box.Caption(), L"shell_tests.exe");
  const std::wstring prefix = L"ECreateProcessError\r\nError creating Process: " + cmd + L" - (";
  EXPECT_EQ(box.Text().substr(0, prefix.size()), prefix) << box.Text();
  EXPECT_GT(box.Text().size(), prefix.size() + 1);
  EXPECT_EQ(box.Text().back(), L')');
  EXPECT_EQ(run.R.EndStatus(), esError);
  EXPECT_EQ(run.Events, std::vector<std::wstring>{L"end"});  // after the box was answered
  EXPECT_EQ(box.Count(), 1);

  // A handler that takes the error: no box, and the run still ends.
  std::wstring seen;
  run.R.OnExecuteError = [&](TConsoleRunner&, const std::exception& e, bool& handled) {
    seen = dynamic_cast<const EError&>(e).ClassName();
    handled = true;
  };
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(seen, L"ECreateProcessError");
  EXPECT_EQ(run.R.EndStatus(), esError);
  EXPECT_EQ(box.Count(), 1);
}

TEST_F(ConsoleRunner, SendLineWritesTheTextWithOrWithoutALineEnd) {
  TRun run(Child(L"echo"));
  run.R.Execute();
  ASSERT_TRUE(run.WaitLine(L"line:ready"));
  run.R.SendLine(L"q", false);
  ASSERT_TRUE(run.WaitLine(L"line:got 71"));
  run.R.SendLine(L"q", true);
  ASSERT_TRUE(run.WaitLine(L"line:got 71 0d 0a"));
  run.R.SendLine(L"", false);  // writes nothing
  run.R.SendLine(L"x", false);
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Completed(), (std::vector<std::wstring>{L"ready", L"got 71", L"got 71 0d 0a", L"got 78"}));
  EXPECT_EQ(run.R.EndStatus(), esProcess);
}

TEST_F(ConsoleRunner, EchoCompletesThePromptInTheOutputList) {
  TRun run(Child(L"prompt"));
  std::vector<std::wstring> list{L"earlier"};
  run.R.SetOutputLines(&list);
  run.R.SetInputToOutput(true);
  run.R.Execute();
  ASSERT_TRUE(run.WaitLine(L"frag:Name> "));
  run.R.SendLine(L"bob", true);
  ASSERT_TRUE(run.WaitLine(L"line:Name> bob\r\n"));
  EXPECT_EQ(list, (std::vector<std::wstring>{L"Name> bob\r\n"}));
  run.R.Stop();
  ASSERT_TRUE(run.WaitEnd());
}

TEST_F(ConsoleRunner, EnvironmentFolderAndDecodingReachTheRun) {
  TRun run(Child(L"env VANTORU_RUNNER_TEST"));
  run.R.Environment().push_back(L"VANTORU_RUNNER_TEST=hello there");
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Completed(), std::vector<std::wstring>{L"VANTORU_RUNNER_TEST=hello there"});

  // The rest of the program's environment comes along.
  SetEnvironmentVariableW(L"VANTORU_RUNNER_INHERITED", L"yes");
  run.Events.clear();
  run.R.SetCommandLine(Child(L"env VANTORU_RUNNER_INHERITED"));
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Completed(), std::vector<std::wstring>{L"VANTORU_RUNNER_INHERITED=yes"});

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir(tmp);
  if (dir.back() == L'\\') dir.pop_back();
  run.Events.clear();
  run.R.SetCurrentDir(dir);
  run.R.SetCommandLine(Child(L"cwd"));
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  ASSERT_EQ(run.Completed().size(), 1u);
  EXPECT_EQ(_wcsicmp(run.Completed()[0].c_str(), dir.c_str()), 0) << run.Completed()[0];

  // A decoding handler replaces the ANSI decoding: the child writes UTF-8.
  run.Events.clear();
  run.R.SetOnCharDecoding([](TConsoleRunner&, const std::string& bytes) {
    std::wstring s(bytes.size(), L'\0');
    s.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), s.data(), static_cast<int>(s.size()))));
    return s;
  });
  run.R.SetCommandLine(Child(L"write \"\uBC18\uD1A0\uB8E8\\r\\n\""));
  run.R.Execute();
  ASSERT_TRUE(run.WaitEnd());
  EXPECT_EQ(run.Completed(), std::vector<std::wstring>{L"\uBC18\uD1A0\uB8E8"});
}

TEST_F(ConsoleRunner, RefusesWhatItCannotDo) {
  TConsoleRunner r;
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const EConsoleRunner& e) {
      return e.Message();
    }
    return std::wstring(L"(nothing raised)");
  };
  EXPECT_EQ(message([&] { r.Execute(); }), L"No Commandline to execute");
  EXPECT_EQ(message([&] { r.SendLine(L"q", false); }), L"ConsoleRunner not running");
  r.Stop();  // nothing to stop: nothing happens
  r.SetCommandLine(Child(L"hang"));
  bool ended = false;
  r.OnTerminated = [&](TConsoleRunner&) { ended = true; };
  r.Execute();
  EXPECT_EQ(message([&] { r.Execute(); }), L"ConsoleRunner still running");
  EXPECT_EQ(message([&] { r.SetOnCharDecoding(nullptr); }), L"ConsoleRunner still running");
  EXPECT_EQ(message([&] { r.SetOnCharEncoding(nullptr); }), L"ConsoleRunner still running");
  r.Stop();
  ASSERT_TRUE(PumpUntil([&] { return ended; }));
  EXPECT_EQ(r.EndStatus(), esStop);
}

int ThreadCount() {
  int n = 0;
  THandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 te{};
  te.dwSize = sizeof(te);
  for (BOOL ok = Thread32First(snap.Get(), &te); ok; ok = Thread32Next(snap.Get(), &te))
    if (te.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  return n;
}

// Wine counts no handles (GetProcessHandleCount gives 0), but it hands out the lowest free
// slot: the highest of a batch of new handles rises with every handle left open meanwhile.
uintptr_t HandleHighWater() {
  std::vector<HANDLE> probe;
  for (int i = 0; i < 16; ++i) probe.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  uintptr_t high = 0;
  for (HANDLE h : probe) {
    high = std::max(high, reinterpret_cast<uintptr_t>(h));
    CloseHandle(h);
  }
  return high;
}

TEST_F(ConsoleRunner, ManyShortRunsInARowLeaveNoHandleOrThread) {
  TConsoleRunner r;
  r.SetCommandLine(Child(L"write hi\\r\\n exit=3"));
  int ends = 0;
  std::wstring last;
  r.OnNewLine = [&](TConsoleRunner&, const std::wstring& line, TOutputType) { last = line; };
  // A failed run is reported here rather than in a box nobody would answer.
  std::vector<std::wstring> errors;
  r.OnExecuteError = [&](TConsoleRunner&, const std::exception& e, bool& handled) {
    errors.push_back(ExceptionMessage(e));
    handled = true;
  };
  // Each end starts the next run from inside OnTerminated.
  int toGo = 0;
  r.OnTerminated = [&](TConsoleRunner& sender) {
    ++ends;
    EXPECT_EQ(sender.ExitCode(), 3u);
    if (--toGo <= 0) return;
    try {
      sender.Execute();
    } catch (const std::exception& e) {
      errors.push_back(L"Execute: " + ExceptionMessage(e));
      toGo = 0;
    }
  };
  // Well inside the test's own time limit, so that a run that never ends says where it stood.
  auto runs = [&](int n) {
    toGo = n;
    last.clear();
    r.Execute();
    const bool done = PumpUntil([&] { return toGo == 0 && !r.IsRunning(); }, 60000);
    if (!done) {
      THandle child(OpenChild(r));
      ADD_FAILURE() << "runs left " << toGo << ", ends " << ends << ", running " << r.IsRunning() << ", child "
                    << r.ProcessInformation().dwProcessId
                    << (child && WaitForSingleObject(child.Get(), 0) == WAIT_TIMEOUT ? " still there" : " gone");
    }
    for (const auto& e : errors) ADD_FAILURE() << WideToUtf8(e);
    return done && errors.empty();
  };
  ASSERT_TRUE(runs(3));
  Sleep(200);  // let the last worker finish leaving
  const uintptr_t handles = HandleHighWater();
  const int threads = ThreadCount();
  ASSERT_GT(threads, 0);
  // Under Wine a child with a console of its own takes about half a second to come and go.
  ASSERT_TRUE(runs(25));
  EXPECT_EQ(ends, 28);
  EXPECT_EQ(last, L"hi");
  Sleep(200);
  const uintptr_t after = HandleHighWater();
  EXPECT_LE(after, handles + 4 * 4) << "highest new handle before " << handles << ", after " << after;
  EXPECT_LE(ThreadCount(), threads + 1);
}

// After its end is delivered the worker still frees itself on its own thread; a runner
// that is gone must have waited for that, or a process ending right after it may end while
// the worker does (a crash at exit). The worker's copy of a handler, the last one, frees
// slowly here.
TEST_F(ConsoleRunner, OnceTheRunnerIsGoneSoIsItsWorker) {
  struct TSlowToFree {
    explicit TSlowToFree(std::atomic<bool>* freed) : Freed(freed) {}
    std::atomic<bool>* Freed;
    ~TSlowToFree() {
      Sleep(300);
      *Freed = true;
    }
  };
  for (bool waitForTheEnd : {true, false}) {
    SCOPED_TRACE(waitForTheEnd ? "ended" : "destroyed while running");
    std::atomic<bool> freed{false};
    {
      auto run = std::make_unique<TRun>(Child(waitForTheEnd ? L"write hi\\r\\n exit=3" : L"hang"));
      run->R.OnNewChar = [slow = std::make_shared<TSlowToFree>(&freed)](TConsoleRunner&, wchar_t) {};
      run->R.Execute();
      run->R.OnNewChar = nullptr;  // the worker's copy is the last
      if (waitForTheEnd) ASSERT_TRUE(run->WaitEnd());
      else ASSERT_TRUE(run->WaitLine(L"line:ready"));
    }
    EXPECT_TRUE(freed);
  }
}

TEST(ProcessTimer, TicksThroughTheMessageLoopAndTheShutdownCheckCatchesAStrayOne) {
  TProcessTimer t;
  t.Beginning();
  EXPECT_TRUE(t.Enabled());
  EXPECT_EQ(ProcessTimerCount(), 1u);
  ASSERT_TRUE(PumpUntil([&] { return t.SinceBeginning() >= 2; }, 5000));
  EXPECT_EQ(WaitForSingleObject(t.Event(), 0), WAIT_OBJECT_0);  // set by the ticks
  EXPECT_GE(t.SinceLastOutput(), 2);
  t.NewOutput();
  EXPECT_EQ(t.SinceLastOutput(), 0);
  EXPECT_GE(t.SinceBeginning(), 2);
  t.Ending();
  EXPECT_EQ(ProcessTimerCount(), 0u);
  EXPECT_NO_THROW(ShutdownProcessTimers());

  t.Beginning();
  try {
    ShutdownProcessTimers();
    ADD_FAILURE() << "a tick left at shutdown went unnoticed";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), L"Assertion failure (ConsoleRunner, line 430)");
  }
  EXPECT_EQ(ProcessTimerCount(), 0u);
  EXPECT_FALSE(t.Enabled());
}

}  // namespace
