// The Windows Runtime's recognition engine behind the recogniser's engine interface. The
// runtime's functions are bound at first use, so the program starts where they are missing.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "base/Handles.h"
#include "outputs/RtOcr.h"
#include "outputs/WinRtOcrAbi.h"

using namespace winrt_abi;

namespace {

struct TRuntimeApi {
  HRESULT(WINAPI* RoGetActivationFactory)(HSTRING, REFIID, void**) = nullptr;
  HRESULT(WINAPI* WindowsCreateString)(LPCWSTR, UINT32, HSTRING*) = nullptr;
  HRESULT(WINAPI* WindowsDeleteString)(HSTRING) = nullptr;
  LPCWSTR(WINAPI* WindowsGetStringRawBuffer)(HSTRING, UINT32*) = nullptr;
  HRESULT Error = S_OK;
};

const TRuntimeApi& BoundApi() {
  static const TRuntimeApi api = [] {
    TRuntimeApi a;
    HMODULE combase = LoadLibraryW(L"combase.dll");  // kept for the process's lifetime
    if (!combase) {
      a.Error = HRESULT_FROM_WIN32(GetLastError());
      return a;
    }
    auto bind = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
          reinterpret_cast<void*>(GetProcAddress(combase, name)));
      if (!fn && SUCCEEDED(a.Error)) a.Error = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    };
    bind(a.RoGetActivationFactory, "RoGetActivationFactory");
    bind(a.WindowsCreateString, "WindowsCreateString");
    bind(a.WindowsDeleteString, "WindowsDeleteString");
    bind(a.WindowsGetStringRawBuffer, "WindowsGetStringRawBuffer");
    return a;
  }();
  return api;
}

const TRuntimeApi& Api() {
  const TRuntimeApi& api = BoundApi();
  if (FAILED(api.Error)) throw EWinRtError(api.Error);
  return api;
}

// A runtime string owned for a scope.
class THString {
 public:
  THString() = default;
  THString(const THString&) = delete;
  THString& operator=(const THString&) = delete;
  ~THString() {
    if (FValue) BoundApi().WindowsDeleteString(FValue);
  }
  HSTRING Get() const { return FValue; }
  HSTRING* Put() { return &FValue; }
  std::wstring Text() const {
    if (!FValue) return std::wstring();
    UINT32 n = 0;
    const wchar_t* raw = Api().WindowsGetStringRawBuffer(FValue, &n);
    return raw ? std::wstring(raw, n) : std::wstring();
  }

 private:
  HSTRING FValue = nullptr;
};

template <typename T>
std::wstring ReadString(T* object, HRESULT (STDMETHODCALLTYPE T::*getter)(HSTRING*)) {
  THString s;
  OleCheck((object->*getter)(s.Put()));
  return s.Text();
}

template <typename U>
TComPtr<U> Query(IUnknown* object, REFIID iid) {
  TComPtr<U> result;
  OleCheck(object->QueryInterface(iid, result.PutVoid()));
  return result;
}

template <typename T>
TComPtr<T> GetActivationFactory(const wchar_t* className, REFIID iid) {
  const TRuntimeApi& api = Api();
  THString name;
  HRESULT hr = api.WindowsCreateString(className, static_cast<UINT32>(wcslen(className)), name.Put());
  if (FAILED(hr)) throw EWinRtError(hr);
  TComPtr<T> factory;
  hr = api.RoGetActivationFactory(name.Get(), iid, factory.PutVoid());
  if (FAILED(hr)) throw EWinRtError(hr);
  return factory;
}

TComPtr<IOcrEngineStatics> OcrEngineStatics() {
  return GetActivationFactory<IOcrEngineStatics>(kOcrEngineClass, IID_IOcrEngineStatics);
}

template <typename T>
std::vector<TComPtr<T>> Elements(IVectorView<T*>* vector) {
  std::vector<TComPtr<T>> items;
  if (!vector) return items;
  UINT32 n = 0;
  OleCheck(vector->get_Size(&n));
  items.resize(n);
  for (UINT32 i = 0; i < n; ++i) OleCheck(vector->GetAt(i, items[i].Put()));
  return items;
}

