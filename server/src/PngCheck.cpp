#include "PngCheck.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

uint32_t Be32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Bit depths allowed for each colour type.
bool ValidDepth(unsigned type, unsigned depth) {
  switch (type) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

}  // namespace

TPngVerdict CheckPng(std::string_view file, const TPngLimits& limits, TPngInfo* info) {
  if (file.substr(0, kSignature.size()) != kSignature) return TPngVerdict::NotPng;
  size_t at = kSignature.size();
  bool first = true, seenPalette = false, seenData = false, dataEnded = false;
  unsigned colourType = 0;
  for (;;) {
    if (file.size() - at < 12) return TPngVerdict::Truncated;
    const uint32_t length = Be32(file.data() + at);
    const char* type = file.data() + at + 4;
    if (length > 0x7FFFFFFFu) return TPngVerdict::BadChunk;
    for (int i = 0; i < 4; ++i)
      if (!IsLetter(type[i])) return TPngVerdict::BadChunk;
    if (file.size() - at - 12 < length) return TPngVerdict::Truncated;
    const char* data = type + 4;
    const uint32_t crc = Be32(data + length);
    uLong computed = crc32(0L, Z_NULL, 0);
    computed = crc32(computed, reinterpret_cast<const Bytef*>(type), static_cast<uInt>(length) + 4);
    const std::string_view name(type, 4);

    if (first) {
      if (name != "IHDR" || length != 13) return TPngVerdict::BadHeader;
      if (computed != crc) return TPngVerdict::BadCrc;
      const uint32_t width = Be32(data), height = Be32(data + 4);
      const auto depth = static_cast<unsigned char>(data[8]);
      colourType = static_cast<unsigned char>(data[9]);
      if (!ValidDepth(colourType, depth) || data[10] != 0 || data[11] != 0 || (data[12] != 0 && data[12] != 1))
        return TPngVerdict::BadHeader;
      if (width == 0 || height == 0 || width > limits.MaxSide || height > limits.MaxSide ||
          uint64_t{width} * height > limits.MaxPixels)
        return TPngVerdict::BadSize;
      if (info) *info = TPngInfo{width, height};
      first = false;
    } else {
      if (computed != crc) return TPngVerdict::BadCrc;
      if (name == "IHDR") return TPngVerdict::BadChunk;
      if (name == "PLTE") {
        if (seenData || seenPalette || length == 0 || length % 3 != 0 || length / 3 > 256) return TPngVerdict::BadChunk;
        seenPalette = true;
      } else if (name == "IDAT") {
        // Image data chunks follow one another without anything between them.
        if (dataEnded) return TPngVerdict::BadChunk;
        seenData = true;
      } else if (name == "IEND") {
        if (length != 0) return TPngVerdict::BadChunk;
        if (!seenData || (colourType == 3 && !seenPalette)) return TPngVerdict::NoImageData;
        return at + 12 == file.size() ? TPngVerdict::Ok : TPngVerdict::TrailingData;
      } else if (!(type[0] & 0x20)) {
        return TPngVerdict::BadChunk;  // a critical chunk this check does not know
      } else if (seenData) {
        dataEnded = true;
      }
    }
    at += 12 + size_t{length};
  }
}

const char* PngVerdictText(TPngVerdict verdict) {
  switch (verdict) {
    case TPngVerdict::Ok: return "ok";
    case TPngVerdict::NotPng: return "the file is not a PNG image";
    case TPngVerdict::BadHeader: return "the PNG header is invalid";
    case TPngVerdict::BadSize: return "the PNG image's dimensions are not accepted";
    case TPngVerdict::BadChunk: return "the PNG file has an invalid chunk";
    case TPngVerdict::BadCrc: return "the PNG file is damaged (CRC mismatch)";
    case TPngVerdict::Truncated: return "the PNG file is incomplete";
    case TPngVerdict::TrailingData: return "the PNG file has data after its end";
    case TPngVerdict::NoImageData: return "the PNG file has no image data";
  }
  return "not a PNG image";
}
