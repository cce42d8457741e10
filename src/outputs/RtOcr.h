// TRtOcr: recognises the text of its picture with the system's recognition engine and
// delivers lines of words through an event or a completion procedure.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/Errors.h"
#include "outputs/RtOcrCore.h"
#include "ui/Bitmap.h"

// An error that carries the failure code of a runtime or COM call.
class EHResultError : public EError {
 public:
  EHResultError(std::wstring message, HRESULT code) : EError(std::move(message)), FCode(code) {}
  HRESULT ErrorCode() const noexcept { return FCode; }

 private:
  HRESULT FCode;
};

// A runtime activation, or getting a bitmap's byte address, failed:
// "Error $XXXXXXXX: <system text>".
class EWinRtError : public EHResultError {
 public:
  explicit EWinRtError(HRESULT code);
  const wchar_t* ClassName() const noexcept override { return L"EWinRtError"; }
};

// Any other runtime or COM call that returned a failure code; the message is the system's.
class EOleSysError : public EHResultError {
 public:
  explicit EOleSysError(HRESULT code);
  const wchar_t* ClassName() const noexcept override { return L"EOleSysError"; }
};

inline void OleCheck(HRESULT hr) {
  if (FAILED(hr)) throw EOleSysError(hr);
}
// The system's message for a code, without the trailing line break and full stop.
std::wstring SystemErrorText(HRESULT code);

class TRtOcr;
using TCompletedEvent = std::function<void(TRtOcr& sender, const rtocr::TResult& result, void* customData)>;
using TCompletionProc = std::function<void(const rtocr::TResult& result)>;

class TRtOcr {
 public:
  // Without an engine the Windows Runtime's is used; it is bound at first use.
  explicit TRtOcr(std::shared_ptr<rtocr::TOcrEngine> engine = nullptr);
  TRtOcr(const TRtOcr&) = delete;
  TRtOcr& operator=(const TRtOcr&) = delete;
  ~TRtOcr();

  TBitmap& Picture() { return *FPicture; }
  void SetPicture(const TBitmap& picture) { FPicture->Assign(picture); }

  // Raised for recognitions started with custom data.
  TCompletedEvent OnCompleted;

  rtocr::TLanguages AvailableLanguages();
  int MaxImageDimension();

  // Starts recognising the rectangle of Picture (all four 0: the whole picture) and returns.
  // The result comes on the user-interface thread, to OnCompleted or to `completion`; every
  // started recognition ends there, one whose result cannot be read with stError.
  void Recognize(const rtocr::TLanguage& language, void* customData, int left = 0, int top = 0, int right = 0,
                 int bottom = 0);
  void Recognize(const rtocr::TLanguage& language, TCompletionProc completion, int left = 0, int top = 0,
                 int right = 0, int bottom = 0);
  // Asks a running recognition to stop; its completion still arrives.
  void Cancel();
  // Cancels and closes a running recognition.
  void Close();

  bool Running() const { return FAsyncResult != nullptr; }

 private:
  struct TLink;
  void Start(const rtocr::TLanguage& language, void* customData, TCompletionProc completion, int left, int top,
             int right, int bottom);
  void Completed(uint64_t serial, void* customData, const TCompletionProc& completion, const rtocr::TResult& result);

  std::shared_ptr<rtocr::TOcrEngine> FEngine;
  std::unique_ptr<TBitmap> FPicture;
  std::shared_ptr<rtocr::TOcrOperation> FAsyncResult;
  std::shared_ptr<rtocr::TOcrBitmap> FBitmap;
  uint64_t FSerial = 0;  // which recognition FAsyncResult belongs to
  // Completions find the component through this; it is cleared when the component goes.
  std::shared_ptr<TLink> FLink;
};

// The Windows Runtime's engine ("Windows.Media.Ocr.OcrEngine").
std::shared_ptr<rtocr::TOcrEngine> MakeWinRtOcrEngine();
