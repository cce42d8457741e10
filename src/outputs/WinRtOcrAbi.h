// The Windows Runtime interfaces that text recognition calls, declared by their binary
// layout (mingw ships no headers for them). Methods are declared up to the last one used,
// so every used one lands in its slot.
#pragma once
#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

#include "outputs/WinRtOcrIids.h"

namespace winrt_abi {

constexpr GUID AsGuid(const winrt_iid::TGuid& g) {
  return GUID{g.Data1,
              g.Data2,
              g.Data3,
              {g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]}};
}

constexpr GUID IID_IOcrEngineStatics = AsGuid(winrt_iid::IOcrEngineStatics);
constexpr GUID IID_IOcrEngine = AsGuid(winrt_iid::IOcrEngine);
constexpr GUID IID_IOcrResult = AsGuid(winrt_iid::IOcrResult);
constexpr GUID IID_IOcrLine = AsGuid(winrt_iid::IOcrLine);
constexpr GUID IID_IOcrWord = AsGuid(winrt_iid::IOcrWord);
constexpr GUID IID_ILanguage = AsGuid(winrt_iid::ILanguage);
constexpr GUID IID_ISoftwareBitmapFactory = AsGuid(winrt_iid::ISoftwareBitmapFactory);
constexpr GUID IID_ISoftwareBitmap = AsGuid(winrt_iid::ISoftwareBitmap);
constexpr GUID IID_IBitmapBuffer = AsGuid(winrt_iid::IBitmapBuffer);
constexpr GUID IID_IMemoryBuffer = AsGuid(winrt_iid::IMemoryBuffer);
constexpr GUID IID_IMemoryBufferByteAccess = AsGuid(winrt_iid::IMemoryBufferByteAccess);
constexpr GUID IID_IClosable = AsGuid(winrt_iid::IClosable);
constexpr GUID IID_IAsyncInfo = AsGuid(winrt_iid::IAsyncInfo);
constexpr GUID IID_IAsyncOperation_OcrResult = AsGuid(winrt_iid::IAsyncOperation_OcrResult);
constexpr GUID IID_IAsyncOperationCompletedHandler_OcrResult =
    AsGuid(winrt_iid::IAsyncOperationCompletedHandler_OcrResult);
constexpr GUID IID_IReference_Double = AsGuid(winrt_iid::IReference_Double);
// Lets the runtime call the completion handler on whichever thread it finishes on.
constexpr GUID IID_IAgileObject = AsGuid(winrt_iid::IAgileObject);

constexpr const wchar_t* kOcrEngineClass = L"Windows.Media.Ocr.OcrEngine";
constexpr const wchar_t* kSoftwareBitmapClass = L"Windows.Graphics.Imaging.SoftwareBitmap";

constexpr int kBitmapPixelFormatBgra8 = 87;
constexpr int kBitmapBufferAccessWrite = 2;
// BitmapAlphaMode; a bitmap made without one is premultiplied, where alpha 0 is transparent.
constexpr int kBitmapAlphaPremultiplied = 0;
enum AsyncStatus : int { AsyncStarted = 0, AsyncCompleted = 1, AsyncCanceled = 2, AsyncError = 3 };

struct Rect {
  float X, Y, Width, Height;
};

template <typename T>
struct IVectorView : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE IndexOf(T item, UINT32* index, boolean* found) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T* items, UINT32* actual) = 0;
};

struct ILanguage : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_LanguageTag(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NativeName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Script(HSTRING* value) = 0;
};

struct IReferenceDouble : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Value(DOUBLE* value) = 0;
};

struct IOcrWord : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_BoundingRect(Rect* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
};

struct IOcrLine : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Words(IVectorView<IOcrWord*>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
};

struct IOcrResult : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Lines(IVectorView<IOcrLine*>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TextAngle(IReferenceDouble** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
};

struct IAsyncOperation_OcrResult;

struct IAsyncOperationCompletedHandler_OcrResult : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation_OcrResult* operation, AsyncStatus status) = 0;
};

struct IAsyncOperation_OcrResult : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler_OcrResult* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler_OcrResult** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(IOcrResult** results) = 0;
};

struct IAsyncInfo : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IClosable : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// What a locked bitmap's buffer offers besides the plane layout (QueryInterface for it).
struct IMemoryBuffer : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateReference(IInspectable** reference) = 0;
};

// Where one plane's pixels lie in the buffer: rows of Width pixels, Stride bytes apart,
// the first at byte StartIndex.
struct BitmapPlaneDescription {
  INT32 StartIndex;
  INT32 Width;
  INT32 Height;
  INT32 Stride;
};

// The locked buffer of a bitmap, as LockBuffer hands it out.
struct IBitmapBuffer : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetPlaneCount(INT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPlaneDescription(INT32 index, BitmapPlaneDescription* value) = 0;
};

struct IMemoryBufferByteAccess : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** value, UINT32* capacity) = 0;
};

struct ISoftwareBitmap : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_BitmapPixelFormat(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BitmapAlphaMode(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PixelWidth(INT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PixelHeight(INT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DpiX(DOUBLE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DpiX(DOUBLE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DpiY(DOUBLE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DpiY(DOUBLE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockBuffer(int mode, IBitmapBuffer** buffer) = 0;
};

struct ISoftwareBitmapFactory : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Create(int format, INT32 width, INT32 height, ISoftwareBitmap** value) = 0;
};

struct IOcrEngine : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE RecognizeAsync(ISoftwareBitmap* bitmap, IAsyncOperation_OcrResult** result) = 0;
};

struct IOcrEngineStatics : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_MaxImageDimension(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AvailableRecognizerLanguages(IVectorView<ILanguage*>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsLanguageSupported(ILanguage* language, boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryCreateFromLanguage(ILanguage* language, IOcrEngine** result) = 0;
};

}  // namespace winrt_abi
