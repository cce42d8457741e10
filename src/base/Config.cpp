#include "base/Config.h"

TConfig::TConfig(const std::wstring& path) {
  const std::wstring key = L"Software\\" + path;
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) ==
      ERROR_SUCCESS)
    FReg.Reset(h);
}

bool TConfig::ValueExists(const std::wstring& name) const {
  return FReg && RegQueryValueExW(FReg.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int TConfig::ReadInteger(const std::wstring& name, int def) const {
  if (!FReg) return def;
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExW(FReg.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    return def;
  return static_cast<int>(value);
}

bool TConfig::ReadBoolean(const std::wstring& name, bool def) const {
  return ReadInteger(name, def ? 1 : 0) != 0;
}

std::wstring TConfig::ReadString(const std::wstring& name, const std::wstring& def) const {
  if (!FReg) return def;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(FReg.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return def;
  std::wstring s(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(s.size() * sizeof(wchar_t));
  if (RegQueryValueExW(FReg.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(s.data()), &got) !=
      ERROR_SUCCESS)
    return def;
  s.resize(got / sizeof(wchar_t));
  while (!s.empty() && s.back() == L'\0') s.pop_back();
  if (type == REG_EXPAND_SZ) {
    // "%USERPROFILE%\Pictures" means the folder it names.
    const DWORD n = ExpandEnvironmentStringsW(s.c_str(), nullptr, 0);
    std::wstring expanded(n, L'\0');
    if (n && ExpandEnvironmentStringsW(s.c_str(), expanded.data(), n) == n) {
      expanded.resize(n - 1);
      return expanded;
    }
  }
  return s;
}

int TConfig::WriteInteger(const std::wstring& name, int value) {
  if (FReg) {
    const DWORD v = static_cast<DWORD>(value);
    RegSetValueExW(FReg.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
  }
  return value;
}

bool TConfig::WriteBoolean(const std::wstring& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
  return value;
}

std::wstring TConfig::WriteString(const std::wstring& name, const std::wstring& value) {
  if (FReg)
    RegSetValueExW(FReg.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return value;
}
