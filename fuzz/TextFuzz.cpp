// The text conversions every outside text goes through, checked against glibc's iconv.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Text.h"

namespace {

// UTF-8 to code points by iconv; nothing when iconv finds the bytes invalid.
bool IconvDecode(const std::string& in, std::u32string& out) {
  iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
  std::vector<char> buf(in.size() * 4 + 4);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size(), room = buf.size();
  char* dst = buf.data();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1) && left == 0;
  iconv_close(cd);
  if (!ok) return false;
  const size_t n = (buf.size() - room) / 4;
  out.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(buf.data() + i * 4);
    out[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<char32_t>(p[3]) << 24);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::wstring wide = Utf8ToWide(bytes);
  std::u32string expected;
  if (IconvDecode(bytes, expected)) {
    // Valid UTF-8: the same code points, and back to the same bytes.
    if (wide.size() != expected.size()) std::abort();
    for (size_t i = 0; i < wide.size(); ++i)
      if (static_cast<char32_t>(wide[i]) != expected[i]) std::abort();
    if (WideToUtf8(wide) != bytes) std::abort();
  }
  // Whatever came in, what goes out is valid UTF-8.
  std::u32string again;
  if (!IconvDecode(WideToUtf8(wide), again)) std::abort();

  // The same bytes as UTF-16 units (as WM_COPYDATA carries them).
  std::vector<uint16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  if (!IconvDecode(Utf16ToUtf8(units.data(), units.size()), again)) std::abort();

  (void)SplitLines(wide);
  int32_t v = 0;
  if (TryStrToInt(wide, v) && StrToIntDef(IntToStr(v), v ^ 1) != v) std::abort();
  return 0;
}
