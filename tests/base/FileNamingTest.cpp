// Saved file names against real folders, and the numbering rules on their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/FileNaming.h"
#include "base/Text.h"

namespace fs = std::filesystem;

namespace {

// A real folder of the machine the tests run on; folders carry only the directory
// attribute, files the archive attribute, as a plain Windows folder would.
class TRealFolder : public TSaveFolder {
 public:
  TRealFolder() {
    // Unique across the test processes that ctest runs side by side.
    static std::random_device random;
    FPath = fs::temp_directory_path() / ("vantoru-naming-" + std::to_string(random()) + std::to_string(random()));
    fs::remove_all(FPath);
    fs::create_directories(FPath);
  }
  ~TRealFolder() override { fs::remove_all(FPath); }
  void Touch(const std::wstring& name) const { std::ofstream(FPath / name) << "x"; }
  void MakeDir(const std::wstring& name) const { fs::create_directory(FPath / name); }
  void Remove(const std::wstring& name) const { fs::remove(FPath / name); }

  std::vector<TDirEntry> Entries() const override {
    std::vector<TDirEntry> entries;
    for (const auto& e : fs::directory_iterator(FPath))
      entries.push_back({e.path().filename().wstring(), e.is_directory() ? kAttrDirectory : 0x20u});
    return entries;
  }
  bool Contains(const std::wstring& name) const override { return fs::exists(FPath / name); }

  // Makes the next name and creates that file, as a save would.
  std::wstring Save(int naming, const std::wstring& ext, const TLocalTime& now = {}) const {
    const std::wstring name = NextFileName(naming, *this, ext, now);
    Touch(name);
    return name;
  }

