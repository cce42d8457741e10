// Addresses of the maker's web services. Build-time defaults lie under the reserved
// ".example" domain; each can be replaced at run time by an environment variable, which
// is how the tests point the program at their loopback servers.
#pragma once
#include <string>

// VANTORU_PRODUCT_URL: the product page's short-link base, e.g. "https://go.vantoru.example".
std::wstring ProductPageUrl();  // base + "/vantoru?v=" + four-part version
// VANTORU_HELP_URL: the help page for missing files; `msg` becomes "?app=vantoru&msg=<msg>".
std::wstring HelpPageUrl(const std::wstring& msg);
// VANTORU_UPLOAD_HOST: host name of the image service (port 80).
std::wstring UploadHost();
// VANTORU_SERVICE_URL: the product web host; the start-up call goes to <it> + "/api.init.php".
std::wstring ServiceBaseUrl();
