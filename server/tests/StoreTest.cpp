#include "ImageStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <set>

#include "ImageId.h"
#include "ServerTestSupport.h"

using namespace srvtest;

namespace {

// One value read from the database file by a connection of its own.
std::string Scalar(const fs::path& dir, const char* sql) {
  sqlite3* raw = nullptr;
  std::string value = "(no database)";
  if (sqlite3_open_v2((dir / "vantoru.db").c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    value = "(no row)";
    if (sqlite3_prepare_v2(raw, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
  }
  sqlite3_close(raw);
  return value;
}

TEST(ImageId, UrlSafe128BitsAnd22Characters) {
  std::array<uint8_t, 16> ones;
  ones.fill(0xFF);
  EXPECT_EQ(ImageIdFromBytes(ones), "_____________________w");
  EXPECT_EQ(ImageIdFromBytes({}), "AAAAAAAAAAAAAAAAAAAAAA");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string id = ImageIdFromBytes(RandomBytes());
    EXPECT_TRUE(IsImageId(id)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 200u);
  for (const char* bad : {"", "AAAAAAAAAAAAAAAAAAAAA", "AAAAAAAAAAAAAAAAAAAAAAA", "../AAAAAAAAAAAAAAAAAAA",
                          "AAAAAAAAAA/AAAAAAAAAAA", "AAAAAAAAAA.AAAAAAAAAAA", "AAAAAAAAAA%2fAAAAAAAAA"})
    EXPECT_FALSE(IsImageId(bad)) << bad;
}

TEST(ImageStore, KeepsTheBytesUnderANewIdAcrossRestarts) {
  const fs::path dir = NewDataDir();
  const std::string png = ProgramPng();
  std::string id;
  {
    TDatabase db((dir / "vantoru.db").string());
    TImageStore store(dir, db);
    id = store.Put(png, TPngInfo{37, 21});
    ASSERT_TRUE(IsImageId(id));
    EXPECT_NE(store.Put(png, TPngInfo{37, 21}), id);
    EXPECT_EQ(store.Get(id), png);
  }
  // The file is where the layout says, whole; nothing is left in the temporary folder.
  std::ifstream in(dir / "images" / id.substr(0, 2) / (id + ".png"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), png);
  EXPECT_EQ(FileCount(dir / "tmp"), 0u);
  EXPECT_EQ(FileCount(dir / "images"), 2u);

  TDatabase db((dir / "vantoru.db").string());
  TImageStore store(dir, db);
  EXPECT_EQ(store.Get(id), png);
  EXPECT_EQ(Scalar(dir, "PRAGMA journal_mode"), "wal");
  fs::remove_all(dir);
}

TEST(ImageStore, OnlyItsOwnIdentifiersReachTheFileSystem) {
  const fs::path dir = NewDataDir();
  TDatabase db((dir / "vantoru.db").string());
  TImageStore store(dir, db);
  // A file planted in the layout without an index row is not served, nor anything outside.
  fs::create_directories(dir / "images" / "AA");
  std::ofstream(dir / "images" / "AA" / "AAAAAAAAAAAAAAAAAAAAAA.png") << "planted";
  std::ofstream(dir / "secret.png") << "secret";
  for (const char* id : {"AAAAAAAAAAAAAAAAAAAAAA", "../secret", "../../vantoru.db", "/etc/passwd", "", ".", "AA/.."})
    EXPECT_FALSE(store.Get(id).has_value()) << id;
  fs::remove_all(dir);
}

TEST(ImageStore, AWriteThatFailsLeavesNothing) {
  const fs::path dir = NewDataDir();
  TDatabase db((dir / "vantoru.db").string());
  TImageStore store(dir, db);
  // The images folder has become a file: the image cannot be put in place, and neither its
  // temporary file nor its index row may stay behind.
  fs::remove(dir / "images");
  std::ofstream(dir / "images") << "in the way";
  EXPECT_ANY_THROW(store.Put(ProgramPng(), TPngInfo{37, 21}));
  EXPECT_EQ(FileCount(dir / "tmp"), 0u);
  EXPECT_EQ(Scalar(dir, "SELECT COUNT(*) FROM images"), "0");
  fs::remove_all(dir);
}

}  // namespace
