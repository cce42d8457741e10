// The process ends whenever its main window goes for good, and lives on through anything
// else: quits that arrive while a menu is open, records the system cannot deliver, starts
// that race one another, a quit refused during a recording.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <thread>

#include "app/Ids.h"
#include "e2e/Driver.h"
#include "e2e/Probe.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

class Lifetime : public TE2ETest {};

// The main window's context menu, or the notification icon's (a right click on the icon).
void OpenMenu(TVantoru& v, bool tray) {
  // A click that comes while the fresh icon is still being set up can go unnoticed: again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (tray) {
      const auto icons = TrayIconWindows();
      ASSERT_FALSE(icons.empty());
      RECT r{};
      GetWindowRect(icons.back(), &r);
      const POINT c = Centre(r);
      MouseClick(c.x, c.y, true);
    } else {
      RECT w{};
      GetWindowRect(v.Window(), &w);
      PostMessageW(v.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(v.Window()),
                   MAKELPARAM(w.left + 20, w.top + 40));
    }
    if (WaitOpenMenus(v.Window(), 1).size() == 1) return;
  }
  FAIL() << "the menu did not open";
}

TEST_F(Lifetime, QuitFromOutsideWhileAMenuIsOpenEndsTheProcess) {
  struct TCase {
    const char* Name;
    bool Tray;
    bool Uninst;  // "/uninst" from a second start, else WM_USER 2 as vantoructl sends it
  };
  for (const TCase& c : {TCase{"context menu, WM_USER 2", false, false}, TCase{"tray menu, WM_USER 2", true, false},
                         TCase{"context menu, /uninst", false, true}, TCase{"tray menu, /uninst", true, true}}) {
    SCOPED_TRACE(c.Name);
    auto v = TVantoru::Start();
    // Only this instance's icon: the last one's goes a moment after it ended.
    ASSERT_TRUE(WaitFor([] { return TrayIconWindows().size() == 1; }));
    OpenMenu(v, c.Tray);
    if (HasFatalFailure()) return;
    if (c.Uninst) {
      TProcess uninst = TProcess::Start(v.Exe(), L"/uninst");
      EXPECT_EQ(uninst.WaitExit(10s), std::optional<DWORD>(0));
    } else {
      DWORD_PTR r = 0;
      SendMessageTimeoutW(v.Window(), WM_USER, 2, 0, SMTO_NORMAL, 5000, &r);
    }
    ASSERT_TRUE(v.Process().WaitExit(5s).has_value()) << "the process outlived its main window";
    // And the next start is a first start again.
    auto next = TVantoru::Start();
    EXPECT_TRUE(IsWindowVisible(next.Window()));
    EXPECT_TRUE(next.Quit());
  }
}

TEST_F(Lifetime, ARecordTheSystemCannotDeliverLeavesTheProgramServing) {
  SetDword(kSettingsKey, L"saveto", 7);  // clipboard: a capture that needs no file
  auto v = TVantoru::Start();
  // Past what Wine's message transport carries: the receiving GetMessageW fails.
  const std::wstring huge = L"{\"command\":\"capture\",\"x\":\"" + std::wstring(1500000, L'x') + L"\"}";
  COPYDATASTRUCT cds{1, static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)), const_cast<wchar_t*>(huge.c_str())};
  DWORD_PTR reply = 0;
  SendMessageTimeoutW(v.Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 3000, &reply);
  ASSERT_TRUE(v.Process().Running());
  EXPECT_TRUE(IsWindow(v.Window()));
  // Not busy over it either.
  FILETIME c, e, k0, u0, k1, u1;
  GetProcessTimes(v.Process().Handle(), &c, &e, &k0, &u0);
  Sleep(500);
  GetProcessTimes(v.Process().Handle(), &c, &e, &k1, &u1);
  auto ticks = [](FILETIME k, FILETIME u) {
    return (static_cast<ULONGLONG>(k.dwHighDateTime) << 32 | k.dwLowDateTime) +
           (static_cast<ULONGLONG>(u.dwHighDateTime) << 32 | u.dwLowDateTime);
  };
  EXPECT_LT(ticks(k1, u1) - ticks(k0, u0), 2000000u) << "more than 200 ms of processor time in 500 ms";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_TRUE(v.Quit());
}

