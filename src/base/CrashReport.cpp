#include "base/CrashReport.h"

#include "base/Text.h"

std::wstring CrashFileStem(const TLocalTime& t) {
  return FormatW(L"crash-%04d%02d%02d-%02d%02d%02d%03d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second,
                 t.Millisecond);
}

std::wstring CrashCodeName(uint32_t code) {
  switch (code) {
    case 0xC0000005u: return L"access violation";
    case 0xC00000FDu: return L"stack overflow";
    case 0xC0000094u: return L"integer division by zero";
    case 0xC000001Du: return L"illegal instruction";
    case 0xC0000374u: return L"heap corruption";
    case 0xC0000409u: return L"stack buffer overrun";
    case 0x40000015u: return L"abnormal termination";
    case 0x20474343u: return L"unhandled C++ exception";
    default: return std::wstring();
  }
}

namespace {

std::wstring Hex(uint64_t v, int digits) { return FormatW(L"%0*llX", digits, static_cast<unsigned long long>(v)); }

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string CrashReportText(const TCrashFacts& f) {
  std::wstring s = L"Vantoru crash report\r\n";
  s += L"Version: " + f.Version + L"\r\n";
  s += FormatW(L"Time: %04d-%02d-%02d %02d:%02d:%02d.%03d\r\n", f.Time.Year, f.Time.Month, f.Time.Day, f.Time.Hour,
               f.Time.Minute, f.Time.Second, f.Time.Millisecond);
  const std::wstring name = CrashCodeName(f.Code);
  s += L"Exception: " + Hex(f.Code, 8) + (name.empty() ? L"" : L" (" + name + L")") + L"\r\n";
  s += L"Address: " + Hex(f.Address, 16);
  for (const TCrashModule& m : f.Modules)
    if (f.Address >= m.Base && f.Address - m.Base < m.Size) {
      s += L" (" + FileNameOf(m.Path) + L"+" + Hex(f.Address - m.Base, 1) + L")";
      break;
    }
  s += L"\r\n";
  s += FormatW(L"Thread: %u\r\n", static_cast<unsigned>(f.ThreadId));
  if (!f.What.empty()) s += L"Message: " + f.What + L"\r\n";
  s += L"Modules:\r\n";
  for (const TCrashModule& m : f.Modules)
    s += L"  " + Hex(m.Base, 16) + L" " + Hex(m.Size, 8) + L" " + m.Path + L"\r\n";
  return WideToUtf8(s);
}
