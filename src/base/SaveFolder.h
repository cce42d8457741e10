// The save folder on the disk, as the file naming rules see it.
#pragma once
#include <string>
#include <vector>

#include "base/FileNaming.h"

class TWinFolder : public TSaveFolder {
 public:
  explicit TWinFolder(std::wstring path) : FPath(std::move(path)) {}
  std::vector<TDirEntry> Entries() const override;
  // Any entry of that name, a folder too: a file could not be created over it.
  bool Contains(const std::wstring& name) const override;

 private:
  std::wstring FPath;
};
