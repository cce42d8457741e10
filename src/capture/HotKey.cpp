#include "capture/HotKey.h"

#include "base/Config.h"
#include "base/Settings.h"
#include "capture/FrameIds.h"
#include "capture/HotKeyWord.h"
#include "ui/MsgBox.h"
#include "ui/TranslateWin.h"

namespace {
constexpr int kItemHeight = 16;
constexpr UINT_PTR kTmrRelease = 1;  // watches a pressed hotkey until it is let go
}

TFrmHotKey::TFrmHotKey(HWND owner) {
  TClassInfo cls{L"TFrmHotKey"};
  cls.Background = GetSysColorBrush(COLOR_BTNFACE);
  CreateWnd(cls, L"단축키 설정", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner, 0,
            0, 320, 160);
  SetClientSize(299, 121);
  CenterOnScreen();

  const DWORD vis = WS_VISIBLE | WS_CLIPSIBLINGS;
  AddChild(L"GrpConfig", TChildKind::Group, L"BUTTON", L"설정", vis | BS_GROUPBOX, 0, 8, 6, 283, 72,
           hotkeyctl::GrpConfig);
  AddChild(L"ChkShift", TChildKind::CheckBox, L"BUTTON", L"Shift", vis | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 20, 34, 58,
           17, hotkeyctl::ChkShift);
  AddChild(L"ChkCtrl", TChildKind::CheckBox, L"BUTTON", L"Ctrl", vis | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 82, 34, 52,
           17, hotkeyctl::ChkCtrl);
  AddChild(L"ChkAlt", TChildKind::CheckBox, L"BUTTON", L"Alt", vis | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 138, 34, 46, 17,
           hotkeyctl::ChkAlt);
  HWND list = AddChild(L"ChkHotKey", TChildKind::ComboBox, L"COMBOBOX", L"",
                       vis | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 0,
                       190, 31, 89, 200, hotkeyctl::ChkHotKey);
  FindChild(L"ChkHotKey")->Translated = false;  // key names stay as they are
  for (int i = 0; i < kHotKeyItemCount; ++i)
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(HotKeyItem(i).Text));
  AddChild(L"BtnYes", TChildKind::Button, L"BUTTON", L"확인", vis | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 135, 88, 75, 25,
           hotkeyctl::BtnYes);
  AddChild(L"BtnNo", TChildKind::Button, L"BUTTON", L"취소", vis | WS_TABSTOP | BS_PUSHBUTTON, 0, 216, 88, 75, 25,
           hotkeyctl::BtnNo);
  GroupBoxesToBack();
  ApplyFonts();
  SetDialogNavigation(true);

  TranslateComponent(*this);
  FHotKeyID = GlobalAddAtomW(L"VantoruHotKey");
}

TFrmHotKey::~TFrmHotKey() {
  if (HandleAllocated()) UnregisterHotKey(FHandle, FHotKeyID);
  if (FHotKeyID) GlobalDeleteAtom(FHotKeyID);
}

