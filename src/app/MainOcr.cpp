// Text recognition for the TXT output.
#include "app/Main.h"

#include "base/Config.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/Settings.h"
#include "base/Translate.h"
#include "outputs/Save.h"
#include "ui/MsgBox.h"

namespace {

// The text in the system's ANSI code page, no byte-order mark.
void WriteAnsiFile(const std::wstring& path, const std::wstring& text) {
  std::string bytes;
  if (!text.empty()) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    if (n <= 0) throw EOleSysError(HRESULT_FROM_WIN32(GetLastError()));
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  }
  // The one file writer: whole or not at all, and a full disk says so.
  WriteWholeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace

void TFrmVantoru::LoadOcrLanguages(TConfig& cfg) {
  if (!FRtOcr) {
    FRtOcr = std::make_unique<TRtOcr>();
    FRtOcr->OnCompleted = [this](TRtOcr& sender, const rtocr::TResult& result, void* customData) {
      BitmapToTXTFileCompleted(sender, result, customData);
    };
  }
  // The engine's display names are shown as the system gives them.
  if (TChild* list = FindChild(L"ChkOCR_lang")) list->Translated = false;
  try {
    FLanguages = FRtOcr->AvailableLanguages();
    HWND list = Child(L"ChkOCR_lang");
    for (const rtocr::TLanguage& l : FLanguages)
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.DisplayName.c_str()));
    const int index = cfg.ReadInteger(setting::LanguageOcr, defaults::LanguageOcr);
    if (index >= 0 && index < ComboCount(L"ChkOCR_lang")) SetComboIndex(L"ChkOCR_lang", index);
  } catch (...) {
    // No recognition on this system: the list stays empty and TXT is refused when chosen.
  }
}

bool TFrmVantoru::RecognizeText(std::unique_ptr<TBitmap> bitmap) {
  if (FLanguages.empty()) throw ERtOcrError(L"Language not available");
  // Enlarged for small print, but never beyond the largest bitmap the engine accepts.
  const rtocr::TPictureSize size =
      rtocr::RecognitionSize(bitmap->Width(), bitmap->Height(), static_cast<uint32_t>(FRtOcr->MaxImageDimension()));
  if (size.Width != bitmap->Width() || size.Height != bitmap->Height())
    ResizeBitmap(*bitmap, size.Width, size.Height);
  FRtOcr->SetPicture(*bitmap);
  // A stored index beyond the list leaves it without a selection: the first language then.
  int index = ComboIndex(L"ChkOCR_lang");
  if (index < 0 || static_cast<size_t>(index) >= FLanguages.size()) index = 0;
  FRtOcr->Recognize(FLanguages[static_cast<size_t>(index)], nullptr, 0, 0, 0, 0);
  // The engine holds the pixels now; a resident program need not keep the enlarged copy.
  // Nothing may fail past the start: the completion alone returns the controller to idle.
  try {
    FRtOcr->Picture().SetSize(0, 0);
  } catch (...) {
  }
  return true;
}

void TFrmVantoru::BitmapToTXTFileCompleted(TRtOcr& sender, const rtocr::TResult& result, void* customData) {
  // Whatever happens here, the controller takes requests again afterwards.
  struct TIdle {
    TFrmVantoru* Self;
    ~TIdle() { Self->FStatus = stIdle; }
  } idle{this};
  const std::wstring caption = Translate(Caption());
  if (result.Status != rtocr::stCompleted) {
    ShowMessage(Translate(L"캡쳐가 실패하였습니다.") + L"\r\r" + Translate(L"텍스트 인식을 실패하였습니다."), MB_ICONERROR, false, &caption);
    return;
  }
  try {
    WriteAnsiFile(NewFilename(L"txt"), rtocr::LinesAsText(result.Lines));
    if (SoundSetting() == snAfter) PlayCaptureSound();
  } catch (const std::exception& e) {
    ShowMessage(Translate(L"캡쳐가 실패하였습니다.") + L"\r\r" + TranslateError(e), MB_ICONERROR, false, &caption);
  }
}
