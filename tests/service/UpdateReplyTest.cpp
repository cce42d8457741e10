#include "service/UpdateReply.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "base/Errors.h"

namespace {

struct TReplyCase {
  const char* Name;
  const wchar_t* Reply;
  const wchar_t* Update;
  TNoticeKind Kind;
  const wchar_t* Text;
  const wchar_t* Url;
  bool OnTop;
};

class ServiceReplyCases : public ::testing::TestWithParam<TReplyCase> {};

TEST_P(ServiceReplyCases, ReadsTheMembers) {
  const TReplyCase& c = GetParam();
  const TServiceReply r = ParseServiceReply(c.Reply);
  EXPECT_EQ(r.Update, c.Update);
  EXPECT_EQ(NoticeKindOf(r.Notice), c.Kind);
  EXPECT_EQ(r.Notice.Text, c.Text);
  EXPECT_EQ(r.Notice.Url, c.Url);
  EXPECT_EQ(StaysOnTop(r.Notice), c.OnTop);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ServiceReplyCases,
    ::testing::Values(
        TReplyCase{"EscapedSlashes", LR"({"update":"https:\/\/dl.example\/v2\/setup.exe"})",
                   L"https://dl.example/v2/setup.exe", TNoticeKind::None, L"", L"", false},
        TReplyCase{"NoteWithLink",
                   LR"({"update":"http://u","info":{"style":"note","text":"Read \u00e9","url":"http:\/\/n.example\/a"}})",
                   L"http://u", TNoticeKind::Note, L"Read \u00e9", L"http://n.example/a", false},
        TReplyCase{"Hold", LR"({"info":{"style":"hold","text":"Not again"},"update":"http://u"})", L"http://u",
                   TNoticeKind::Hold, L"Not again", L"", false},
        // The style values are compared exactly: capitals give only the separator line.
        TReplyCase{"HoldInCapitals", LR"({"update":"http://u","info":{"style":"HOLD","text":"t"}})", L"http://u",
                   TNoticeKind::Line, L"t", L"", false},
        TReplyCase{"OtherStyle", LR"({"update":"http://u","info":{"style":"line"}})", L"http://u", TNoticeKind::Line,
                   L"", L"", false},
        // Member names match in any letter case.
        TReplyCase{"NamesIgnoreCase", LR"({"UPDATE":"http://u","Info":{"Style":"note","TEXT":"x"}})", L"http://u",
                   TNoticeKind::Note, L"x", L"", false},
        // The notice ends at its first closing brace, even inside a text value.
        TReplyCase{"BraceInsideText",
                   LR"({"update":"http://u","info":{"text":"a}b","style":"hold","flag":"stayontop"}})", L"http://u",
                   TNoticeKind::None, L"", L"", false},
        TReplyCase{"StayOnTopAmongOtherWords",
                   LR"({"update":"http://u","info":{"style":"note","flag":"bold stayontop wide"}})", L"http://u",
                   TNoticeKind::Note, L"", L"", true},
        TReplyCase{"StayOnTopIsCaseSensitive", LR"({"update":"http://u","info":{"style":"note","flag":"StayOnTop"}})",
                   L"http://u", TNoticeKind::Note, L"", L"", false},
        // A notice outside "info" does not count; update is read from the whole reply.
        TReplyCase{"NoticeMembersOutsideInfo", LR"({"style":"hold","info":{},"x":{"update":"http://deep"}})",
                   L"http://deep", TNoticeKind::None, L"", L"", false},
        TReplyCase{"NotJson", L"<html>502 Bad Gateway</html>", L"", TNoticeKind::None, L"", L"", false},
        TReplyCase{"EmptyUpdate", LR"({"update":"","info":{"style":"note"}})", L"", TNoticeKind::Note, L"", L"",
                   false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ServiceReply, BrokenEscapeIsAnError) {
  EXPECT_THROW(ParseServiceReply(LR"({"update":"http://u\uZZ"})"), EConvertError);
}

TEST(ServiceHeaders, StartupAndHoldRequests) {
  const THeaderList start = StartupHeaders(L"1.2.3.4", L"ru", L"ID");
  const THeaderList expected{
      {L"User-Version", L"1.2.3.4"}, {L"User-Language", L"ru"}, {L"User-Debug", L"false"}, {L"User-Union", L"ID"}};
  EXPECT_EQ(start, expected);
  EXPECT_EQ(StartupHeaders(L"0.0.0.0", L"ko", L"").back(), (std::pair<std::wstring, std::wstring>{L"User-Union", L""}));
  const THeaderList hold{{L"User-Version", L"1.2.3.4"}, {L"User-Command", L"hold"}};
  EXPECT_EQ(HoldHeaders(L"1.2.3.4"), hold);
}

TEST(InstallId, PartsInTheirPlaces) {
  TInstallIdParts p;
  p.First = 2147483646u;
  p.Year = 2009;
  p.Month = 3;
  p.Day = 7;
  p.Middle = 0xAB;
  p.Hour = 23;
  p.Minute = 5;
  p.Second = 9;
  p.Last = 0x1F;
  EXPECT_EQ(FormatInstallId(p), L"7FFFFFFE09030700AB2305090000001F");
}

TEST(InstallId, NewOnesHaveTheFormAndDiffer) {
  const std::wstring a = NewInstallId(), b = NewInstallId();
  ASSERT_EQ(a.size(), 32u);
  auto upperHex = [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); };
  auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
  for (size_t i = 0; i < a.size(); ++i) {
    const bool dateOrTime = (i >= 8 && i < 14) || (i >= 18 && i < 24);
    EXPECT_TRUE(dateOrTime ? digit(a[i]) : upperHex(a[i])) << "position " << i << " of " << std::string(a.begin(), a.end());
  }
  // The random numbers stay below 2^31 - 1: the first digit of each 8-digit part is at most 7.
  EXPECT_LE(a[0], L'7');
  EXPECT_LE(a[24], L'7');
  const int month = (a[10] - L'0') * 10 + (a[11] - L'0');
  EXPECT_TRUE(month >= 1 && month <= 12);
  EXPECT_NE(a, b);
}

TEST(UpdateTexts, EveryLanguageAndTheEnglishFallback) {
  EXPECT_EQ(UpdateText(1, L"ko"), L"예");
  EXPECT_EQ(UpdateText(2, L"ko"), L"아니오");
  EXPECT_EQ(UpdateText(0, L"ko").substr(0, 17), L"업데이트가 정보가 있습니다.\r\r");
  EXPECT_EQ(UpdateText(1, L"ja"), L"はい");
  EXPECT_EQ(UpdateText(2, L"zh"), L"否");
  EXPECT_EQ(UpdateText(1, L"ru"), L"Да");
  EXPECT_EQ(UpdateText(1, L"it"), L"Sì");
  EXPECT_EQ(UpdateText(2, L"fr"), L"Non");
  for (const wchar_t* lang : {L"en", L"de", L"", L"KO"}) {
    EXPECT_EQ(UpdateText(0, lang),
              L"This program has been updated.\r\rIt is recommended to download and execute new for stable "
              L"use.\r\rDo you want to download it?");
    EXPECT_EQ(UpdateText(1, lang), L"Yes");
    EXPECT_EQ(UpdateText(2, lang), L"No");
  }
  // Every question has its two empty lines.
  for (const wchar_t* lang : {L"ko", L"ja", L"zh", L"ru", L"it", L"fr", L"en"}) {
    const std::wstring q = UpdateText(0, lang);
    size_t breaks = 0;
    for (size_t p = q.find(L"\r\r"); p != std::wstring::npos; p = q.find(L"\r\r", p + 2)) ++breaks;
    EXPECT_EQ(breaks, 2u) << std::string(lang, lang + 2);
    EXPECT_EQ(q.find(L'\n'), std::wstring::npos);
  }
}

TEST(UpdateLink, OnlyWebAddressesAreOpened) {
  for (const wchar_t* ok : {L"https://dl.example/setup.exe", L"http://dl.example", L"HTTPS://DL.EXAMPLE/a?b=c%20d"})
    EXPECT_TRUE(IsWebAddress(ok)) << std::string(ok, ok + wcslen(ok));
  for (const wchar_t* bad : {L"", L"https://", L"calc.exe", L"C:\\Windows\\system32\\cmd.exe",
                             L"file:///C:/x.exe", L"\\\\server\\share\\x.exe", L"javascript:alert(1)",
                             L" https://dl.example", L"https://dl.example/a b", L"https://dl.example/\"x", L"https://dl.example/\r\nx", L"ftp://dl.example"})
    EXPECT_FALSE(IsWebAddress(bad)) << std::string(bad, bad + wcslen(bad));
}

struct TRetryRun {
  int Attempts = 0;
  int Sleeps = 0;
  unsigned SleptMs = 0;
  int Checks = 0;
  std::optional<std::string> Result;
};

TRetryRun RunRetries(int succeedAt, int terminateAtCheck) {
  TRetryRun run;
  run.Result = CallWithRetries(
      [&](std::string& reply) {
        ++run.Attempts;
        if (run.Attempts == succeedAt) {
          reply = "{}";
          return true;
        }
        reply = "partial";  // what a failed transfer left must not become the reply
        return false;
      },
      [&](unsigned ms) {
        ++run.Sleeps;
        run.SleptMs += ms;
      },
      [&] { return ++run.Checks == terminateAtCheck; });
  return run;
}

TEST(StartupRetries, SixtyAttemptsOneSecondApartWhenNothingAnswers) {
  const TRetryRun run = RunRetries(-1, -1);
  EXPECT_EQ(run.Attempts, 60);
  EXPECT_EQ(run.Sleeps, 6000);
  EXPECT_EQ(run.SleptMs, 60000u);
  EXPECT_EQ(run.Checks, 6000);
  ASSERT_TRUE(run.Result.has_value());
  EXPECT_EQ(*run.Result, "");
}

TEST(StartupRetries, StopsAtTheFirstReply) {
  const TRetryRun run = RunRetries(3, -1);
  EXPECT_EQ(run.Attempts, 3);
  EXPECT_EQ(run.SleptMs, 2000u);
  EXPECT_EQ(run.Result, std::optional<std::string>("{}"));
  EXPECT_EQ(RunRetries(1, -1).Sleeps, 0);
}

TEST(StartupRetries, EndsAtTheNextStepWhenTheProgramEnds) {
  // The 150th look falls in the second pause: no third attempt, no reply at all.
  const TRetryRun run = RunRetries(-1, 150);
  EXPECT_EQ(run.Attempts, 2);
  EXPECT_EQ(run.Sleeps, 149);
  EXPECT_FALSE(run.Result.has_value());
}

}  // namespace
