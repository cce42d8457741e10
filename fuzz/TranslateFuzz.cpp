// The translation table's loader and lookup over any text.
#include <cstdint>
#include <string>

#include "base/Text.h"
#include "base/Translate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TTranslateTable table;
  table.Load(text);
  // Look up every line of the input itself, in every language.
  const std::wstring wide = Utf8ToWide(text);
  size_t n = 0;
  for (const auto& line : SplitLines(wide)) {
    if (++n > 64) break;
    for (const wchar_t* lang : kLanguages) (void)table.Translate(line, lang);
    (void)table.Translate(line, L"xx");
  }
  return 0;
}
