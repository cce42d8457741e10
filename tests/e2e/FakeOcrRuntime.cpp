// A stand-in for the Windows Runtime's text recognition, for the tests. Wine activates a
// runtime class from the DLL named by "DllPath" under the class's key in
// HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId, so the program reaches this
// one through the same calls that reach the real engine on Windows.
//
// It behaves as the script file named by VANTORU_FAKE_OCR says, read afresh at every call
// (UTF-8, one "key=value" per line):
//   lang=Display|Tag|Native|Script   one per language, in order
//   max=N                            MaxImageDimension (default 10000); larger bitmaps are refused
//   line=some words                  one per recognised line; words split at spaces
//   angle=1.5                        the text angle (none without it)
//   status=N                         completion status (default 1, completed)
//   hold=Name                        completes only once the named event is set (or on Cancel)
//   log=Path                         appends "recognize <tag> <w>x<h>", "cancel", "close"
//   dump=Path                        the bitmap's pixels as handed to RecognizeAsync, as
//                                    rows of width * 4 bytes with no gap
//   refuse=Tag                       TryCreateFromLanguage gives no engine for it
//   readfail=XXXXXXXX                GetResults fails with this code
//
// Like the real engine, it lays a bitmap's rows out with a start offset and a stride wider
// than the row, and refuses a bitmap larger than MaxImageDimension or a premultiplied one
// (as every bitmap made by Create is) with a pixel of alpha 0 or a colour above its alpha.
#include <windows.h>
#include <activation.h>
#include <winstring.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "outputs/WinRtOcrAbi.h"

using namespace winrt_abi;

namespace {

std::atomic<long> gLive{0};

// The runtime's own failure codes (not in mingw's headers).
constexpr HRESULT E_BOUNDS = static_cast<HRESULT>(0x8000000B);
constexpr HRESULT E_ILLEGAL_STATE_CHANGE = static_cast<HRESULT>(0x8000000D);
constexpr HRESULT E_ILLEGAL_METHOD_CALL = static_cast<HRESULT>(0x8000000E);
constexpr HRESULT RO_E_CLOSED = static_cast<HRESULT>(0x80000013);
constexpr HRESULT E_ILLEGAL_DELEGATE_ASSIGNMENT = static_cast<HRESULT>(0x80000018);
constexpr GUID IID_IInspectable = {0xAF86E2E0, 0xB12D, 0x4C6A, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
constexpr GUID IID_IActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- the script ----

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::vector<std::wstring> Split(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    const size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p - start));
    if (p == std::wstring::npos) return parts;
    start = p + 1;
  }
}

struct TScript {
  std::vector<std::vector<std::wstring>> Langs;
  UINT32 Max = 10000;
  std::vector<std::wstring> Lines;
  bool HasAngle = false;
  double Angle = 0;
  int Status = AsyncCompleted;
  HRESULT ReadFail = S_OK;
  std::wstring Hold, Log, Dump, Refuse;
};

TScript ReadScript() {
  TScript script;
  wchar_t path[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"VANTORU_FAKE_OCR", path, MAX_PATH)) return script;
  FILE* f = _wfopen(path, L"rb");
  if (!f) return script;
  std::string bytes;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
  fclose(f);
  for (std::wstring line : Split(FromUtf8(bytes), L'\n')) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::wstring key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == L"lang") script.Langs.push_back(Split(value, L'|'));
    else if (key == L"max") script.Max = static_cast<UINT32>(_wtoi(value.c_str()));
    else if (key == L"line") script.Lines.push_back(value);
    else if (key == L"angle") script.HasAngle = true, script.Angle = _wtof(value.c_str());
    else if (key == L"status") script.Status = _wtoi(value.c_str());
    else if (key == L"hold") script.Hold = value;
    else if (key == L"log") script.Log = value;
    else if (key == L"dump") script.Dump = value;
    else if (key == L"refuse") script.Refuse = value;
    else if (key == L"readfail") script.ReadFail = static_cast<HRESULT>(wcstoul(value.c_str(), nullptr, 16));
  }
  for (auto& l : script.Langs) l.resize(4);
  return script;
}

std::mutex gLogLock;
void Log(const std::wstring& path, const std::wstring& text) {
  if (path.empty()) return;
  std::lock_guard<std::mutex> g(gLogLock);
  if (FILE* f = _wfopen(path.c_str(), L"ab")) {
    const std::string s = ToUtf8(text + L"\n");
    fwrite(s.data(), 1, s.size(), f);
    fclose(f);
  }
}

