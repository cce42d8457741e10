// The translation table: every Korean text of the interface with its six translations.
// Lookup finds a text in any language, so an already translated window can be turned
// into another language directly.
#pragma once
#include <exception>
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
  // Whether some row holds this text (in any language).
  bool HasRow(std::wstring_view text) const { return !text.empty() && FindLine(text) < FLines.size(); }

 private:
  struct TLine {
    std::wstring Code;  // empty for separator lines
    std::wstring Text;
    bool Blank = true;
  };
  size_t FindLine(std::wstring_view text) const;  // the first line with this text, or the line count
  std::vector<TLine> FLines;
};

// The program's table and its current language (set before any window exists).
TTranslateTable& TranslateTable();
const std::wstring& CurrentLanguage();
void SetCurrentLanguage(std::wstring lang);

// Translate(text) uses CurrentLanguage().
std::wstring Translate(std::wstring_view text, std::wstring_view lang = {});

// A failure's message in the current language: an error's format (or its whole message)
// looked up in the table, then filled with its details.
std::wstring TranslateError(const std::exception& e);

// The seven interface languages in menu order.
inline constexpr const wchar_t* kLanguages[] = {L"ko", L"en", L"ja", L"ru", L"it", L"fr", L"zh"};
bool IsInterfaceLanguage(std::wstring_view code);
