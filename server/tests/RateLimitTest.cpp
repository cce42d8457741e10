#include "RateLimit.h"

#include <gtest/gtest.h>

namespace {

TEST(RateLimit, ABurstThenOneEveryIntervalPerAddress) {
  TRateLimiter limit(6);  // six a minute: one every ten seconds
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(limit.Allow("a", 100.0)) << i;
  double retry = 0;
  EXPECT_FALSE(limit.Allow("a", 100.0, &retry));
  EXPECT_NEAR(retry, 10.0, 0.01);
  EXPECT_TRUE(limit.Allow("b", 100.0));  // another address has its own
  EXPECT_FALSE(limit.Allow("a", 109.0));
  EXPECT_TRUE(limit.Allow("a", 110.5));
  EXPECT_FALSE(limit.Allow("a", 111.0));
  // A long pause refills the bucket, but never beyond it.
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(limit.Allow("a", 10000.0));
  EXPECT_FALSE(limit.Allow("a", 10000.0));
  TRateLimiter none(0);
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(none.Allow("a", 0));
}

TEST(RateLimit, RemembersABoundedNumberOfAddresses) {
  TRateLimiter limit(2, 100);
  for (int i = 0; i < 1000; ++i) limit.Allow("10.0.0." + std::to_string(i), i * 0.001);
  EXPECT_LE(limit.Size(), 100u);
  // The latest address is still counted.
  limit.Allow("10.0.0.999", 1.0);
  EXPECT_FALSE(limit.Allow("10.0.0.999", 1.0));
}

TEST(RateKey, IPv6ClientsByTheirSubnet) {
  EXPECT_EQ(RateKey("203.0.113.9"), "203.0.113.9");
  EXPECT_EQ(RateKey("::ffff:203.0.113.9"), "203.0.113.9");
  EXPECT_EQ(RateKey("2001:db8:1:2:aaaa::1"), RateKey("2001:db8:1:2:bbbb::7"));
  EXPECT_NE(RateKey("2001:db8:1:2::1"), RateKey("2001:db8:1:3::1"));
  EXPECT_EQ(RateKey("not an address"), "not an address");
}

}  // namespace
