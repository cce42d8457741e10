#include "capture/Area.h"

#include <windowsx.h>

#include "base/Config.h"
#include "base/Settings.h"
#include "capture/FrameIds.h"
#include "capture/Size.h"
#include "ui/TranslateWin.h"

namespace {

constexpr UINT_PTR kTmrColor = 1;
constexpr UINT kPanelPress = WM_APP + 1;  // a header part was pressed: drag the frame
constexpr UINT kCloseClick = WM_APP + 2;  // the close image was clicked
constexpr const wchar_t* kPanelClass = L"TFrmAreaPanel";

// The header parts paint themselves from their look and hand every press to the frame.
LRESULT CALLBACK PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto* look = reinterpret_cast<const TFrmArea::TPanelLook*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!look) return DefWindowProcW(wnd, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT r{};
      GetClientRect(wnd, &r);
      TGdiObject back(CreateSolidBrush(look->Back));
      FillRect(dc, &r, static_cast<HBRUSH>(back.Get()));
      if (look->Icon) DrawIconEx(dc, 0, 0, look->Icon, r.right, r.bottom, 0, nullptr, DI_NORMAL);
      wchar_t text[64] = {};
      const int n = GetWindowTextW(wnd, text, 64);
      if (n > 0) {
        TSelect font(dc, look->Font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, look->Text);
        DrawTextW(dc, text, n, &r, (look->Centre ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (look->Button) SetCapture(wnd);
      else SendMessageW(GetParent(wnd), kPanelPress, 0, 0);
      return 0;
    case WM_LBUTTONUP:
      if (look->Button && GetCapture() == wnd) {
        ReleaseCapture();
        RECT r{};
        GetClientRect(wnd, &r);
        const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (PtInRect(&r, p)) SendMessageW(GetParent(wnd), kCloseClick, 0, 0);
      }
      return 0;
    case WM_SETCURSOR:
      if (look->Button) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    default: break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void RegisterPanelClass() {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(TWindow::Instance(), kPanelClass, &wc)) return;
  wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &PanelProc;
  wc.hInstance = TWindow::Instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
}

std::wstring PresetName(int no) { return L"PopSize_" + std::to_wstring(no); }

}  // namespace

TFrmArea::TFrmArea(TFrmSize& size) : FSize(size) {
  RegisterPanelClass();
  TClassInfo cls{L"TFrmArea"};
  CreateWnd(cls, L"영역지정 - 반토루", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, nullptr, 0, 0,
            100, 100);
  CreateComponents();
  CreateMenu();
  FMenus = {&FMenu};
  ApplyFonts();

  TranslateComponent(*this);
  FReady = true;
  LoadPosition();
  UpdateCloseIcon();
  FormResize();
  FAreaColor = RGB(255, 0, 0);
  FBrushColor = FAreaColor;
  FPulse = TPulse{};
}

TFrmArea::TPanelLook& TFrmArea::Look(int id) { return FLooks[static_cast<size_t>(id - areactl::PnlHead)]; }

void TFrmArea::CreateComponents() {
  const DWORD style = WS_VISIBLE | WS_CLIPSIBLINGS;
  const struct {
    const wchar_t* Name;
    int Id;
    const wchar_t* Text;
  } parts[] = {
      {L"PnlHead", areactl::PnlHead, L""},      {L"PnlSize", areactl::PnlSize, L""},
      {L"LblSize", areactl::LblSize, L""},      {L"PnlRec", areactl::PnlRec, L""},
      {L"LvlRecTime", areactl::LvlRecTime, L"[REC] 00:00:00"}, {L"PnlClose", areactl::PnlClose, L""},
      {L"BtnClose", areactl::BtnClose, L""},
  };
  for (const auto& p : parts) {
    const TChildKind kind = p.Name[0] == L'P' ? TChildKind::Other : TChildKind::Label;
    HWND h = AddChild(p.Name, kind, kPanelClass, p.Text, style, 0, 0, 0, 0, 0, p.Id);
    FindChild(p.Name)->Translated = false;  // sizes and times
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Look(p.Id)));
    // Each part lies above the ones before it: the header, a panel, its label or image.
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  Look(areactl::LvlRecTime).Centre = true;
  Look(areactl::LvlRecTime).Text = RGB(128, 0, 0);
  Look(areactl::BtnClose).Button = true;
}

void TFrmArea::CreateMenu() {
  TMenuItem& m = FMenu.Root;
  const std::pair<const wchar_t*, int> presets[] = {{L"320x240", 1}, {L"640x480", 2}, {L"720x480", 3}};
  for (const auto& [caption, no] : presets)
    m.Add(PresetName(no), caption, areacmd::PopSize_1 + static_cast<unsigned>(no - 1),
          [this, no = no] { SetSize(FSize.FieldWidth(no), FSize.FieldHeight(no), 0); });
  m.Add(L"N1", L"-", 0);
  m.Add(L"PopConfig", L"설정하기", areacmd::PopConfig, [this] { FSize.ShowDialog(); });
  m.Add(L"PopClose", L"감추기", areacmd::PopClose, [this] { Close(); });
}

void TFrmArea::ApplyFonts() {
  FFont.Reset(MakeFont(L"Segoe UI", 12));
  FFontBold.Reset(MakeFont(L"Segoe UI", 12, FW_BOLD));
  for (TPanelLook& l : FLooks) l.Font = static_cast<HFONT>(FFont.Get());
}

TAreaSize TFrmArea::WindowSize() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  return {r.right - r.left, r.bottom - r.top};
}

