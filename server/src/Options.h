// vantoru-server's command line.
#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

class EOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TServerOptions {
  std::string ListenHost;  // as given; an IPv6 address without its brackets
  int ListenPort = 0;      // 0: any free port (the one taken is printed)
  std::string DataDir;
  std::string PublicUrl;   // http(s)://host[:port][/prefix], without a trailing slash
  size_t MaxUpload = size_t{32} << 20;  // bytes of the PNG file
  unsigned UploadsPerMinute = 30;       // per client address; 0: no limit
  bool BehindProxy = false;  // take the client's address from X-Forwarded-For of a loopback peer
  bool Help = false;
};

// Raises EOptionError with a message for the user.
TServerOptions ParseOptions(const std::vector<std::string>& args);
extern const char* const kUsage;
