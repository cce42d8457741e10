// Start with the system, and the small shell routines the program shares.
#pragma once
#include <windows.h>

#include <string>

// The Run entry `name` under HKCU\Software\Microsoft\Windows\CurrentVersion\Run:
// "<program path>" /start. False when any registry step fails.
bool SetAutoStart(const std::wstring& name, bool enable);
// Whether the entry exists; an existing one is rewritten with the current program path.
bool IsAutoStart(const std::wstring& name);

std::wstring GetSpecialFolder(int csidl);
// Four integers of the file version (major, minor, release, build) put into `pattern`;
// "0.0.0.0" without version information.
std::wstring FileVersionText(const std::wstring& pattern);
void ShellOpen(const std::wstring& target);

std::wstring ProgramPath();
std::wstring ProgramDir();  // with a trailing backslash
// `folder` joined with `name` by exactly one backslash.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Major version of the running system.
DWORD SystemMajorVersion();
