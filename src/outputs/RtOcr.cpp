#include "outputs/RtOcr.h"

#include <utility>

#include "base/Text.h"
#include "ui/Thread.h"

std::wstring SystemErrorText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                 nullptr);
  std::wstring text(buffer ? buffer : L"", n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

EWinRtError::EWinRtError(HRESULT code)
    : EHResultError(FormatW(L"Error $%08X: %ls", static_cast<unsigned>(code), SystemErrorText(code).c_str()),
                    code) {}

namespace {
std::wstring OleErrorText(HRESULT code) {
  std::wstring text = SystemErrorText(code);
  return text.empty() ? FormatW(L"OLE error %08X", static_cast<unsigned>(code)) : text;
}

// What a completion handler gives back to the engine for an error.
int32_t FailureCode(const std::exception& e) {
  if (auto* h = dynamic_cast<const EHResultError*>(&e)) return h->ErrorCode();
  return E_FAIL;
}
}  // namespace

EOleSysError::EOleSysError(HRESULT code) : EHResultError(OleErrorText(code), code) {}

// ---------------------------------------------------------------------------------------

struct TRtOcr::TLink {
  TRtOcr* Owner;  // user-interface thread only
};

TRtOcr::TRtOcr(std::shared_ptr<rtocr::TOcrEngine> engine)
    : FEngine(engine ? std::move(engine) : MakeWinRtOcrEngine()),
      FPicture(std::make_unique<TBitmap>()),
      FLink(std::make_shared<TLink>(TLink{this})) {}

TRtOcr::~TRtOcr() {
  // A completion queued or still to come must find no component.
  FLink->Owner = nullptr;
  try {
    Close();
  } catch (...) {
    // The operation is given up either way.
  }
  FAsyncResult.reset();
  FBitmap.reset();
}

rtocr::TLanguages TRtOcr::AvailableLanguages() {
  rtocr::TLanguages result;
  for (const rtocr::TEngineLanguage& l : FEngine->Languages()) result.push_back(l.Names);
  return result;
}

int TRtOcr::MaxImageDimension() { return static_cast<int>(FEngine->MaxImageDimension()); }

void TRtOcr::Recognize(const rtocr::TLanguage& language, void* customData, int left, int top, int right,
                       int bottom) {
  Start(language, customData, nullptr, left, top, right, bottom);
}

void TRtOcr::Recognize(const rtocr::TLanguage& language, TCompletionProc completion, int left, int top, int right,
                       int bottom) {
  // An empty procedure means the event, as for the custom-data form.
  Start(language, nullptr, std::move(completion), left, top, right, bottom);
}

void TRtOcr::Start(const rtocr::TLanguage& language, void* customData, TCompletionProc completion, int left,
                   int top, int right, int bottom) {
  if (FAsyncResult) throw ERtOcrError(L"Recognition already started");
  const std::vector<rtocr::TEngineLanguage> languages = FEngine->Languages();
  const int index = rtocr::FindEngineLanguage(languages, language);
  if (index < 0) throw ERtOcrError(L"Language not available");
  std::unique_ptr<rtocr::TOcrRecognizer> recognizer = FEngine->CreateRecognizer(languages[index]);
  if (!recognizer) throw ERtOcrError(L"Language not available");

  const rtocr::TRegion region =
      rtocr::CheckRegion(FPicture->Width(), FPicture->Height(), left, top, right, bottom);
  std::shared_ptr<rtocr::TOcrBitmap> bitmap = FEngine->CreateBitmap(region.Width(), region.Height());
  // The engine reads 32-bit pixels; any other picture is converted in a private copy.
  std::unique_ptr<TBitmap> converted;
  const TBitmap* source = FPicture.get();
  if (FPicture->BitsPerPixel() != 32) {
    converted = FPicture->Clone();
    converted->SetPixelFormat(32);
    source = converted.get();
  }
  const TPixelView view = source->View();
  bitmap->Write([&](const rtocr::TOcrPlane& plane) { rtocr::CopyRegion(view, region, plane); });
  converted.reset();

  std::shared_ptr<rtocr::TOcrOperation> operation = recognizer->RecognizeAsync(bitmap);
  const uint64_t serial = ++FSerial;
  FAsyncResult = operation;
  FBitmap = bitmap;
  std::shared_ptr<TLink> link = FLink;
  try {
    operation->SetCompleted([link, serial, customData, completion](int asyncStatus,
                                                                   const rtocr::TOcrOperation::TReadResults& read) {
      // On the engine's thread: only the operation is read here; the component is reached
      // on the user-interface thread, where it lives.
      rtocr::TResult result;
      result.Status = rtocr::StatusOfAsync(asyncStatus);
      int32_t code = S_OK;
      if (result.Status == rtocr::stCompleted) {
        try {
          read(result);
        } catch (const std::exception& e) {
          code = FailureCode(e);
        } catch (...) {
          code = E_FAIL;
        }
        // A result that cannot be read is a failed recognition: the receiver still hears
        // of it, or whoever waits for it would wait for good.
        if (code != S_OK) {
          result = rtocr::TResult{};
          result.Status = rtocr::stError;
        }
      }
      QueueToMain([link, serial, customData, completion, result = std::move(result)] {
        if (link->Owner) link->Owner->Completed(serial, customData, completion, result);
      });
      return code;
    });
  } catch (...) {
    // Without a handler no completion would ever clear the state.
    FAsyncResult.reset();
    FBitmap.reset();
    try {
      operation->Cancel();
      operation->Close();
    } catch (...) {
    }
    throw;
  }
}

void TRtOcr::Completed(uint64_t serial, void* customData, const TCompletionProc& completion,
                       const rtocr::TResult& result) {
  if (!FAsyncResult || serial != FSerial) return;
  FAsyncResult.reset();
  FBitmap.reset();
  // From here a new Recognize is accepted, also from within the event.
  if (!completion && !OnCompleted) return;
  try {
    if (completion) completion(result);
    else OnCompleted(*this, result, customData);
  } catch (...) {
    // Errors of the receiver stay with the completion, as they would in the runtime's handler.
  }
}

void TRtOcr::Cancel() {
  if (FAsyncResult) FAsyncResult->Cancel();
}

void TRtOcr::Close() {
  if (!FAsyncResult) return;
  FAsyncResult->Cancel();
  FAsyncResult->Close();
}
