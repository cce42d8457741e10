#include "base/WebAddress.h"

#include <string>

#include "base/Text.h"

bool IsWebAddress(std::wstring_view link) {
  const std::wstring lower = AsciiLower(link.substr(0, 8));
  size_t hostStart;
  if (lower.rfind(L"http://", 0) == 0) hostStart = 7;
  else if (lower.rfind(L"https://", 0) == 0) hostStart = 8;
  else return false;
  if (hostStart >= link.size() || link[hostStart] == L'/' || link[hostStart] == L'?' || link[hostStart] == L'#')
    return false;
  // The shell hands the address to the browser on a command line: no blanks, control
  // characters or quotes that could end it there.
  for (wchar_t c : link)
    if (c <= 0x20 || c == 0x7F || c == L'"') return false;
  return true;
}

std::wstring TServiceAddress::Text() const {
  std::wstring text = Secure ? L"https://" : L"http://";
  text += Host.find(L':') != std::wstring::npos ? L"[" + Host + L"]" : Host;
  if (Port != (Secure ? 443 : 80)) text += L":" + std::to_wstring(Port);
  return text + Path;
}

std::optional<TServiceAddress> ParseServiceAddress(std::wstring_view text) {
  TServiceAddress a;
  const std::wstring lower = AsciiLower(text.substr(0, 8));
  if (lower.rfind(L"https://", 0) == 0) a.Secure = true, a.Port = 443, text.remove_prefix(8);
  else if (lower.rfind(L"http://", 0) == 0) a.Secure = false, a.Port = 80, text.remove_prefix(7);
  else return std::nullopt;
  for (wchar_t c : text)
    if (c <= 0x20 || c == 0x7F || c == L'"' || c == L'\\' || c == L'@' || c == L'?' || c == L'#' || c == L'%')
      return std::nullopt;
  const size_t slash = text.find(L'/');
  std::wstring_view authority = text.substr(0, slash);
  std::wstring path(slash == std::wstring_view::npos ? std::wstring_view() : text.substr(slash));
  while (!path.empty() && path.back() == L'/') path.pop_back();
  std::wstring_view port;
  if (!authority.empty() && authority.front() == L'[') {
    const size_t close = authority.find(L']');
    if (close == std::wstring_view::npos) return std::nullopt;
    a.Host = std::wstring(authority.substr(1, close - 1));
    const std::wstring_view rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != L':') return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
    if (a.Host.find_first_not_of(L"0123456789abcdefABCDEF:.") != std::wstring::npos) return std::nullopt;
  } else {
    const size_t colon = authority.find(L':');
    a.Host = std::wstring(authority.substr(0, colon));
    if (colon != std::wstring_view::npos) port = authority.substr(colon + 1);
    if (a.Host.find_first_of(L"[]:") != std::wstring::npos) return std::nullopt;
  }
  if (a.Host.empty()) return std::nullopt;
  if (authority.find(L':') != std::wstring_view::npos && authority.back() == L':') return std::nullopt;
  if (!port.empty()) {
    unsigned value = 0;
    for (wchar_t c : port) {
      if (c < L'0' || c > L'9' || value > 6553) return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    a.Port = static_cast<uint16_t>(value);
  }
  a.Path = path;
  return a;
}

std::optional<TServiceAddress> ChooseUploadAddress(std::wstring_view testHost, std::wstring_view uploadUrl,
                                                   std::wstring_view serviceUrl, std::wstring_view builtIn) {
  if (!testHost.empty()) {
    TServiceAddress test;
    test.Secure = false;
    test.Host = std::wstring(testHost);
    test.Port = 80;
    return test;
  }
  if (!uploadUrl.empty()) return ParseServiceAddress(uploadUrl);
  if (!serviceUrl.empty()) return ParseServiceAddress(serviceUrl);
  return ParseServiceAddress(builtIn);
}