HRESULT MakeString(const std::wstring& s, HSTRING* out) {
  if (!out) return E_POINTER;
  return WindowsCreateString(s.c_str(), static_cast<UINT32>(s.size()), out);
}

// ---- COM plumbing ----

// Reference counting, and the count of live objects; QueryInterface comes from Find.
class TObject {
 public:
  TObject() { ++gLive; }
  virtual ~TObject() { --gLive; }
  ULONG DoAddRef() { return ++FRefs; }
  ULONG DoRelease() {
    const ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

 private:
  std::atomic<ULONG> FRefs{1};
};

#define FAKE_UNKNOWN                                                                          \
  ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }                            \
  ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }                          \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {                 \
    if (!out) return E_POINTER;                                                               \
    *out = Find(iid);                                                                         \
    if (!*out) return E_NOINTERFACE;                                                          \
    DoAddRef();                                                                               \
    return S_OK;                                                                              \
  }
#define FAKE_INSPECTABLE                                                                      \
  FAKE_UNKNOWN                                                                                \
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {                      \
    *count = 0;                                                                               \
    *iids = nullptr;                                                                          \
    return S_OK;                                                                              \
  }                                                                                           \
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override { return E_NOTIMPL; } \
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {                       \
    *level = BaseTrust;                                                                       \
    return S_OK;                                                                              \
  }

template <typename T>
class TVector final : public IVectorView<T*>, public TObject {
 public:
  explicit TVector(std::vector<T*> items) : FItems(std::move(items)) {}
  ~TVector() override {
    for (T* i : FItems) i->Release();
  }
  void* Find(REFIID iid) {
    // Vectors are only reached through their typed getters; any vector IID will do.
    if (iid == IID_IUnknown || iid == IID_IInspectable) return static_cast<IVectorView<T*>*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) override {
    if (index >= FItems.size()) return E_BOUNDS;
    *item = FItems[index];
    (*item)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
    *size = static_cast<UINT32>(FItems.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IndexOf(T*, UINT32*, boolean* found) override {
    *found = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMany(UINT32, UINT32, T**, UINT32* actual) override {
    *actual = 0;
    return E_NOTIMPL;
  }

 private:
  std::vector<T*> FItems;
};

class TLanguage final : public ILanguage, public TObject {
 public:
  explicit TLanguage(std::vector<std::wstring> names) : FNames(std::move(names)) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_ILanguage) return static_cast<ILanguage*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  // Script order: Display|Tag|Native|Script.
  HRESULT STDMETHODCALLTYPE get_LanguageTag(HSTRING* v) override { return MakeString(FNames[1], v); }
  HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* v) override { return MakeString(FNames[0], v); }
  HRESULT STDMETHODCALLTYPE get_NativeName(HSTRING* v) override { return MakeString(FNames[2], v); }
  HRESULT STDMETHODCALLTYPE get_Script(HSTRING* v) override { return MakeString(FNames[3], v); }
  const std::wstring& Tag() const { return FNames[1]; }

 private:
  std::vector<std::wstring> FNames;
};

class TReference final : public IReferenceDouble, public TObject {
 public:
  explicit TReference(double v) : FValue(v) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IReference_Double)
      return static_cast<IReferenceDouble*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE get_Value(DOUBLE* v) override {
    *v = FValue;
    return S_OK;
  }

 private:
  double FValue;
};

class TWord final : public IOcrWord, public TObject {
 public:
  TWord(std::wstring text, Rect r) : FText(std::move(text)), FRect(r) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IOcrWord) return static_cast<IOcrWord*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE get_BoundingRect(Rect* v) override {
    *v = FRect;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Text(HSTRING* v) override { return MakeString(FText, v); }

 private:
  std::wstring FText;
  Rect FRect;
};

class TLine final : public IOcrLine, public TObject {
 public:
  TLine(std::wstring text, int index) : FText(std::move(text)), FIndex(index) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IOcrLine) return static_cast<IOcrLine*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  // Word i of line n sits at (10 i, 20 n), 8 x 16.
  HRESULT STDMETHODCALLTYPE get_Words(IVectorView<IOcrWord*>** v) override {
    std::vector<IOcrWord*> words;
    int i = 0;
    for (const std::wstring& w : Split(FText, L' '))
      if (!w.empty()) {
        words.push_back(new TWord(w, Rect{10.0f * i, 20.0f * FIndex, 8.0f, 16.0f}));
        ++i;
      }
    *v = new TVector<IOcrWord>(std::move(words));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Text(HSTRING* v) override { return MakeString(FText, v); }

 private:
  std::wstring FText;
  int FIndex;
};

