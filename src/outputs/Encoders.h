// The still-image encoders. Each turns a picture's rows into the bytes of a whole file in
// memory, so a file is only written once its encoding has succeeded, and the upload can use
// the PNG encoder on a worker thread (the encoders share no state).
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/Errors.h"
#include "base/Image.h"

// An encoder refused the picture or failed inside its library.
VANTORU_DECLARE_ERROR(EEncoderError, EError);

// Raises EEncoderError for a picture with no pixels or an unsupported pixel format, so
// that an empty capture never becomes an invalid file.
void CheckPicture(const TPixelView& image);

// PNG: signature, IHDR (truecolour, 8 bits, no interlace), IDAT chunks of at most 65,535
// bytes, IEND. Every row uses the Sub filter; one zlib stream at level 7, whose blocks of
// rows are deflated on up to `Threads` threads (0: one per core). A picture of one block
// is encoded on the calling thread alone. The file depends on the picture and `BlockBytes`
// only, not on the number of threads.
// The rows of a picture that is still being filled from the top, for an encoder that starts
// before the copy has ended: the filler publishes each finished band of rows, the encoder's
// workers wait for the rows they read.
class TRowGate {
 public:
  // Rows [0, rows) are final.
  void Publish(int rows);
  // No more rows will come (the copy failed): waiting workers give up.
  void Abandon();
  // False when the rows will never come.
  bool WaitFor(int rows);

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  int FReady = 0;
  bool FAbandoned = false;
};

struct TPngSettings {
  unsigned Threads = 0;
  size_t BlockBytes = 256 * 1024;  // filtered bytes per block, rounded to whole rows
  TRowGate* Rows = nullptr;        // null: every row is there already
};
std::vector<uint8_t> EncodePng(const TPixelView& image, const TPngSettings& settings = {});

// Baseline JFIF JPEG with libjpeg's defaults and the given quality (1-100).
std::vector<uint8_t> EncodeJpeg(const TPixelView& image, int quality);

// A single-image GIF: octree palette of at most 256 colours (leaves at 6 bits per channel,
// each colour the mean of its pixels), Floyd-Steinberg dithering, LZW. Rows are dithered
// on up to `threads` threads (0: one per core for pictures of half a megapixel and more);
// every thread count gives the same file.
std::vector<uint8_t> EncodeGif(const TPixelView& image, unsigned threads = 0);

// An uncompressed Windows bitmap in the picture's own pixel format (24 or 32 bits).
std::vector<uint8_t> EncodeBmp(const TPixelView& image);

// Lossy WebP through the WebP library's entry points (loaded by the caller). `bgra` must be
// 32 bits per pixel; a zero-byte result raises EEncoderError.
using TWebPEncodeBGRA = size_t (*)(const uint8_t* bgra, int width, int height, int stride, float quality,
                                   uint8_t** output);
using TWebPFree = void (*)(void* buffer);
std::vector<uint8_t> EncodeWebP(const TPixelView& bgra, int quality, TWebPEncodeBGRA encode, TWebPFree release);
