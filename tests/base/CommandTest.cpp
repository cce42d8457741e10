#include "base/Command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The bytes another program would send: UTF-16LE, with or without the terminating NUL.
std::vector<uint16_t> Units(const std::u16string& text, bool nul = true) {
  std::vector<uint16_t> v(text.begin(), text.end());
  if (nul) v.push_back(0);
  return v;
}

std::optional<std::wstring> Parse(const std::u16string& text, bool nul = true) {
  const auto v = Units(text, nul);
  return ParseCopyDataCommand(v.data(), v.size() * 2);
}

TEST(CopyDataCommand, ReadsTheTopLevelCommandMember) {
  EXPECT_EQ(Parse(u"{\"command\":\"capture\"}"), L"capture");
  EXPECT_EQ(Parse(u" {\"x\":[1,{\"command\":\"no\"}],\"command\":\"about\"} "), L"about");
  EXPECT_EQ(Parse(u"{\"command\":\"Capture\"}"), L"Capture");  // the caller compares exactly
  EXPECT_EQ(Parse(u"{\"command\":\"\\u0063apture\"}"), L"capture");
}

TEST(CopyDataCommand, RefusesWhatIsNotAnObjectWithATextCommand) {
  for (const char16_t* bad : {u"", u"capture", u"[\"command\",\"capture\"]", u"\"capture\"",
                              u"{\"command\":1}", u"{\"command\":{\"command\":\"capture\"}}",
                              u"{\"Command\":\"capture\"}", u"{\"command\":\"capture\"",
                              u"{\"command\":\"capture\"} trailing", u"{\"command\":\"capture\",}"})
    EXPECT_FALSE(Parse(bad).has_value()) << std::u16string(bad).size();
}

TEST(CopyDataCommand, NeverReadsPastTheGivenSize) {
  // No NUL inside the record: refused, even though the text itself is a valid command.
  EXPECT_FALSE(Parse(u"{\"command\":\"capture\"}", false).has_value());
  // The NUL lies just beyond the announced size.
  const auto v = Units(u"{\"command\":\"capture\"}");
  EXPECT_FALSE(ParseCopyDataCommand(v.data(), (v.size() - 1) * 2).has_value());
  // An odd byte count cannot hold the last code unit.
  EXPECT_FALSE(ParseCopyDataCommand(v.data(), v.size() * 2 - 1).has_value());
  EXPECT_FALSE(ParseCopyDataCommand(nullptr, 0).has_value());
  EXPECT_FALSE(ParseCopyDataCommand(nullptr, 100).has_value());
}

TEST(CopyDataCommand, HugeAndDeeplyNestedTexts) {
  std::u16string deep(200000, u'[');
  EXPECT_FALSE(Parse(deep).has_value());
  std::u16string nested = u"{\"command\":\"capture\",\"x\":" + std::u16string(100000, u'[') +
                          std::u16string(100000, u']') + u"}";
  EXPECT_EQ(Parse(nested), L"capture");
  std::u16string big = u"{\"pad\":\"" + std::u16string(4 << 20, u'a') + u"\",\"command\":\"capture\"}";
  EXPECT_EQ(Parse(big), L"capture");
}

}  // namespace
