#include "base/Translate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/Settings.h"

namespace {

// The table the program carries.
const TTranslateTable& Table() {
  static TTranslateTable table = [] {
    std::ifstream f(VANTORU_SOURCE_DIR "/res/translate.txt", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    TTranslateTable t;
    t.Load(s.str());
    return t;
  }();
  return table;
}

TEST(TranslateTable, HasBlocksOfSevenLanguages) {
  ASSERT_FALSE(Table().Empty());
  // 7 lines and the empty line after each block (scripts/check-translate.py knows every row).
  EXPECT_EQ(Table().LineCount() % 8, 0u);
  EXPECT_GE(Table().LineCount(), 70u * 8);
  for (const wchar_t* lang : kLanguages) {
    EXPECT_EQ(Table().Translate(L"반토루", lang), lang == std::wstring(L"ko") ? L"반토루" : L"Vantoru");
    // every row answers in every language with a text of its own row
    EXPECT_NE(Table().Translate(L"Capture failed.", lang), L"");
  }
}

TEST(TranslateTable, LooksUpAnyLanguageIgnoringAsciiCase) {
  EXPECT_EQ(Table().Translate(L"전체화면 캡쳐", L"en"), L"Full Screen");
  const std::wstring ja = Table().Translate(L"전체화면 캡쳐", L"ja");
  EXPECT_NE(ja, L"Full Screen");
  EXPECT_EQ(Table().Translate(L"Full Screen", L"ja"), ja);
  EXPECT_EQ(Table().Translate(L"full screen", L"ko"), L"전체화면 캡쳐");
  EXPECT_EQ(Table().Translate(ja, L"ko"), L"전체화면 캡쳐");
}

TEST(TranslateTable, FallsBackToTheTextOrToEnglish) {
  EXPECT_EQ(Table().Translate(L"녹화중입니다.", L"en"), L"녹화중입니다.");
  EXPECT_EQ(Table().Translate(L"no\\nrow", L"en"), L"no\rrow");
  EXPECT_EQ(Table().Translate(L"", L"en"), L"");
  // an unknown language answers in English
  EXPECT_EQ(Table().Translate(L"종료하기", L"de"), L"Quit");
  EXPECT_EQ(Table().Translate(L"종료하기", L""), L"Quit");
}

TEST(TranslateTable, LineBreakPairsBecomeCarriageReturns) {
  EXPECT_EQ(Table().Translate(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", L"en"),
            L"An unknown program is using the shortcut key.\r\rPlease change the shortcut key.");
}

TEST(TranslateTable, FirstMatchingRowWins) {
  // "Open Folder" is the English text of two rows; the first one answers.
  EXPECT_EQ(Table().Translate(L"Open Folder", L"ko"), L"폴더열기");
  EXPECT_EQ(Table().Translate(L"Open Folder", L"ru"), Table().Translate(L"폴더열기", L"ru"));
}

TEST(TranslateTable, FormatIsReadAsDescribed) {
  TTranslateTable t;
  // BOM, CR LF, a further "=" inside a text, a block without the wanted language
  t.Load("\xEF\xBB\xBFko=가=나\r\nen=A=B\r\n\r\nko=다\r\nja=\xE3\x81\x82\r\n\r\n");
  EXPECT_EQ(t.Translate(L"A=B", L"ko"), L"가=나");
  EXPECT_EQ(t.Translate(L"다", L"ru"), L"다");  // neither ru nor en in the block
  EXPECT_EQ(t.Translate(L"다", L"ja"), L"あ");
  TTranslateTable empty;
  empty.Load("");
  EXPECT_EQ(empty.Translate(L"a\\nb", L"en"), L"a\rb");
}

TEST(Settings, LanguageMustBeOneOfTheSevenExactly) {
  for (const wchar_t* lang : kLanguages) EXPECT_EQ(AcceptedLanguage(lang), lang);
  for (const wchar_t* bad : {L"KO", L"de", L"", L"kor", L"e"}) EXPECT_EQ(AcceptedLanguage(bad), L"en");
}

TEST(CurrentLanguage, TranslateUsesIt) {
  SetCurrentLanguage(L"ko");
  TranslateTable() = Table();
  EXPECT_EQ(Translate(L"Quit"), L"종료하기");
  EXPECT_EQ(Translate(L"Quit", L"en"), L"Quit");
  SetCurrentLanguage(L"");
  TranslateTable().Clear();
}

}  // namespace
