#include "base/Translate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/Settings.h"
#include "base/Text.h"

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

// The Korean texts of the table's blocks, each with the languages it has a line for.
std::map<std::wstring, std::set<std::wstring>> RowsByKorean() {
  std::ifstream f(VANTORU_SOURCE_DIR "/res/translate.txt", std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  std::map<std::wstring, std::set<std::wstring>> rows;
  std::wstring ko;
  std::set<std::wstring> codes;
  for (const std::wstring& line : SplitLines(Utf8ToWide(s.str().substr(3)))) {
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) {
      if (!ko.empty()) rows[ko] = codes;
      ko.clear();
      codes.clear();
      continue;
    }
    if (line.compare(0, eq, L"ko") == 0) ko = line.substr(eq + 1);
    codes.insert(line.substr(0, eq));
  }
  return rows;
}

bool HasHangul(const std::wstring& s) {
  return std::any_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
}

// Every Korean text the program is written with can be shown in each language: the L"..."
// literals of the sources, as the table writes them (a backslash-n pair stays a pair).
TEST(TranslateTable, EveryKoreanTextOfTheProgramHasARowInEveryLanguage) {
  const auto rows = RowsByKorean();
  // Shown as written by design: the language menu names each language in itself. The
  // update question carries its own text for every language.
  const std::set<std::wstring> asWritten = {L"한국어"};
  const std::set<std::string> ownTables = {"UpdateReply.cpp"};
  size_t seen = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(VANTORU_SOURCE_DIR "/src")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    if (ownTables.count(entry.path().filename().string())) continue;
    std::ifstream f(entry.path(), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    const std::wstring code = Utf8ToWide(s.str());
    for (size_t at = code.find(L"L\""); at != std::wstring::npos; at = code.find(L"L\"", at)) {
      std::wstring text;
      size_t i = at + 2;
      for (; i < code.size() && code[i] != L'"'; ++i) {
        if (code[i] == L'\\' && i + 1 < code.size()) {
          ++i;
          if (code[i] == L'\\' && i + 1 < code.size() && code[i + 1] == L'n') {
            text += L"\\n";
            ++i;
          } else {
            text += code[i];
          }
        } else {
          text += code[i];
        }
      }
      at = i + 1;
      if (!HasHangul(text) || asWritten.count(text)) continue;
      ++seen;
      const auto row = rows.find(text);
      if (row == rows.end()) {
        ADD_FAILURE() << entry.path().filename() << ": no row for " << WideToUtf8(text);
        continue;
      }
      for (const wchar_t* lang : kLanguages)
        EXPECT_TRUE(row->second.count(lang)) << WideToUtf8(text) << " has no " << WideToUtf8(lang) << " line";
    }
  }
  EXPECT_GT(seen, 60u);  // the scan found the interface's texts
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
  EXPECT_EQ(Table().Translate(L"없는 문장입니다.", L"en"), L"없는 문장입니다.");
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
