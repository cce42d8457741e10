// Whether a file is a whole, well-formed PNG image: signature, a sane IHDR, every chunk
// complete with its CRC, image data, and IEND as the very last bytes.
#pragma once
#include <cstdint>
#include <string_view>

enum class TPngVerdict {
  Ok,
  NotPng,        // no PNG signature
  BadHeader,     // first chunk not a valid IHDR
  BadSize,       // width or height zero or beyond the limits
  BadChunk,      // a chunk whose type or length is invalid, or a misplaced critical chunk
  BadCrc,
  Truncated,     // the file ends inside a chunk or before IEND
  TrailingData,  // bytes after IEND
  NoImageData,   // no IDAT (or no PLTE for a palette image)
};

struct TPngLimits {
  uint32_t MaxSide = 32768;
  uint64_t MaxPixels = uint64_t{1} << 28;
};

struct TPngInfo {
  uint32_t Width = 0, Height = 0;
};

TPngVerdict CheckPng(std::string_view file, const TPngLimits& limits, TPngInfo* info = nullptr);

const char* PngVerdictText(TPngVerdict verdict);
