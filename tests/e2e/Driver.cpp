#include "e2e/Driver.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

std::wstring Widen(const std::string& s) {
  std::wstring w;
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  w.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

void DeleteTree(HKEY root, const std::wstring& key) { RegDeleteTreeW(root, key.c_str()); }

}  // namespace

std::wstring BuildDir() {
  wchar_t buf[MAX_PATH];
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring p(buf);
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::string SourceDirUnix() { return VANTORU_SOURCE_DIR; }

std::wstring SourceDir() {
  std::wstring w = L"Z:" + Widen(VANTORU_SOURCE_DIR);
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  return w;
}

std::wstring NewTempDir(const std::wstring& tag) {
  static std::atomic<int> counter{0};
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"vantoru-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(++counter);
  SHFILEOPSTRUCTW op{};
  std::wstring from = dir + L'\0';
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + L"\\";
}

std::wstring ProgramFolder(const std::vector<std::wstring>& companions) {
  const std::wstring dir = NewTempDir(L"prog");
  CopyFileW((BuildDir() + L"vantoru.exe").c_str(), (dir + L"vantoru.exe").c_str(), FALSE);
  for (const auto& c : companions) CopyFileW((BuildDir() + c).c_str(), (dir + c).c_str(), FALSE);
  return dir;
}

void ResetRegistry() {
  DeleteTree(HKEY_CURRENT_USER, L"Software\\Dorvenix");
  DeleteValue(kRunKey, L"Vantoru");
  DeleteValue(L"Control Panel\\Keyboard", L"PrintScreenKeyForSnippingEnabled");
}

void SetDword(const std::wstring& key, const std::wstring& name, DWORD value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(h);
}

void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

std::optional<DWORD> GetDword(const std::wstring& key, const std::wstring& name) {
  DWORD v = 0, size = sizeof(v), type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, &type, &v, &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return v;
}

std::optional<std::wstring> GetString(const std::wstring& key, const std::wstring& name) {
  wchar_t buf[4096];
  DWORD size = sizeof(buf), type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, &type, buf, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buf);
}

void DeleteValue(const std::wstring& key, const std::wstring& name) {
  HKEY h;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_WRITE, &h) != ERROR_SUCCESS) return;
  RegDeleteValueW(h, name.c_str());
  RegCloseKey(h);
}

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(20);
  }
}

// ---- processes

TProcess::TProcess(TProcess&& o) noexcept : FPi(o.FPi) { o.FPi = {}; }

TProcess& TProcess::operator=(TProcess&& o) noexcept {
  if (this != &o) {
    this->~TProcess();
    FPi = o.FPi;
    o.FPi = {};
  }
  return *this;
}

TProcess::~TProcess() {
  if (FPi.hProcess) CloseHandle(FPi.hProcess);
  if (FPi.hThread) CloseHandle(FPi.hThread);
}

TProcess TProcess::Start(const std::wstring& exe, const std::wstring& args, const std::vector<std::wstring>& env) {
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  std::vector<std::pair<std::wstring, std::wstring>> saved;
  for (const auto& e : env) {
    const size_t eq = e.find(L'=');
    const std::wstring name = e.substr(0, eq);
    wchar_t old[4096];
    const DWORD n = GetEnvironmentVariableW(name.c_str(), old, 4096);
    saved.emplace_back(name, n ? std::wstring(old, n) : std::wstring(1, L'\0'));
    SetEnvironmentVariableW(name.c_str(), e.substr(eq + 1).c_str());
  }
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  TProcess p;
  const std::wstring dir = exe.substr(0, exe.find_last_of(L'\\'));
  // Wine on a loaded machine now and then fails to bring a new process up (ERROR_INTERNAL_ERROR);
  // that says nothing about the program, so it is tried again.
  BOOL ok = FALSE;
  for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
    if (attempt > 0) Sleep(500);
    ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &p.FPi);
    if (!ok && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  const DWORD error = ok ? 0 : GetLastError();
  for (const auto& [name, value] : saved)
    SetEnvironmentVariableW(name.c_str(), value == std::wstring(1, L'\0') ? nullptr : value.c_str());
  EXPECT_TRUE(ok) << "CreateProcess failed: " << error;
  return p;
}

