#include "NoticeFile.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

TNoticeFile::TNoticeFile(std::filesystem::path path, TLog log) : FPath(std::move(path)), FLog(std::move(log)) {}

std::shared_ptr<const TNoticeBoard> TNoticeFile::Current() {
  TStamp stamp;
  struct stat st {};
  if (stat(FPath.c_str(), &st) == 0) stamp = TStamp{true, st.st_size, st.st_mtim, st.st_ino};
  std::lock_guard<std::mutex> guard(FLock);
  if (FRead && stamp == FStamp) return FBoard;
  FRead = true;
  FStamp = stamp;
  if (!stamp.Exists) {
    FBoard = std::make_shared<TNoticeBoard>();
    return FBoard;
  }
  std::ifstream in(FPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    if (FLog) FLog(FPath.string() + ": cannot be read; the previous notices stay");
    return FBoard;
  }
  try {
    FBoard = std::make_shared<TNoticeBoard>(TNoticeBoard::Parse(text.str()));
    if (FLog) FLog(FPath.string() + ": notices read");
  } catch (const ENoticeError& e) {
    if (FLog) FLog(FPath.string() + ": " + e.what() + "; the previous notices stay");
  }
  return FBoard;
}
