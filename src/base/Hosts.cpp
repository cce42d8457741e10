#include "base/Hosts.h"

#include <windows.h>

#include "base/AutoStart.h"

#ifndef VANTORU_PRODUCT_URL
#define VANTORU_PRODUCT_URL L"https://go.vantoru.example"
#endif
#ifndef VANTORU_HELP_URL
#define VANTORU_HELP_URL L"https://help.vantoru.example/"
#endif
#ifndef VANTORU_UPLOAD_HOST
#define VANTORU_UPLOAD_HOST L"upload.vantoru.example"
#endif
#ifndef VANTORU_SERVICE_URL
#define VANTORU_SERVICE_URL L"https://www.vantoru.example"
#endif

namespace {
std::wstring Setting(const wchar_t* env, const wchar_t* def) {
  wchar_t buf[2048];
  const DWORD n = GetEnvironmentVariableW(env, buf, 2048);
  if (n > 0 && n < 2048) return std::wstring(buf, n);
  return def;
}
}  // namespace

std::wstring ProductPageUrl() {
  return Setting(L"VANTORU_PRODUCT_URL", VANTORU_PRODUCT_URL) + L"/vantoru?v=" + FileVersionText(L"%d.%d.%d.%d");
}

std::wstring HelpPageUrl(const std::wstring& msg) {
  return Setting(L"VANTORU_HELP_URL", VANTORU_HELP_URL) + L"?app=vantoru&msg=" + msg;
}

std::wstring UploadHost() { return Setting(L"VANTORU_UPLOAD_HOST", VANTORU_UPLOAD_HOST); }

std::wstring ServiceBaseUrl() { return Setting(L"VANTORU_SERVICE_URL", VANTORU_SERVICE_URL); }