void TFrmHotKey::FormCreate() {
  bool replaced = false;
  const uint16_t word = LoadHotKey(&replaced);
  if (replaced) {
    // Said once, at start: the registry keeps its value until the user chooses a key.
    const std::wstring caption = Caption();
    ShowMessage(L"저장된 단축키를 사용할 수 없어 기본 단축키 PrintScreen 을 사용합니다.", MB_ICONINFORMATION, true,
                &caption);
  }
  if (SetHotKey(word)) return;
  const std::wstring caption = Caption();
  ShowMessage(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", MB_ICONERROR, true, &caption);
  ShowModal();
}

uint16_t TFrmHotKey::LoadHotKey(bool* replaced) {
  uint16_t word = StoredShortcut(TConfig(kConfigPath).ReadInteger(setting::HotKey, defaults::HotKey));
  // A stored key the list does not offer (a value edited by hand) gives the default, so the
  // capture never hangs on a key the user cannot see or choose.
  const bool offered = IsOfferedShortcut(word);
  if (!offered) word = static_cast<uint16_t>(defaults::HotKey);
  if (replaced) *replaced = !offered;
  const int index = HotKeyItemIndex(static_cast<uint8_t>(word & shortcut::KeyMask));
  SendMessageW(Child(L"ChkHotKey"), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SetChecked(L"ChkShift", (word & shortcut::Shift) != 0);
  SetChecked(L"ChkCtrl", (word & shortcut::Ctrl) != 0);
  SetChecked(L"ChkAlt", (word & shortcut::Alt) != 0);
  return word;
}

std::optional<uint16_t> TFrmHotKey::GetHotKey() {
  const int index = static_cast<int>(SendMessageW(Child(L"ChkHotKey"), CB_GETCURSEL, 0, 0));
  return MakeShortcut(index, Checked(L"ChkShift"), Checked(L"ChkCtrl"), Checked(L"ChkAlt"));
}

bool TFrmHotKey::SetHotKey(uint16_t word) {
  UnregisterHotKey(FHandle, FHotKeyID);
  const THotKeyRegistration r = RegistrationOf(word);
  return RegisterHotKey(FHandle, FHotKeyID, r.Modifiers, r.Key) != FALSE;
}

void TFrmHotKey::SaveHotKey() {
  if (const auto word = GetHotKey()) TConfig(kConfigPath).WriteInteger(setting::HotKey, *word);
}

void TFrmHotKey::BtnYesClick() {
  const auto word = GetHotKey();
  if (!word) {
    // No key chosen (a stored key the list does not offer): nothing to register yet.
    SetFocus(Child(L"ChkHotKey"));
    return;
  }
  if (SetHotKey(*word)) {
    SaveHotKey();
    CloseDialog(IDOK);
    return;
  }
  const std::wstring caption = Caption();
  ShowMessage(L"단축키가 다른 프로그램에서 사용중입니다.", MB_ICONINFORMATION, true, &caption);
}

void TFrmHotKey::BtnNoClick() {
  if (!SetHotKey(LoadHotKey())) {
    const std::wstring caption = Caption();
    ShowMessage(L"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.", MB_ICONERROR, true, &caption);
  }
  CloseDialog(IDCANCEL);
}

void TFrmHotKey::CloseDialog(int result) {
  if (InModal()) SetModalResult(result);
  Hide();
}

bool TFrmHotKey::Checked(const wchar_t* name) {
  return SendMessageW(Child(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TFrmHotKey::SetChecked(const wchar_t* name, bool on) {
  SendMessageW(Child(name), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TFrmHotKey::ApplyFonts() {
  FFont.Reset(MakeFont(L"Segoe UI", 12));
  for (const TChild& c : FChildren) SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
  HWND list = Child(L"ChkHotKey");
  SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ScaleValue(kItemHeight));
  SendMessageW(list, CB_SETITEMHEIGHT, 0, ScaleValue(kItemHeight));
}

void TFrmHotKey::DpiChanged() {
  Relayout();
  ApplyFonts();
}

LRESULT TFrmHotKey::DrawItem(const DRAWITEMSTRUCT* dis) {
  HDC dc = dis->hDC;
  RECT r = dis->rcItem;
  const bool selected = (dis->itemState & ODS_SELECTED) != 0;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (dis->itemID < static_cast<UINT>(kHotKeyItemCount)) {
    const wchar_t* text = HotKeyItem(static_cast<int>(dis->itemID)).Text;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    TextOutW(dc, r.left + 1, r.top + 1, text, static_cast<int>(wcslen(text)));
  }
  if (dis->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
  return TRUE;
}

LRESULT TFrmHotKey::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_HOTKEY:
      // Only our own identifier: another registration of this window is not ours to answer.
      if (wp != FHotKeyID || !OnHotKey) return 0;
      // A held key repeats. The registration asks for no repeats, but not every system
      // honours that (Wine does not): a press counts only once the last one was let go.
      if (FHeldKey) return 0;
      FHeldKey = HIWORD(lp);
      SetTimer(FHandle, kTmrRelease, 15, nullptr);
      OnHotKey();
      return 0;
    case WM_TIMER:
      if (wp == kTmrRelease && !(GetAsyncKeyState(FHeldKey) & 0x8000)) {
        KillTimer(FHandle, kTmrRelease);
        FHeldKey = 0;
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        if (LOWORD(wp) == hotkeyctl::BtnYes) BtnYesClick();
        else if (LOWORD(wp) == hotkeyctl::BtnNo) BtnNoClick();
      }
      return 0;
    case WM_CLOSE:
      // The title bar's close only hides: nothing is registered or restored.
      CloseDialog(IDCANCEL);
      return 0;
    case WM_DESTROY:
      // The owner's end destroys this window before this object goes.
      UnregisterHotKey(FHandle, FHotKeyID);
      break;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = static_cast<UINT>(ScaleValue(kItemHeight));
      return TRUE;
    case WM_DRAWITEM: return DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
