// The shell's shared routines, in-process under Wine.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/AutoStart.h"
#include "base/Config.h"
#include "base/Errors.h"
#include "ui/Bitmap.h"
#include "ui/Thread.h"
#include "ui/Window.h"

namespace {

constexpr const wchar_t* kTestPath = L"Dorvenix\\VantoruShellTest";

TEST(TConfig, ReadsWhatItWroteAndDefaultsForAbsentOrMistypedValues) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dorvenix\\VantoruShellTest");
  {
    TConfig cfg(kTestPath);
    EXPECT_EQ(cfg.ReadInteger(L"n", 5), 5);
    EXPECT_EQ(cfg.ReadString(L"s", L"def"), L"def");
    EXPECT_EQ(cfg.WriteInteger(L"n", -3), -3);
    cfg.WriteBoolean(L"b", true);
    cfg.WriteString(L"s", L"반토루");
    cfg.WriteString(L"wrong", L"12");
  }
  TConfig cfg(kTestPath);
  EXPECT_EQ(cfg.ReadInteger(L"n", 5), -3);
  EXPECT_TRUE(cfg.ReadBoolean(L"b", false));
  EXPECT_EQ(cfg.ReadString(L"s", L""), L"반토루");
  EXPECT_EQ(cfg.ReadInteger(L"wrong", 9), 9);     // a text where a number belongs
  EXPECT_EQ(cfg.ReadString(L"n", L"x"), L"x");   // a number where a text belongs
  cfg.WriteInteger(L"b", 7);
  EXPECT_TRUE(cfg.ReadBoolean(L"b", false));     // anything but 0 is true
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dorvenix\\VantoruShellTest");
}

TEST(AutoStart, WritesQuotedPathWithStartAndDeletesIdempotently) {
  const std::wstring name = L"VantoruShellTest";
  ASSERT_TRUE(SetAutoStart(name, true));
  wchar_t buf[1024];
  DWORD size = sizeof(buf);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", name.c_str(),
                         RRF_RT_REG_SZ, nullptr, buf, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(buf), L"\"" + ProgramPath() + L"\" /start");
  EXPECT_TRUE(IsAutoStart(name));
  EXPECT_TRUE(SetAutoStart(name, false));
  EXPECT_TRUE(SetAutoStart(name, false));  // already gone: still fine
  EXPECT_FALSE(IsAutoStart(name));
}

TEST(Helpers, PathsAndVersion) {
  EXPECT_EQ(JoinPath(L"C:\\a", L"b.png"), L"C:\\a\\b.png");
  EXPECT_EQ(JoinPath(L"C:\\a\\", L"b.png"), L"C:\\a\\b.png");
  EXPECT_EQ(ProgramDir().back(), L'\\');
  // The test program carries no version information.
  EXPECT_EQ(FileVersionText(L"%d.%d.%d.%d"), L"0.0.0.0");
  EXPECT_FALSE(GetSpecialFolder(0 /* desktop */).empty());
}

TEST(ScaleValue, RoundsHalvesToEven) {
  EXPECT_EQ(ScaleForDpi(82, 144), 123);
  EXPECT_EQ(ScaleForDpi(145, 96), 145);
  EXPECT_EQ(ScaleForDpi(1, 144), 2);   // 1.5 -> 2
  EXPECT_EQ(ScaleForDpi(3, 144), 4);   // 4.5 -> 4
  EXPECT_EQ(ScaleForDpi(5, 144), 8);   // 7.5 -> 8
  EXPECT_EQ(ScaleForDpi(25, 120), 31); // 31.25
}

TEST(Wait, RunsOnAPoolThreadWhileMessagesAreDispatched) {
  InitMainThread();
  const DWORD ui = GetCurrentThreadId();
  std::atomic<DWORD> worker{0};
  bool dispatched = false;
  // Runs only if Wait keeps dispatching the thread's messages.
  QueueToMain([&] { dispatched = true; });
  Wait([&] {
    worker = GetCurrentThreadId();
    Sleep(300);
  });
  EXPECT_NE(worker.load(), 0u);
  EXPECT_NE(worker.load(), ui);
  EXPECT_TRUE(dispatched);
}

TEST(Wait, SwallowsErrorsOfTheProcedure) {
  bool after = false;
  Wait([] { throw EError(L"boom"); });
  after = true;
  EXPECT_TRUE(after);
}

TEST(MainThreadQueue, KeepsOrderAcrossQueuedAndSynchronousTasks) {
  InitMainThread();
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) QueueToMain([&order, i] { order.push_back(i); });
    // A synchronous task runs after everything queued before it.
    SyncToMain([&] { order.push_back(1000); });
  });
  while (order.size() < 51) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    ProcessMessages();
  }
  worker.join();
  ASSERT_EQ(order.size(), 51u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
  EXPECT_EQ(order.back(), 1000);
}

TEST(MainThreadQueue, SyncRaisesTheTasksErrorAndShutdownReleasesWaiters) {
  InitMainThread();
  std::atomic<int> state{0};
  std::thread worker([&] {
    try {
      SyncToMain([] { throw EError(L"inside"); });
    } catch (const EError& e) {
      if (e.Message() == L"inside") state = 1;
    }
  });
  while (state == 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    ProcessMessages();
  }
  worker.join();
  EXPECT_EQ(state.load(), 1);

  std::atomic<bool> returned{false}, ran{true};
  std::thread late([&] {
    ran = SyncToMain([] {});
    returned = true;
  });
  Sleep(100);
  ShutdownMainThread();  // never dispatched: the waiter must still come back
  late.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(QueueToMain([] {}));
}

TEST(TBitmap, SetSizeKeepsTheSharedPartAndFormatsConvert) {
  TBitmap b;
  b.SetSize(4, 3);
  ASSERT_EQ(b.BitsPerPixel(), 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = b.Row(y) + x * 4;
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 200;
    }
  b.SetSize(2, 2);
  EXPECT_EQ(b.Row(1)[4], 1);
  EXPECT_EQ(b.Row(1)[5], 1);
  b.SetPixelFormat(24);
  EXPECT_EQ(b.BitsPerPixel(), 24);
  EXPECT_EQ(b.Stride(), 8);  // 6 bytes padded to 4
  EXPECT_EQ(b.Row(1)[3], 1);
  EXPECT_EQ(b.Row(1)[5], 200);
  b.SetSize(0, 5);
  EXPECT_TRUE(b.Empty());
}

TEST(TBitmap, ResizeBitmapScalesWithTheImagingComponent) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  TBitmap b;
  b.SetSize(10, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 10; ++x) b.Row(y)[x * 4 + 1] = 255;  // green
  ResizeBitmap(b, 30, 12);
  EXPECT_EQ(b.Width(), 30);
  EXPECT_EQ(b.Height(), 12);
  EXPECT_EQ(b.Row(6)[15 * 4 + 1], 255);
  EXPECT_EQ(b.Row(6)[15 * 4 + 2], 0);
  CoUninitialize();
}

}  // namespace
