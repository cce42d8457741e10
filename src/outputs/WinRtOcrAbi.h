// The Windows Runtime interfaces that text recognition calls, declared by their binary
// layout (mingw ships no headers for them). Methods are declared up to the last one used,
// so every used one lands in its slot.
#pragma once
#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace winrt_abi {

constexpr GUID IID_IOcrEngineStatics = {0x5BFFA85A, 0x3384, 0x3540, {0x99, 0x40, 0x69, 0x91, 0x20, 0xD4, 0x28, 0xA8}};
constexpr GUID IID_IOcrEngine = {0x5A14BC41, 0x5B76, 0x3140, {0xB6, 0x80, 0x88, 0x25, 0x56, 0x26, 0x83, 0xAC}};
constexpr GUID IID_IOcrResult = {0x9BD235B2, 0x175B, 0x3D6A, {0x92, 0xE2, 0x38, 0x8C, 0x20, 0x6E, 0x2F, 0x63}};
constexpr GUID IID_IOcrLine = {0x0043A16F, 0xE31F, 0x3A24, {0x89, 0x9C, 0xD4, 0x44, 0xBD, 0x08, 0x81, 0x24}};
constexpr GUID IID_IOcrWord = {0x3C2A477A, 0x5CD9, 0x3525, {0xBA, 0x2A, 0x23, 0xD1, 0xE0, 0xA6, 0x8A, 0x1D}};
constexpr GUID IID_ILanguage = {0xEA79A752, 0xF7C2, 0x4265, {0xB1, 0xBD, 0xC4, 0xDE, 0xC4, 0xE4, 0xF0, 0x80}};
constexpr GUID IID_ISoftwareBitmapFactory = {0xC99FEB69, 0x2D62, 0x4D47, {0xA6, 0xB3, 0x4F, 0xDB, 0x6A, 0x07, 0xFD, 0xF8}};
constexpr GUID IID_ISoftwareBitmap = {0x689E0708, 0x7EEF, 0x483F, {0x96, 0x3F, 0xDA, 0x93, 0x88, 0x18, 0xE0, 0x73}};
constexpr GUID IID_IMemoryBuffer = {0xFBC4DD2A, 0x245B, 0x11E4, {0xAF, 0x98, 0x68, 0x94, 0x23, 0x26, 0x0C, 0xF8}};
constexpr GUID IID_IMemoryBufferByteAccess = {0x5B0D3235, 0x4DBA, 0x4D44, {0x86, 0x5E, 0x8F, 0x1D, 0x0E, 0x4F, 0xD0, 0x4D}};
constexpr GUID IID_IClosable = {0x30D5A829, 0x7FA4, 0x4026, {0x83, 0xBB, 0xD7, 0x5B, 0xAE, 0x4E, 0xA9, 0x9E}};
constexpr GUID IID_IAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID IID_IAsyncOperation_OcrResult = {0xC7D7118E, 0xAE36, 0x59C0, {0xAC, 0x76, 0x7B, 0xAD, 0xEE, 0x71, 0x1C, 0x8B}};
constexpr GUID IID_IAsyncOperationCompletedHandler_OcrResult = {
    0x989C1371, 0x444A, 0x5E7E, {0xB1, 0x97, 0x9E, 0xAA, 0xF9, 0xD2, 0x82, 0x9A}};
constexpr GUID IID_IReference_Double = {0x2F2D6C29, 0x5473, 0x5F3E, {0x92, 0xE7, 0x96, 0x57, 0x2B, 0xB9, 0x90, 0xE2}};
// Lets the runtime call the completion handler on whichever thread it finishes on.
constexpr GUID IID_IAgileObject = {0x94EA2B94, 0xE9CC, 0x49E0, {0xC0, 0xFF, 0xEE, 0x64, 0xCA, 0x8F, 0x5B, 0x90}};

constexpr const wchar_t* kOcrEngineClass = L"Windows.Media.Ocr.OcrEngine";
constexpr const wchar_t* kSoftwareBitmapClass = L"Windows.Graphics.Imaging.SoftwareBitmap";

constexpr int kBitmapPixelFormatBgra8 = 87;
constexpr int kBitmapBufferAccessWrite = 2;
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

// The buffer of a locked bitmap, as Windows.Foundation.IMemoryBuffer.
struct IMemoryBuffer : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateReference(IInspectable** reference) = 0;
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
  // The IBitmapBuffer; recognition only uses it as IMemoryBuffer and IClosable.
  virtual HRESULT STDMETHODCALLTYPE LockBuffer(int mode, IInspectable** buffer) = 0;
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
