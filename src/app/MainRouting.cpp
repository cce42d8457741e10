// Output routing, file naming and the save folder of the main window.
#include "app/Main.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/AutoStart.h"
#include "base/Errors.h"
#include "base/FileNaming.h"
#include "base/SaveFolder.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "base/Types.h"
#include "capture/Capture.h"
#include "outputs/Clipboard.h"
#include "outputs/Save.h"
#include "ui/Thread.h"

void TFrmVantoru::Deliver(std::unique_ptr<TBitmap>& bitmap, const TRect& rect, int output) {
  // Image files are encoded and written on a pool thread while this thread keeps
  // dispatching messages (the controller's status turns other requests away meanwhile).
  // Name and quality are read here, just before the file is written.
  TBitmap& b = *bitmap;
  GdiFlush();  // drawing into the picture may still be batched on this thread
  switch (output) {
    case toPNG: WaitOrRaise([&b, path = NewFilename(L"png")] { SavePNG(b, path); }); break;
    case toJPG:
      WaitOrRaise([&b, path = NewFilename(L"jpg"), q = static_cast<uint8_t>(Quality(L"ChkJPEG_qual"))] {
        SaveJPG(b, path, q);
      });
      break;
    case toGIF: WaitOrRaise([&b, path = NewFilename(L"gif")] { SaveGIF(b, path); }); break;
    case toBMP: WaitOrRaise([&b, path = NewFilename(L"bmp")] { SaveBMP(b, path); }); break;
    case toWebP:
      WaitOrRaise([&b, path = NewFilename(L"webp"), q = Quality(L"ChkWebp_qual")] { SaveWebP(b, path, q); });
      break;
    case toClipboard: CopyBitmapToClipboard(*bitmap); break;
    case toPrinter: PrintBitmap(*bitmap, static_cast<int>(Dpi())); break;
    case toFloating: ShowFloating(*bitmap, rect); break;
    default: break;  // MP4 records instead; text and upload go their own way
  }
}

void TFrmVantoru::CaptureToPng(TBitmap& bitmap, const TRect& rect) {
  // The screen is read in bands here while other threads deflate the bands already read.
  FCapture->SetShowCursor(MenuChecked(L"ChkMouse"));
  SavePNGWhileFilling(bitmap, NewFilename(L"png"), [&](const std::function<void(int)>& rowsDone) {
    FCapture->Capture(bitmap.Canvas(), rect, rowsDone);
  });
}

std::wstring TFrmVantoru::NewFilename(const std::wstring& ext) {
  // A partial file left by a crash would take its number from the next capture.
  RemoveStalePartFiles(FSavePath);
  int naming = 0;  // none checked: date and time
  if (MenuChecked(L"ChkAppend1")) naming = fnSequential1;
  else if (MenuChecked(L"ChkAppend3")) naming = fnSequential2;
  SYSTEMTIME st{};
  GetLocalTime(&st);
  const TLocalTime now{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return JoinPath(FSavePath, NextFileName(naming, TWinFolder(FSavePath), ext, now));
}

int TFrmVantoru::LastSequenceNumber() { return ::LastSequenceNumber(TWinFolder(FSavePath).Entries()); }

void TFrmVantoru::BtnOpenDirClick() {
  ShellExecuteW(nullptr, L"open", L"explorer.exe", FSavePath.c_str(), nullptr, SW_SHOW);
}

namespace {

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED) SendMessageW(wnd, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

bool TFrmVantoru::SelectFolder(std::wstring& path) {
  const std::wstring title = Translate(L"폴더 선택");
  if (SystemMajorVersion() >= 6) {
    TComPtr<IFileOpenDialog> dialog;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                   dialog.PutVoid()))) {
      FILEOPENDIALOGOPTIONS options = 0;
      dialog->GetOptions(&options);
      dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
      dialog->SetTitle(title.c_str());
      dialog->SetOkButtonLabel(Translate(L"선택").c_str());
      TComPtr<IShellItem> start;
      if (!path.empty() &&
          SUCCEEDED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem, start.PutVoid())))
        dialog->SetDefaultFolder(start.Get());
      dialog->SetFileName(path.c_str());
      if (FAILED(dialog->Show(FHandle))) return false;
      TComPtr<IShellItem> chosen;
      wchar_t* name = nullptr;
      if (FAILED(dialog->GetResult(chosen.Put())) || FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name)))
        return false;
      path = name;
      CoTaskMemFree(name);
      return true;
    }
  }
  // The classic folder browser, rooted at the drive of the current folder.
  BROWSEINFOW bi{};
  bi.hwndOwner = FHandle;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(path.c_str());
  const std::wstring drive = path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) + L"\\" : std::wstring();
  PIDLIST_ABSOLUTE root = drive.empty() ? nullptr : ILCreateFromPathW(drive.c_str());
  bi.pidlRoot = root;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  if (root) ILFree(root);
  if (!chosen) return false;
  wchar_t buf[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, buf) != FALSE;
  CoTaskMemFree(chosen);
  if (ok) path = buf;
  return ok;
}
