// Small text routines without any platform dependency.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 <-> UTF-16 (on Windows wchar_t is a UTF-16 code unit; elsewhere it holds one code
// point, and the same functions work on code points). Invalid input bytes become U+FFFD.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Only the ASCII letters change case; every other code unit stays.
std::wstring AsciiUpper(std::wstring_view s);
std::wstring AsciiLower(std::wstring_view s);
bool SameTextAscii(std::wstring_view a, std::wstring_view b);

// Characters of code 32 or less removed from both ends.
std::wstring Trim(std::wstring_view s);

// Replaces the first occurrence of `what` (case-sensitive); returns whether one was found.
bool ReplaceFirst(std::wstring& s, std::wstring_view what, std::wstring_view with);
std::wstring ReplaceAll(std::wstring_view s, std::wstring_view what, std::wstring_view with);

// Whole-text integer conversion, as strict as a Pascal StrToInt: optional sign, decimal
// digits (or $hex), nothing else; fails on overflow of 32 bits.
bool TryStrToInt(std::wstring_view s, int32_t& value);
int32_t StrToIntDef(std::wstring_view s, int32_t def);

std::wstring IntToStr(int64_t v);
// printf-style formatting into a wide string (%d, %s with wide strings, %x, ...).
std::wstring FormatW(const wchar_t* format, ...);

std::vector<std::wstring> SplitLines(std::wstring_view s);  // on CR LF, CR or LF

// At most `max` code units: the start and the end of `s` around one "…" in its middle
// (never between the two halves of a surrogate pair). Shorter texts stay as they are.
std::wstring ShortenMiddle(std::wstring_view s, size_t max);
// A text fit to be shown in a box: each run without white space (which no box can wrap,
// such as a path) and then the whole text are shortened in the middle to these lengths.
std::wstring ShortenForDisplay(std::wstring_view s, size_t maxRun = 100, size_t maxTotal = 1000);

// UTF-16LE code units (as received from another process) to UTF-8.
std::string Utf16ToUtf8(const uint16_t* units, size_t count);
