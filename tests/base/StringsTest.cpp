#include "base/Strings.h"

#include <gtest/gtest.h>

#include "base/Errors.h"

namespace {

struct TBetweenCase {
  const wchar_t* Source;
  const wchar_t* Start;
  const wchar_t* End;
  bool Keep;
  const wchar_t* Expected;
};

class TextBetweenCases : public ::testing::TestWithParam<TBetweenCase> {};

TEST_P(TextBetweenCases, CutsBetweenMarkers) {
  const auto& c = GetParam();
  EXPECT_EQ(TextBetween(c.Source, c.Start, c.End, c.Keep), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, TextBetweenCases,
    ::testing::Values(
        TBetweenCase{L"frame= 12 time=00:01:02.50 bitrate", L"time=", L" ", false, L"00:01:02.50"},
        TBetweenCase{L"frame= 12 time=00:01:02.50 bitrate", L"TIME=", L" ", false, L"00:01:02.50"},
        // the result keeps the letter case of the source
        TBetweenCase{L"Name: MiXed;", L"name: ", L";", false, L"MiXed"},
        TBetweenCase{L"a=1", L"b=", L"", false, L""},
        TBetweenCase{L"x: abc", L"x:", L"", false, L" abc"},
        TBetweenCase{L"no end [here", L"[", L"]", false, L""},
        TBetweenCase{L"abc", L"", L"b", false, L"a"},
        TBetweenCase{L"x[ ]", L"[", L"]", true, L" "},
        TBetweenCase{L"x[a]", L"[", L"]", true, L"[a]"},
        // an escaped quote cannot end a quoted value
        TBetweenCase{LR"({"url":"a\"b","x":1})", LR"("url":")", L"\"", false, LR"(a\"b)"},
        TBetweenCase{LR"({'k':'it\'s'})", L"'k':'", L"'", false, LR"(it\'s)"},
        // a backslash-quote pair only matters for quote end markers
        TBetweenCase{LR"(<a\>b>)", L"<", L">", false, LR"(a\)"}));

TEST(TextBetweenFrom, PositionContinuesAfterTheEndMarkerAndZeroWhenMissing) {
  const std::wstring s = L"[a][bb][c";
  size_t pos = 1;
  EXPECT_EQ(TextBetweenFrom(s, L"[", L"]", pos), L"a");
  EXPECT_EQ(pos, 4u);  // after the first code unit of the end marker at 3
  EXPECT_EQ(TextBetweenFrom(s, L"[", L"]", pos), L"bb");
  EXPECT_EQ(TextBetweenFrom(s, L"[", L"]", pos), L"");
  EXPECT_EQ(pos, 0u);

  pos = 1;
  EXPECT_EQ(TextBetweenFrom(L"abc", L"b", L"", pos), L"c");
  EXPECT_EQ(pos, 5u);  // length + 2

  pos = 99;  // an empty start marker ignores the position
  EXPECT_EQ(TextBetweenFrom(L"abc", L"", L"c", pos), L"ab");
}

TEST(UnescapeJsonText, ResolvesEscapes) {
  EXPECT_EQ(UnescapeJsonText(LR"(http:\/\/x.example\/a)"), L"http://x.example/a");
  EXPECT_EQ(UnescapeJsonText(LR"(caf\u00e9)"), L"café");
  EXPECT_EQ(UnescapeJsonText(LR"(a\qb)"), L"ab");
  EXPECT_EQ(UnescapeJsonText(LR"(\u12)"), std::wstring(1, wchar_t(0x12)));
  EXPECT_EQ(UnescapeJsonText(LR"(\"\'\\\b\f\n\r\t)"), L"\"'\\\b\f\n\r\t");
  EXPECT_EQ(UnescapeJsonText(LR"(end\)"), L"end");
  EXPECT_EQ(UnescapeJsonText(L""), L"");
  EXPECT_EQ(UnescapeJsonText(LR"(\N)"), L"");  // upper-case letters are not escapes
}

TEST(UnescapeJsonText, BadUnicodeEscapeRaisesConversionError) {
  EXPECT_THROW(UnescapeJsonText(LR"(\u00zz)"), EConvertError);
  EXPECT_THROW(UnescapeJsonText(LR"(x\u)"), EConvertError);
}

}  // namespace
