// The registry settings store: one key under HKCU\Software, opened for one operation.
#pragma once
#include <windows.h>

#include <string>

#include "base/Handles.h"

class TConfig {
 public:
  explicit TConfig(const std::wstring& path);  // opens (creates) HKCU\Software\<path>
  TConfig(const TConfig&) = delete;
  TConfig& operator=(const TConfig&) = delete;

  bool ValueExists(const std::wstring& name) const;
  // A value of another type than asked for reads as absent, so the default applies.
  int ReadInteger(const std::wstring& name, int def) const;
  bool ReadBoolean(const std::wstring& name, bool def) const;
  // REG_EXPAND_SZ values come with their environment strings expanded.
  std::wstring ReadString(const std::wstring& name, const std::wstring& def) const;

  // Failures are swallowed; each returns the value passed in.
  int WriteInteger(const std::wstring& name, int value);
  bool WriteBoolean(const std::wstring& name, bool value);
  std::wstring WriteString(const std::wstring& name, const std::wstring& value);

 private:
  TKey FReg;
};
