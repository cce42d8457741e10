#include "base/Strings.h"

#include "base/Errors.h"
#include "base/Text.h"

std::wstring TextBetweenFrom(std::wstring_view source, std::wstring_view startMarker,
                             std::wstring_view endMarker, size_t& position) {
  std::wstring u = AsciiUpper(source);
  const std::wstring s = AsciiUpper(startMarker);
  const std::wstring e = AsciiUpper(endMarker);

  // An end marker that is a quote must not end the match at an escaped quote: turn every
  // backslash-quote into two backslashes (same length, so positions still line up).
  if (!e.empty() && std::wstring_view(L"\"'").find(e) != std::wstring_view::npos) {
    const std::wstring escaped = L"\\" + e;
    const std::wstring doubled(escaped.size(), L'\\');
    u = ReplaceAll(u, escaped, doubled);
  }

  size_t start;  // 0-based index of the first code unit of the result
  if (s.empty()) {
    start = 0;
  } else {
    const size_t from = position > 0 ? position - 1 : 0;
    const size_t p = from <= u.size() ? u.find(s, from) : std::wstring::npos;
    if (p == std::wstring::npos) {
      position = 0;
      return std::wstring();
    }
    start = p + s.size();
  }

  size_t end;  // 0-based index one past the result
  if (e.empty()) {
    end = source.size();
  } else {
    const size_t p = u.find(e, start);
    if (p == std::wstring::npos) {
      position = 0;
      return std::wstring();
    }
    end = p;
  }
  // 1-based end position is end + 1; the next search continues one past it.
  position = end + 2;
  return std::wstring(source.substr(start, end - start));
}

std::wstring TextBetween(std::wstring_view source, std::wstring_view startMarker,
                         std::wstring_view endMarker, bool keepMarkers) {
  size_t position = 1;
  std::wstring result = TextBetweenFrom(source, startMarker, endMarker, position);
  if (keepMarkers && !Trim(result).empty())
    return std::wstring(startMarker) + result + std::wstring(endMarker);
  return result;
}

namespace {
int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}
}  // namespace

std::wstring UnescapeJsonText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const wchar_t c = text[i];
    if (c != L'\\') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) break;  // a final backslash yields nothing
    const wchar_t k = text[i + 1];
    i += 2;
    switch (k) {
      case L'"': case L'\'': case L'/': case L'\\': out.push_back(k); break;
      case L'b': out.push_back(L'\b'); break;
      case L'f': out.push_back(L'\f'); break;
      case L'n': out.push_back(L'\n'); break;
      case L'r': out.push_back(L'\r'); break;
      case L't': out.push_back(L'\t'); break;
      case L'u': {
        const size_t n = std::min<size_t>(4, text.size() - i);
        if (n == 0) throw EConvertError(L"'' is not a valid hexadecimal value");
        uint32_t v = 0;
        for (size_t k2 = 0; k2 < n; ++k2) {
          const int d = HexDigit(text[i + k2]);
          if (d < 0)
            throw EConvertError(L"'" + std::wstring(text.substr(i, n)) + L"' is not a valid hexadecimal value");
          v = v * 16 + static_cast<uint32_t>(d);
        }
        out.push_back(static_cast<wchar_t>(v));
        i += n;
        break;
      }
      default: break;  // unknown escapes are dropped with their letter
    }
  }
  return out;
}