class TResult final : public IOcrResult, public TObject {
 public:
  explicit TResult(const TScript& s) : FScript(s) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IOcrResult) return static_cast<IOcrResult*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE get_Lines(IVectorView<IOcrLine*>** v) override {
    std::vector<IOcrLine*> lines;
    for (size_t i = 0; i < FScript.Lines.size(); ++i) lines.push_back(new TLine(FScript.Lines[i], static_cast<int>(i)));
    *v = new TVector<IOcrLine>(std::move(lines));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_TextAngle(IReferenceDouble** v) override {
    *v = FScript.HasAngle ? new TReference(FScript.Angle) : nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Text(HSTRING* v) override {
    std::wstring all;
    for (const std::wstring& l : FScript.Lines) all += (all.empty() ? L"" : L" ") + l;
    return MakeString(all, v);
  }

 private:
  TScript FScript;
};

class TOperation final : public IAsyncOperation_OcrResult, public IAsyncInfo, public TObject {
 public:
  explicit TOperation(TScript s) : FScript(std::move(s)), FCancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    DoAddRef();  // the worker's reference
    if (!TrySubmitThreadpoolCallback(&TOperation::Work, this, nullptr)) {
      Finish();
      DoRelease();
    }
  }
  ~TOperation() override {
    if (FHandler) FHandler->Release();
    CloseHandle(FCancel);
  }
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IAsyncOperation_OcrResult)
      return static_cast<IAsyncOperation_OcrResult*>(this);
    if (iid == IID_IAsyncInfo) return static_cast<IAsyncInfo*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE

  HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler_OcrResult* handler) override {
    if (!handler) return E_POINTER;
    AsyncStatus status;
    {
      std::lock_guard<std::mutex> g(FLock);
      if (FHandler || FInvoked) return E_ILLEGAL_DELEGATE_ASSIGNMENT;
      handler->AddRef();
      FHandler = handler;
      if (!FDone) return S_OK;
      status = FStatus;
    }
    Invoke(status);  // already over: at once, on this thread
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler_OcrResult** handler) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetResults(IOcrResult** results) override {
    std::lock_guard<std::mutex> g(FLock);
    if (!FDone || FStatus != AsyncCompleted) return E_ILLEGAL_METHOD_CALL;
    if (FAILED(FScript.ReadFail)) return FScript.ReadFail;
    *results = new TResult(FScript);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
    *id = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override {
    std::lock_guard<std::mutex> g(FLock);
    *status = FDone ? FStatus : AsyncStarted;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
    *code = S_OK;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override {
    Log(FScript.Log, L"cancel");
    SetEvent(FCancel);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    Log(FScript.Log, L"close");
    std::lock_guard<std::mutex> g(FLock);
    return FDone ? S_OK : E_ILLEGAL_STATE_CHANGE;
  }

 private:
  static void CALLBACK Work(PTP_CALLBACK_INSTANCE, void* context) {
    auto* self = static_cast<TOperation*>(context);
    self->Finish();
    self->DoRelease();
  }

  void Finish() {
    HANDLE hold = FScript.Hold.empty() ? nullptr : OpenEventW(SYNCHRONIZE, FALSE, FScript.Hold.c_str());
    HANDLE waits[2] = {FCancel, hold};
    const DWORD r = WaitForMultipleObjects(hold ? 2 : 1, waits, FALSE, hold ? 60000 : 0);
    if (hold) CloseHandle(hold);
    AsyncStatus status = r == WAIT_OBJECT_0 ? AsyncCanceled : static_cast<AsyncStatus>(FScript.Status);
    bool invoke;
    {
      std::lock_guard<std::mutex> g(FLock);
      FDone = true;
      FStatus = status;
      invoke = FHandler != nullptr;
    }
    if (invoke) Invoke(status);
  }

  void Invoke(AsyncStatus status) {
    IAsyncOperationCompletedHandler_OcrResult* handler;
    {
      std::lock_guard<std::mutex> g(FLock);
      if (FInvoked) return;
      FInvoked = true;
      handler = FHandler;
    }
    handler->Invoke(this, status);
  }

  TScript FScript;
  HANDLE FCancel;
  std::mutex FLock;
  IAsyncOperationCompletedHandler_OcrResult* FHandler = nullptr;
  bool FDone = false, FInvoked = false;
  AsyncStatus FStatus = AsyncStarted;
};

// Where a bitmap's pixels lie in its buffer: not at the start, and with a gap after each row.
// A new bitmap is transparent black, so pixels left unwritten are refused.
struct TLayout {
  int Width, Height, Start, Stride;
  size_t Size() const { return static_cast<size_t>(Start) + static_cast<size_t>(Stride) * Height; }
};
TLayout LayoutFor(int w, int h) { return TLayout{w, h, 128, (w * 4 + 63) / 64 * 64 + 64}; }

// The locked buffer and its reference share the bitmap's bytes; the bitmap counts the open
// ones, and each keeps the bitmap alive.
class TLock : public TObject {
 public:
  TLock(std::vector<uint8_t>* bytes, TLayout layout, std::atomic<int>* locks, IUnknown* owner)
      : FBytes(bytes), FLayout(layout), FLocks(locks), FOwner(owner) {
    ++*FLocks;
    FOwner->AddRef();
  }
  ~TLock() override {
    Unlock();
    FOwner->Release();
  }

 protected:
  void Unlock() {
    if (!FClosed) --*FLocks;
    FClosed = true;
  }
  std::vector<uint8_t>* FBytes;
  TLayout FLayout;
  std::atomic<int>* FLocks;
  IUnknown* FOwner;
  bool FClosed = false;
};

class TBufferReference final : public IClosable, public IMemoryBufferByteAccess, public TLock {
 public:
  using TLock::TLock;
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IClosable) return static_cast<IClosable*>(this);
    if (iid == IID_IMemoryBufferByteAccess) return static_cast<IMemoryBufferByteAccess*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE Close() override {
    Unlock();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** value, UINT32* capacity) override {
    if (FClosed) return RO_E_CLOSED;
    *value = FBytes->data();
    *capacity = static_cast<UINT32>(FBytes->size());
    return S_OK;
  }
};