// Who runs is decided by creating the mutex: a mutex of another instance that this start
// may not open (a start of higher rights holds it) still means "not first".
TEST_F(Lifetime, AMutexHeldElsewhereMeansNotFirstEvenWhenItCannotBeOpened) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &sd,
                                                                   nullptr));
  SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
  HANDLE held = CreateMutexW(&sa, TRUE, L"VantoruMutex");
  LocalFree(sd);
  ASSERT_NE(held, nullptr);
  if (HANDLE probe = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"VantoruMutex")) {
    CloseHandle(probe);
    CloseHandle(held);
    GTEST_SKIP() << "this system does not deny access to the mutex";
  }
  TProcess p = TProcess::Start(ProgramFolder() + L"vantoru.exe");
  EXPECT_TRUE(p.WaitExit(20s).has_value()) << "a second instance ran";
  EXPECT_EQ(FindWindowW(L"TFrmVantoru", nullptr), nullptr);
  p.Kill();
  CloseHandle(held);
}

TEST_F(Lifetime, FiveSimultaneousStartsLeaveOneInstance) {
  const std::wstring exe = ProgramFolder() + L"vantoru.exe";
  std::vector<TProcess> starts;
  for (int i = 0; i < 5; ++i) starts.push_back(TProcess::Start(exe, L"/start"));
  // All but one end by themselves; the one left has the one main window.
  ASSERT_TRUE(WaitFor(
      [&] {
        int running = 0;
        for (auto& p : starts) running += p.Running();
        return running <= 1 && FindWindowW(L"TFrmVantoru", nullptr) != nullptr;
      },
      30s));
  Sleep(500);
  int running = 0;
  for (auto& p : starts) running += p.Running();
  EXPECT_EQ(running, 1);
  HWND w = FindWindowW(L"TFrmVantoru", nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  for (auto& p : starts) {
    if (p.Running()) {
      EXPECT_EQ(p.Pid(), pid);
    }
  }
  SendMessageTimeoutW(w, WM_USER, 2, 0, SMTO_NORMAL, 5000, nullptr);
  for (auto& p : starts) EXPECT_TRUE(p.WaitExit(10s).has_value());
}

// After a quit was refused during a recording, the close button hides again and a later
// quit asks again.
TEST_F(Lifetime, RefusedQuitLeavesTheCloseButtonHiding) {
  SetDword(kSettingsKey, L"saveto", 5);  // MP4, with the encoder stand-in
  const std::wstring folder = ProgramFolder();
  ASSERT_TRUE(CopyFileW((BuildDir() + L"ffmpeg-standin.exe").c_str(), (folder + L"ffmpeg.exe").c_str(), FALSE));
  auto v = TVantoru::Start(L"", folder);
  auto recording = [&] { return IsWindowVisible(v.Control(ctl::Label1)) != FALSE; };
  // The creation's last handler writes "area"; a request before that would be undone.
  ASSERT_TRUE(WaitFor([] { return GetDword(kSettingsKey, L"area").has_value(); }));

  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);
  ASSERT_TRUE(WaitFor(recording));
  for (int quit = 0; quit < 2; ++quit) {
    auto refused = std::async(std::launch::async, [&] {
      DWORD_PTR r = 0;
      SendMessageTimeoutW(v.Window(), WM_USER, 2, 0, SMTO_NORMAL, 20000, &r);
    });
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"A recording is in progress.");
    AnswerMessageBox(box);
    refused.wait();
  }
  // Stopped before the encoder's first frame, a recording leaves no file and says so: let it
  // report progress first.
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.Control(ctl::LvlRecTime)).substr(0, 8) >= L"00:00:01"; }));
  EXPECT_EQ(v.SendCommand(L"{\"command\":\"capture\"}"), 1);  // stops the recording
  ASSERT_TRUE(WaitFor([&] { return !recording(); }));

  SendMessageW(v.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(v.Window()); }));
  Sleep(300);
  EXPECT_TRUE(v.Process().Running()) << "the close button quit";
  EXPECT_TRUE(v.Quit());
}

}  // namespace
