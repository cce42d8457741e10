// Loading the translation table from the program's resource, the system language, and
// translating whole windows and menus.
#pragma once
#include <string>

#include "ui/Menu.h"
#include "ui/Window.h"

// Reads the RCDATA resource "TRANSLATE"; a missing or unreadable one leaves the table empty.
void LoadTranslateTable();
// The user's locale language name (ISO 639), "en" when the system reports none.
std::wstring GetSystemLanguage();

// Translates a window and everything it owns from their design texts; sets CurrentLanguage
// when `lang` is given. Texts without a row (values, names) are left as they are.
void TranslateComponent(TWindow& form, const std::wstring& lang = L"");
// Items of a drop-down list, keeping its selection.
void TranslateComboBox(TChild& combo);
void TranslateMenuItem(TMenuItem& item);
