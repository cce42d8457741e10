#include "base/Text.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(ShortenMiddle, KeepsStartAndEndAroundOneEllipsis) {
  struct TCase {
    std::wstring In;
    size_t Max;
    std::wstring Out;
  };
  for (const TCase& c : {
           TCase{L"short", 10, L"short"},
           TCase{L"exactly10!", 10, L"exactly10!"},
           TCase{L"abcdefghijkl", 5, L"ab\u2026kl"},
           TCase{L"abcdefghijkl", 6, L"abc\u2026kl"},
           TCase{L"abcdefghijkl", 1, L"\u2026"},
           TCase{L"abc", 0, L""},
       }) {
    EXPECT_EQ(ShortenMiddle(c.In, c.Max), c.Out) << WideToUtf8(c.In) << " " << c.Max;
  }
}

TEST(ShortenMiddle, NeverSplitsASurrogatePair) {
  if constexpr (sizeof(wchar_t) != 2) GTEST_SKIP() << "wchar_t holds whole code points here";
  // U+1F600 as a pair on both sides of the cut.
  const std::wstring face = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  const std::wstring s = L"a" + face + L"bcdefg" + face + L"h";  // 12 units
  for (size_t max = 2; max < s.size(); ++max) {
    const std::wstring r = ShortenMiddle(s, max);
    EXPECT_LE(r.size(), max);
    const uint16_t* u = reinterpret_cast<const uint16_t*>(r.data());
    EXPECT_EQ(Utf8ToWide(Utf16ToUtf8(u, r.size())), r) << "half a character at max " << max;
  }
}

TEST(ShortenForDisplay, ShortensUnbreakableRunsAndTheWhole) {
  const std::wstring path = L"Z:\\" + std::wstring(64 * 1024, L'x') + L"\\V-001.png";
  const std::wstring text = L"Capture failed.\r\rCannot create file \"" + path + L"\". File name too long.";
  const std::wstring shown = ShortenForDisplay(text);
  EXPECT_EQ(shown.rfind(L"Capture failed.\r\rCannot create file \"Z:\\xxx", 0), 0u);
  EXPECT_NE(shown.find(L"xxx\\V-001.png\". File name too long."), std::wstring::npos);
  EXPECT_NE(shown.find(L'\u2026'), std::wstring::npos);
  size_t run = 0, longest = 0;
  for (wchar_t c : shown) {
    run = (c == L' ' || c == L'\r') ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, 100u);
  // Text that wraps keeps its words; only the whole is capped.
  std::wstring words;
  for (int i = 0; i < 500; ++i) words += L"word ";
  const std::wstring capped = ShortenForDisplay(words);
  EXPECT_EQ(capped.size(), 1000u);
  EXPECT_EQ(capped.substr(0, 10), L"word word ");
  EXPECT_EQ(ShortenForDisplay(L"Disk full."), L"Disk full.");
}
