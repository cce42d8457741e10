// Names of the files the program saves: "V-" with a sequence number or the local date and
// time. The folder is reached through TSaveFolder, so the rules run on any file system.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/Types.h"

// An entry of the save folder with its Windows file attributes.
struct TDirEntry {
  std::wstring Name;
  uint32_t Attributes = 0;
};
inline constexpr uint32_t kAttrDirectory = 0x10;

class TSaveFolder {
 public:
  virtual ~TSaveFolder() = default;
  // Every entry, of every kind.
  virtual std::vector<TDirEntry> Entries() const = 0;
  // Whether an entry of exactly this name exists.
  virtual bool Contains(const std::wstring& name) const = 0;
};

// Local time to the millisecond.
struct TLocalTime {
  int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  bool operator==(const TLocalTime&) const = default;
};
// The calendar time `ms` milliseconds later (carrying into seconds, days, months, years).
TLocalTime AddMilliseconds(const TLocalTime& t, int64_t ms);

// The number a saved name carries: -1 for entries that do not count (a directory with no
// other attribute, a name not starting with "V-", a number text that is not an integer).
int32_t SequenceNumberOf(const TDirEntry& entry);
// The highest number among the entries, 0 when none counts.
int32_t LastSequenceNumber(const std::vector<TDirEntry>& entries);

// "V-" + at least three digits + "." + ext.
std::wstring SequentialName(int64_t number, const std::wstring& ext);
// "V-yyyymmdd-hhmmsszzz." + ext.
std::wstring DateTimeName(const TLocalTime& t, const std::wstring& ext);

// Whether `name` is the partial file of one of our saves: a saved name ("V-" with a number of
// at least three digits or a date and time, "." and one of our extensions) followed by ".part".
bool IsOwnPartName(const std::wstring& name);

// The next file name in the folder for the naming scheme (fnSequential1, fnSequential2;
// anything else is date and time). A date-time name already taken moves on to the next
// free millisecond, so a capture never replaces another.
std::wstring NextFileName(int naming, const TSaveFolder& folder, const std::wstring& ext, const TLocalTime& now);
