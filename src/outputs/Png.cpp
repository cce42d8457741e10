// PNG writer on zlib: truecolour rows, each with the Sub filter, deflated at level 7 as one
// zlib stream. Large pictures are deflated in blocks of rows on every core: each block is a
// raw deflate stream primed with the 32 KB of filtered data before it and ended with a full
// flush, so the blocks joined behind one zlib header, with the Adler-32 values combined,
// form the same kind of stream one deflate call would write, a fraction of a percent larger.
// The blocks depend on the picture alone, so every thread count writes the same file.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "base/Workers.h"
#include "outputs/Encoders.h"

namespace {

constexpr int kLevel = 7;
constexpr size_t kMaxChunk = 65535;
constexpr size_t kWindow = 32768;  // deflate's window: the most a dictionary can give

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.insert(out.end(), b, b + 4);
}

// Length, type, data, CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  PutU32(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  PutU32(out, static_cast<uint32_t>(crc32(0, out.data() + typeAt, static_cast<uInt>(size + 4))));
}

// The zlib stream's bytes, cut into IDAT chunks of at most kMaxChunk bytes.
class TIdatWriter {
 public:
  explicit TIdatWriter(std::vector<uint8_t>& out) : FOut(out) { FChunk.reserve(kMaxChunk); }
  void Put(const uint8_t* data, size_t size) {
    while (size > 0) {
      const size_t take = std::min(size, kMaxChunk - FChunk.size());
      FChunk.insert(FChunk.end(), data, data + take);
      data += take, size -= take;
      if (FChunk.size() == kMaxChunk) Flush();
    }
  }
  void Flush() {
    if (FChunk.empty()) return;
    PutChunk(FOut, "IDAT", FChunk.data(), FChunk.size());
    FChunk.clear();
  }

 private:
  std::vector<uint8_t>& FOut;
  std::vector<uint8_t> FChunk;
};

// One filtered row: the filter type, then each RGB byte minus the byte one pixel to the left.
template <int Bpp>
void SubFilterRow(const uint8_t* src, int width, uint8_t* dst) {
  *dst++ = 1;
  uint8_t pr = 0, pg = 0, pb = 0;
  for (int x = 0; x < width; ++x, src += Bpp, dst += 3) {
    const uint8_t b = src[0], g = src[1], r = src[2];
    dst[0] = uint8_t(r - pr);
    dst[1] = uint8_t(g - pg);
    dst[2] = uint8_t(b - pb);
    pr = r, pg = g, pb = b;
  }
}

[[noreturn]] void Fail(const z_stream& z, int code) {
  std::wstring what = L"zlib error " + std::to_wstring(code);
  if (z.msg) {
    what += L": ";
    for (const char* p = z.msg; *p; ++p) what += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  }
  throw EEncoderError(what);
}

// A raw deflate stream at the PNG's settings, reset for each block a worker takes.
class TDeflater {
 public:
  TDeflater() {
    // Default strategy and the largest hash: on screen pictures (long runs, repeated
    // glyphs) that gives smaller output at the same speed as libpng's filtered strategy.
    const int rc = deflateInit2(&FZ, kLevel, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) Fail(FZ, rc);
  }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;
  ~TDeflater() { deflateEnd(&FZ); }

  // Deflates `size` bytes as if `dictSize` bytes before them had just been deflated; ends
  // with a full flush, or with the final block when `last`.
  std::vector<uint8_t> Block(const uint8_t* data, size_t size, size_t dictSize, bool last) {
    int rc = deflateReset(&FZ);
    if (rc == Z_OK && dictSize) rc = deflateSetDictionary(&FZ, data - dictSize, static_cast<uInt>(dictSize));
    if (rc != Z_OK) Fail(FZ, rc);
    // Room for the worst case; the output is copied out at its real size.
    FOut.resize(deflateBound(&FZ, static_cast<uLong>(size)) + 64);
    FZ.next_in = const_cast<uint8_t*>(data);
    FZ.avail_in = static_cast<uInt>(size);
    const int flush = last ? Z_FINISH : Z_FULL_FLUSH;
    size_t done = 0;
    for (;;) {
      FZ.next_out = FOut.data() + done;
      FZ.avail_out = static_cast<uInt>(FOut.size() - done);
      rc = deflate(&FZ, flush);
      if (rc == Z_STREAM_ERROR) Fail(FZ, rc);
      done = FOut.size() - FZ.avail_out;
      // Finished when the final block is out, or the flush left room to spare.
      if (last ? rc == Z_STREAM_END : (FZ.avail_in == 0 && FZ.avail_out > 0)) break;
      if (FZ.avail_out == 0) FOut.resize(FOut.size() * 2);
    }
    return std::vector<uint8_t>(FOut.begin(), FOut.begin() + static_cast<ptrdiff_t>(done));
  }

 private:
  z_stream FZ{};
  std::vector<uint8_t> FOut;  // kept from block to block, so it is cleared only once
};

struct TBlock {
  std::vector<uint8_t> Deflated;
  uLong Adler = 1;
  size_t Size = 0;  // filtered bytes
};

// Rows [first, last) filtered and deflated, primed with up to 32 KB of the rows above.
class TBlockWorker {
 public:
  TBlockWorker(const TPixelView& image, size_t rowBytes) : FImage(image), FRowBytes(rowBytes) {}

