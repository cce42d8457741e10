// The save folder: opening it, choosing another one.
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "e2e/Captures.h"

#include <tlhelp32.h>

using namespace e2e;

namespace {

class SaveFolder : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetString(kSettingsKey, L"language", L"en");
  }
};

std::wstring ExeOf(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  std::wstring exe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    if (pe.th32ProcessID == pid) exe = pe.szExeFile;
  CloseHandle(snap);
  return exe;
}

// Visible top-level windows of explorer.exe with exactly this title.
std::vector<HWND> ExplorerWindows(const std::wstring& title) {
  std::vector<HWND> found;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (IsWindowVisible(w) && WindowText(w) == title && ExeOf(pid) == L"explorer.exe") found.push_back(w);
  }
  return found;
}

TEST_F(SaveFolder, ButtonAndMenuOpenTheFolderInTheExplorer) {
  // A space in the name: the explorer still opens that one folder.
  const std::wstring folder = FSaveDir + L"my captures";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  SetString(kSettingsKey, L"path", folder);
  auto v = TVantoru::Start();
  for (bool menu : {false, true}) {
    SCOPED_TRACE(menu ? "menu" : "button");
    if (menu) v.MenuCommand(cmd::N12);
    else
      SendMessageW(v.Window(), WM_COMMAND, MAKEWPARAM(ctl::BtnOpenDir, BN_CLICKED),
                   reinterpret_cast<LPARAM>(v.Control(ctl::BtnOpenDir)));
    std::vector<HWND> windows;
    ASSERT_TRUE(WaitFor([&] { return !(windows = ExplorerWindows(L"my captures")).empty(); }, std::chrono::seconds(15)));
    for (HWND w : windows) PostMessageW(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return ExplorerWindows(L"my captures").empty(); }));
  }
}

TEST_F(SaveFolder, FolderSettingChoosesWithTheSystemsPickerAndWritesThePath) {
  SetString(kSettingsKey, L"language", L"ko");
  const std::wstring other = FSaveDir + L"other";
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
  const std::wstring start = FSaveDir.substr(0, FSaveDir.size() - 1);
  auto v = TVantoru::Start();
  for (bool accept : {false, true}) {
    SCOPED_TRACE(accept ? "accepted" : "cancelled");
    auto click = std::async(std::launch::async, [&] { v.MenuCommand(cmd::N4); });
    HWND dialog = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"폴더 선택");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDOK)), L"선택");
    HWND name = GetDlgItem(dialog, 1152);  // the name field, preset to the current folder
    EXPECT_EQ(WindowText(name), start);
    if (accept) {
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    } else {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    ASSERT_EQ(click.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(GetString(kSettingsKey, L"path"), accept ? other : start);
  }
  // Captures go to the chosen folder.
  EXPECT_EQ(CaptureNow(v), L"");
  EXPECT_EQ(WaitForFiles(other + L"\\", 1), std::vector<std::wstring>{L"V-001.png"});
}

}  // namespace
