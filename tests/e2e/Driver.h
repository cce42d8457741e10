// Drives vantoru.exe from outside, as a user or another program would: starts it, finds
// its windows, sends it messages, answers its message boxes, reads the registry.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace e2e {

constexpr const wchar_t* kSettingsKey = L"Software\\Dorvenix\\Vantoru";
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The build folder (where vantoru.exe and the test programs lie), with a trailing backslash.
std::wstring BuildDir();
// The source tree as a Windows path (Z:\...), and as the Unix path.
std::wstring SourceDir();
std::string SourceDirUnix();

// A fresh empty folder under the test run's temporary folder.
std::wstring NewTempDir(const std::wstring& tag);
// A folder with a copy of vantoru.exe and the given companions (file names from the build folder).
std::wstring ProgramFolder(const std::vector<std::wstring>& companions = {L"libwebp.dll"});

// Registry: a known state before every test.
void ResetRegistry();
void SetDword(const std::wstring& key, const std::wstring& name, DWORD value);
void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value);
std::optional<DWORD> GetDword(const std::wstring& key, const std::wstring& name);
std::optional<std::wstring> GetString(const std::wstring& key, const std::wstring& name);
void DeleteValue(const std::wstring& key, const std::wstring& name);

// Polls `cond` every 20 ms until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = std::chrono::seconds(10));

class TProcess {
 public:
  TProcess() = default;
  TProcess(TProcess&& o) noexcept;
  TProcess& operator=(TProcess&& o) noexcept;
  TProcess(const TProcess&) = delete;
  ~TProcess();
  // Starts `exe` with `args` (already quoted as needed); extra environment "NAME=value".
  static TProcess Start(const std::wstring& exe, const std::wstring& args = L"",
                        const std::vector<std::wstring>& env = {});
  DWORD Pid() const { return FPi.dwProcessId; }
  HANDLE Handle() const { return FPi.hProcess; }
  bool Running() const;
  std::optional<DWORD> WaitExit(std::chrono::milliseconds timeout);
  void Kill();

 private:
  PROCESS_INFORMATION FPi{};
};

// vantoru.exe started by a test; quits (then kills) it when it goes out of scope.
class TVantoru {
 public:
  // Starts the program in `folder` (default: a fresh ProgramFolder()) and waits for its main
  // window. Environment entries point its web addresses at the test's loopback servers.
  static TVantoru Start(const std::wstring& args = L"", const std::wstring& folder = L"",
                        const std::vector<std::wstring>& env = {});
  TVantoru(TVantoru&&) = default;
  TVantoru& operator=(TVantoru&&) = default;
  ~TVantoru();

  HWND Window() const { return FWindow; }
  TProcess& Process() { return FProcess; }
  const std::wstring& Folder() const { return FFolder; }
  std::wstring Exe() const { return FFolder + L"vantoru.exe"; }

  // WM_COPYDATA with the text (NUL added unless `nul` is false) and dwData.
  LRESULT SendCommand(const std::wstring& text, ULONG_PTR dwData = 1, bool nul = true);
  // The same on another thread, for commands that end in a message box.
  std::future<LRESULT> SendCommandAsync(const std::wstring& text, ULONG_PTR dwData = 1);
  // WM_COMMAND as a menu click (menu identifier) or as a control notification.
  void MenuCommand(unsigned id);
  void SelectInList(int controlId, int index);  // as the user picking an item
  HWND Control(int controlId) const;
  int ListIndex(int controlId) const;
  std::wstring ListText(int controlId, int index) const;
  int ListCount(int controlId) const;
  // Quits with WM_USER 2 and waits for the process to end.
  bool Quit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  TVantoru() = default;
  TProcess FProcess;
  HWND FWindow = nullptr;
  std::wstring FFolder;
};

// Top-level windows of a process (optionally of one class), visible or not.
std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* cls = nullptr, bool visibleOnly = false);
std::wstring WindowText(HWND wnd);
std::wstring ClassName(HWND wnd);
// A message box of the process, the text of its message, its caption; answering it.
HWND WaitMessageBox(DWORD pid, std::chrono::milliseconds timeout = std::chrono::seconds(10));
std::wstring MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int id = IDOK);

// Which addresses the program opened with the shell: a logging script is Wine's browser.
class TUrlLog {
 public:
  TUrlLog();
  ~TUrlLog();
  std::vector<std::string> Urls() const;
  bool WaitForUrl(const std::string& part, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  std::wstring FLogWin;
};

// Per-test fixture: a known registry, nothing of ours running, a fresh save folder.
class TE2ETest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::wstring FSaveDir;
};

}  // namespace e2e
