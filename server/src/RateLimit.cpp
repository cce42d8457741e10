#include "RateLimit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

std::string RateKey(std::string_view address) {
  const std::string text(address);
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
    // An IPv4-mapped address is the IPv4 client it maps.
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
      char v4[INET_ADDRSTRLEN];
      if (inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof(v4))) return v4;
    }
    std::fill(std::begin(v6.s6_addr) + 8, std::end(v6.s6_addr), 0);
    char out[INET6_ADDRSTRLEN];
    if (inet_ntop(AF_INET6, &v6, out, sizeof(out))) return std::string(out) + "/64";
  }
  return text;
}

TRateLimiter::TRateLimiter(unsigned perMinute, size_t maxKeys)
    : FCapacity(perMinute), FPerSecond(perMinute / 60.0), FMaxKeys(std::max<size_t>(maxKeys, 1)) {}

bool TRateLimiter::Allow(const std::string& key, double now, double* retryAfter) {
  if (FCapacity <= 0) return true;
  std::lock_guard<std::mutex> guard(FLock);
  auto it = FBuckets.find(key);
  if (it == FBuckets.end()) {
    if (FBuckets.size() >= FMaxKeys) Prune(now);
    it = FBuckets.emplace(key, TBucket{FCapacity, now}).first;
  }
  TBucket& b = it->second;
  b.Tokens = std::min(FCapacity, b.Tokens + std::max(0.0, now - b.Stamp) * FPerSecond);
  b.Stamp = now;
  if (b.Tokens >= 1.0) {
    b.Tokens -= 1.0;
    return true;
  }
  if (retryAfter) *retryAfter = (1.0 - b.Tokens) / FPerSecond;
  return false;
}

size_t TRateLimiter::Size() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FBuckets.size();
}

void TRateLimiter::Prune(double now) {
  // Buckets that have refilled remember nothing worth keeping.
  for (auto it = FBuckets.begin(); it != FBuckets.end();) {
    if (it->second.Tokens + (now - it->second.Stamp) * FPerSecond >= FCapacity) it = FBuckets.erase(it);
    else ++it;
  }
  // Still full: forget the addresses seen longest ago.
  while (FBuckets.size() >= FMaxKeys) {
    auto oldest = std::min_element(FBuckets.begin(), FBuckets.end(),
                                   [](const auto& a, const auto& b) { return a.second.Stamp < b.second.Stamp; });
    FBuckets.erase(oldest);
  }
}
