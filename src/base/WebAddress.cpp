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