bool TProcess::Running() const {
  return FPi.hProcess && WaitForSingleObject(FPi.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> TProcess::WaitExit(std::chrono::milliseconds timeout) {
  if (!FPi.hProcess) return std::nullopt;
  if (WaitForSingleObject(FPi.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(FPi.hProcess, &code);
  return code;
}

void TProcess::Kill() {
  if (Running()) {
    TerminateProcess(FPi.hProcess, 1);
    WaitForSingleObject(FPi.hProcess, 5000);
  }
}

// ---- windows

std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* cls, bool visibleOnly) {
  struct TCtx {
    DWORD Pid;
    const wchar_t* Cls;
    bool Visible;
    std::vector<HWND> Found;
  } ctx{pid, cls, visibleOnly, {}};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<TCtx*>(lp);
        DWORD p = 0;
        GetWindowThreadProcessId(w, &p);
        if (p != c->Pid) return TRUE;
        if (c->Visible && !IsWindowVisible(w)) return TRUE;
        if (c->Cls && ClassName(w) != c->Cls) return TRUE;
        c->Found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.Found;
}

std::wstring WindowText(HWND wnd) {
  wchar_t buf[4096];
  buf[0] = 0;
  // WM_GETTEXT reaches other processes' controls too.
  SendMessageTimeoutW(wnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

std::wstring ClassName(HWND wnd) {
  wchar_t buf[256];
  const int n = GetClassNameW(wnd, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

HWND WaitMessageBox(DWORD pid, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        auto boxes = ProcessWindows(pid, L"#32770", true);
        found = boxes.empty() ? nullptr : boxes.front();
        return found != nullptr;
      },
      timeout);
  return found;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring best;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (ClassName(c) != L"Static") continue;
    if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    const std::wstring t = WindowText(c);
    if (t.size() > best.size()) best = t;
  }
  return best;
}

void AnswerMessageBox(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// ---- the program

TVantoru TVantoru::Start(const std::wstring& args, const std::wstring& folder, const std::vector<std::wstring>& env) {
  TVantoru v;
  v.FFolder = folder.empty() ? ProgramFolder() : folder;
  v.FProcess = TProcess::Start(v.Exe(), args, env);
  WaitFor(
      [&] {
        v.FWindow = FindWindowW(L"TFrmVantoru", nullptr);
        DWORD pid = 0;
        if (v.FWindow) GetWindowThreadProcessId(v.FWindow, &pid);
        return v.FWindow && pid == v.FProcess.Pid();
      },
      std::chrono::seconds(20));
  EXPECT_NE(v.FWindow, nullptr) << "vantoru.exe did not create its main window";
  // The start is over once the program takes messages in its message loop (or in a message
  // box of the start): the creation sequence itself never waits on another process.
  if (v.FWindow) {
    WaitForInputIdle(v.FProcess.Handle(), 20000);
    SendMessageTimeoutW(v.FWindow, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr);
  }
  // A normal start ends with the main window shown, or with a box or dialog of the start.
  if (v.FWindow && args.find(L"/start") == std::wstring::npos)
    WaitFor(
        [&] {
          if (IsWindowVisible(v.FWindow) || !v.FProcess.Running()) return true;
          for (HWND w : ProcessWindows(v.FProcess.Pid(), nullptr, true))
            if (w != v.FWindow && (GetWindowLongW(w, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) return true;
          return false;
        },
        std::chrono::seconds(20));
  return v;
}

TVantoru::~TVantoru() {
  if (!FProcess.Handle()) return;
  if (FProcess.Running()) {
    // Boxes left open would refuse the quit message's close.
    for (HWND box : ProcessWindows(FProcess.Pid(), L"#32770")) AnswerMessageBox(box, IDCANCEL);
    if (FWindow && IsWindow(FWindow)) SendMessageTimeoutW(FWindow, WM_USER, 2, 0, SMTO_ABORTIFHUNG, 3000, nullptr);
    if (!FProcess.WaitExit(std::chrono::seconds(5))) FProcess.Kill();
  }
}

LRESULT TVantoru::SendCommand(const std::wstring& text, ULONG_PTR dwData, bool nul) {
  std::vector<wchar_t> data(text.begin(), text.end());
  if (nul) data.push_back(0);
  COPYDATASTRUCT cds{};
  cds.dwData = dwData;
  cds.cbData = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  cds.lpData = data.empty() ? nullptr : data.data();
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(FWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 60000, &result))
    ADD_FAILURE() << "WM_COPYDATA was not answered";
  return static_cast<LRESULT>(result);
}

std::future<LRESULT> TVantoru::SendCommandAsync(const std::wstring& text, ULONG_PTR dwData) {
  return std::async(std::launch::async, [this, text, dwData] { return SendCommand(text, dwData); });
}

void TVantoru::MenuCommand(unsigned id) {
  SendMessageTimeoutW(FWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 30000, nullptr);
}

HWND TVantoru::Control(int controlId) const { return GetDlgItem(FWindow, controlId); }

void TVantoru::SelectInList(int controlId, int index) {
  HWND c = Control(controlId);
  SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageTimeoutW(FWindow, WM_COMMAND, MAKEWPARAM(controlId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c),
                      SMTO_NORMAL, 30000, nullptr);
}

int TVantoru::ListIndex(int controlId) const {
  return static_cast<int>(SendMessageW(Control(controlId), CB_GETCURSEL, 0, 0));
}

int TVantoru::ListCount(int controlId) const {
  return static_cast<int>(SendMessageW(Control(controlId), CB_GETCOUNT, 0, 0));
}

std::wstring TVantoru::ListText(int controlId, int index) const {
  wchar_t buf[1024] = {};
  SendMessageW(Control(controlId), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf));
  return buf;
}

bool TVantoru::Quit(std::chrono::milliseconds timeout) {
  SendMessageTimeoutW(FWindow, WM_USER, 2, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), nullptr);
  return FProcess.WaitExit(timeout).has_value();
}

// ---- shell addresses

TUrlLog::TUrlLog() {
  // The logging script writes beside the Wine prefix's files, which it finds in WINEPREFIX.
  wchar_t prefix[1024] = {};
  GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024);
  FLogWin = L"Z:" + std::wstring(prefix) + L"/vantoru-urls.log";
  for (auto& c : FLogWin)
    if (c == L'/') c = L'\\';
  DeleteFileW(FLogWin.c_str());
  SetString(L"Software\\Wine\\WineBrowser", L"Browsers", Widen(SourceDirUnix() + "/tests/fixtures/url-log.sh"));
}

TUrlLog::~TUrlLog() {
  DeleteValue(L"Software\\Wine\\WineBrowser", L"Browsers");
  DeleteFileW(FLogWin.c_str());
}

std::vector<std::string> TUrlLog::Urls() const {
  std::vector<std::string> urls;
  std::ifstream f(FLogWin.c_str());
  std::string line;
  while (std::getline(f, line))
    if (!line.empty()) urls.push_back(line);
  return urls;
}

bool TUrlLog::WaitForUrl(const std::string& part, std::chrono::milliseconds timeout) const {
  return WaitFor(
      [&] {
        for (const auto& u : Urls())
          if (u.find(part) != std::string::npos) return true;
        return false;
      },
      timeout);
}

// ---- fixture

namespace {
void EndStrayInstances() {
  // An instance left by an earlier test (or a crashed one) would answer instead of ours.
  for (int i = 0; i < 20; ++i) {
    HWND w = FindWindowW(L"TFrmVantoru", nullptr);
    if (!w) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
      TerminateProcess(p, 1);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
    Sleep(50);
  }
}
}  // namespace

void TE2ETest::SetUp() {
  EndStrayInstances();
  ResetRegistry();
  FSaveDir = NewTempDir(L"save");
  SetString(kSettingsKey, L"path", FSaveDir.substr(0, FSaveDir.size() - 1));
  // Nothing of the maker's services is ever reached from a test.
  SetEnvironmentVariableW(L"VANTORU_PRODUCT_URL", L"http://product.vantoru.test");
  SetEnvironmentVariableW(L"VANTORU_HELP_URL", L"http://help.vantoru.test/");
  SetEnvironmentVariableW(L"VANTORU_SERVICE_URL", L"http://127.0.0.1:9");
  SetEnvironmentVariableW(L"VANTORU_UPLOAD_HOST", L"127.0.0.1");
}

void TE2ETest::TearDown() { EndStrayInstances(); }

}  // namespace e2e
