#include "Options.h"

#include <charconv>

const char* const kUsage =
    "usage: vantoru-server --listen ADDRESS:PORT --data DIR --public-url URL\n"
    "                      [--max-upload BYTES[K|M]] [--upload-rate N] [--behind-proxy]\n"
    "\n"
    "  --listen ADDRESS:PORT  where to listen, e.g. 127.0.0.1:8080 or [::1]:8080 (port 0: any free port)\n"
    "  --data DIR             everything the service stores: images/, vantoru.db, notices.json\n"
    "  --public-url URL       the address users reach the service at, e.g. https://shots.example.org\n"
    "  --max-upload SIZE      largest PNG file accepted (default 32M)\n"
    "  --upload-rate N        uploads per minute per client address (default 30, 0: no limit)\n"
    "  --behind-proxy         the client's address is the last one in X-Forwarded-For, when the\n"
    "                         request comes from a loopback address (a reverse proxy on this host)\n";

namespace {

unsigned long long Number(const std::string& text, const std::string& option) {
  unsigned long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    throw EOptionError(option + ": not a number: " + text);
  return value;
}

void ParseListen(const std::string& text, TServerOptions& o) {
  std::string host, port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || text.compare(close + 1, 1, ":") != 0)
      throw EOptionError("--listen: expected [IPv6]:PORT, got " + text);
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || text.find(':') != colon)
      throw EOptionError("--listen: expected ADDRESS:PORT, got " + text);
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty()) throw EOptionError("--listen: the address is missing");
  const unsigned long long p = Number(port, "--listen");
  if (p > 65535) throw EOptionError("--listen: port out of range: " + port);
  o.ListenHost = host;
  o.ListenPort = static_cast<int>(p);
}

std::string ParsePublicUrl(std::string url) {
  const size_t host = url.rfind("https://", 0) == 0 ? 8 : url.rfind("http://", 0) == 0 ? 7 : 0;
  if (host == 0) throw EOptionError("--public-url: must begin with http:// or https://");
  while (url.size() > host && url.back() == '/') url.pop_back();
  if (url.size() == host || url[host] == '/') throw EOptionError("--public-url: the host is missing");
  for (char c : url)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '"' || c == '?' || c == '#' || c == '@' ||
        c == '\\')
      throw EOptionError("--public-url: only scheme, host, port and path are allowed");
  return url;
}

}  // namespace

TServerOptions ParseOptions(const std::vector<std::string>& args) {
  TServerOptions o;
  bool listen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw EOptionError(a + ": a value is missing");
      return args[++i];
    };
    if (a == "--help" || a == "-h") o.Help = true;
    else if (a == "--listen") ParseListen(value(), o), listen = true;
    else if (a == "--data") o.DataDir = value();
    else if (a == "--public-url") o.PublicUrl = ParsePublicUrl(value());
    else if (a == "--behind-proxy") o.BehindProxy = true;
    else if (a == "--upload-rate") {
      const unsigned long long n = Number(value(), a);
      if (n > 1000000) throw EOptionError("--upload-rate: too large");
      o.UploadsPerMinute = static_cast<unsigned>(n);
    } else if (a == "--max-upload") {
      std::string text = value();
      unsigned long long scale = 1;
      if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) scale = 1024, text.pop_back();
      else if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) scale = 1024 * 1024, text.pop_back();
      const unsigned long long n = Number(text, a);
      if (n == 0 || n > (1ull << 31) / scale) throw EOptionError("--max-upload: between 1 byte and 2048M");
      o.MaxUpload = static_cast<size_t>(n * scale);
    } else throw EOptionError("unknown option: " + a);
  }
  if (o.Help) return o;
  if (!listen) throw EOptionError("--listen is required");
  if (o.DataDir.empty()) throw EOptionError("--data is required");
  if (o.PublicUrl.empty()) throw EOptionError("--public-url is required");
  return o;
}
