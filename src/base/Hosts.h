// Addresses of the maker's services. One built-in service address (a build setting, under
// the reserved ".example" domain until the maker sets the real one); the user can point the
// program at a service of their own with the registry values "service_url" (everything) and
// "upload_url" (only the upload). The environment variables below replace them at run time;
// the tests point the program at their loopback servers with them.
#pragma once
#include <optional>
#include <string>

#include "base/WebAddress.h"

// VANTORU_PRODUCT_URL, else the service: the product page, base + "/vantoru?v=" + version.
std::wstring ProductPageUrl();
// VANTORU_HELP_URL (ending in "/"), else the service + "/": the help page for missing files;
// `msg` becomes "?app=vantoru&msg=<msg>".
std::wstring HelpPageUrl(const std::wstring& msg);
// VANTORU_UPLOAD_HOST (a host name: plain HTTP on port 80), else "upload_url", else
// "service_url", else the built-in service (HTTPS). Nothing when the user's value is not a
// service address.
std::optional<TServiceAddress> UploadAddress();
// VANTORU_SERVICE_URL, else "service_url", else the built-in service: the start-up call goes
// to <it> + "/api.init.php". Empty when the user's value is not a service address.
std::wstring ServiceBaseUrl();
