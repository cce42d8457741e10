// The language menu.
#include "app/Main.h"

void TFrmVantoru::ChkLangClick(const std::wstring& name) { (void)name; }
