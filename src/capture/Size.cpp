#include "capture/Size.h"

#include <string>

#include "base/Config.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "capture/Area.h"
#include "capture/AreaGeometry.h"
#include "capture/FrameIds.h"
#include "ui/TranslateWin.h"

namespace {
// "EditWidth", "EditWidth_1", ...: the name of a group's control.
std::wstring Named(const wchar_t* base, int group) {
  return group == 0 ? std::wstring(base) : std::wstring(base) + L"_" + std::to_wstring(group);
}
}  // namespace

TFrmSize::TFrmSize(HWND owner) {
  TClassInfo cls{L"TFrmSize"};
  cls.Background = GetSysColorBrush(COLOR_BTNFACE);
  CreateWnd(cls, L"영역크기 설정", WS_POPUP | WS_CAPTION | WS_SYSMENU,
            WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, owner, 0, 0, 400, 370);
  SetClientSize(386, 330);
  CenterOnScreen();

  const wchar_t* captions[] = {L"현재크기", L"사용자 정의 #1", L"사용자 정의 #2", L"사용자 정의 #3"};
  const DWORD vis = WS_VISIBLE | WS_CLIPSIBLINGS;
  for (int g = 0; g < 4; ++g) {
    const int y = 8 + g * 80;
    AddChild(g == 0 ? L"GrpArea" : Named(L"GrpConfig", g), TChildKind::Group, L"BUTTON", captions[g],
             vis | BS_GROUPBOX, 0, 8, y, 370, 74, sizectl::Of(sizectl::Group, g));
    AddChild(Named(L"LblWidth", g), TChildKind::Label, L"STATIC", L"넓이 :", vis, 0, 22, y + 33, 50, 16,
             sizectl::Of(sizectl::LblWidth, g));
    AddChild(Named(L"EditWidth", g), TChildKind::Edit, L"EDIT", L"", vis | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL,
             WS_EX_CLIENTEDGE, 74, y + 30, 80, 22, sizectl::Of(sizectl::EditWidth, g));
    AddChild(Named(L"LblHeight", g), TChildKind::Label, L"STATIC", L"높이 :", vis, 0, 168, y + 33, 50, 16,
             sizectl::Of(sizectl::LblHeight, g));
    AddChild(Named(L"EditHeight", g), TChildKind::Edit, L"EDIT", L"", vis | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL,
             WS_EX_CLIENTEDGE, 220, y + 30, 80, 22, sizectl::Of(sizectl::EditHeight, g));
    AddChild(Named(L"BtnApply", g), TChildKind::Button, L"BUTTON", L"적용", vis | WS_TABSTOP | BS_PUSHBUTTON, 0, 306,
             y + 28, 62, 26, sizectl::Of(sizectl::BtnApply, g));
    SendMessageW(Field(sizectl::EditWidth, g), EM_SETLIMITTEXT, 10, 0);
    SendMessageW(Field(sizectl::EditHeight, g), EM_SETLIMITTEXT, 10, 0);
  }
  SetFieldWidth(0, defaults::RegionWidth);
  SetFieldHeight(0, defaults::RegionHeight);
  GroupBoxesToBack();
  ApplyFonts();
  SetDialogNavigation(true);

  TranslateComponent(*this);
  LoadSizes();
}

HWND TFrmSize::Field(int id, int group) { return GetDlgItem(FHandle, sizectl::Of(id, group)); }

int TFrmSize::FieldValue(int id, int group) {
  HWND edit = Field(id, group);
  const int n = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), n + 1)));
  return SizeFieldValue(text);
}

void TFrmSize::SetFieldValue(int id, int group, int value) {
  SetWindowTextW(Field(id, group), IntToStr(ClampSizeField(value)).c_str());
}

int TFrmSize::FieldWidth(int group) { return FieldValue(sizectl::EditWidth, group); }
int TFrmSize::FieldHeight(int group) { return FieldValue(sizectl::EditHeight, group); }
void TFrmSize::SetFieldWidth(int group, int value) { SetFieldValue(sizectl::EditWidth, group, value); }
void TFrmSize::SetFieldHeight(int group, int value) { SetFieldValue(sizectl::EditHeight, group, value); }

void TFrmSize::LoadSizes() {
  TConfig cfg(kConfigPath);
  for (int g = 1; g <= 3; ++g) {
    SetFieldWidth(g, cfg.ReadInteger(setting::CustomWidth[g - 1], defaults::CustomWidth[g - 1]));
    SetFieldHeight(g, cfg.ReadInteger(setting::CustomHeight[g - 1], defaults::CustomHeight[g - 1]));
  }
}

void TFrmSize::SaveSizes() {
  TConfig cfg(kConfigPath);
  for (int g = 1; g <= 3; ++g) {
    cfg.WriteInteger(setting::CustomWidth[g - 1], FieldWidth(g));
    cfg.WriteInteger(setting::CustomHeight[g - 1], FieldHeight(g));
  }
}

void TFrmSize::ShowDialog() {
  Show();
  SetForegroundWindow(FHandle);
}

void TFrmSize::Apply(int group) {
  if (FArea) FArea->SetSize(FieldWidth(group), FieldHeight(group), group);
  SaveSizes();
}

void TFrmSize::ApplyFonts() {
  FFont.Reset(MakeFont(L"Segoe UI", 12));
  for (const TChild& c : FChildren) SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
}

void TFrmSize::DpiChanged() {
  Relayout();
  ApplyFonts();
}

LRESULT TFrmSize::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp), code = HIWORD(wp);
      if (id == IDCANCEL) {  // Escape
        Hide();
        return 0;
      }
      if (id == IDOK) {  // Enter in a field applies its group
        const int focused = GetDlgCtrlID(GetFocus());
        const int g = (focused - sizectl::Group) / 10;
        if (focused >= sizectl::Group && g >= 0 && g <= 3) Apply(g);
        return 0;
      }
      const int group = (id - sizectl::Group) / 10, kind = sizectl::Group + (id - sizectl::Group) % 10;
      if (group < 0 || group > 3) break;
      if (kind == sizectl::BtnApply && code == BN_CLICKED) {
        Apply(group);
      } else if ((kind == sizectl::EditWidth || kind == sizectl::EditHeight) && code == EN_KILLFOCUS) {
        // A value typed beyond a bound, or no number at all, is corrected when the field is left.
        const int value = FieldValue(kind, group);
        const std::wstring text = IntToStr(value);
        wchar_t now[16] = {};
        GetWindowTextW(Field(kind, group), now, 16);
        if (text != now) SetWindowTextW(Field(kind, group), text.c_str());
      }
      return 0;
    }
    case WM_CLOSE:
      Hide();
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
