// The drag overlay rebuilds its display image on every mouse move: the whole screenshot
// copied with everything outside the selection dimmed. Measured beside a plain copy of the
// same buffer, which is the least any rebuild costs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "capture/DragSelect.h"

namespace {

struct TScreens {
  int Width, Height;
  ptrdiff_t Stride;
  std::vector<uint8_t> Screen, Select;
  TScreens(int w, int h) : Width(w), Height(h), Stride((w * 3 + 3) / 4 * 4), Screen(Stride * h), Select(Stride * h) {
    for (size_t i = 0; i < Screen.size(); ++i) Screen[i] = static_cast<uint8_t>(i * 31 + (i >> 11));
  }
};

void BM_PlainCopy(benchmark::State& state) {
  TScreens s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    std::memcpy(s.Select.data(), s.Screen.data(), s.Screen.size());
    benchmark::DoNotOptimize(s.Select.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.Screen.size()));
}

// range(2): 0 = before any drag (everything dimmed), 1 = a selection of the middle ninth.
void BM_DimOutside(benchmark::State& state) {
  TScreens s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const TRect sel = state.range(2) ? TRect{s.Width / 3, s.Height / 3, s.Width * 2 / 3, s.Height * 2 / 3} : TRect{};
  for (auto _ : state) {
    DimOutside(s.Screen.data(), s.Stride, s.Select.data(), s.Stride, s.Width, s.Height, sel);
    benchmark::DoNotOptimize(s.Select.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.Screen.size()));
}

}  // namespace

BENCHMARK(BM_PlainCopy)->Args({1920, 1080})->Args({5760, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DimOutside)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({5760, 1080, 0})
    ->Args({5760, 1080, 1})
    ->Unit(benchmark::kMicrosecond);
