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

std::wstring ComboItem(HWND combo, LRESULT i) {
  const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
  if (len < 0) return std::wstring();
  std::wstring s(static_cast<size_t>(len) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(len));
  return s;
}

// The text in the current language of a design text that has a row; other texts (values,
// names, sizes) are not the design's words and stay as they are now.
bool TranslatedDesign(const std::wstring& design, std::wstring& out) {
  if (!TranslateTable().HasRow(design)) return false;
  out = Translate(design);
  return true;
}
}  // namespace

void TranslateComboBox(TChild& combo) {
  HWND list = combo.Handle;
  const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
  const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  if (count < 0) return;
  // Taken at the first translation, while the list still holds what it was built with.
  if (combo.DesignItems.size() != static_cast<size_t>(count)) {
    combo.DesignItems.clear();
    for (LRESULT i = 0; i < count; ++i) combo.DesignItems.push_back(ComboItem(list, i));
  }
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring t;
    if (!TranslatedDesign(combo.DesignItems[static_cast<size_t>(i)], t) || t == ComboItem(list, i)) continue;
    SendMessageW(list, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
    SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t.c_str()));
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TranslateMenuItem(TMenuItem& item) {
  if (!item.IsSeparator()) TranslatedDesign(item.Design, item.Caption);
  for (auto& sub : item.Items) TranslateMenuItem(*sub);
}

void TranslateComponent(TWindow& form, const std::wstring& lang) {
  if (!lang.empty()) SetCurrentLanguage(lang);
  // The title follows the language like every other text, unless the window shows a title
  // of its own now (a web page's).
  std::wstring caption;
  const std::wstring now = form.Caption();
  if (TranslatedDesign(form.DesignCaption(), caption) && caption != now &&
      (now == form.DesignCaption() || TranslateTable().HasRow(now)))
    form.SetCaption(caption);
  for (TPopupMenu* menu : form.Menus()) TranslateMenuItem(menu->Root);
  for (TChild& c : form.Children()) {
    if (!c.Translated) continue;
    if (c.Kind == TChildKind::ComboBox) {
      TranslateComboBox(c);
    } else if (c.Kind != TChildKind::ListBox && c.Kind != TChildKind::Edit) {
      std::wstring t;
      if (TranslatedDesign(c.Design, t) && t != WindowText(c.Handle)) SetWindowTextW(c.Handle, t.c_str());
    }
  }
}