class TBitmapBuffer final : public IBitmapBuffer, public IMemoryBuffer, public IClosable, public TLock {
 public:
  using TLock::TLock;
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IBitmapBuffer)
      return static_cast<IBitmapBuffer*>(this);
    if (iid == IID_IMemoryBuffer) return static_cast<IMemoryBuffer*>(this);
    if (iid == IID_IClosable) return static_cast<IClosable*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE GetPlaneCount(INT32* value) override {
    if (FClosed) return RO_E_CLOSED;
    *value = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPlaneDescription(INT32 index, BitmapPlaneDescription* value) override {
    if (FClosed) return RO_E_CLOSED;
    if (index != 0) return E_INVALIDARG;
    *value = BitmapPlaneDescription{FLayout.Start, FLayout.Width, FLayout.Height, FLayout.Stride};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateReference(IInspectable** reference) override {
    if (FClosed) return RO_E_CLOSED;
    *reference = static_cast<IClosable*>(new TBufferReference(FBytes, FLayout, FLocks, FOwner));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    Unlock();
    return S_OK;
  }
};

class TSoftwareBitmap final : public ISoftwareBitmap, public TObject {
 public:
  TSoftwareBitmap(int w, int h) : FLayout(LayoutFor(w, h)), FBytes(FLayout.Size(), 0) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_ISoftwareBitmap)
      return static_cast<ISoftwareBitmap*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE get_BitmapPixelFormat(int* v) override {
    *v = kBitmapPixelFormatBgra8;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BitmapAlphaMode(int* v) override {
    *v = kBitmapAlphaPremultiplied;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_PixelWidth(INT32* v) override {
    *v = FLayout.Width;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_PixelHeight(INT32* v) override {
    *v = FLayout.Height;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsReadOnly(boolean* v) override {
    *v = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_DpiX(DOUBLE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_DpiX(DOUBLE* v) override {
    *v = 96;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_DpiY(DOUBLE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_DpiY(DOUBLE* v) override {
    *v = 96;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockBuffer(int mode, IBitmapBuffer** buffer) override {
    if (mode != kBitmapBufferAccessWrite && mode != 1) return E_INVALIDARG;
    *buffer = static_cast<IBitmapBuffer*>(
        new TBitmapBuffer(&FBytes, FLayout, &FLocks, static_cast<ISoftwareBitmap*>(this)));
    return S_OK;
  }
  int Width() const { return FLayout.Width; }
  int Height() const { return FLayout.Height; }
  int OpenLocks() const { return FLocks; }
  // The pixels as the engine sees them: the plane's rows, without the gaps.
  std::vector<uint8_t> Pixels() const {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < FLayout.Height; ++y) {
      const uint8_t* row = FBytes.data() + FLayout.Start + static_cast<size_t>(y) * FLayout.Stride;
      pixels.insert(pixels.end(), row, row + FLayout.Width * 4);
    }
    return pixels;
  }

 private:
  TLayout FLayout;
  std::vector<uint8_t> FBytes;
  std::atomic<int> FLocks{0};
};

// Premultiplied pixels carry no colour above their alpha, and alpha 0 is transparent:
// nothing to read there.
bool Readable(const std::vector<uint8_t>& pixels) {
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    const uint8_t a = pixels[i + 3];
    if (a == 0 || pixels[i] > a || pixels[i + 1] > a || pixels[i + 2] > a) return false;
  }
  return true;
}

class TEngine final : public IOcrEngine, public TObject {
 public:
  explicit TEngine(std::wstring tag) : FTag(std::move(tag)) {}
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IOcrEngine) return static_cast<IOcrEngine*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE RecognizeAsync(ISoftwareBitmap* bitmap, IAsyncOperation_OcrResult** result) override {
    if (!bitmap || !result) return E_POINTER;
    // Only bitmaps of this runtime come here.
    auto* own = static_cast<TSoftwareBitmap*>(bitmap);
    if (own->OpenLocks() != 0) return E_ILLEGAL_METHOD_CALL;  // a buffer is still locked
    const TScript script = ReadScript();
    const std::wstring size = std::to_wstring(own->Width()) + L"x" + std::to_wstring(own->Height());
    if (static_cast<UINT32>(own->Width()) > script.Max || static_cast<UINT32>(own->Height()) > script.Max) {
      Log(script.Log, L"refused " + size + L": larger than " + std::to_wstring(script.Max));
      return E_INVALIDARG;  // "Image dimensions are too large"
    }
    const std::vector<uint8_t> pixels = own->Pixels();
    if (!Readable(pixels)) {
      Log(script.Log, L"refused " + size + L": transparent or not premultiplied");
      return E_INVALIDARG;
    }
    Log(script.Log, L"recognize " + FTag + L" " + size);
    if (!script.Dump.empty())
      if (FILE* f = _wfopen(script.Dump.c_str(), L"wb")) {
        fwrite(pixels.data(), 1, pixels.size(), f);
        fclose(f);
      }
    *result = static_cast<IAsyncOperation_OcrResult*>(new TOperation(script));
    return S_OK;
  }

 private:
  std::wstring FTag;
};

class TStatics final : public IActivationFactory, public IOcrEngineStatics, public TObject {
 public:
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IActivationFactory)
      return static_cast<IActivationFactory*>(this);
    if (iid == IID_IOcrEngineStatics) return static_cast<IOcrEngineStatics*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MaxImageDimension(UINT32* v) override {
    *v = ReadScript().Max;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AvailableRecognizerLanguages(IVectorView<ILanguage*>** v) override {
    std::vector<ILanguage*> langs;
    for (const auto& names : ReadScript().Langs) langs.push_back(new TLanguage(names));
    *v = new TVector<ILanguage>(std::move(langs));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsLanguageSupported(ILanguage*, boolean* r) override {
    *r = TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TryCreateFromLanguage(ILanguage* language, IOcrEngine** result) override {
    if (!language || !result) return E_POINTER;
    const std::wstring& tag = static_cast<TLanguage*>(language)->Tag();
    *result = tag == ReadScript().Refuse ? nullptr : new TEngine(tag);
    return S_OK;
  }
};

class TBitmapFactory final : public IActivationFactory, public ISoftwareBitmapFactory, public TObject {
 public:
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IInspectable || iid == IID_IActivationFactory)
      return static_cast<IActivationFactory*>(this);
    if (iid == IID_ISoftwareBitmapFactory) return static_cast<ISoftwareBitmapFactory*>(this);
    return nullptr;
  }
  FAKE_INSPECTABLE
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(int format, INT32 width, INT32 height, ISoftwareBitmap** value) override {
    if (!value) return E_POINTER;
    if (format != kBitmapPixelFormatBgra8 || width <= 0 || height <= 0) return E_INVALIDARG;
    *value = new TSoftwareBitmap(width, height);
    return S_OK;
  }
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetActivationFactory(HSTRING classId, IActivationFactory** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  const std::wstring name = WindowsGetStringRawBuffer(classId, nullptr);
  if (name == kOcrEngineClass) *factory = static_cast<IActivationFactory*>(new TStatics);
  else if (name == kSoftwareBitmapClass) *factory = static_cast<IActivationFactory*>(new TBitmapFactory);
  else return CLASS_E_CLASSNOTAVAILABLE;
  return S_OK;
}

// Kept loaded: its objects and worker callbacks may outlive any one caller.
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

// Objects of this runtime still alive: 0 once every caller has released what it got.
extern "C" __declspec(dllexport) long WINAPI FakeOcrLiveObjects() { return gLive.load(); }
