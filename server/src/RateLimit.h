// Uploads per client address: a bucket of `perMinute` uploads per address that refills
// continuously. IPv6 clients are counted per /64, the block one subscriber usually holds.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// The key an address is counted under: an IPv4 address as it is, an IPv6 address as its
// first 64 bits, anything unparsable as itself.
std::string RateKey(std::string_view address);

class TRateLimiter {
 public:
  // perMinute 0: no limit. At most `maxKeys` addresses are remembered.
  explicit TRateLimiter(unsigned perMinute, size_t maxKeys = 100000);

  // Takes one upload from the key's bucket at `now` (seconds on a steady clock). False when
  // the bucket is empty; `retryAfter` is then the seconds until the next one.
  bool Allow(const std::string& key, double now, double* retryAfter = nullptr);
  size_t Size() const;

 private:
  struct TBucket {
    double Tokens;
    double Stamp;
  };
  void Prune(double now);

  const double FCapacity;
  const double FPerSecond;
  const size_t FMaxKeys;
  mutable std::mutex FLock;
  std::unordered_map<std::string, TBucket> FBuckets;
};
