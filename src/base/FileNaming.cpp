#include "base/FileNaming.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "base/Text.h"

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

TLocalTime AddMilliseconds(const TLocalTime& t, int64_t ms) {
  constexpr int64_t kDay = 86400000;
  int64_t total = DaysFromCivil(t.Year, t.Month, t.Day) * kDay +
                  ((t.Hour * 60 + t.Minute) * 60 + t.Second) * int64_t{1000} + t.Millisecond + ms;
  int64_t days = total / kDay, rest = total % kDay;
  if (rest < 0) rest += kDay, --days;
  TLocalTime r;
  CivilFromDays(days, r.Year, r.Month, r.Day);
  r.Millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  r.Second = static_cast<int>(rest % 60);
  rest /= 60;
  r.Minute = static_cast<int>(rest % 60);
  r.Hour = static_cast<int>(rest / 60);
  return r;
}

int32_t SequenceNumberOf(const TDirEntry& entry) {
  if (entry.Attributes == kAttrDirectory) return -1;
  const std::wstring& name = entry.Name;
  if (name.compare(0, 2, L"V-") != 0) return -1;
  const size_t dot = name.find(L'.', 2);
  if (dot == std::wstring::npos) return -1;
  return StrToIntDef(std::wstring_view(name).substr(2, dot - 2), -1);
}

int32_t LastSequenceNumber(const std::vector<TDirEntry>& entries) {
  int32_t last = 0;
  for (const TDirEntry& e : entries) last = std::max(last, SequenceNumberOf(e));
  return last;
}

std::wstring SequentialName(int64_t number, const std::wstring& ext) {
  return FormatW(L"V-%03lld.%ls", static_cast<long long>(number), ext.c_str());
}

std::wstring DateTimeName(const TLocalTime& t, const std::wstring& ext) {
  return FormatW(L"V-%04d%02d%02d-%02d%02d%02d%03d.%ls", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second,
                 t.Millisecond, ext.c_str());
}

std::wstring NextFileName(int naming, const TSaveFolder& folder, const std::wstring& ext, const TLocalTime& now) {
  if (naming == fnSequential1 || naming == fnSequential2) {
    int64_t number = naming == fnSequential1 ? LastSequenceNumber(folder.Entries()) : 0;
    for (;;) {
      const std::wstring name = SequentialName(++number, ext);
      if (!folder.Contains(name)) return name;
    }
  }
  TLocalTime t = now;
  std::wstring name = DateTimeName(t, ext);
  while (folder.Contains(name)) {
    t = AddMilliseconds(t, 1);
    name = DateTimeName(t, ext);
  }
  return name;
}

bool IsOwnPartName(const std::wstring& name) {
  static constexpr std::wstring_view kPart = L".part";
  static constexpr std::wstring_view kExtensions[] = {L"png", L"jpg", L"gif", L"bmp", L"webp", L"txt", L"mp4"};
  const std::wstring_view n(name);
  if (n.size() <= kPart.size() || n.substr(n.size() - kPart.size()) != kPart || n.substr(0, 2) != L"V-") return false;
  const std::wstring_view saved = n.substr(2, n.size() - 2 - kPart.size());  // "001.png"
  const size_t dot = saved.find(L'.');
  if (dot == std::wstring_view::npos) return false;
  const std::wstring_view stem = saved.substr(0, dot), ext = saved.substr(dot + 1);
  if (std::find(std::begin(kExtensions), std::end(kExtensions), ext) == std::end(kExtensions)) return false;
  auto digits = [](std::wstring_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  };
  if (stem.size() >= 3 && digits(stem)) return true;  // sequential
  // yyyymmdd-hhmmsszzz
  return stem.size() == 18 && stem[8] == L'-' && digits(stem.substr(0, 8)) && digits(stem.substr(9));
}
