// What a crash report says: the facts the crash handler gathers, as a short text beside the
// minidump, and the file names of one report.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/FileNaming.h"

struct TCrashModule {
  std::wstring Path;
  uint64_t Base = 0;
  uint64_t Size = 0;
};

struct TCrashFacts {
  std::wstring Version;     // of the program file
  TLocalTime Time;          // when it happened, local time
  uint32_t Code = 0;        // the exception code
  uint64_t Address = 0;     // where it was raised
  uint32_t ThreadId = 0;
  std::wstring What;        // what the C++ runtime knows (an unhandled exception's text), if anything
  std::vector<TCrashModule> Modules;  // every module loaded at that moment
};

// "crash-yyyymmdd-hhmmsszzz": the name of a report's files without their extension.
std::wstring CrashFileStem(const TLocalTime& t);
// The exception code's usual name ("access violation", ...), empty for codes without one.
std::wstring CrashCodeName(uint32_t code);
// The report text, lines ended by CR LF, UTF-8. The address is given also as module+offset
// when it lies inside one of the modules.
std::string CrashReportText(const TCrashFacts& facts);
