#include "base/SaveFolder.h"

#include <windows.h>

#include "base/AutoStart.h"

std::vector<TDirEntry> TWinFolder::Entries() const {
  std::vector<TDirEntry> entries;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(JoinPath(FPath, L"*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return entries;
  do entries.push_back({fd.cFileName, fd.dwFileAttributes});
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return entries;
}

bool TWinFolder::Contains(const std::wstring& name) const {
  return GetFileAttributesW(JoinPath(FPath, name).c_str()) != INVALID_FILE_ATTRIBUTES;
}
