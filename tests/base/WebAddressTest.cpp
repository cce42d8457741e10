#include "base/WebAddress.h"

#include <gtest/gtest.h>

#include "base/Text.h"

namespace {

std::string Narrow(std::wstring_view w) { return WideToUtf8(w); }

TEST(ServiceAddress, SchemeHostPortAndPrefix) {
  const struct {
    const wchar_t* Text;
    bool Secure;
    const wchar_t* Host;
    uint16_t Port;
    const wchar_t* Path;
    const wchar_t* Normal;
  } cases[] = {
      {L"https://shots.example.org", true, L"shots.example.org", 443, L"", L"https://shots.example.org"},
      {L"HTTPS://shots.example.org/", true, L"shots.example.org", 443, L"", L"https://shots.example.org"},
      {L"http://192.168.1.5:8080", false, L"192.168.1.5", 8080, L"", L"http://192.168.1.5:8080"},
      {L"http://127.0.0.1:80/", false, L"127.0.0.1", 80, L"", L"http://127.0.0.1"},
      {L"https://example.org:8443/vantoru/", true, L"example.org", 8443, L"/vantoru", L"https://example.org:8443/vantoru"},
      {L"http://[::1]:9000/a/b", false, L"::1", 9000, L"/a/b", L"http://[::1]:9000/a/b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.Text));
    const auto a = ParseServiceAddress(c.Text);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->Secure, c.Secure);
    EXPECT_EQ(a->Host, c.Host);
    EXPECT_EQ(a->Port, c.Port);
    EXPECT_EQ(a->Path, c.Path);
    EXPECT_EQ(a->Text(), c.Normal);
  }
  for (const wchar_t* bad : {L"", L"shots.example.org", L"ftp://x", L"https://", L"https:///x", L"https://x:0",
                             L"https://x:65536", L"https://x:", L"https://x:8a", L"https://user@x", L"https://x/?q=1",
                             L"https://x/#f", L"https://x y", L"https://x\\y", L"http://[::1", L"http://[::1]x",
                             L"http://[zz::1]", L"http://a:1:2", L"https://x/%2e%2e"})
    EXPECT_FALSE(ParseServiceAddress(bad).has_value()) << Narrow(bad);
}

TEST(ServiceAddress, TheUploadGoesWhereTheUserSaid) {
  const wchar_t* builtIn = L"https://www.vantoru.example";
  // Nothing set: the built-in service, over HTTPS.
  auto a = ChooseUploadAddress(L"", L"", L"", builtIn);
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->Secure);
  EXPECT_EQ(a->Host, L"www.vantoru.example");
  EXPECT_EQ(a->Port, 443);
  // The user's service, then the user's upload address over it.
  a = ChooseUploadAddress(L"", L"", L"http://192.168.1.5:8080", builtIn);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Text(), L"http://192.168.1.5:8080");
  a = ChooseUploadAddress(L"", L"https://up.example.org/v", L"http://192.168.1.5:8080", builtIn);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Text(), L"https://up.example.org/v");
  // A mistyped address of the user's never falls back to another service.
  EXPECT_FALSE(ChooseUploadAddress(L"", L"up.example.org", L"", builtIn));
  EXPECT_FALSE(ChooseUploadAddress(L"", L"", L"ftp://mine", builtIn));
  // The tests' host: plain HTTP on port 80, over everything else.
  a = ChooseUploadAddress(L"127.0.0.1", L"https://up.example.org", L"", builtIn);
  ASSERT_TRUE(a);
  EXPECT_FALSE(a->Secure);
  EXPECT_EQ(a->Host, L"127.0.0.1");
  EXPECT_EQ(a->Port, 80);
}

}  // namespace
