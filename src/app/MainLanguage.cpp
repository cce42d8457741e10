// The language menu.
#include "app/Main.h"

#include "app/TrayIcon.h"
#include "base/AutoStart.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "capture/Area.h"
#include "capture/HotKey.h"
#include "capture/IExplorer.h"
#include "capture/Size.h"
#include "outputs/Floating.h"
#include "ui/MsgBox.h"
#include "ui/TranslateWin.h"

void TFrmVantoru::ChkLangClick(const std::wstring& name) {
  // The item's name carries its code: ChkLangJa -> "ja".
  FLanguage = AsciiLower(name.substr(std::wstring_view(L"ChkLang").size()));
  for (auto& item : FMenu.Find(L"N11")->Items) item->Checked = item->Name == name;

  TranslateComponent(*this, FLanguage);
  TranslateOwnedWindows();

  SetApplicationTitle(Translate(Caption()));
  if (FTrayIcon) FTrayIcon->SetHint(Translate(Caption()) + L" " + FileVersionText(L"%d.%d.%d.%d"));
  SetCaption(Translate(Caption()));
  SaveConfig(setting::Language, FLanguage);
}

void TFrmVantoru::TranslateOwnedWindows() {
  if (FArea) TranslateComponent(*FArea);
  if (FHotKey) TranslateComponent(*FHotKey);
  if (FSize) TranslateComponent(*FSize);
  if (FIExplorer) TranslateComponent(*FIExplorer);
  for (auto& floating : FloatList) TranslateComponent(*floating);
}
