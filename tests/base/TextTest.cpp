#include "base/Text.h"

#include <gtest/gtest.h>

TEST(Utf8, RoundTripsAndReplacesInvalidBytes) {
  const std::wstring w = L"반토루 Vantoru é";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
  EXPECT_EQ(WideToUtf8(L"é"), "\xC3\xA9");
  // a lone continuation byte and a truncated sequence
  EXPECT_EQ(Utf8ToWide("a\x80" "b\xE3\x81"), std::wstring(L"a\xFFFD" L"b\xFFFD\xFFFD"));
  // an overlong encoding of '/'
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\xFFFD\xFFFD"));
  const uint16_t units[] = {0x41, 0xD83D, 0xDE00, 0xD800};
  EXPECT_EQ(Utf16ToUtf8(units, 4), "A\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(StrToInt, WholeTextOnly) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt(L"042", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TryStrToInt(L"-7", v));
  EXPECT_EQ(v, -7);
  EXPECT_TRUE(TryStrToInt(L"2147483647", v));
  EXPECT_FALSE(TryStrToInt(L"2147483648", v));
  EXPECT_FALSE(TryStrToInt(L"7x", v));
  EXPECT_FALSE(TryStrToInt(L"", v));
  EXPECT_FALSE(TryStrToInt(L" 5", v));
  EXPECT_EQ(StrToIntDef(L"abc", 90), 90);
}

TEST(FormatW, FormatsWideStrings) {
  EXPECT_EQ(FormatW(L"V-%03d.%ls", 7, L"png"), L"V-007.png");
  EXPECT_EQ(FormatW(L"V-%03d.%ls", 1000, L"png"), L"V-1000.png");
  EXPECT_EQ(FormatW(L"%02X%02X%02X", 30, 144, 255), L"1E90FF");
}
