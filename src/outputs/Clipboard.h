// Clipboard output. A failure (another program holding the clipboard) is shown once in a
// message box; the caller's capture goes on as if it had succeeded.
#pragma once
#include <string>

class TBitmap;

void CopyBitmapToClipboard(const TBitmap& bitmap);
void CopyTextToClipboard(const std::wstring& text);
