// The translation table: every Korean text of the interface with its six translations.
// Lookup finds a text in any language, so an already translated window can be turned
// into another language directly.
#pragma once
#include <string>
#include <string_view>
#include <vector>

class TTranslateTable {
 public:
  // Bytes of the table resource: UTF-8 (BOM skipped), lines of "code=text", blocks
  // separated by one empty line.
  void Load(std::string_view utf8);
  void Clear() { FLines.clear(); }
  bool Empty() const { return FLines.empty(); }
  size_t LineCount() const { return FLines.size(); }

  std::wstring Translate(std::wstring_view text, std::wstring_view lang) const;

 private:
  struct TLine {
    std::wstring Code;  // empty for separator lines
    std::wstring Text;
    bool Blank = true;
  };
  std::vector<TLine> FLines;
};

// The program's table and its current language (set before any window exists).
TTranslateTable& TranslateTable();
const std::wstring& CurrentLanguage();
void SetCurrentLanguage(std::wstring lang);

// Translate(text) uses CurrentLanguage().
std::wstring Translate(std::wstring_view text, std::wstring_view lang = {});

// The seven interface languages in menu order.
inline constexpr const wchar_t* kLanguages[] = {L"ko", L"en", L"ja", L"ru", L"it", L"fr", L"zh"};
bool IsInterfaceLanguage(std::wstring_view code);
