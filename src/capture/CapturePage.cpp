// The whole-page capture: the browser control is enlarged to the document's full extent
// and the document draws itself off screen. Nothing here reports a failure: what could not
// be drawn leaves the picture as it was, and an empty picture is the caller's to report.
#include <windows.h>
#include <mshtml.h>
#include <oleidl.h>

#include <algorithm>

#include "base/Errors.h"
#include "base/Text.h"
#include "capture/Capture.h"
#include "capture/IExplorer.h"

namespace {

VANTORU_DECLARE_ERROR(EPageCapture, EError);

// A late-bound read: property `name` of `object`, or the item `index` when given.
void Read(IDispatch* object, const wchar_t* name, VARIANT& result, const int* index = nullptr) {
  VariantInit(&result);
  if (!object) throw EPageCapture(L"The web page cannot be read (%s).", {L"no object for " + std::wstring(name)});
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
    throw EPageCapture(L"The web page cannot be read (%s).", {L"no member " + std::wstring(name)});
  VARIANT arg;
  VariantInit(&arg);
  DISPPARAMS params{};
  WORD flags = DISPATCH_PROPERTYGET;
  if (index) {
    arg.vt = VT_I4;
    arg.lVal = *index;
    params.rgvarg = &arg;
    params.cArgs = 1;
    flags |= DISPATCH_METHOD;
  }
  if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, nullptr, nullptr)))
    throw EPageCapture(L"The web page cannot be read (%s).", {L"cannot read " + std::wstring(name)});
}

TComPtr<IDispatch> ReadObject(IDispatch* object, const wchar_t* name, const int* index = nullptr) {
  VARIANT v;
  Read(object, name, v, index);
  TComPtr<IDispatch> r;
  if (v.vt == VT_DISPATCH && v.pdispVal) {
    v.pdispVal->AddRef();
    *r.Put() = v.pdispVal;
  }
  VariantClear(&v);
  if (!r) throw EPageCapture(L"The web page cannot be read (%s).", {std::wstring(name) + L" is no object"});
  return r;
}

// Read as text and converted, as a late-bound script value would be.
int ReadInteger(IDispatch* object, const wchar_t* name) {
  VARIANT v, text;
  Read(object, name, v);
  VariantInit(&text);
  const HRESULT hr = VariantChangeType(&text, &v, 0, VT_BSTR);
  VariantClear(&v);
  if (FAILED(hr)) throw EPageCapture(L"The web page cannot be read (%s).", {std::wstring(name) + L" is no number"});
  const std::wstring s(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  int32_t n = 0;
  if (!TryStrToInt(s, n)) throw EPageCapture(L"The web page cannot be read (%s).", {std::wstring(name) + L" is no number"});
  return n;
}

void Widen(int& w, int& h, const TComPtr<IHTMLElement2>& element) {
  if (!element) return;
  long sw = 0, sh = 0;
  if (SUCCEEDED(element->get_scrollWidth(&sw))) w = std::max(w, static_cast<int>(sw));
  if (SUCCEEDED(element->get_scrollHeight(&sh))) h = std::max(h, static_cast<int>(sh));
}

// Takes the control out of its window's layout for the capture, and always puts it back.
class TDetached {
 public:
  TDetached(TWebBrowser& wb, int w, int h) : FWb(wb) {
    FWb.SetAligned(false);
    FWb.SetSize(w, h);
  }
  ~TDetached() { FWb.SetAligned(true); }
  TDetached(const TDetached&) = delete;
  TDetached& operator=(const TDetached&) = delete;

 private:
  TWebBrowser& FWb;
};

}  // namespace

void TCapture::Capture(TBitmap& bitmap, TWebBrowser* wb) {
  if (!wb) return;
  const TComPtr<IDispatch> doc = wb->Document();
  if (!doc) return;
  try {
    const int edge = GetSystemMetrics(SM_CXEDGE), scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    const TComPtr<IDispatch> body = ReadObject(doc.Get(), L"body");
    int w = ReadInteger(body.Get(), L"scrollWidth") + edge + scrollBar + 6;
    int h = ReadInteger(body.Get(), L"scrollHeight");

    if (auto doc2 = doc.As<IHTMLDocument2>(IID_IHTMLDocument2)) {
      TComPtr<IHTMLElement> element;
      if (SUCCEEDED(doc2->get_body(element.Put())))
        Widen(w, h, element.As<IHTMLElement2>(IID_IHTMLElement2));
    }
    // In standards mode the root element, not the body, has the page's extent.
    if (auto doc3 = doc.As<IHTMLDocument3>(IID_IHTMLDocument3)) {
      TComPtr<IHTMLElement> element;
      if (SUCCEEDED(doc3->get_documentElement(element.Put())))
        Widen(w, h, element.As<IHTMLElement2>(IID_IHTMLElement2));
    }
    try {
      const TComPtr<IDispatch> frames = ReadObject(doc.Get(), L"frames");
      const int count = ReadInteger(frames.Get(), L"length");
      for (int i = 0; i < count; ++i) {
        const TComPtr<IDispatch> frame = ReadObject(frames.Get(), L"item", &i);
        const TComPtr<IDispatch> root = ReadObject(ReadObject(frame.Get(), L"document").Get(), L"documentElement");
        w = std::max(w, ReadInteger(root.Get(), L"scrollWidth"));
        h = std::max(h, ReadInteger(root.Get(), L"scrollHeight"));
      }
    } catch (const std::exception&) {
      // A frame that refuses access (another site's) ends the pass; what was read stands.
    }
    if (w < 100) w = 1024;
    if (h < 100) h = 768;

    TBitmap offscreen;
    offscreen.SetSize(w, h);
    TDetached detached(*wb, w, h);
    if (auto view = doc.As<IViewObject>(IID_IViewObject)) {
      RECTL bounds{0, 0, w, h};
      // A failed draw leaves the picture as it was rather than passing off a blank one.
      if (SUCCEEDED(view->Draw(DVASPECT_CONTENT, 1, nullptr, nullptr, nullptr, offscreen.Canvas(), &bounds, nullptr,
                               nullptr, 0))) {
        bitmap.SetSize(wb->Width(), wb->Height());
        BitBlt(bitmap.Canvas(), 0, 0, w, h, offscreen.Canvas(), 0, 0, SRCCOPY);
        bitmap.SetSize(bitmap.Width() - (edge + scrollBar), bitmap.Height());
      }
    }
  } catch (const std::exception&) {
    // Swallowed: the picture keeps what it had reached.
  }
}
