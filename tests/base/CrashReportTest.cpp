#include "base/CrashReport.h"

#include <gtest/gtest.h>

#include "base/Text.h"

TEST(CrashReport, NamesTheFilesByTheMoment) {
  EXPECT_EQ(CrashFileStem({2024, 3, 5, 14, 7, 9, 42}), L"crash-20240305-140709042");
}

TEST(CrashReport, TextHoldsVersionTimeCodeAddressAndModules) {
  TCrashFacts f;
  f.Version = L"1.0.0.0";
  f.Time = {2024, 3, 5, 14, 7, 9, 42};
  f.Code = 0xC0000005;
  f.Address = 0x140001234;
  f.ThreadId = 77;
  f.Modules = {{L"C:\\Program Files\\Vantoru\\vantoru.exe", 0x140000000, 0x200000},
               {L"C:\\windows\\system32\\user32.dll", 0x7FF800000000, 0x100000}};
  const std::wstring t = Utf8ToWide(CrashReportText(f));
  for (const wchar_t* line : {L"Version: 1.0.0.0\r\n", L"Time: 2024-03-05 14:07:09.042\r\n",
                              L"Exception: C0000005 (access violation)\r\n",
                              L"Address: 0000000140001234 (vantoru.exe+1234)\r\n", L"Thread: 77\r\n",
                              L"  0000000140000000 00200000 C:\\Program Files\\Vantoru\\vantoru.exe\r\n",
                              L"  00007FF800000000 00100000 C:\\windows\\system32\\user32.dll\r\n"})
    EXPECT_NE(t.find(line), std::wstring::npos) << WideToUtf8(line) << "\nin\n" << WideToUtf8(t);
  EXPECT_EQ(t.find(L"Message:"), std::wstring::npos);

  // Outside every module, an unnamed code, and the runtime's own words.
  f.Address = 0x10;
  f.Code = 0xE0001234;
  f.What = L"std::bad_alloc";
  const std::wstring u = Utf8ToWide(CrashReportText(f));
  EXPECT_NE(u.find(L"Address: 0000000000000010\r\n"), std::wstring::npos);
  EXPECT_NE(u.find(L"Exception: E0001234\r\n"), std::wstring::npos);
  EXPECT_NE(u.find(L"Message: std::bad_alloc\r\n"), std::wstring::npos);
}
