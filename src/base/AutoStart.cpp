#include "base/AutoStart.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "base/Handles.h"
#include "base/Text.h"

namespace {
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TKey OpenRunKey() {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return TKey();
  return TKey(h);
}
}  // namespace

bool SetAutoStart(const std::wstring& name, bool enable) {
  TKey key = OpenRunKey();
  if (!key) return false;
  if (enable) {
    const std::wstring data = L"\"" + ProgramPath() + L"\" /start";
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  const LONG r = RegDeleteValueW(key.Get(), name.c_str());
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool IsAutoStart(const std::wstring& name) {
  TKey key = OpenRunKey();
  if (!key) return false;
  const bool exists = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  key.Reset();
  if (exists) SetAutoStart(name, true);
  return exists;
}

std::wstring GetSpecialFolder(int csidl) {
  wchar_t buf[262] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buf))) return std::wstring();
  buf[261] = L'\0';
  return buf;
}

std::wstring FileVersionText(const std::wstring& pattern) {
  const std::wstring path = ProgramPath();
  DWORD dummy = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &dummy);
  if (size) {
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (GetFileVersionInfoW(path.c_str(), 0, size, data.data()) &&
        VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) && info &&
        len >= sizeof(VS_FIXEDFILEINFO))
      return FormatW(pattern.c_str(), HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                     HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  }
  return L"0.0.0.0";
}

void ShellOpen(const std::wstring& target) {
  ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring ProgramPath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

std::wstring ProgramDir() {
  const std::wstring p = ProgramPath();
  const size_t slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  const wchar_t last = folder.back();
  if (last == L'\\' || last == L'/') return folder + name;
  return folder + L"\\" + name;
}

bool FileExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD SystemMajorVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  static DWORD major = [] {
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (HMODULE nt = GetModuleHandleW(L"ntdll.dll"))
      if (auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(nt, "RtlGetVersion"))))
        if (fn(&vi) == 0) return vi.dwMajorVersion;
    return static_cast<DWORD>(6);
  }();
  return major;
}