  TBlock Run(int first, int last, bool final, TRowGate* gate) {
    if (gate && !gate->WaitFor(last)) throw EEncoderError(L"캡쳐된 이미지가 비어 있습니다.");
    const int above = std::min(first, static_cast<int>((kWindow + FRowBytes - 1) / FRowBytes));
    FFiltered.resize(FRowBytes * static_cast<size_t>(last - first + above));
    uint8_t* dst = FFiltered.data();
    for (int y = first - above; y < last; ++y, dst += FRowBytes) {
      if (FImage.BitsPerPixel == 32) SubFilterRow<4>(FImage.Row(y), FImage.Width, dst);
      else SubFilterRow<3>(FImage.Row(y), FImage.Width, dst);
    }
    const size_t dictSize = std::min(kWindow, FRowBytes * above);
    const uint8_t* data = FFiltered.data() + FRowBytes * above;
    TBlock b;
    b.Size = FRowBytes * static_cast<size_t>(last - first);
    b.Adler = adler32(1, data, static_cast<uInt>(b.Size));
    b.Deflated = FDeflater.Block(data, b.Size, dictSize, final);
    return b;
  }

 private:
  const TPixelView& FImage;
  size_t FRowBytes;
  std::vector<uint8_t> FFiltered;
  TDeflater FDeflater;
};

// First row of each block. Blocks of `blockBytes`; on pictures of more than four blocks the
// last two blocks' worth of rows go in quarters, so that whoever takes the last block ends
// soon after the others.
std::vector<int> BlockStarts(int height, size_t rowBytes, size_t blockBytes) {
  const int rows = static_cast<int>(std::clamp<size_t>(blockBytes / rowBytes, 1, static_cast<size_t>(height)));
  const int tail = height > 4 * rows ? 2 * rows : 0, small = std::max(1, rows / 4);
  std::vector<int> starts;
  for (int y = 0; y < height; y += height - y > tail ? rows : small) starts.push_back(y);
  return starts;
}

}  // namespace

void TRowGate::Publish(int rows) {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FReady = std::max(FReady, rows);
  }
  FChanged.notify_all();
}

void TRowGate::Abandon() {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FAbandoned = true;
  }
  FChanged.notify_all();
}

bool TRowGate::WaitFor(int rows) {
  std::unique_lock<std::mutex> hold(FLock);
  FChanged.wait(hold, [&] { return FReady >= rows || FAbandoned; });
  return FReady >= rows;
}

std::vector<uint8_t> EncodePng(const TPixelView& image, const TPngSettings& settings) {
  CheckPicture(image);
  const size_t rowBytes = 1 + static_cast<size_t>(image.Width) * 3;
  std::vector<int> starts = BlockStarts(image.Height, rowBytes, settings.BlockBytes);
  const int blocks = static_cast<int>(starts.size());
  starts.push_back(image.Height);
  unsigned threads = settings.Threads ? settings.Threads : std::max(1u, std::thread::hardware_concurrency());
  threads = std::min<unsigned>(threads, static_cast<unsigned>(blocks));

  // Workers take the next block until none is left; the first error stops them all.
  std::vector<TBlock> done(static_cast<size_t>(blocks));
  std::atomic<int> next{0};
  RunOnWorkers(threads, [&](unsigned) {
    try {
      TBlockWorker w(image, rowBytes);
      for (int i; (i = next.fetch_add(1)) < blocks;) {
        const size_t at = static_cast<size_t>(i);
        done[at] = w.Run(starts[at], starts[at + 1], i == blocks - 1, settings.Rows);
      }
    } catch (...) {
      next = blocks;
      throw;
    }
  });

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  size_t deflated = 0;
  for (const TBlock& b : done) deflated += b.Deflated.size();
  out.reserve(deflated + deflated / kMaxChunk * 12 + 128);

  uint8_t ihdr[13] = {};
  const uint32_t w = static_cast<uint32_t>(image.Width), h = static_cast<uint32_t>(image.Height);
  for (int i = 0; i < 4; ++i) {
    ihdr[i] = uint8_t(w >> (24 - 8 * i));
    ihdr[4 + i] = uint8_t(h >> (24 - 8 * i));
  }
  ihdr[8] = 8;  // bit depth
  ihdr[9] = 2;  // truecolour; compression, filter method and interlace stay 0
  PutChunk(out, "IHDR", ihdr, sizeof ihdr);

  // The zlib header as deflateInit would write it: deflate with a 32 KB window, level
  // 7 to 9 ("maximum" compression), check bits that make it a multiple of 31.
  constexpr unsigned kHeader = (0x78 << 8) | (3 << 6);
  const uint8_t header[2] = {uint8_t(kHeader >> 8), uint8_t((kHeader | ((31 - kHeader % 31) % 31)) & 0xFF)};
  TIdatWriter idat(out);
  idat.Put(header, 2);
  uLong adler = 1;
  for (const TBlock& b : done) {
    idat.Put(b.Deflated.data(), b.Deflated.size());
    adler = adler32_combine(adler, b.Adler, static_cast<z_off_t>(b.Size));
  }
  const uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)};
  idat.Put(trailer, 4);
  idat.Flush();
  PutChunk(out, "IEND", nullptr, 0);
  return out;
}
