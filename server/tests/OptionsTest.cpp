#include "Options.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Args(std::initializer_list<const char*> extra) {
  std::vector<std::string> a{"--data", "/srv/v", "--public-url", "https://shots.example.org/"};
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}

TEST(Options, CommandLineAsDocumented) {
  const TServerOptions o = ParseOptions(Args({"--listen", "127.0.0.1:8080"}));
  EXPECT_EQ(o.ListenHost, "127.0.0.1");
  EXPECT_EQ(o.ListenPort, 8080);
  EXPECT_EQ(o.DataDir, "/srv/v");
  EXPECT_EQ(o.PublicUrl, "https://shots.example.org");
  EXPECT_EQ(o.MaxUpload, 32u << 20);
  EXPECT_EQ(o.UploadsPerMinute, 30u);
  EXPECT_FALSE(o.BehindProxy);

  const TServerOptions v6 = ParseOptions(Args({"--listen", "[::1]:0", "--max-upload", "512K", "--upload-rate", "0",
                                               "--behind-proxy"}));
  EXPECT_EQ(v6.ListenHost, "::1");
  EXPECT_EQ(v6.ListenPort, 0);
  EXPECT_EQ(v6.MaxUpload, 512u * 1024);
  EXPECT_EQ(v6.UploadsPerMinute, 0u);
  EXPECT_TRUE(v6.BehindProxy);
  EXPECT_EQ(ParseOptions(Args({"--listen", "0.0.0.0:1", "--public-url", "http://192.168.1.5:8080/vantoru"})).PublicUrl,
            "http://192.168.1.5:8080/vantoru");
}

TEST(Options, MistakesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      Args({}),
      {"--listen", "127.0.0.1:80", "--public-url", "https://a"},
      {"--listen", "127.0.0.1:80", "--data", "/d"},
      Args({"--listen", "127.0.0.1"}),
      Args({"--listen", "::1:80"}),
      Args({"--listen", "127.0.0.1:65536"}),
      Args({"--listen", ":80"}),
      Args({"--listen", "127.0.0.1:80", "--public-url", "ftp://a"}),
      Args({"--listen", "127.0.0.1:80", "--public-url", "https://"}),
      Args({"--listen", "127.0.0.1:80", "--public-url", "https://a/?x"}),
      Args({"--listen", "127.0.0.1:80", "--public-url", "https://user@a"}),
      Args({"--listen", "127.0.0.1:80", "--max-upload", "0"}),
      Args({"--listen", "127.0.0.1:80", "--max-upload", "3G"}),
      Args({"--listen", "127.0.0.1:80", "--upload-rate", "-1"}),
      Args({"--listen", "127.0.0.1:80", "--unknown"}),
      Args({"--listen"}),
  };
  for (const auto& a : bad) {
    std::string line;
    for (const auto& s : a) line += s + " ";
    EXPECT_THROW(ParseOptions(a), EOptionError) << line;
  }
}

}  // namespace