void ReadResults(IAsyncOperation_OcrResult* operation, rtocr::TResult& result) {
  TComPtr<IOcrResult> ocr;
  OleCheck(operation->GetResults(ocr.Put()));
  if (!ocr) OleCheck(E_POINTER);
  result.Text = ReadString(ocr.Get(), &IOcrResult::get_Text);
  TComPtr<IReferenceDouble> angle;
  OleCheck(ocr->get_TextAngle(angle.Put()));
  if (angle) OleCheck(angle->get_Value(&result.TextAngle));
  TComPtr<IVectorView<IOcrLine*>> lines;
  OleCheck(ocr->get_Lines(lines.Put()));
  for (const TComPtr<IOcrLine>& line : Elements(lines.Get())) {
    rtocr::TLine l;
    l.Text = ReadString(line.Get(), &IOcrLine::get_Text);
    TComPtr<IVectorView<IOcrWord*>> words;
    OleCheck(line->get_Words(words.Put()));
    for (const TComPtr<IOcrWord>& word : Elements(words.Get())) {
      rtocr::TWord w;
      w.Text = ReadString(word.Get(), &IOcrWord::get_Text);
      Rect r{};
      OleCheck(word->get_BoundingRect(&r));
      w.Rect = rtocr::TSRect{r.X, r.Y, r.Width, r.Height};
      l.Words.push_back(std::move(w));
    }
    result.Lines.push_back(std::move(l));
  }
}

// The completion handler of one recognition; the runtime holds the only lasting reference.
class TCompletedHandler_OcrResult final : public IAsyncOperationCompletedHandler_OcrResult {
 public:
  explicit TCompletedHandler_OcrResult(rtocr::TOcrOperation::THandler handler) : FHandler(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IAsyncOperationCompletedHandler_OcrResult || iid == winrt_abi::IID_IAgileObject) {
      *out = static_cast<IAsyncOperationCompletedHandler_OcrResult*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation_OcrResult* operation, AsyncStatus status) override {
    rtocr::TOcrOperation::THandler handler;
    {
      std::lock_guard<std::mutex> g(FLock);  // one call, whatever the runtime does
      handler = std::move(FHandler);
      FHandler = nullptr;
    }
    if (!handler) return S_OK;
    try {
      return handler(static_cast<int>(status), [operation](rtocr::TResult& result) {
        if (!operation) OleCheck(E_POINTER);
        ReadResults(operation, result);
      });
    } catch (...) {
      // Nothing may unwind into the runtime.
      return E_FAIL;
    }
  }

 private:
  std::atomic<ULONG> FRefs{1};
  std::mutex FLock;
  rtocr::TOcrOperation::THandler FHandler;
};

class TWinRtOperation final : public rtocr::TOcrOperation {
 public:
  explicit TWinRtOperation(TComPtr<IAsyncOperation_OcrResult> operation) : FOperation(std::move(operation)) {}

  void SetCompleted(THandler handler) override {
    auto* h = new TCompletedHandler_OcrResult(std::move(handler));
    const HRESULT hr = FOperation->put_Completed(h);
    h->Release();
    OleCheck(hr);
  }
  void Cancel() override { OleCheck(Info()->Cancel()); }
  void Close() override { OleCheck(Info()->Close()); }

 private:
  TComPtr<IAsyncInfo> Info() { return Query<IAsyncInfo>(FOperation.Get(), IID_IAsyncInfo); }
  TComPtr<IAsyncOperation_OcrResult> FOperation;
};

class TWinRtBitmap final : public rtocr::TOcrBitmap {
 public:
  explicit TWinRtBitmap(TComPtr<ISoftwareBitmap> bitmap) : FBitmap(std::move(bitmap)) {}
  ISoftwareBitmap* Get() const { return FBitmap.Get(); }

  void Write(const std::function<void(const rtocr::TOcrPlane&)>& fill) override {
    TComPtr<IBitmapBuffer> buffer;
    OleCheck(FBitmap->LockBuffer(kBitmapBufferAccessWrite, buffer.Put()));
    if (!buffer) OleCheck(E_POINTER);
    // The reference goes first, then the buffer, whatever happens in between.
    TComPtr<IInspectable> reference;
    struct TCloser {
      TComPtr<IInspectable>* Reference;
      TComPtr<IBitmapBuffer>* Buffer;
      ~TCloser() {
        for (const TComPtr<IClosable>& c :
             {Reference->As<IClosable>(IID_IClosable), Buffer->As<IClosable>(IID_IClosable)})
          if (c) c->Close();
      }
    } closer{&reference, &buffer};
    // The rows need not start at the buffer's first byte nor follow each other closely.
    BitmapPlaneDescription description{};
    OleCheck(buffer->GetPlaneDescription(0, &description));
    TComPtr<IMemoryBuffer> memory = Query<IMemoryBuffer>(buffer.Get(), IID_IMemoryBuffer);
    OleCheck(memory->CreateReference(reference.Put()));
    if (!reference) OleCheck(E_POINTER);
    TComPtr<IMemoryBufferByteAccess> access =
        Query<IMemoryBufferByteAccess>(reference.Get(), IID_IMemoryBufferByteAccess);
    BYTE* bytes = nullptr;
    UINT32 capacity = 0;
    const HRESULT hr = access->GetBuffer(&bytes, &capacity);
    if (FAILED(hr)) throw EWinRtError(hr);
    fill(rtocr::TOcrPlane{bytes, capacity, description.StartIndex, description.Width, description.Height,
                          description.Stride});
  }

