#include "base/Text.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>

namespace {

void AppendCodePoint(std::wstring& out, uint32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }
wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

std::wstring Utf8ToWide(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int len = 0;
    uint32_t cp = 0, min = 0;
    if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (c & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      ++i;  // resynchronise on the next byte
      continue;
    }
    AppendCodePoint(out, cp);
    i += len;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t cp = static_cast<uint32_t>(w[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size()) {
        const uint32_t lo = static_cast<uint32_t>(w[i + 1]);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          ++i;
        }
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

std::wstring AsciiUpper(std::wstring_view s) {
  std::wstring r(s);
  for (auto& c : r) c = UpperAscii(c);
  return r;
}

std::wstring AsciiLower(std::wstring_view s) {
  std::wstring r(s);
  for (auto& c : r) c = LowerAscii(c);
  return r;
}

bool SameTextAscii(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

std::wstring Trim(std::wstring_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint32_t>(s[b]) <= 32) ++b;
  while (e > b && static_cast<uint32_t>(s[e - 1]) <= 32) --e;
  return std::wstring(s.substr(b, e - b));
}

bool ReplaceFirst(std::wstring& s, std::wstring_view what, std::wstring_view with) {
  const size_t p = s.find(what);
  if (what.empty() || p == std::wstring::npos) return false;
  s.replace(p, what.size(), with);
  return true;
}

std::wstring ReplaceAll(std::wstring_view s, std::wstring_view what, std::wstring_view with) {
  if (what.empty()) return std::wstring(s);
  std::wstring out;
  size_t pos = 0;
  for (;;) {
    const size_t p = s.find(what, pos);
    if (p == std::wstring_view::npos) break;
    out.append(s.substr(pos, p - pos));
    out.append(with);
    pos = p + what.size();
  }
  out.append(s.substr(pos));
  return out;
}

bool TryStrToInt(std::wstring_view s, int32_t& value) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) neg = s[i++] == L'-';
  int base = 10;
  if (i < s.size() && s[i] == L'$') { base = 16; ++i; }
  else if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) { base = 16; i += 2; }
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const wchar_t c = s[i];
    int d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return false;
  }
  if (base == 10) {
    if (neg ? v > 2147483648LL : v > 2147483647LL) return false;
    value = static_cast<int32_t>(neg ? -v : v);
  } else {
    // hexadecimal texts may spell the full 32-bit pattern
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    if (neg) value = -value;
  }
  return true;
}

int32_t StrToIntDef(std::wstring_view s, int32_t def) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

std::wstring IntToStr(int64_t v) { return std::to_wstring(v); }

std::wstring FormatW(const wchar_t* format, ...) {
  std::wstring buf(256, L'\0');
  for (;;) {
    va_list ap;
    va_start(ap, format);
    const int n = vswprintf(buf.data(), buf.size(), format, ap);
    va_end(ap);
    if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      return buf;
    }
    if (buf.size() > (1u << 24)) return std::wstring();
    buf.resize(buf.size() * 4);
  }
}

std::vector<std::wstring> SplitLines(std::wstring_view s) {
  std::vector<std::wstring> lines;
  std::wstring cur;
  for (size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c == L'\r' || c == L'\n') {
      lines.push_back(std::move(cur));
      cur.clear();
      if (c == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n') ++i;
    } else {
      cur.push_back(c);
    }
  }
  lines.push_back(std::move(cur));
  return lines;
}

std::string Utf16ToUtf8(const uint16_t* units, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

namespace {

bool IsLowSurrogate(wchar_t c) { return sizeof(wchar_t) == 2 && c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring ShortenMiddle(std::wstring_view s, size_t max) {
  if (s.size() <= max) return std::wstring(s);
  constexpr wchar_t kEllipsis = L'\u2026';
  if (max == 0) return std::wstring();
  const size_t keep = max - 1;
  size_t head = (keep + 1) / 2, tail = keep - head;
  // A cut between a high and a low surrogate would leave half a character on each side.
  if (head > 0 && IsLowSurrogate(s[head])) --head;
  size_t tailStart = s.size() - tail;
  if (tail > 0 && IsLowSurrogate(s[tailStart])) ++tailStart;
  std::wstring out(s.substr(0, head));
  out.push_back(kEllipsis);
  out.append(s.substr(tailStart));
  return out;
}

std::wstring ShortenForDisplay(std::wstring_view s, size_t maxRun, size_t maxTotal) {
  auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
  std::wstring out;
  out.reserve(std::min(s.size(), maxTotal * 2));
  size_t i = 0;
  while (i < s.size()) {
    size_t j = i;
    if (space(s[i])) {
      while (j < s.size() && space(s[j])) ++j;
      out.append(s.substr(i, j - i));
    } else {
      while (j < s.size() && !space(s[j])) ++j;
      out.append(ShortenMiddle(s.substr(i, j - i), maxRun));
    }
    i = j;
  }
  return ShortenMiddle(out, maxTotal);
}