TRect TFrmArea::GetRect() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  return AreaCaptureRect({r.left, r.top, r.right, r.bottom}, Head());
}

void TFrmArea::SetSize(int width, int height, int sizeNo) {
  const TAreaSize w = AreaWindowSize({width, height}, Head());
  SetWindowPos(FHandle, nullptr, 0, 0, w.Width, w.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (sizeNo >= 1 && sizeNo <= 3) FMenu.Find(PresetName(sizeNo))->Caption = SizeText(width, height);
}

void TFrmArea::SetMove(int left, int top) {
  SetWindowPos(FHandle, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmArea::LoadPosition() {
  TConfig cfg(kConfigPath);
  const TAreaPlace def = DefaultAreaPlace(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  TAreaPlace p{cfg.ReadInteger(setting::Left, def.Left), cfg.ReadInteger(setting::Top, def.Top),
               cfg.ReadInteger(setting::Width, def.Width), cfg.ReadInteger(setting::Height, def.Height)};
  for (int no = 1; no <= 3; ++no)
    FMenu.Find(PresetName(no))->Caption =
        SizeText(cfg.ReadInteger(setting::CustomWidth[no - 1], defaults::CustomWidth[no - 1]),
                 cfg.ReadInteger(setting::CustomHeight[no - 1], defaults::CustomHeight[no - 1]));
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const TRect desktop{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  const bool accepted = PlaceInsideDesktop(p, desktop);
  if (!accepted) p = def;
  SetMove(p.Left, p.Top);
  SetSize(p.Width, p.Height, 0);
  if (!accepted) SavePosition();
}

void TFrmArea::SavePosition() {
  RECT r{};
  GetWindowRect(FHandle, &r);
  const TAreaSize capture = AreaCaptureSize({r.right - r.left, r.bottom - r.top}, Head());
  TConfig cfg(kConfigPath);
  cfg.WriteInteger(setting::Width, capture.Width);
  cfg.WriteInteger(setting::Height, capture.Height);
  cfg.WriteInteger(setting::Left, r.left);
  cfg.WriteInteger(setting::Top, r.top);
}

void TFrmArea::UpdateCloseIcon() {
  // The resource holds the image at 16, 24, 32 and 48 pixels; the system picks (or
  // scales from) the one that fits the size at this DPI.
  const int size = ScaleValue(16);
  FCloseIcon.Reset(static_cast<HICON>(LoadImageW(Instance(), L"CLOSE", IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  Look(areactl::BtnClose).Icon = FCloseIcon.Get();
  InvalidateRect(Child(L"BtnClose"), nullptr, FALSE);
}

void TFrmArea::FormResize() {
  if (!FReady) return;
  const TAreaSize w = WindowSize();
  const int head = Head();
  FSize.SetFieldWidth(0, w.Width - 2 * area::Border);
  FSize.SetFieldHeight(0, w.Height - head - 2 * area::Border);
  SetWindowTextW(Child(L"LblSize"), SizeText(FSize.FieldWidth(0), FSize.FieldHeight(0)).c_str());

  // The header: size on the left, close on the right, the time between them.
  const THeaderLayout l = AreaHeaderLayout(w.Width, head, ScaleValue(area::PanelWidth));
  const int s5 = ScaleValue(5), s6 = ScaleValue(6), s15 = ScaleValue(15), s16 = ScaleValue(16);
  auto place = [this](const wchar_t* name, int x, int y, int cx, int cy, bool visible) {
    HWND h = Child(name);
    SetWindowPos(h, nullptr, x, y, cx > 0 ? cx : 0, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
    InvalidateRect(h, nullptr, FALSE);
  };
  place(L"PnlHead", 0, 0, w.Width, head, true);
  place(L"PnlSize", l.Size.Left, 0, l.Size.Width(), head, l.SizeVisible);
  place(L"LblSize", l.Size.Left + s6, s5, l.Size.Width() - s6, s15, l.SizeVisible);
  place(L"PnlRec", l.Rec.Left, 0, l.Rec.Width(), head, l.RecVisible);
  place(L"LvlRecTime", l.Rec.Left + s6, s5, l.Rec.Width() - 2 * s6, s15, l.RecVisible);
  place(L"PnlClose", l.Close.Left, 0, l.Close.Width(), head, l.CloseVisible);
  place(L"BtnClose", l.Close.Left + ScaleValue(58), s5, s16, s16, l.CloseVisible);

  UpdateShape();
  SavePosition();
}

void TFrmArea::UpdateShape() {
  // Only the ring belongs to the window: the hole shows and passes clicks to what is below.
  const TAreaSize w = WindowSize();
  const TRect hole = AreaHole(w, Head());
  HRGN shape = CreateRectRgn(0, 0, w.Width, w.Height);
  HRGN inner = CreateRectRgn(hole.Left, hole.Top, hole.Right, hole.Bottom);
  CombineRgn(shape, shape, inner, RGN_DIFF);
  DeleteObject(inner);
  if (!SetWindowRgn(FHandle, shape, TRUE)) DeleteObject(shape);
}

void TFrmArea::ShowFrame() {
  ShowWindow(FHandle, SW_SHOW);
  UpdateShape();
  SetTimer(FHandle, kTmrColor, 100, nullptr);
}

void TFrmArea::FormClose() {
  KillTimer(FHandle, kTmrColor);
  if (Recording() && RecordStop) RecordStop();
  SavePosition();
  Hide();
}

void TFrmArea::TmrColorTimer() {
  FBrushColor = DarkenColor(FAreaColor, FPulse.Tick());
  InvalidateRect(FHandle, nullptr, FALSE);
}

void TFrmArea::SetRecordingLabel(const std::wstring& text, bool recording) {
  TPanelLook& look = Look(areactl::LvlRecTime);
  look.Font = static_cast<HFONT>(recording ? FFontBold.Get() : FFont.Get());
  look.Text = recording ? RGB(255, 255, 0) : RGB(128, 0, 0);
  HWND label = Child(L"LvlRecTime");
  SetWindowTextW(label, text.c_str());
  InvalidateRect(label, nullptr, FALSE);
}

void TFrmArea::StartDrag() {
  ReleaseCapture();
  SendMessageW(FHandle, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);  // returns when the move ends
  SavePosition();
}

void TFrmArea::BtnCloseClick() {
  if (OnCloseButton) OnCloseButton();
  Close();
}

bool TFrmArea::KeyDown(WPARAM key, LPARAM lp) {
  const bool alt = (HIWORD(lp) & KF_ALTDOWN) != 0;
  const TAreaKeyAction a =
      AreaKeyAction(static_cast<unsigned>(key), GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, alt);
  if (!a.Handled) return false;
  if (a.Swallow) return true;
  RECT r{};
  GetWindowRect(FHandle, &r);
  if (a.DX || a.DY) {
    SetMove(r.left + a.DX, r.top + a.DY);
    // Kept at once like every other change of place, so a quit right after loses nothing.
    SavePosition();
  }
  if (a.DWidth || a.DHeight)
    SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left + a.DWidth, r.bottom - r.top + a.DHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

LRESULT TFrmArea::HitTest(LPARAM lp) {
  const LRESULT def = DefaultProc(WM_NCHITTEST, 0, lp);
  // While recording the ring offers no handles: the recorder follows a fixed size.
  if (Recording() || def == HTNOWHERE) return def;
  POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  ScreenToClient(FHandle, &p);
  RECT c{};
  GetClientRect(FHandle, &c);
  return static_cast<LRESULT>(AreaHitTest(p.x, p.y, {c.right, c.bottom}, Head()));
}

void TFrmArea::Paint(HDC dc) {
  RECT r{};
  GetClientRect(FHandle, &r);
  TGdiObject pen(CreatePen(PS_SOLID, 1, FAreaColor));
  TGdiObject brush(CreateSolidBrush(FBrushColor));
  TSelect p(dc, pen.Get());
  TSelect b(dc, brush.Get());
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void TFrmArea::DpiChanged() {
  ApplyFonts();
  UpdateCloseIcon();
  FormResize();
}

LRESULT TFrmArea::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCHITTEST: return HitTest(lp);
    case WM_GETMINMAXINFO: {
      auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
      const TAreaSize least = AreaWindowSize({area::MinCapture, area::MinCapture}, Head());
      mm->ptMinTrackSize = {least.Width, least.Height};
      const TAreaSize most = AreaWindowSize({area::FieldMax, area::FieldMax}, Head());
      mm->ptMaxTrackSize = {most.Width, most.Height};
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
      if (!(pos->flags & SWP_NOSIZE)) {
        const TAreaSize s = ConstrainAreaWindow({pos->cx, pos->cy}, Head());
        pos->cx = s.Width;
        pos->cy = s.Height;
      }
      break;
    }
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_EXITSIZEMOVE:
      SavePosition();
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (KeyDown(wp, lp)) return 0;
      break;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_CLOSE) return 0;  // Alt+F4 by any road: the frame stays
      break;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_TIMER:
      if (wp == kTmrColor) TmrColorTimer();
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(FHandle, &ps);
      Paint(dc);
      EndPaint(FHandle, &ps);
      return 0;
    }
    case WM_CONTEXTMENU: {
      HWND from = reinterpret_cast<HWND>(wp);
      if (from != FHandle && GetParent(from) == FHandle) {
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (p.x == -1 && p.y == -1) GetCursorPos(&p);
        FMenu.Popup(FHandle, p.x, p.y);
        return 0;
      }
      break;
    }
    case WM_COMMAND:
      if (lp == 0 && FMenu.Dispatch(LOWORD(wp))) return 0;
      break;
    case kPanelPress:
      StartDrag();
      return 0;
    case kCloseClick:
      BtnCloseClick();
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
