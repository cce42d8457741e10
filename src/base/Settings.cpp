#include "base/Settings.h"

#include "base/Translate.h"

std::wstring AcceptedLanguage(std::wstring_view lang) {
  return IsInterfaceLanguage(lang) ? std::wstring(lang) : std::wstring(L"en");
}
