#include "ui/TranslateWin.h"

#include <windows.h>

#include "base/Translate.h"

void LoadTranslateTable() {
  TranslateTable().Clear();
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, L"TRANSLATE", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!res) return;
  HGLOBAL data = LoadResource(module, res);
  const DWORD size = SizeofResource(module, res);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes || !size) return;
  try {
    TranslateTable().Load(std::string_view(static_cast<const char*>(bytes), size));
  } catch (...) {
    TranslateTable().Clear();
  }
}

std::wstring GetSystemLanguage() {
  const LCID lcid = GetUserDefaultLCID();
  const int n = GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, nullptr, 0);
  if (n <= 0) return L"en";
  std::wstring s(static_cast<size_t>(n), L'\0');
  const int got = GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, s.data(), n);
  if (got <= 0) return L"en";
  s.resize(static_cast<size_t>(got - 1));
  return s;
}

namespace {
std::wstring WindowText(HWND wnd) {
  const int n = GetWindowTextLengthW(wnd);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(wnd, s.data(), n + 1)));
  return s;
}
}  // namespace

void TranslateComboBox(HWND combo) {
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (len < 0) continue;
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(len));
    const std::wstring t = Translate(s);
    if (t == s) continue;
    SendMessageW(combo, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
    SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t.c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TranslateMenuItem(TMenuItem& item) {
  if (!item.Caption.empty() && !item.IsSeparator()) item.Caption = Translate(item.Caption);
  for (auto& sub : item.Items) TranslateMenuItem(*sub);
}

void TranslateComponent(TWindow& form, const std::wstring& lang) {
  if (!lang.empty()) SetCurrentLanguage(lang);
  const std::wstring caption = form.Caption();
  form.SetCaption(CurrentLanguage() != L"ko" ? Translate(caption, L"en") : Translate(caption));
  for (TPopupMenu* menu : form.Menus()) TranslateMenuItem(menu->Root);
  for (const TChild& c : form.Children()) {
    if (!c.Translated) continue;
    if (c.Kind == TChildKind::ComboBox) {
      TranslateComboBox(c.Handle);
    } else if (c.Kind != TChildKind::ListBox && c.Kind != TChildKind::Edit) {
      const std::wstring text = WindowText(c.Handle);
      const std::wstring t = Translate(text);
      if (t != text) SetWindowTextW(c.Handle, t.c_str());
    }
  }
}
