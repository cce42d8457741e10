// Output routing, file naming and the save folder of the main window.
#include "app/Main.h"

#include "app/AutoStart.h"
#include "app/Errors.h"
#include "app/Text.h"
#include "app/Types.h"
#include "outputs/Clipboard.h"

void TFrmVantoru::Deliver(std::unique_ptr<TBitmap>& bitmap, const TRect& rect, int output) {
  if (!bitmap || bitmap->Empty()) throw EError(L"The picture is empty.");
  switch (output) {
    case toClipboard: CopyBitmapToClipboard(*bitmap); break;
    case toFloating: ShowFloating(*bitmap, rect); break;
    case toMP4:
    case toUpload: break;
    default: throw EError(L"This output is not available in this build.");
  }
}

std::wstring TFrmVantoru::NewFilename(const std::wstring& ext) {
  for (int n = 1;; ++n) {
    const std::wstring path = JoinPath(FSavePath, FormatW(L"V-%03d.%ls", n, ext.c_str()));
    if (!FileExists(path)) return path;
  }
}

int TFrmVantoru::LastSequenceNumber() { return 0; }

void TFrmVantoru::BtnOpenDirClick() {}

bool TFrmVantoru::SelectFolder(std::wstring& path) {
  (void)path;
  return false;
}
