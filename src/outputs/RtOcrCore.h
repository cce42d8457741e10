// Text recognition without the platform: the recogniser's records, the engine it drives,
// and the rules that are the same for every engine (region checks, the row copy into the
// engine's buffer, the language lookup).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Image.h"

// Bad arguments and bad state of the recogniser.
VANTORU_DECLARE_ERROR(ERtOcrError, EError);

namespace rtocr {

struct TLanguage {
  std::wstring DisplayName;
  std::wstring LanguageTag;
  std::wstring NativeName;
  std::wstring Script;
  bool operator==(const TLanguage&) const = default;  // exact, case-sensitive
};
using TLanguages = std::vector<TLanguage>;

// A word's box in pixels of the bitmap given to the engine (relative to the region).
struct TSRect {
  float X = 0, Y = 0, Width = 0, Height = 0;
};
struct TWord {
  std::wstring Text;
  TSRect Rect;
};
using TWords = std::vector<TWord>;
struct TLine {
  std::wstring Text;
  TWords Words;
};
using TLines = std::vector<TLine>;

// The recogniser's own status, not the main window's busy state.
enum TStatus { stCompleted = 0, stCanceled = 1, stError = 2 };

// Every field is zero or empty unless Status is stCompleted.
struct TResult {
  TStatus Status = stCompleted;
  TLines Lines;
  std::wstring Text;
  double TextAngle = 0;  // 0 when the engine reports none
};

// The engine's completion codes (the platform's AsyncStatus values); any other is an error.
constexpr int kAsyncCompleted = 1;
constexpr int kAsyncCanceled = 2;
TStatus StatusOfAsync(int asyncStatus);

// ---- The engine: what the recogniser needs from the platform. ----

// A language as the engine lists it: the four names and the engine's own object.
struct TEngineLanguage {
  TLanguage Names;
  std::shared_ptr<void> Object;
};

// A locked bitmap buffer of the engine and where the bitmap's one plane lies in it.
struct TOcrPlane {
  uint8_t* Bytes = nullptr;   // the buffer's first byte
  size_t Capacity = 0;        // the buffer's size in bytes
  int Start = 0;              // byte of the top row's first pixel
  int Width = 0, Height = 0;  // in pixels
  int Stride = 0;             // bytes from one row to the next
};

// A 32-bit BGRA bitmap in the engine's memory.
class TOcrBitmap {
 public:
  virtual ~TOcrBitmap() = default;
  // Locks the pixels for writing, hands the buffer and its plane layout to `fill` and
  // closes the lock again, also when `fill` raises.
  virtual void Write(const std::function<void(const TOcrPlane& plane)>& fill) = 0;
};

// One running recognition.
class TOcrOperation {
 public:
  virtual ~TOcrOperation() = default;
  // Reads the recognised text into Text, TextAngle and Lines; only valid inside the
  // completion handler of an operation that ended with kAsyncCompleted.
  using TReadResults = std::function<void(TResult& result)>;
  // The handler runs once, on whichever thread the engine finishes on (at once when the
  // operation has already ended). What it returns goes back to the engine (0: success).
  using THandler = std::function<int32_t(int asyncStatus, const TReadResults& read)>;
  virtual void SetCompleted(THandler handler) = 0;
  virtual void Cancel() = 0;
  virtual void Close() = 0;
};

// An engine made for one language.
class TOcrRecognizer {
 public:
  virtual ~TOcrRecognizer() = default;
  virtual std::shared_ptr<TOcrOperation> RecognizeAsync(const std::shared_ptr<TOcrBitmap>& bitmap) = 0;
};

class TOcrEngine {
 public:
  virtual ~TOcrEngine() = default;
  // The recognition languages, in the engine's order, listed afresh on every call.
  virtual std::vector<TEngineLanguage> Languages() = 0;
  // The largest bitmap width or height the engine accepts.
  virtual uint32_t MaxImageDimension() = 0;
  // Null when the engine refuses the language.
  virtual std::unique_ptr<TOcrRecognizer> CreateRecognizer(const TEngineLanguage& language) = 0;
  virtual std::shared_ptr<TOcrBitmap> CreateBitmap(int width, int height) = 0;
};

// ---- Rules shared by every engine. ----

// A checked region of a picture; right and bottom exclusive.
struct TRegion {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

// All four 0 is the whole picture. Raises ERtOcrError at the first failing check: Left,
// Top, Right, Bottom. A region with Right <= Left or Bottom <= Top passes: the engine's
// bitmap creation refuses it.
TRegion CheckRegion(int pictureWidth, int pictureHeight, int left, int top, int right, int bottom);

// Copies the region of a 32-bit picture into the plane's rows, top row first, every pixel
// opaque: the engine's bitmap is premultiplied, where the fourth byte 0 (as captures hold
// it) means transparent. Raises ERtOcrError, writing nothing, when the region does not lie
// inside the picture, or the plane does not have the region's size or lie inside its buffer.
void CopyRegion(const TPixelView& picture, const TRegion& region, const TOcrPlane& plane);

struct TPictureSize {
  int Width = 0, Height = 0;
  bool operator==(const TPictureSize&) const = default;
};

// The size a picture is recognised at: three times its own, for the engine reads small
// print badly, unless that exceeds the engine's largest side; then the largest size of the
// same proportions that fits, smaller than the picture itself when it is already too large.
// A largest side of 0 (none reported) sets no limit.
TPictureSize RecognitionSize(int width, int height, uint32_t maxDimension);

// Index of the first engine language whose four names all equal those of `language`, or -1.
int FindEngineLanguage(const std::vector<TEngineLanguage>& languages, const TLanguage& language);

// The lines' texts in order, each ended by CR LF; no lines give an empty text.
std::wstring LinesAsText(const TLines& lines);

}  // namespace rtocr
