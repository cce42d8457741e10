#include "ui/Menu.h"

#include "base/Handles.h"

TMenuItem* TMenuItem::Add(std::wstring name, std::wstring caption, UINT id, std::function<void()> onClick) {
  Items.push_back(std::make_unique<TMenuItem>(std::move(name), std::move(caption), id));
  Items.back()->OnClick = std::move(onClick);
  return Items.back().get();
}

TMenuItem* TMenuItem::Find(const std::wstring& name) {
  if (Name == name) return this;
  for (auto& i : Items)
    if (TMenuItem* f = i->Find(name)) return f;
  return nullptr;
}

TMenuItem* TMenuItem::FindId(UINT id) {
  if (Id == id && id != 0) return this;
  for (auto& i : Items)
    if (TMenuItem* f = i->FindId(id)) return f;
  return nullptr;
}

namespace {
void Fill(HMENU menu, const TMenuItem& parent) {
  for (const auto& item : parent.Items) {
    if (item->IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_FTYPE;
    mi.fType = item->RadioItem ? MFT_RADIOCHECK : MFT_STRING;
    mi.fState = (item->Checked ? MFS_CHECKED : 0) | (item->Enabled ? 0 : MFS_DISABLED);
    mi.wID = item->Id;
    mi.dwTypeData = const_cast<wchar_t*>(item->Caption.c_str());
    if (!item->Items.empty()) {
      HMENU sub = CreatePopupMenu();
      Fill(sub, *item);
      mi.fMask |= MIIM_SUBMENU;
      mi.hSubMenu = sub;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mi);
  }
}
}  // namespace

HMENU TPopupMenu::Build() const {
  HMENU menu = CreatePopupMenu();
  Fill(menu, Root);
  return menu;
}

void TPopupMenu::Popup(HWND owner, int x, int y) {
  TMenuHandle menu(Build());
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  const UINT id = static_cast<UINT>(
      TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, 0, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  menu.Reset();
  if (id) Dispatch(id);
}

bool TPopupMenu::Dispatch(UINT id) {
  TMenuItem* item = Root.FindId(id);
  if (!item || !item->Enabled || !item->OnClick) return false;
  item->OnClick();
  return true;
}
