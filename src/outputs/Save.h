// The image files, the printer: where a picture goes when it leaves the program. Each file
// is encoded in memory first and written whole; on any failure no file of that name is left
// (and a file it would have replaced stays as it was).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Errors.h"

class TBitmap;

// A file that could not be created or written: the path and the system's reason.
VANTORU_DECLARE_ERROR(EFileError, EError);
// No default printer, or a print job that could not be started.
VANTORU_DECLARE_ERROR(EPrinterError, EError);

void SavePNG(const TBitmap& bitmap, const std::wstring& path);
// SavePNG for a picture that `fill` is still filling from the top on this thread: `fill`
// reports the number of final rows after each band to the function it is given. The
// encoding starts on other threads with the first band; once the picture is whole, this
// thread dispatches messages until the file is written. An error of `fill` is raised again
// with nothing written.
void SavePNGWhileFilling(const TBitmap& bitmap, const std::wstring& path,
                         const std::function<void(const std::function<void(int rows)>&)>& fill);
void SaveJPG(const TBitmap& bitmap, const std::wstring& path, uint8_t quality);
void SaveGIF(const TBitmap& bitmap, const std::wstring& path);
void SaveBMP(const TBitmap& bitmap, const std::wstring& path);
// Through libwebp.dll from the program's folder, loaded for this save only. Without the
// library nothing is written and nothing is reported. The picture becomes 32 bits per pixel.
void SaveWebP(TBitmap& bitmap, const std::wstring& path, int quality);

// One job of one page on the default printer: the picture at the top-left corner, each
// screen pixel as the whole number of printer dots that `screenPpi` gives.
void PrintBitmap(const TBitmap& bitmap, int screenPpi);

// `bytes` as the complete file at `path`.
void WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
// Removes the partial files of our saves that a crash or a kill left in `folder` (only names
// of ours, never anything else). A save still being written holds its file open and keeps it.
void RemoveStalePartFiles(const std::wstring& folder);
// The system's text for an error code, without the trailing line break.
std::wstring SystemErrorText(unsigned long code);
