// Upload output and floating picture windows.
#include "app/Main.h"

#include "base/AutoStart.h"
#include "base/Translate.h"
#include "outputs/Floating.h"
#include "outputs/Upload.h"
#include "ui/MsgBox.h"
#include "ui/Thread.h"

void TFrmVantoru::CaptureUpload(TBitmap& bitmap) {
  TProgressForm progress(Translate(L"업로드 중입니다."));
  std::wstring link;
  Wait([&] {
    UploadImage(
        bitmap, [&progress](int32_t sent, int32_t total) { progress.SetProgress(sent, total); }, link);
  });
  if (!link.empty()) {
    ShellOpen(link);
  } else {
    const std::wstring caption = Translate(Caption());
    ShowMessage(L"이미지 업로드를 실패하였습니다.", MB_ICONERROR, true, &caption);
  }
}

void TFrmVantoru::TFloatingDeleter::operator()(TFrmFloating* form) const { delete form; }

void TFrmVantoru::ShowFloating(const TBitmap& bitmap, const TRect& rect) {
  TFrmFloating::TEvents events;
  events.SavePath = [this] { return FSavePath; };
  events.JpegQuality = [this] { return Quality(L"ChkJPEG_qual"); };
  events.WebpQuality = [this] { return Quality(L"ChkWebp_qual"); };
  events.Delete = [this](TFrmFloating* form) { FloatDelete(form); };
  std::unique_ptr<TFrmFloating, TFloatingDeleter> form(new TFrmFloating(std::move(events)));
  form->SetPicture(bitmap);
  form->SetBounds(rect);  // while hidden, so it does not show elsewhere first
  form->Show();
  form->SetBounds(rect);
  FloatList.push_back(std::move(form));
}

void TFrmVantoru::FloatDelete(TFrmFloating* form) {
  for (size_t i = FloatList.size(); i-- > 0;) {
    if (form && FloatList[i].get() != form) continue;
    // Out of the list before it goes, so nothing its destruction sends can find it there.
    auto gone = std::move(FloatList[i]);
    FloatList.erase(FloatList.begin() + static_cast<ptrdiff_t>(i));
    gone.reset();
  }
}
