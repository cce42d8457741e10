#include "Database.h"

#include <vector>

namespace {

struct TFinalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// A prepared statement with its parameters bound in order.
class TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) : FDb(db) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) Fail();
    FStmt.reset(s);
  }
  TStatement& Bind(const std::string& text) {
    Check(sqlite3_bind_text(FStmt.get(), ++FIndex, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  TStatement& Bind(int64_t value) {
    Check(sqlite3_bind_int64(FStmt.get(), ++FIndex, value));
    return *this;
  }
  // SQLITE_ROW or SQLITE_DONE; SQLITE_CONSTRAINT when asked to tolerate it.
  int Step(bool constraintOk = false) {
    const int rc = sqlite3_step(FStmt.get());
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    if (constraintOk && (rc & 0xFF) == SQLITE_CONSTRAINT) return SQLITE_CONSTRAINT;
    Fail();
    return rc;
  }
  std::string Text(int column) const {
    const auto* p = sqlite3_column_text(FStmt.get(), column);
    return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
  }
  int64_t Int(int column) const { return sqlite3_column_int64(FStmt.get(), column); }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) Fail();
  }
  [[noreturn]] void Fail() { throw EDatabaseError(sqlite3_errmsg(FDb)); }
  sqlite3* FDb;
  std::unique_ptr<sqlite3_stmt, TFinalize> FStmt;
  int FIndex = 0;
};

}  // namespace

TDatabase::TDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  FDb.reset(db);
  if (rc != SQLITE_OK) throw EDatabaseError(path + ": " + (db ? sqlite3_errmsg(db) : "cannot open"));
  sqlite3_busy_timeout(db, 5000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=NORMAL");
  Exec(
      "CREATE TABLE IF NOT EXISTS images ("
      " id TEXT PRIMARY KEY, size INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,"
      " created INTEGER NOT NULL) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS starts ("
      " day TEXT NOT NULL, version TEXT NOT NULL, language TEXT NOT NULL,"
      " starts INTEGER NOT NULL DEFAULT 0, identified INTEGER NOT NULL DEFAULT 0, holds INTEGER NOT NULL DEFAULT 0,"
      " PRIMARY KEY (day, version, language)) WITHOUT ROWID;");
}

void TDatabase::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(FDb.get(), sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "error";
    sqlite3_free(error);
    throw EDatabaseError(message);
  }
}

bool TDatabase::AddImage(const std::string& id, int64_t size, uint32_t width, uint32_t height, int64_t created) {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(), "INSERT INTO images (id, size, width, height, created) VALUES (?, ?, ?, ?, ?)");
  s.Bind(id).Bind(size).Bind(int64_t{width}).Bind(int64_t{height}).Bind(created);
  return s.Step(true) == SQLITE_DONE;
}

bool TDatabase::HasImage(const std::string& id) {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(), "SELECT 1 FROM images WHERE id = ?");
  s.Bind(id);
  return s.Step() == SQLITE_ROW;
}

void TDatabase::RemoveImage(const std::string& id) {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(), "DELETE FROM images WHERE id = ?");
  s.Bind(id).Step();
}

void TDatabase::CountStart(const std::string& day, const std::string& version, const std::string& language,
                           bool identified) {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(),
               "INSERT INTO starts (day, version, language, starts, identified) VALUES (?, ?, ?, 1, ?)"
               " ON CONFLICT (day, version, language) DO UPDATE SET starts = starts + 1,"
               " identified = identified + excluded.identified");
  s.Bind(day).Bind(version).Bind(language).Bind(int64_t{identified ? 1 : 0}).Step();
}

void TDatabase::CountHold(const std::string& day, const std::string& version) {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(),
               "INSERT INTO starts (day, version, language, holds) VALUES (?, ?, '', 1)"
               " ON CONFLICT (day, version, language) DO UPDATE SET holds = holds + 1");
  s.Bind(day).Bind(version).Step();
}

std::vector<TStartCount> TDatabase::Counts() {
  std::lock_guard<std::mutex> guard(FLock);
  TStatement s(FDb.get(), "SELECT day, version, language, starts, identified, holds FROM starts ORDER BY 1, 2, 3");
  std::vector<TStartCount> out;
  while (s.Step() == SQLITE_ROW) out.push_back({s.Text(0), s.Text(1), s.Text(2), s.Int(3), s.Int(4), s.Int(5)});
  return out;
}
