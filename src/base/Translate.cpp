#include "base/Translate.h"

#include "base/Errors.h"
#include "base/Text.h"

namespace {
std::wstring LineBreaks(std::wstring_view text) { return ReplaceAll(text, L"\\n", L"\r"); }
}  // namespace

void TTranslateTable::Load(std::string_view utf8) {
  FLines.clear();
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  const std::wstring text = Utf8ToWide(utf8);
  std::vector<std::wstring> lines = SplitLines(text);
  // A final line break leaves one empty tail that is not a line of the table.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  FLines.reserve(lines.size());
  for (auto& l : lines) {
    TLine line;
    line.Blank = l.empty();
    const size_t eq = l.find(L'=');
    if (eq != std::wstring::npos) {
      line.Code = l.substr(0, eq);
      line.Text = l.substr(eq + 1);
    } else {
      line.Code = l;
    }
    FLines.push_back(std::move(line));
  }
}

size_t TTranslateTable::FindLine(std::wstring_view text) const {
  for (size_t i = 0; i < FLines.size(); ++i)
    if (!FLines[i].Blank && SameTextAscii(FLines[i].Text, text)) return i;
  return FLines.size();
}

std::wstring TTranslateTable::Translate(std::wstring_view text, std::wstring_view lang) const {
  std::wstring fallback = LineBreaks(text);
  if (text.empty()) return fallback;

  const size_t hit = FindLine(text);
  if (hit == FLines.size()) return fallback;

  size_t first = hit;
  while (first > 0 && !FLines[first - 1].Blank) --first;

  for (std::wstring_view code : {lang, std::wstring_view(L"en")}) {
    for (size_t i = first; i < FLines.size() && !FLines[i].Blank; ++i)
      if (FLines[i].Code == code) return LineBreaks(FLines[i].Text);
  }
  return fallback;
}

TTranslateTable& TranslateTable() {
  static TTranslateTable table;
  return table;
}

namespace {
std::wstring& CurrentLanguageRef() {
  static std::wstring lang;
  return lang;
}
}  // namespace

const std::wstring& CurrentLanguage() { return CurrentLanguageRef(); }
void SetCurrentLanguage(std::wstring lang) { CurrentLanguageRef() = std::move(lang); }

std::wstring Translate(std::wstring_view text, std::wstring_view lang) {
  return TranslateTable().Translate(text, lang.empty() ? std::wstring_view(CurrentLanguage()) : lang);
}

bool IsInterfaceLanguage(std::wstring_view code) {
  for (const wchar_t* l : kLanguages)
    if (code == l) return true;
  return false;
}

std::wstring TranslateError(const std::exception& e) {
  if (auto* err = dynamic_cast<const EError*>(&e)) {
    if (!err->Format().empty()) return FillFormat(Translate(err->Format()), err->Args());
    return Translate(err->Message());
  }
  return Translate(Utf8ToWide(e.what()));
}
