// Saving when something is off: a full disk, partial files a crash left behind, a save
// folder setting that is empty, holds environment strings or is absurdly long.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>

#include "e2e/Captures.h"
#include "e2e/Driver.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";

class SaveTrouble : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetString(kSettingsKey, L"language", L"en");
  }
};

std::string Narrow(const std::wstring& w) {
  std::string s(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), 0);
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), static_cast<int>(s.size()), nullptr, nullptr);
  if (!s.empty()) s.pop_back();
  return s;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::wstring& path, const std::string& bytes = "x") {
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// The capture's failure box: its text, and how wide it is on the screen.
struct TBox {
  std::wstring Text;
  int Width = 0;
};
TBox CaptureFailure(TVantoru& v) {
  auto reply = v.SendCommandAsync(kCapture);
  TBox b;
  if (HWND box = WaitMessageBox(v.Process().Pid())) {
    b.Text = MessageBoxText(box);
    RECT r{};
    GetWindowRect(box, &r);
    b.Width = r.right - r.left;
    AnswerMessageBox(box);
  }
  reply.wait();
  return b;
}

std::wstring SystemText(DWORD code) {
  wchar_t buf[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf, 512, nullptr);
  std::wstring s(buf);
  while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
  return s;
}

TEST_F(SaveTrouble, PartialFilesOfACrashAreRemovedAndTheirNumbersUsed) {
  // V-145.png.part is what a crash between writing and renaming leaves.
  WriteFile(FSaveDir + L"V-144.png");
  WriteFile(FSaveDir + L"V-145.png.part");
  // Not ours: other names (low numbers, since every "V-" file counts for the numbering), and a folder.
  const std::vector<std::wstring> theirs = {L"V-01.png.part", L"notes.part", L"V-002.doc.part", L"V-003.png.part.txt"};
  for (const auto& n : theirs) WriteFile(FSaveDir + n);
  ASSERT_TRUE(CreateDirectoryW((FSaveDir + L"V-160.png.part").c_str(), nullptr));

  auto v = TVantoru::Start();
  EXPECT_FALSE(Exists(FSaveDir + L"V-145.png.part")) << "left at start";
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Exists(FSaveDir + L"V-145.png"));

  // One left while the program runs goes before the next file is named...
  WriteFile(FSaveDir + L"V-146.jpg.part");
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Exists(FSaveDir + L"V-146.png"));
  EXPECT_FALSE(Exists(FSaveDir + L"V-146.jpg.part"));

  // ...but never one that is being written: it is open, as a save in progress holds it.
  HANDLE writing = CreateFileW((FSaveDir + L"V-147.png.part").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writing, INVALID_HANDLE_VALUE);
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Exists(FSaveDir + L"V-148.png"));
  CloseHandle(writing);
  EXPECT_TRUE(Exists(FSaveDir + L"V-147.png.part"));

  for (const auto& n : theirs) EXPECT_TRUE(Exists(FSaveDir + n)) << Narrow(n);
  EXPECT_TRUE(Exists(FSaveDir + L"V-160.png.part"));
}

TEST_F(SaveTrouble, AnEmptyFolderSettingSavesToTheDesktop) {
  SetString(kSettingsKey, L"path", L"");
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, desktop), S_OK);
  const std::wstring folder = std::wstring(desktop) + L"\\";
  CreateDirectoryW(desktop, nullptr);
  SetDword(kSettingsKey, L"append", 2);  // by date and time: nothing else on the desktop is disturbed
  auto before = WaitForFiles(folder, 0);
  auto v = TVantoru::Start();
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  std::vector<std::wstring> added;
  WaitFor([&] {
    added.clear();
    for (const auto& f : WaitForFiles(folder, 0))
      if (std::find(before.begin(), before.end(), f) == before.end()) added.push_back(f);
    return !added.empty();
  });
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].rfind(L"V-", 0), 0u);
  EXPECT_EQ(added[0].substr(added[0].size() - 4), L".png");
  DeleteFileW((folder + added[0]).c_str());
  // Nothing went to the program's own folder, the current one.
  for (const auto& f : WaitForFiles(v.Folder(), 0)) EXPECT_NE(f.rfind(L"V-", 0), 0u) << Narrow(f);
}

TEST_F(SaveTrouble, EnvironmentStringsInTheFolderSettingAreExpanded) {
  const std::wstring inner = FSaveDir + L"Pictures";
  ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
  const std::wstring value = L"%VANTORU_E2E_SAVE%\\Pictures";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  auto v = TVantoru::Start(L"", L"", {L"VANTORU_E2E_SAVE=" + FSaveDir.substr(0, FSaveDir.size() - 1)});
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  EXPECT_TRUE(Exists(inner + L"\\V-001.png"));
}

TEST_F(SaveTrouble, AHugeFolderSettingGivesABoxThatFitsTheScreen) {
  SetString(kSettingsKey, L"path", L"Z:\\" + std::wstring(64 * 1024, L'x'));
  auto v = TVantoru::Start();
  const TBox box = CaptureFailure(v);
  EXPECT_EQ(box.Text.rfind(L"Capture failed.", 0), 0u) << Narrow(box.Text.substr(0, 200));
  EXPECT_NE(box.Text.find(L"Z:\\xxx"), std::wstring::npos);
  EXPECT_NE(box.Text.find(L'\u2026'), std::wstring::npos);  // shortened in the middle
  EXPECT_GT(box.Width, 0);
  EXPECT_LE(box.Width, GetSystemMetrics(SM_CXSCREEN));
}

// A small file system of its own (scripts/small-disk.sh, started by test.sh) as the save
// folder: the last bytes of space are taken, and what the user reads is the true reason.
TEST_F(SaveTrouble, AFullDiskSaysSo) {
  wchar_t disk[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"VANTORU_SMALL_DISK", disk, MAX_PATH))
    GTEST_SKIP() << "no small disk (VANTORU_SMALL_DISK) was set up";
  const std::wstring folder = std::wstring(disk) + L"\\full-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  SetString(kSettingsKey, L"path", folder);
  SetDword(kSettingsKey, L"saveto", 3);  // BMP: a whole screen is megabytes
  // All but 64 KB taken: a write finds some space, then none.
  ULARGE_INTEGER free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(disk, &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, 64u * 1024);
  const std::wstring filler = folder + L"\\filler.bin";
  WriteFile(filler, std::string(static_cast<size_t>(free.QuadPart - 64 * 1024), '\0'));

  auto v = TVantoru::Start();
  const TBox box = CaptureFailure(v);
  DeleteFileW(filler.c_str());
  EXPECT_EQ(box.Text.rfind(L"Capture failed.", 0), 0u) << Narrow(box.Text);
  EXPECT_NE(box.Text.find(SystemText(ERROR_DISK_FULL)), std::wstring::npos) << Narrow(box.Text);
  EXPECT_EQ(box.Text.find(SystemText(ERROR_WRITE_FAULT)), std::wstring::npos) << Narrow(box.Text);
  // Nothing half-written is left.
  EXPECT_FALSE(Exists(folder + L"\\V-001.bmp"));
  EXPECT_FALSE(Exists(folder + L"\\V-001.bmp.part"));
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
