// The service's SQLite database (one file, WAL journal): the index of stored images and the
// start-up counts. One connection, used under a lock.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TStartCount {
  std::string Day, Version, Language;
  int64_t Starts = 0, Identified = 0, Holds = 0;
};

class TDatabase {
 public:
  explicit TDatabase(const std::string& path);  // opens or creates; raises EDatabaseError
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  // False when the id is taken already.
  bool AddImage(const std::string& id, int64_t size, uint32_t width, uint32_t height, int64_t created);
  bool HasImage(const std::string& id);
  void RemoveImage(const std::string& id);

  // One start of a program of `version` in `language` on `day` (YYYY-MM-DD); whether it sent
  // an installation identifier is counted, the identifier itself is not kept.
  void CountStart(const std::string& day, const std::string& version, const std::string& language, bool identified);
  void CountHold(const std::string& day, const std::string& version);
  std::vector<TStartCount> Counts();

 private:
  struct TClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  void Exec(const char* sql);
  std::mutex FLock;
  std::unique_ptr<sqlite3, TClose> FDb;
};
