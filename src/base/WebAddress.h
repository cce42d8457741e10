// Addresses that arrive from the network are handed to the shell only when they are web
// addresses: http or https, a host, and nothing that could end or bend a command line.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

bool IsWebAddress(std::wstring_view link);

// The address of a service the program talks to: "http://" or "https://", a host name or
// address ([IPv6] in brackets), an optional port and an optional path prefix, nothing else
// (no user, query or fragment). Text of the registry values "service_url" and "upload_url".
struct TServiceAddress {
  bool Secure = true;
  std::wstring Host;   // without brackets
  uint16_t Port = 443;
  std::wstring Path;   // "" or "/prefix", without a trailing slash
  std::wstring Text() const;  // scheme, host, the port unless it is the scheme's, path
};
std::optional<TServiceAddress> ParseServiceAddress(std::wstring_view text);

// Where the upload goes: the tests' host name (plain HTTP on port 80) when set, else the
// user's "upload_url", else the user's "service_url", else the built-in service. A value the
// user set that is no service address gives nothing: the upload then fails rather than go
// anywhere the user did not choose.
std::optional<TServiceAddress> ChooseUploadAddress(std::wstring_view testHost, std::wstring_view uploadUrl,
                                                   std::wstring_view serviceUrl, std::wstring_view builtIn);