 private:
  fs::path FPath;
};

TEST(Sequential1, ContinuesAfterTheHighestNumberOfAnyExtension) {
  TRealFolder f;
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-001.png");
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-002.png");
  f.Touch(L"V-005.jpg");
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-006.png");
  f.Remove(L"V-002.png");  // gaps stay
  EXPECT_EQ(f.Save(fnSequential1, L"gif"), L"V-007.gif");
}

TEST(Sequential1, IgnoresNamesWithoutAnIntegerAndFoldersWithoutADot) {
  TRealFolder f;
  f.Touch(L"V-7x.png");
  f.Touch(L"v-050.png");   // the prefix is case-sensitive
  f.Touch(L"V-20240305-140709042.png");  // a date-time name is no integer
  f.Touch(L"V-.png");
  f.Touch(L"X-090.png");
  f.MakeDir(L"V-009");
  f.MakeDir(L"V-030.d");    // a folder with nothing but the directory attribute
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-001.png");
  f.Touch(L"V-999.bmp");
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-1000.png");  // no wrap, no upper bound
  EXPECT_EQ(f.Save(fnSequential1, L"png"), L"V-1001.png");
}

TEST(Sequential2, FillsTheFirstGapOfItsOwnExtension) {
  TRealFolder f;
  f.Touch(L"V-001.png");
  f.Touch(L"V-003.png");
  EXPECT_EQ(f.Save(fnSequential2, L"png"), L"V-002.png");
  EXPECT_EQ(f.Save(fnSequential2, L"png"), L"V-004.png");
  EXPECT_EQ(f.Save(fnSequential2, L"jpg"), L"V-001.jpg");  // numbers shared across extensions
}

TEST(LastSequenceNumber, CountsByTheNameAndTheAttributes) {
  struct TCase {
    const wchar_t* Name;
    uint32_t Attributes;
    int32_t Number;
  };
  const TCase cases[] = {
      {L"V-042.jpg", 0x20, 42},
      {L"V-1000.png", 0x20, 1000},
      {L"V-7.tar.gz", 0x20, 7},          // the first dot after the prefix ends the number
      {L"V-030.d", kAttrDirectory, -1},  // a plain folder is skipped
      {L"V-030.d", kAttrDirectory | 0x02, 30},  // a hidden folder is not
      {L"V-009", 0x20, -1},              // no dot
      {L"V-7x.png", 0x20, -1},
      {L"v-005.png", 0x20, -1},
      {L"V-99999999999.png", 0x20, -1},  // beyond 32 bits: not an integer
  };
  for (const TCase& c : cases) EXPECT_EQ(SequenceNumberOf({c.Name, c.Attributes}), c.Number) << c.Name;
  std::vector<TDirEntry> all;
  for (const TCase& c : cases) all.push_back({c.Name, c.Attributes});
  EXPECT_EQ(LastSequenceNumber(all), 1000);
  EXPECT_EQ(LastSequenceNumber({}), 0);
}

TEST(DateTimeNaming, PatternAndTheNextFreeMillisecond) {
  TRealFolder f;
  const TLocalTime t{2024, 3, 5, 14, 7, 9, 42};
  EXPECT_EQ(f.Save(fnDateTime, L"png", t), L"V-20240305-140709042.png");
  // A second capture in the same millisecond keeps the first.
  EXPECT_EQ(f.Save(fnDateTime, L"png", t), L"V-20240305-140709043.png");
  EXPECT_EQ(f.Save(fnDateTime, L"png", t), L"V-20240305-140709044.png");
  EXPECT_EQ(f.Save(fnDateTime, L"jpg", t), L"V-20240305-140709042.jpg");
  // No naming item checked (a stored value beyond the three) names by date and time.
  EXPECT_EQ(NextFileName(9, f, L"gif", t), L"V-20240305-140709042.gif");
  EXPECT_EQ(NextFileName(0, f, L"gif", TLocalTime{2024, 3, 5, 9, 0, 0, 5}), L"V-20240305-090000005.gif");
}

TEST(DateTimeNaming, StepsCarryThroughTheCalendar) {
  struct TCase {
    TLocalTime From, To;
  };
  const TCase cases[] = {
      {{2023, 12, 31, 23, 59, 59, 999}, {2024, 1, 1, 0, 0, 0, 0}},
      {{2024, 2, 28, 23, 59, 59, 999}, {2024, 2, 29, 0, 0, 0, 0}},  // leap year
      {{2023, 2, 28, 23, 59, 59, 999}, {2023, 3, 1, 0, 0, 0, 0}},
      {{2100, 2, 28, 23, 59, 59, 999}, {2100, 3, 1, 0, 0, 0, 0}},   // no leap day in 2100
      {{2024, 3, 5, 14, 7, 59, 999}, {2024, 3, 5, 14, 8, 0, 0}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(AddMilliseconds(c.From, 1), c.To) << DateTimeName(c.From, L"png").c_str();
    EXPECT_EQ(AddMilliseconds(c.To, -1), c.From);
  }
  TRealFolder f;
  f.Touch(L"V-20231231-235959999.png");
  EXPECT_EQ(NextFileName(fnDateTime, f, L"png", cases[0].From), L"V-20240101-000000000.png");
}

}  // namespace

TEST(PartialFiles, OnlyOurOwnNamesCount) {
  for (const wchar_t* ours : {L"V-001.png.part", L"V-145.jpg.part", L"V-1000.webp.part", L"V-007.mp4.part",
                              L"V-042.txt.part", L"V-20240305-140709042.gif.part", L"V-999.bmp.part"})
    EXPECT_TRUE(IsOwnPartName(ours)) << WideToUtf8(ours);
  for (const wchar_t* theirs : {
           L"V-001.png",              // a finished file
           L"V-01.png.part",          // fewer than three digits: not a name we make
           L"V-7x.png.part", L"V-.png.part", L"V-001.part", L"V-001.doc.part",
           L"V-001.PNG.part",         // our extensions are lower case
           L"v-001.png.part", L"X-001.png.part", L"notes.part", L"V-001.png.part.bak",
           L"V-20240305_140709042.png.part", L"V-2024030-140709042.png.part",
           L"V-001.png.PART", L".part", L"V-001.png.part ",
       })
    EXPECT_FALSE(IsOwnPartName(theirs)) << WideToUtf8(theirs);
}
