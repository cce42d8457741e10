// The encoders on a full-HD screenshot (window chrome, flat panels, text, a photograph),
// PNG also on a 4K one on one thread and on every core, with libpng at the same settings
// (level 7, Sub filter) and a plain copy for scale.
#include <benchmark/benchmark.h>
#include <png.h>
#include <webp/encode.h>

#include <cstdint>
#include <cstring>

#include "fixtures/TestImage.h"
#include "outputs/Encoders.h"

namespace {

const TTestImage& Screenshot(int height = 1080) {
  static const TTestImage hd = MakeScreenshot(1920, 1080);
  if (height == 1080) return hd;
  static const TTestImage uhd = MakeScreenshot(3840, 2160);
  return uhd;
}

template <typename F>
void Run(benchmark::State& state, F encode, int height = 1080) {
  const TPixelView v = Screenshot(height).View();
  size_t bytes = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out = encode(v);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

// Arguments: picture height (1080: full HD, 2160: 4K) and threads (0: one per core). The
// single stream is one deflate call over all rows, as the encoder writes a small picture.
void BM_SavePNG(benchmark::State& s) {
  TPngSettings settings;
  settings.Threads = static_cast<unsigned>(s.range(1));
  Run(s, [&](const TPixelView& v) { return EncodePng(v, settings); }, static_cast<int>(s.range(0)));
}
void BM_SavePNG_SingleStream(benchmark::State& s) {
  TPngSettings settings;
  settings.Threads = 1;
  settings.BlockBytes = SIZE_MAX;
  Run(s, [&](const TPixelView& v) { return EncodePng(v, settings); }, static_cast<int>(s.range(0)));
}
void BM_SaveJPG(benchmark::State& s) { Run(s, [](const TPixelView& v) { return EncodeJpeg(v, 90); }); }
void BM_SaveGIF(benchmark::State& s) {
  Run(s, [&](const TPixelView& v) { return EncodeGif(v, static_cast<unsigned>(s.range(0))); });
}
void BM_SaveBMP(benchmark::State& s) { Run(s, [](const TPixelView& v) { return EncodeBmp(v); }); }
void BM_SaveWebP(benchmark::State& s) {
  Run(s, [](const TPixelView& v) { return EncodeWebP(v, 90, WebPEncodeBGRA, WebPFree); });
}

std::vector<uint8_t> LibPng(const TPixelView& v) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(v.Width), static_cast<png_uint_32>(v.Height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 7);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);  // the fourth byte of each pixel is dropped
  for (int y = 0; y < v.Height; ++y) png_write_row(png, const_cast<png_bytep>(v.Row(y)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}
void BM_LibPng(benchmark::State& s) { Run(s, LibPng, static_cast<int>(s.range(0))); }

void BM_MemoryCopy(benchmark::State& s) {
  Run(s, [](const TPixelView& v) {
    std::vector<uint8_t> out;
    const size_t n = static_cast<size_t>(v.Stride) * v.Height;
    out.reserve(n);
    out.insert(out.end(), v.Pixels, v.Pixels + n);
    return out;
  });
}

}  // namespace

BENCHMARK(BM_SavePNG)->ArgNames({"height", "threads"})->ArgsProduct({{1080, 2160}, {1, 0}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SavePNG_SingleStream)->ArgName("height")->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibPng)->ArgName("height")->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveJPG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGIF)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveBMP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveWebP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryCopy)->Unit(benchmark::kMillisecond);
