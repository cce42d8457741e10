#include "base/Hosts.h"

#include <windows.h>

#include "base/AutoStart.h"
#include "base/Config.h"
#include "base/Settings.h"

#ifndef VANTORU_SERVICE_URL
#define VANTORU_SERVICE_URL L"https://www.vantoru.example"
#endif

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buf[2048];
  const DWORD n = GetEnvironmentVariableW(name, buf, 2048);
  return n > 0 && n < 2048 ? std::wstring(buf, n) : std::wstring();
}

std::wstring UserSetting(const wchar_t* name) { return TConfig(kConfigPath).ReadString(name, L""); }

// The built-in service without a trailing slash.
std::wstring BuiltIn() {
  const auto address = ParseServiceAddress(VANTORU_SERVICE_URL);
  return address ? address->Text() : std::wstring(VANTORU_SERVICE_URL);
}

// The user's service when it is a service address, else the built-in one.
std::wstring PageBase() {
  if (const auto own = ParseServiceAddress(UserSetting(setting::ServiceUrl))) return own->Text();
  return BuiltIn();
}

}  // namespace

std::wstring ProductPageUrl() {
  std::wstring base = Environment(L"VANTORU_PRODUCT_URL");
  if (base.empty()) base = PageBase();
  return base + L"/vantoru?v=" + FileVersionText(L"%d.%d.%d.%d");
}

std::wstring HelpPageUrl(const std::wstring& msg) {
  std::wstring base = Environment(L"VANTORU_HELP_URL");
  if (base.empty()) base = PageBase() + L"/";
  return base + L"?app=vantoru&msg=" + msg;
}

std::optional<TServiceAddress> UploadAddress() {
  return ChooseUploadAddress(Environment(L"VANTORU_UPLOAD_HOST"), UserSetting(setting::UploadUrl),
                             UserSetting(setting::ServiceUrl), VANTORU_SERVICE_URL);
}

std::wstring ServiceBaseUrl() {
  const std::wstring test = Environment(L"VANTORU_SERVICE_URL");
  if (!test.empty()) return test;
  const std::wstring own = UserSetting(setting::ServiceUrl);
  if (own.empty()) return BuiltIn();
  // A value that is no address does not fall back to the built-in service: the user chose
  // not to call it.
  const auto address = ParseServiceAddress(own);
  return address ? address->Text() : std::wstring();
}