 private:
  TComPtr<ISoftwareBitmap> FBitmap;
};

class TWinRtRecognizer final : public rtocr::TOcrRecognizer {
 public:
  explicit TWinRtRecognizer(TComPtr<IOcrEngine> engine) : FEngine(std::move(engine)) {}

  std::shared_ptr<rtocr::TOcrOperation> RecognizeAsync(const std::shared_ptr<rtocr::TOcrBitmap>& bitmap) override {
    auto* own = dynamic_cast<TWinRtBitmap*>(bitmap.get());
    if (!own) OleCheck(E_INVALIDARG);
    TComPtr<IAsyncOperation_OcrResult> operation;
    OleCheck(FEngine->RecognizeAsync(own->Get(), operation.Put()));
    if (!operation) OleCheck(E_POINTER);
    return std::make_shared<TWinRtOperation>(std::move(operation));
  }

 private:
  TComPtr<IOcrEngine> FEngine;
};

class TWinRtOcrEngine final : public rtocr::TOcrEngine {
 public:
  std::vector<rtocr::TEngineLanguage> Languages() override {
    TComPtr<IOcrEngineStatics> statics = OcrEngineStatics();
    TComPtr<IVectorView<ILanguage*>> list;
    OleCheck(statics->get_AvailableRecognizerLanguages(list.Put()));
    std::vector<rtocr::TEngineLanguage> result;
    for (const TComPtr<ILanguage>& lang : Elements(list.Get())) {
      rtocr::TEngineLanguage l;
      l.Names.DisplayName = ReadString(lang.Get(), &ILanguage::get_DisplayName);
      l.Names.LanguageTag = ReadString(lang.Get(), &ILanguage::get_LanguageTag);
      l.Names.NativeName = ReadString(lang.Get(), &ILanguage::get_NativeName);
      l.Names.Script = ReadString(lang.Get(), &ILanguage::get_Script);
      lang->AddRef();
      l.Object = std::shared_ptr<void>(lang.Get(), [](void* p) { static_cast<ILanguage*>(p)->Release(); });
      result.push_back(std::move(l));
    }
    return result;
  }

  uint32_t MaxImageDimension() override {
    UINT32 value = 0;
    OleCheck(OcrEngineStatics()->get_MaxImageDimension(&value));
    return value;
  }

  std::unique_ptr<rtocr::TOcrRecognizer> CreateRecognizer(const rtocr::TEngineLanguage& language) override {
    TComPtr<IOcrEngine> engine;
    OleCheck(OcrEngineStatics()->TryCreateFromLanguage(static_cast<ILanguage*>(language.Object.get()),
                                                       engine.Put()));
    if (!engine) return nullptr;
    return std::make_unique<TWinRtRecognizer>(std::move(engine));
  }

  std::shared_ptr<rtocr::TOcrBitmap> CreateBitmap(int width, int height) override {
    TComPtr<ISoftwareBitmapFactory> factory =
        GetActivationFactory<ISoftwareBitmapFactory>(kSoftwareBitmapClass, IID_ISoftwareBitmapFactory);
    TComPtr<ISoftwareBitmap> bitmap;
    OleCheck(factory->Create(kBitmapPixelFormatBgra8, width, height, bitmap.Put()));
    if (!bitmap) OleCheck(E_POINTER);
    return std::make_shared<TWinRtBitmap>(std::move(bitmap));
  }
};

}  // namespace

std::shared_ptr<rtocr::TOcrEngine> MakeWinRtOcrEngine() { return std::make_shared<TWinRtOcrEngine>(); }
