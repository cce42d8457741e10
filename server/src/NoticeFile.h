// The notices file that the maker edits, read again whenever it has changed (its size,
// modification time or inode differ from the last read). A file that cannot be read as
// notices is reported once and the last good notices stay in force; a missing file means
// no notices.
#pragma once
#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Notices.h"

class TNoticeFile {
 public:
  using TLog = std::function<void(const std::string&)>;
  TNoticeFile(std::filesystem::path path, TLog log);
  std::shared_ptr<const TNoticeBoard> Current();

 private:
  struct TStamp {
    bool Exists = false;
    off_t Size = 0;
    timespec Modified{};
    ino_t Inode = 0;
    bool operator==(const TStamp& o) const {
      return Exists == o.Exists && Size == o.Size && Modified.tv_sec == o.Modified.tv_sec &&
             Modified.tv_nsec == o.Modified.tv_nsec && Inode == o.Inode;
    }
  };
  const std::filesystem::path FPath;
  TLog FLog;
  std::mutex FLock;
  bool FRead = false;
  TStamp FStamp;
  std::shared_ptr<const TNoticeBoard> FBoard = std::make_shared<TNoticeBoard>();
};
