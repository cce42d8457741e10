// Helpers of the capture tests: taking one capture as another program does, and reading
// back what it left in the save folder or on the clipboard.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/Driver.h"
#include "e2e/Screen.h"

namespace e2e {

// Sends {"command":"capture"} and waits for the reply. A message box that comes up instead
// is answered; its text is returned (empty when there was none).
std::wstring CaptureNow(TVantoru& v);
// The files of the save folder, waiting briefly until there are `count`.
std::vector<std::wstring> WaitForFiles(const std::wstring& folder, size_t count);
// "V-001.png" and so on.
std::wstring FormatName(int number, const std::wstring& ext);
// A WebP file decoded by the decoder half of the program folder's libwebp.dll.
TPixels DecodeWebPWithProgramLibrary(const std::wstring& programFolder, const std::vector<uint8_t>& bytes);
// The clipboard's bitmap as pixels (empty when there is none).
TPixels ClipboardPixels();
// Compares a decoded file with the screen at a pattern window's place; returns the
// largest channel difference (0 is an exact match).
int WorstDifference(const TPixels& file, const TPatternWindow& window, int fileLeft = 0, int fileTop = 0);

// A value of HKCU\Control Panel\Desktop set for the scope (the screen DPI a new process reads).
class TLogPixels {
 public:
  explicit TLogPixels(DWORD dpi);
  ~TLogPixels();

 private:
  std::optional<DWORD> FOld;
};

}  // namespace e2e
