// The upload output: the picture as a PNG file to the image service, and the progress bar
// shown meanwhile along the bottom of the screen.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/Types.h"
#include "outputs/UploadWire.h"

class TBitmap;

// One upload to the image service. `link` is the address the service returned, or empty
// when anything failed. `progress` is called on the calling thread. Encoder and platform
// errors may pass out.
void UploadImage(const TBitmap& picture, const TProgressProc& progress, std::wstring& link);

// A click-through, translucent, topmost bar with a centred text along the bottom of the
// primary screen (above a bottom taskbar), shown from creation until destruction.
class TProgressForm {
 public:
  explicit TProgressForm(const std::wstring& text);
  ~TProgressForm();
  TProgressForm(const TProgressForm&) = delete;
  TProgressForm& operator=(const TProgressForm&) = delete;

  // From any thread: the bar shows `position` of `maximum`.
  void SetProgress(int32_t position, int32_t maximum);
  HWND Handle() const;

 private:
  class TForm;
  std::unique_ptr<TForm> FForm;
  HWND FHandle = nullptr;  // the taskbar, if there is one
  TRect FRect{};           // its screen rectangle
};
