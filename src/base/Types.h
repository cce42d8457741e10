// Enumerations shared across the program; their values are stored in the registry.
#pragma once
#include <cstdint>

enum TCaptureArea : int {
  caFullScreen = 0,
  caRegion,
  caDrag,
  caActiveWindow,
  caWindowControl,
  caWebPage,
  caColorPicker,
};

enum TSaveTo : int {
  toPNG = 0,
  toJPG,
  toGIF,
  toBMP,
  toWebP,
  toMP4,
  toTXT,
  toClipboard,
  toUpload,
  toPrinter,
  toFloating,
};

enum TStatus : uint8_t { stIdle = 0, stRunning = 1, stBusy = 2 };

enum TFileNaming : int { fnSequential1 = 1, fnDateTime = 2, fnSequential2 = 3 };

enum TCaptureSound : int { snNone = 1, snBefore = 2, snAfter = 3 };

// Virtual-screen rectangle; right and bottom are exclusive.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
