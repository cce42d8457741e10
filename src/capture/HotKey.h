// TFrmHotKey: owns the program's one system-wide hotkey for the whole run, and is the
// dialog in which the user chooses its key and modifiers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "ui/Window.h"

class TFrmHotKey : public TWindow {
 public:
  explicit TFrmHotKey(HWND owner);  // hidden; nothing registered yet
  ~TFrmHotKey() override;

  // Registers the stored hotkey; when that fails, says so and shows the dialog modally.
  void FormCreate();

  // Reads the stored word into the dialog and returns it; a stored key the list lacks gives
  // the default word instead, and `replaced` (when given) tells so.
  uint16_t LoadHotKey(bool* replaced = nullptr);
  // The word the dialog shows; nothing when no key is selected.
  std::optional<uint16_t> GetHotKey();
  // Unregisters, then registers the word; whether the registration succeeded.
  bool SetHotKey(uint16_t word);
  void SaveHotKey();

  ATOM HotKeyID() const { return FHotKeyID; }
  // Raised for each press of the registered hotkey.
  std::function<void()> OnHotKey;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override;

 private:
  void BtnYesClick();
  void BtnNoClick();
  void CloseDialog(int result);
  void ApplyFonts();
  bool Checked(const wchar_t* name);
  void SetChecked(const wchar_t* name, bool on);
  LRESULT DrawItem(const DRAWITEMSTRUCT* dis);

  ATOM FHotKeyID = 0;
  UINT FHeldKey = 0;  // the hotkey's key while it is still down after a press
  TGdiObject FFont;
};
