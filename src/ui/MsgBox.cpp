#include "ui/MsgBox.h"

#include "base/Text.h"
#include "base/Translate.h"

namespace {
HWND gAppWindow = nullptr;
std::wstring& Title() {
  static std::wstring title;
  return title;
}
}  // namespace

void SetApplicationWindow(HWND wnd) { gAppWindow = wnd; }
HWND ApplicationWindow() { return (gAppWindow && IsWindow(gAppWindow)) ? gAppWindow : nullptr; }
void SetApplicationTitle(const std::wstring& title) { Title() = title; }
const std::wstring& ApplicationTitle() { return Title(); }

int ShowMessage(const std::wstring& text, UINT flags, bool translate, const std::wstring* caption) {
  // A path no box can wrap (or a huge text) would make the box wider than any screen.
  const std::wstring body = ShortenForDisplay(translate ? Translate(text) : text);
  const std::wstring title = caption ? *caption : Translate(ApplicationTitle());
  return MessageBoxW(ApplicationWindow(), body.c_str(), title.c_str(), flags | MB_TOPMOST | MB_SETFOREGROUND);
}
