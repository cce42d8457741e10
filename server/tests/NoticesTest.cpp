#include "Notices.h"

#include <gtest/gtest.h>

#include "Pages.h"
#include "base/Text.h"
#include "service/UpdateReply.h"

namespace {

const char* kFile = R"({
  "default": {"update": {"version": "2.1.0.0", "link": "https://dl.example.org/vantoru/2.1/setup.exe"},
              "notice": {"style": "note", "text": "What is new", "url": "https://example.org/news?a=1&b=2", "flag": "stayontop"}},
  "ko": {"notice": {"text": "새 기능 \"2.1\" {중괄호} 안내 / 끝"}},
  "fr": {"update": {"link": "https://dl.example.org/fr/setup.exe"}, "notice": {"style": "hold", "flag": ""}}
})";

TEST(Versions, ParseAndOrder) {
  EXPECT_EQ(ParseVersion("1.2.3.4"), (TVersion{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersion("2"), (TVersion{2, 0, 0, 0}));
  for (const char* bad : {"", "1..2", "1.2.3.4.5", "v1", "1.2-beta", " 1", "1.", "1234567890"})
    EXPECT_FALSE(ParseVersion(bad).has_value()) << bad;
  EXPECT_LT(*ParseVersion("1.10.0.0"), *ParseVersion("2.1"));
  EXPECT_LT(*ParseVersion("2.0.9.9"), *ParseVersion("2.1"));
}

// The reply as the program reads it, with its own marker-based reader.
TServiceReply AsProgramReads(const std::string& reply) { return ParseServiceReply(Utf8ToWide(reply)); }

TEST(NoticeReply, TheProgramReadsTheOfferAndTheNoticeAsWritten) {
  const TNoticeBoard board = TNoticeBoard::Parse(kFile);
  const TServiceReply en = AsProgramReads(board.Reply("1.0.0.0", "en"));
  EXPECT_EQ(en.Update, L"https://dl.example.org/vantoru/2.1/setup.exe");
  EXPECT_EQ(en.Notice.Style, L"note");
  EXPECT_EQ(en.Notice.Text, L"What is new");
  EXPECT_EQ(en.Notice.Url, L"https://example.org/news?a=1&b=2");
  EXPECT_EQ(en.Notice.Flag, L"stayontop");

  // Quotes, braces and slashes in a text do not cut it, nor the notice object around it.
  const TServiceReply ko = AsProgramReads(board.Reply("2.0.9.9", "ko"));
  EXPECT_EQ(ko.Notice.Text, L"새 기능 \"2.1\" {중괄호} 안내 / 끝");
  EXPECT_EQ(ko.Notice.Url, L"https://example.org/news?a=1&b=2");
  EXPECT_EQ(ko.Update, L"https://dl.example.org/vantoru/2.1/setup.exe");

  // A language's own fields win, the rest come from the default entry.
  const TServiceReply fr = AsProgramReads(board.Reply("1.0", "fr"));
  EXPECT_EQ(fr.Update, L"https://dl.example.org/fr/setup.exe");
  EXPECT_EQ(fr.Notice.Style, L"hold");
  EXPECT_EQ(fr.Notice.Text, L"What is new");
  EXPECT_EQ(fr.Notice.Flag, L"");
}

TEST(NoticeReply, OffersOnlyANewerVersion) {
  const TNoticeBoard board = TNoticeBoard::Parse(kFile);
  for (const char* version : {"2.1.0.0", "2.1", "3.0.0.0", "", "garbage"})
    EXPECT_EQ(AsProgramReads(board.Reply(version, "en")).Update, L"") << version;
  // Without notices the reply still is a JSON object the program reads as "nothing".
  const std::string empty = TNoticeBoard().Reply("1.0.0.0", "en");
  EXPECT_EQ(empty, R"({"status":"ok"})");
  EXPECT_EQ(AsProgramReads(empty).Update, L"");
  EXPECT_EQ(AsProgramReads(empty).Notice.Style, L"");
}

TEST(NoticeFile, MistakesAreRefusedWithTheirPlace) {
  const struct {
    const char* File;
    const char* Where;
  } cases[] = {
      {"{", "JSON"},
      {"[]", "one JSON object"},
      {R"({"en": 3})", "en must be an object"},
      {R"({"en": {"notice": {"text": 3}}})", "en.notice.text"},
      {R"({"en": {"update": {"version": "two"}}})", "en.update.version"},
      {R"({"en": {"update": {"link": "file:///c:/x.exe"}}})", "en.update.link"},
      {R"x({"en": {"notice": {"url": "javascript:alert(1)"}}})x", "en.notice.url"},
      {R"({"en": {"notice": {"url": "https://a b"}}})", "en.notice.url"},
  };
  for (const auto& c : cases) {
    try {
      TNoticeBoard::Parse(c.File);
      ADD_FAILURE() << c.File;
    } catch (const ENoticeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Where), std::string::npos) << e.what();
    }
  }
}

TEST(JsonText, EscapesWhatCouldEndAMemberAndKeepsUtf8) {
  EXPECT_EQ(JsonText("a/b\"c{d}e\\f\n\x01é"), "\"a\\/b\\u0022c\\u007bd\\u007de\\\\f\\n\\u0001é\"");
}

TEST(Pages, LanguageFromTheBrowserAndEscapedText) {
  EXPECT_EQ(PageLanguage(""), "en");
  EXPECT_EQ(PageLanguage("fr-CH, fr;q=0.9, en;q=0.8, *;q=0.5"), "fr");
  EXPECT_EQ(PageLanguage("de-DE,de;q=0.9,ja;q=0.3,ko;q=0.7"), "ko");
  EXPECT_EQ(PageLanguage("zh-TW"), "zh");
  EXPECT_EQ(PageLanguage("ru;q=0"), "en");
  const std::string help = HelpPage("ffmpegnotfound", "ja");
  EXPECT_NE(help.find("<html lang=\"ja\">"), std::string::npos);
  EXPECT_NE(help.find("ffmpeg.exe が見つかりません"), std::string::npos);
  EXPECT_NE(HelpPage("webpnotfound", "en").find("libwebp.dll is missing"), std::string::npos);
  EXPECT_EQ(HelpPage("webpnotfound", "xx"), HelpPage("webpnotfound", "en"));
  const std::string product = ProductPage("1.2.3.4", "en", "2.0.0.0", "https://x.example/?a=1&b=\"2\"");
  EXPECT_NE(product.find("Your version: 1.2.3.4"), std::string::npos);
  EXPECT_NE(product.find("href=\"https://x.example/?a=1&amp;b=&quot;2&quot;\""), std::string::npos);
  // What the address carries is never written into the page unless it is a version.
  EXPECT_EQ(ProductPage("<script>", "en", "", "").find("<script>"), std::string::npos);
}

}  // namespace
