// Pop-up menus kept as a tree of items; the platform menu is built from the tree each
// time it opens, so captions and check marks are always those of the items.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMenuItem {
 public:
  TMenuItem(std::wstring name, std::wstring caption, UINT id)
      : Name(std::move(name)), Caption(caption), Design(std::move(caption)), Id(id) {}

  std::wstring Name;
  std::wstring Caption;
  std::wstring Design;  // the design (Korean) caption, from which translations start
  UINT Id;
  bool Checked = false;
  bool Enabled = true;
  bool RadioItem = false;  // shown with a bullet when checked
  std::function<void()> OnClick;
  std::vector<std::unique_ptr<TMenuItem>> Items;

  bool IsSeparator() const { return Caption == L"-"; }
  TMenuItem* Add(std::wstring name, std::wstring caption, UINT id, std::function<void()> onClick = {});
  TMenuItem* Find(const std::wstring& name);
  TMenuItem* FindId(UINT id);
};

class TPopupMenu {
 public:
  TPopupMenu() : Root(L"", L"", 0) {}
  TMenuItem Root;

  // Opens the menu at a screen point, owned by `owner`, and runs the chosen item's click.
  void Popup(HWND owner, int x, int y);
  // Runs the click of the item with this command identifier; false when there is none.
  bool Dispatch(UINT id);
  TMenuItem* Find(const std::wstring& name) { return Root.Find(name); }
  HMENU Build() const;  // a new platform menu; the caller destroys it
};
