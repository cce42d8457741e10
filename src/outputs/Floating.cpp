#include "outputs/Floating.h"

#include <dwmapi.h>
#include <shobjidl.h>

#include "base/AutoStart.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "outputs/FloatingIds.h"
#include "outputs/Save.h"
#include "ui/TranslateWin.h"

namespace {

// Below Windows 6 there is no compositor: the class's own drop shadow stands in.
UINT FloatingClassStyle() {
  UINT style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  if (SystemMajorVersion() < 6) style |= CS_DROPSHADOW;
  return style;
}

std::wstring SavedPath(IFileSaveDialog* dialog) {
  TComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.Put())) || !item) throw EError(L"The save dialog returned no file.");
  PWSTR name = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name)
    throw EError(L"The chosen file is not in the file system.");
  std::wstring path(name);
  CoTaskMemFree(name);
  return path;
}

}  // namespace

TFrmFloating::TFrmFloating(TEvents events) : FEvents(std::move(events)) {
  TClassInfo cls{L"TFrmFloating"};
  cls.Style = FloatingClassStyle();
  cls.Background = nullptr;  // painted
  // No owner window, so it neither hides nor minimises with the main window.
  CreateWnd(cls, L"반토루", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, nullptr, 0, 0,
            ScaleForDpi(311, GetDpiForSystem()), ScaleForDpi(279, GetDpiForSystem()));
  if (SystemMajorVersion() >= 6) EnableFrameShadow();

  // Its size is the picture's, shown 1:1: a monitor of another DPI changes nothing of it.
  FKeepBoundsOnDpiChange = true;

  FPopup.Root.Add(L"BtnSave", L"이미지 저장", cmd::BtnSave, [this] { BtnSaveClick(); });
  FPopup.Root.Add(L"DivPop1", L"-", 0);
  FPopup.Root.Add(L"BtnDelete", L"플로팅 삭제", cmd::BtnDelete, [this] { BtnDeleteClick(); });
  FPopup.Root.Add(L"BtnDeleteAll", L"모든 플로팅 삭제", cmd::BtnDeleteAll, [this] { BtnDeleteAllClick(); });
  FMenus = {&FPopup};
  TranslateComponent(*this);
}

TFrmFloating::~TFrmFloating() { *FAlive = false; }

void TFrmFloating::SetPicture(const TBitmap& picture) {
  FImage.Assign(picture);
  if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
}

void TFrmFloating::SetBounds(const TRect& rect) {
  SetWindowPos(FHandle, nullptr, rect.Left, rect.Top, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TFrmFloating::EnableFrameShadow() {
  if (SystemMajorVersion() < 6) return false;
  const DWORD policy = DWMNCRP_ENABLED;
  if (FAILED(DwmSetWindowAttribute(FHandle, DWMWA_NCRENDERING_POLICY, &policy, sizeof(policy)))) return false;
  BOOL composed = FALSE;
  if (FAILED(DwmIsCompositionEnabled(&composed)) || !composed) return false;
  const MARGINS margins{1, 1, 1, 1};
  return SUCCEEDED(DwmExtendFrameIntoClientArea(FHandle, &margins));
}

void TFrmFloating::ImageMouseMove() {
  // The system's move loop follows the mouse while the left button is held. Not every
  // system ends that loop at once when the button is up, so it only starts while it is down.
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return;
  ReleaseCapture();
  SendMessageW(FHandle, WM_SYSCOMMAND, 0xF012, 0);
}

void TFrmFloating::Paint(HDC dc) {
  RECT client{};
  GetClientRect(FHandle, &client);
  const int w = FImage.Width(), h = FImage.Height();
  if (w > 0 && h > 0) BitBlt(dc, 0, 0, w, h, FImage.Canvas(), 0, 0, SRCCOPY);
  // What the picture does not cover shows the button face.
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  if (client.right > w) {
    RECT r{w, 0, client.right, client.bottom};
    FillRect(dc, &r, face);
  }
  if (client.bottom > h) {
    RECT r{0, h, std::min<LONG>(w, client.right), client.bottom};
    FillRect(dc, &r, face);
  }
}

void TFrmFloating::BtnSaveClick() {
  TComPtr<IFileSaveDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                              dialog.PutVoid())) ||
      !dialog)
    throw EError(L"The save dialog cannot be shown.");
  dialog->SetDefaultExtension(L"png");
  TComPtr<IShellItem> folder;
  const std::wstring savePath = FEvents.SavePath ? FEvents.SavePath() : std::wstring();
  if (!savePath.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(savePath.c_str(), nullptr, IID_IShellItem, folder.PutVoid())) && folder)
    dialog->SetDefaultFolder(folder.Get());
  const COMDLG_FILTERSPEC types[] = {
      {L"PNG", L"*.png"}, {L"JPG", L"*.jpg;*.jpeg"}, {L"GIF", L"*.gif"}, {L"BMP", L"*.bmp"}, {L"WebP", L"*.webp"}};
  dialog->SetFileTypes(ARRAYSIZE(types), types);
  dialog->SetFileTypeIndex(1);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST | FOS_FORCEFILESYSTEM);

  const std::shared_ptr<bool> alive = FAlive;
  const HRESULT shown = dialog->Show(FHandle);
  // The window may have been deleted from another floating window's menu meanwhile.
  if (!*alive || shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return;
  if (FAILED(shown)) throw EError(L"The save dialog cannot be shown.");
  UINT type = 1;
  dialog->GetFileTypeIndex(&type);
  const std::wstring path = SavedPath(dialog.Get());
  // The chosen type decides the format, whatever the name ends with.
  switch (type) {
    case 1: SavePNG(FImage, path); break;
    case 2: SaveJPG(FImage, path, static_cast<uint8_t>(FEvents.JpegQuality ? FEvents.JpegQuality() : 90)); break;
    case 3: SaveGIF(FImage, path); break;
    case 4: SaveBMP(FImage, path); break;
    case 5: SaveWebP(FImage, path, FEvents.WebpQuality ? FEvents.WebpQuality() : 90); break;
    default: break;
  }
}

void TFrmFloating::BtnDeleteClick() {
  // This window is destroyed inside the call: keep the callback on the stack.
  const auto remove = FEvents.Delete;
  if (remove) remove(this);
}

void TFrmFloating::BtnDeleteAllClick() {
  const auto remove = FEvents.Delete;
  if (remove) remove(nullptr);
}

LRESULT TFrmFloating::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DWMCOMPOSITIONCHANGED:
    case WM_DWMNCRENDERINGCHANGED:
      if (EnableFrameShadow()) return 0;
      break;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(FHandle, &ps);
      Paint(dc);
      EndPaint(FHandle, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      ImageMouseMove();
      return 0;
    case WM_CONTEXTMENU: {
      POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (p.x == -1 && p.y == -1) GetCursorPos(&p);
      FPopup.Popup(FHandle, p.x, p.y);  // may delete this window
      return 0;
    }
    case WM_COMMAND:
      if (lp == 0) FPopup.Dispatch(LOWORD(wp));  // may delete this window
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
