// PNG writer on zlib: truecolour rows, each with the Sub filter, deflated at level 7.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "outputs/Encoders.h"

namespace {

constexpr size_t kMaxChunk = 65535;

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

struct TDeflate {
  z_stream Z{};
  bool Open = false;
  ~TDeflate() {
    if (Open) deflateEnd(&Z);
  }
};

[[noreturn]] void Fail(const z_stream& z, int code) {
  std::wstring what = L"zlib error " + std::to_wstring(code);
  if (z.msg) {
    what += L": ";
    for (const char* p = z.msg; *p; ++p) what += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  }
  throw EEncoderError(what);
}

}  // namespace

std::vector<uint8_t> EncodePng(const TPixelView& image) {
  CheckPicture(image);
  const size_t rowBytes = 1 + static_cast<size_t>(image.Width) * 3;
  std::vector<uint8_t> out;
  out.reserve(rowBytes * image.Height / 3 + 1024);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), kSignature, kSignature + 8);

  uint8_t ihdr[13] = {};
  const uint32_t w = static_cast<uint32_t>(image.Width), h = static_cast<uint32_t>(image.Height);
  for (int i = 0; i < 4; ++i) {
    ihdr[i] = uint8_t(w >> (24 - 8 * i));
    ihdr[4 + i] = uint8_t(h >> (24 - 8 * i));
  }
  ihdr[8] = 8;  // bit depth
  ihdr[9] = 2;  // truecolour; compression, filter method and interlace stay 0
  PutChunk(out, "IHDR", ihdr, sizeof ihdr);

  TDeflate d;
  // Default strategy and the largest hash: on screen pictures (long runs, repeated
  // glyphs) that gives smaller output at the same speed as libpng's filtered strategy.
  int rc = deflateInit2(&d.Z, 7, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY);
  if (rc != Z_OK) Fail(d.Z, rc);
  d.Open = true;

  // Rows are filtered in batches of about 64 KB so deflate is called rarely.
  const int batchRows = static_cast<int>(std::max<size_t>(1, 65536 / rowBytes));
  std::vector<uint8_t> filtered(rowBytes * batchRows);
  uint8_t chunk[kMaxChunk];
  d.Z.next_out = chunk;
  d.Z.avail_out = kMaxChunk;
  auto drain = [&](int flush) {
    do {
      rc = deflate(&d.Z, flush);
      if (rc == Z_STREAM_ERROR) Fail(d.Z, rc);
      const size_t filled = kMaxChunk - d.Z.avail_out;
      if (d.Z.avail_out == 0 || (rc == Z_STREAM_END && filled > 0)) {
        PutChunk(out, "IDAT", chunk, filled);
        d.Z.next_out = chunk;
        d.Z.avail_out = kMaxChunk;
      }
    } while (d.Z.avail_in > 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
  };
  for (int y = 0; y < image.Height; y += batchRows) {
    const int n = std::min(batchRows, image.Height - y);
    for (int i = 0; i < n; ++i) {
      uint8_t* dst = filtered.data() + rowBytes * i;
      if (image.BitsPerPixel == 32) SubFilterRow<4>(image.Row(y + i), image.Width, dst);
      else SubFilterRow<3>(image.Row(y + i), image.Width, dst);
    }
    d.Z.next_in = filtered.data();
    d.Z.avail_in = static_cast<uInt>(rowBytes * n);
    drain(y + n >= image.Height ? Z_FINISH : Z_NO_FLUSH);
  }
  PutChunk(out, "IEND", nullptr, 0);
  return out;
}
