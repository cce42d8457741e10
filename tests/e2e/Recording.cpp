#include "e2e/Recording.h"

#include "app/Ids.h"
#include "e2e/Screen.h"

namespace e2e {

TVantoru StartCreated(const std::wstring& folder, const std::vector<std::wstring>& env) {
  DeleteValue(kSettingsKey, L"area");
  TVantoru v = TVantoru::Start(L"", folder, env);
  EXPECT_TRUE(WaitFor([] { return GetDword(kSettingsKey, L"area").has_value(); }));
  Sleep(100);
  return v;
}

bool Recording(const TVantoru& v) {
  return IsWindowVisible(v.Control(ctl::Label1)) && !IsWindowVisible(v.Control(ctl::ChkSaveTo)) &&
         !IsWindowEnabled(v.Control(ctl::ChkArea));
}

bool OnOutputCard(const TVantoru& v) {
  return !IsWindowVisible(v.Control(ctl::Label1)) && IsWindowVisible(v.Control(ctl::ChkSaveTo)) &&
         IsWindowEnabled(v.Control(ctl::ChkArea));
}

bool RecordingIdle(const TVantoru& v) {
  return OnOutputCard(v) && WindowText(v.Control(ctl::LvlRecTime)) == L"00:00:00";
}

std::vector<std::string> CrLfLines(const std::wstring& path, bool& whole) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  whole = at == text.size();
  return lines;
}

}  // namespace e2e
